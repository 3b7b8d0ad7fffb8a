#include "StatusBarController.h"

#include "AppDelegate.h"
#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

const QStringList fixedRows = {
    "תרגם טקסט שנבחר", "החלף פריסת מקלדת", "תרגם והחלף טקסט", "תאריך ושעה", "---", "הגדרות...", "---", "יציאה"};

class StatusBarControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TranslationService::setEndpoints({server.baseUrl(), server.baseUrl()});
        server.setDefaultReply(test::LocalHttpServer::Reply::googleTranslation(QStringLiteral("translated"), "he"));
    }
    void TearDown() override { TranslationService::setEndpoints(savedEndpoints); }

    void openMenu() { emit bar->menu()->aboutToShow(); }
    QStringList rows() const
    {
        QStringList texts;
        for (const QAction* action : bar->menu()->actions())
            texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
        return texts;
    }
    QAction* row(int index) const { return bar->menu()->actions().value(index); }
    TranslationViewController* popup() const
    {
        TranslationWindowController* window = delegate->existingTranslationWindow();
        return window ? window->translationVC : nullptr;
    }

    test::ConfigHomeGuard home;
    test::LocalHttpServer server;
    const TranslationEndpoints savedEndpoints = TranslationService::endpoints();
    FakePlatform platform;
    std::unique_ptr<AppDelegate> delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"});
    std::unique_ptr<StatusBarController> bar = std::make_unique<StatusBarController>(delegate.get());
};

TEST_F(StatusBarControllerTest, EachOpeningRebuildsOneHistorySectionBelowTheFixedRows)
{
    openMenu();
    EXPECT_EQ(rows(), fixedRows);
    // Titles: 25 grapheme clusters of the original (a pointed letter is one), whitespace as spaces,
    // '&' doubled so the menu shows it; anything but "translate" is the layout icon.
    const QString shin = QStringLiteral("שָׁ");
    HistoryManager::shared().add("Translate", shin.repeated(30), "c\td");
    HistoryManager::shared().add("layout", "akuo", "שלום");
    HistoryManager::shared().add("translate", "abcdefghij\nklmnopqrstuvwxyz0123456789", "R & D");
    openMenu();
    openMenu();
    const QStringList history = {"---",
                                 "היסטוריה",
                                 "🌐 abcdefghij klmnopqrstuvwx → R && D",
                                 "⌨️ akuo → שלום",
                                 "⌨️ " + shin.repeated(25) + " → c d",
                                 "נקה היסטוריה"};
    EXPECT_EQ(rows(), fixedRows + history);
    EXPECT_FALSE(row(9)->isEnabled());

    platform.fakeWindowSystem.active = 6;
    row(11)->trigger();
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(popup()->originalText, "akuo") << "the whole entry, not its title";
    EXPECT_EQ(popup()->mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(popup()->sourceApp, 6u);
    EXPECT_FALSE(platform.log.contains("copy")) << "nothing is captured";

    row(13)->trigger();
    EXPECT_TRUE(HistoryManager::shared().load().isEmpty());
    openMenu();
    EXPECT_EQ(rows(), fixedRows);
}

TEST_F(StatusBarControllerTest, CaptureRowsActivateTheSourceWaitAndOpenTheirMode)
{
    struct Case {
        int row;
        std::optional<QString> selection; // nothing: the copy changes nothing
        std::optional<QString> popup;     // nothing: no popup
        TranslationMode mode;
    };
    const Case cases[] = {
        {1, "akuo", "akuo", TranslationMode::keyboardLayout},
        {0, QString(), std::nullopt, TranslationMode::translate},
        {3, std::nullopt, QString(), TranslationMode::dateTime}, // the date tab opens with the time now
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        bar.reset();
        delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"});
        bar = std::make_unique<StatusBarController>(delegate.get());
        platform.fakeWindowSystem.active = 7;
        c.selection ? platform.selectText(*c.selection) : platform.selectNothing();
        openMenu();
        platform.fakeWindowSystem.active = 0; // the tray took the click
        platform.log.clear();
        row(c.row)->trigger();
        platform.fakeScheduler.advance(StatusBarController::copyDelayMs - 1);
        EXPECT_EQ(platform.log, QStringList{"activate 7"});
        platform.fakeScheduler.advance(StatusBarController::copySettleMs + 1);
        EXPECT_EQ(platform.log.mid(0, 2), (QStringList{"activate 7", "copy"}));
        EXPECT_EQ(popup() ? std::optional(popup()->originalText) : std::nullopt, c.popup);
        if (c.popup) {
            EXPECT_EQ(popup()->mode, c.mode);
        }
    }
}

TEST_F(StatusBarControllerTest, TranslateAndReplacePastesWhatTheMenuCaptured)
{
    platform.fakeWindowSystem.active = 9;
    platform.selectText(QStringLiteral("שלום"), 100);
    openMenu();
    row(2)->trigger();
    platform.fakeScheduler.advance(StatusBarController::copyDelayMs + 100);
    ASSERT_TRUE(server.waitForRequests(1)) << "sent when the copy landed, before the timeout";
    ASSERT_TRUE(test::waitUntil([&] { return platform.log.contains("paste"); }));
    EXPECT_EQ(platform.log, (QStringList{"activate 9", "copy", "setText translated", "paste"}));
    EXPECT_EQ(popup(), nullptr);
}

} // namespace
