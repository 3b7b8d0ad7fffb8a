#include "StatusBarController.h"

#include "AppDelegate.h"
#include "FakePlatform.h"
#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "SettingsWindowController.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlex;
using test::LocalHttpServer;

namespace {

const QStringList fixedRows = {
    "תרגם טקסט שנבחר", "החלף פריסת מקלדת", "תרגם והחלף טקסט", "תאריך ושעה", "---", "הגדרות...", "---", "יציאה"};

class StatusBarControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HistoryManager::shared().clear();
        ASSERT_TRUE(server.listen());
        TranslationEndpoints endpoints = savedEndpoints;
        endpoints.google = server.baseUrl();
        TranslationService::setEndpoints(endpoints);
        server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("translated"), "he"));
        delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"});
        bar = std::make_unique<StatusBarController>(delegate.get());
    }

    void TearDown() override
    {
        bar.reset();
        delegate.reset();
        HistoryManager::shared().clear();
        TranslationService::setEndpoints(savedEndpoints);
    }

    QMenu& menu() { return *bar->menu(); }

    // What the user does: opening the menu runs its aboutToShow.
    void openMenu() { emit menu().aboutToShow(); }

    // Each row's text, "---" for a separator.
    QStringList rows()
    {
        QStringList texts;
        for (const QAction* action : menu().actions())
            texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
        return texts;
    }

    QList<int> tags()
    {
        QList<int> result;
        for (const QAction* action : menu().actions())
            result << StatusBarController::tag(action);
        return result;
    }

    QAction* row(const QString& text)
    {
        for (QAction* action : menu().actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    QAction* taggedRow(int tag)
    {
        for (QAction* action : menu().actions())
            if (StatusBarController::tag(action) == tag)
                return action;
        return nullptr;
    }

    TranslationViewController* popupContent()
    {
        TranslationWindowController* popup = delegate->existingTranslationWindow();
        return popup ? popup->translationVC : nullptr;
    }

    // Three entries, newest first: "שלום עולם", then a long one with a line feed, then a layout one.
    void addThreeEntries()
    {
        HistoryManager::shared().add(QStringLiteral("layout"), QStringLiteral("akuo"), QStringLiteral("שלום"));
        HistoryManager::shared().add(QStringLiteral("translate"),
                                     QStringLiteral("abcdefghij\nklmnopqrstuvwxyz0123456789ABC"),
                                     QStringLiteral("R & D"));
        HistoryManager::shared().add(QStringLiteral("translate"), QStringLiteral("שלום עולם"),
                                     QStringLiteral("Hello world"));
        ASSERT_EQ(HistoryManager::shared().load().size(), 3);
    }

    FakePlatform platform;
    LocalHttpServer server;
    TranslationEndpoints savedEndpoints = TranslationService::endpoints();
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<StatusBarController> bar;
};

TEST_F(StatusBarControllerTest, EmptyHistoryShowsExactlyTheEightFixedRows)
{
    openMenu();
    EXPECT_EQ(rows(), fixedRows);
    EXPECT_EQ(tags(), QList<int>(8, 0));
    const QList<QKeySequence> preferences = QKeySequence::keyBindings(QKeySequence::Preferences);
    EXPECT_EQ(row("הגדרות...")->shortcut(),
              preferences.isEmpty() ? QKeySequence(QStringLiteral("Ctrl+,")) : preferences.first());
    EXPECT_FALSE(row("יציאה")->shortcut().isEmpty());
    EXPECT_EQ(row("יציאה")->shortcut(), QKeySequence(QKeySequence::Quit));
    for (const char* title : {"תרגם טקסט שנבחר", "החלף פריסת מקלדת", "תרגם והחלף טקסט", "תאריך ושעה"}) {
        SCOPED_TRACE(title);
        EXPECT_TRUE(row(QString::fromUtf8(title))->shortcut().isEmpty());
        EXPECT_TRUE(row(QString::fromUtf8(title))->isEnabled());
    }

    QSystemTrayIcon* item = bar->statusItem();
    EXPECT_EQ(item->toolTip(), "Vorlex");
    EXPECT_EQ(item->contextMenu(), &menu());
    EXPECT_FALSE(item->icon().isNull());
    EXPECT_FALSE(item->icon().pixmap(22, 22).isNull()) << "the icon draws at tray size";
    EXPECT_FALSE(statusItemIcon().isNull());
}

TEST_F(StatusBarControllerTest, ThreeEntriesEndTheMenuWithTheHistorySection)
{
    addThreeEntries();
    openMenu();
    const QStringList history = {"---",
                                 "היסטוריה",
                                 "🌐 שלום עולם → Hello world",
                                 "🌐 abcdefghij klmnopqrstuvwx → R && D",
                                 "⌨️ akuo → שלום",
                                 "נקה היסטוריה"};
    EXPECT_EQ(rows().join(" | ").toStdString(), (fixedRows + history).join(" | ").toStdString());
    const QList<int> historyTags = {999, 998, 1000, 1001, 1002, 997};
    EXPECT_EQ(tags(), QList<int>(8, 0) + historyTags);
    EXPECT_FALSE(taggedRow(StatusBarController::historyHeadingTag)->isEnabled());
    EXPECT_TRUE(taggedRow(1000)->isEnabled());
    EXPECT_TRUE(taggedRow(StatusBarController::clearHistoryTag)->isEnabled());
    // Qt shows "&&" as one "&" (and would have turned a single one into a mnemonic).
    EXPECT_EQ(taggedRow(1001)->iconText(), "🌐 abcdefghij klmnopqrstuvwx → R & D");
}

TEST_F(StatusBarControllerTest, HistoryTitlesCountGraphemeClustersAndKeepTheirCharacters)
{
    struct Case {
        const char* name;
        QString type;
        QString original;
        QString result;
        QString title;
    };
    const QString shinWithPoints = QStringLiteral("שָׁ"); // one cluster of three code points
    const QString thumb = QStringLiteral("👍🏽");   // one cluster of two emoji code points
    const Case cases[] = {
        {"the example", "translate", "שלום עולם", "Hello world", "🌐 שלום עולם → Hello world"},
        {"layout type", "layout", "akuo", "שלום", "⌨️ akuo → שלום"},
        {"any other type", "Translate", "a", "b", "⌨️ a → b"},
        {"empty type", "", "a", "b", "⌨️ a → b"},
        {"exactly 25 kept", "translate", QString(25, 'x'), "y", "🌐 " + QString(25, 'x') + " → y"},
        {"26th dropped, no ellipsis", "translate", QString(26, 'x'), QString(30, 'y'),
         "🌐 " + QString(25, 'x') + " → " + QString(25, 'y')},
        {"line feeds counted, then spaces", "translate", "a\n\nb", "c\nd", "🌐 a  b → c d"},
        {"line feed after the cut", "translate", QString(25, 'x') + "\nmore", "y", "🌐 " + QString(25, 'x') + " → y"},
        {"clusters, not code units", "translate", shinWithPoints.repeated(30), QString(24, 'a') + thumb + "b",
         "🌐 " + shinWithPoints.repeated(25) + " → " + QString(24, 'a') + thumb},
        {"ampersands doubled", "translate", "a&b", "&&", "🌐 a&&b → &&&&"},
        {"tabs as spaces", "translate", "a\tb", "c", "🌐 a b → c"},
        {"empty sides", "translate", "", "", "🌐  → "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryEntry entry;
        entry.type = c.type;
        entry.originalText = c.original;
        entry.resultText = c.result;
        EXPECT_EQ(StatusBarController::historyTitle(entry), c.title);
    }
}

TEST_F(StatusBarControllerTest, EveryOpeningRebuildsOneHistorySection)
{
    addThreeEntries();
    openMenu();
    openMenu();
    EXPECT_EQ(tags().count(StatusBarController::historySeparatorTag), 1);
    EXPECT_EQ(tags().count(StatusBarController::historyHeadingTag), 1);
    EXPECT_EQ(tags().count(StatusBarController::clearHistoryTag), 1);
    EXPECT_EQ(menu().actions().size(), 8 + 2 + 3 + 1);

    HistoryManager::shared().add(QStringLiteral("translate"), QStringLiteral("newest"), QStringLiteral("חדש"));
    EXPECT_EQ(menu().actions().size(), 14) << "only an opening reads the history";
    openMenu();
    EXPECT_EQ(menu().actions().size(), 15);
    EXPECT_EQ(taggedRow(1000)->text(), "🌐 newest → חדש");
    EXPECT_EQ(taggedRow(1003)->text(), "⌨️ akuo → שלום");
    EXPECT_EQ(rows().mid(0, 8), fixedRows) << "the fixed rows stay as they are";
}

TEST_F(StatusBarControllerTest, ClearHistoryEmptiesItAndTheNextOpeningDropsTheSection)
{
    addThreeEntries();
    openMenu();
    taggedRow(StatusBarController::clearHistoryTag)->trigger();
    EXPECT_TRUE(HistoryManager::shared().load().isEmpty());
    openMenu();
    EXPECT_EQ(rows(), fixedRows);
}

TEST_F(StatusBarControllerTest, AHistoryRowShowsItsEntryInThePopup)
{
    addThreeEntries();
    platform.fakeWindowSystem.active = 5;
    openMenu();
    platform.fakeWindowSystem.active = 6; // the focus moved while the menu was open
    taggedRow(1001)->trigger();
    TranslationViewController* content = popupContent();
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->originalText, "abcdefghij\nklmnopqrstuvwxyz0123456789ABC") << "the whole text, not the title";
    EXPECT_EQ(content->resultText, "R & D");
    EXPECT_EQ(content->mode, TranslationMode::translate);
    EXPECT_EQ(content->sourceApp, 6u) << "the window focused at the click";
    EXPECT_TRUE(delegate->existingTranslationWindow()->window()->isVisible());
    EXPECT_TRUE(platform.fakeKeySender.sent.isEmpty()) << "nothing is captured";

    taggedRow(1002)->trigger();
    EXPECT_EQ(content->originalText, "akuo");
    EXPECT_EQ(content->mode, TranslationMode::keyboardLayout);
    EXPECT_EQ(popupContent(), content) << "the popup is the controller's one";

    // Rows that are not history entries show nothing.
    content->originalText = QStringLiteral("untouched");
    bar->historyItemClicked(nullptr);
    bar->historyItemClicked(row("תאריך ושעה"));
    QAction stranger;
    stranger.setData(1000);
    bar->historyItemClicked(&stranger);
    EXPECT_EQ(content->originalText, "untouched");
}

TEST_F(StatusBarControllerTest, CaptureActionsCopyFromTheSourceWindowAndOpenTheirMode)
{
    struct Case {
        const char* row;
        std::optional<QString> selection; // nothing: the copy changes nothing
        std::optional<QString> popup;     // nothing: no popup
        TranslationMode mode;
    };
    const Case cases[] = {
        {"תרגם טקסט שנבחר", "hello", "hello", TranslationMode::translate},
        {"החלף פריסת מקלדת", "akuo", "akuo", TranslationMode::keyboardLayout},
        {"תאריך ושעה", "1700000000", "1700000000", TranslationMode::dateTime},
        {"תרגם טקסט שנבחר", "   ", "   ", TranslationMode::translate},
        {"תרגם טקסט שנבחר", std::nullopt, std::nullopt, TranslationMode::translate},
        {"החלף פריסת מקלדת", QString(), std::nullopt, TranslationMode::translate},
        {"תאריך ושעה", std::nullopt, QString(), TranslationMode::dateTime},
        {"תאריך ושעה", QString(), QString(), TranslationMode::dateTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.row) + " / " + c.selection.value_or("(nothing)").toStdString());
        bar.reset();
        delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"});
        bar = std::make_unique<StatusBarController>(delegate.get());
        platform.log.clear();
        platform.fakeWindowSystem.active = 7;
        if (c.selection)
            platform.selectText(*c.selection);
        else
            platform.selectNothing();

        openMenu();
        EXPECT_EQ(bar->sourceApp, 7u);
        platform.fakeWindowSystem.active = 0; // the tray took the click; activation brings 7 back
        row(QString::fromUtf8(c.row))->trigger();
        EXPECT_EQ(platform.log, QStringList{"activate 7"});
        platform.fakeWindowSystem.active = 7;
        platform.fakeScheduler.advance(StatusBarController::copyDelayMs - 1);
        EXPECT_FALSE(platform.log.contains("copy"));
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(platform.log, (QStringList{"activate 7", "copy"}));
        platform.fakeScheduler.advance(StatusBarController::copySettleMs - 1);
        EXPECT_EQ(popupContent(), nullptr);
        platform.fakeScheduler.advance(1);

        if (!c.popup) {
            EXPECT_EQ(popupContent(), nullptr);
            continue;
        }
        ASSERT_NE(popupContent(), nullptr);
        EXPECT_EQ(popupContent()->originalText, *c.popup);
        EXPECT_EQ(popupContent()->mode, c.mode);
        EXPECT_EQ(popupContent()->sourceApp, 7u);
        EXPECT_TRUE(delegate->existingTranslationWindow()->window()->isVisible());
    }
}

TEST_F(StatusBarControllerTest, TranslateAndReplacePastesWhatTheMenuCaptured)
{
    platform.fakeWindowSystem.active = 9;
    platform.selectText(QStringLiteral("שלום"));
    openMenu();
    row("תרגם והחלף טקסט")->trigger();
    platform.fakeScheduler.advance(StatusBarController::copyDelayMs);
    // Like a Tk field that already owns the clipboard: a second copy would not be announced.
    platform.selectNothing();
    platform.fakeScheduler.advance(StatusBarController::copySettleMs);
    ASSERT_TRUE(test::waitUntil([&] { return platform.log.contains("paste"); }));
    EXPECT_EQ(platform.log, (QStringList{"activate 9", "copy", "setText translated", "paste"}));
    EXPECT_EQ(popupContent(), nullptr) << "nothing shown";

    // Nothing selected: nothing is translated or pasted.
    platform.log.clear();
    openMenu();
    row("תרגם והחלף טקסט")->trigger();
    platform.fakeScheduler.advance(2000);
    EXPECT_EQ(platform.log, (QStringList{"activate 9", "copy"}));
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(StatusBarControllerTest, ActionsDoNothingOnceTheControllerIsGone)
{
    openMenu();
    row("הגדרות...")->trigger();
    ASSERT_NE(delegate->settingsWindow(), nullptr) << "settings open through the controller";

    StatusBarController orphan(delegate.get());
    delegate.reset();
    platform.log.clear();
    platform.fakeWindowSystem.active = 3;
    platform.selectText(QStringLiteral("text"));
    emit orphan.menu()->aboutToShow();
    for (QAction* action : orphan.menu()->actions())
        if (!action->isSeparator() && action->text() != QLatin1String("יציאה"))
            action->trigger();
    platform.fakeScheduler.advance(5000);
    // The captures still ran; nothing came of them.
    EXPECT_EQ(platform.log.count("copy"), 4);
    EXPECT_FALSE(platform.log.contains("paste"));
    EXPECT_EQ(platform.fakeScheduler.pending(), 0);
}

// On a real tray (jwm's dock under Xvfb): a left click on the icon opens the same menu, with the
// history section, and a screenshot of it is kept for a person to look at.
TEST_F(StatusBarControllerTest, LeftClickOnTheTrayIconOpensTheMenu)
{
    ASSERT_TRUE(test::waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
        << "no system tray on this display";
    addThreeEntries();
    // A fresh icon now that the tray is known to be there.
    bar = std::make_unique<StatusBarController>(delegate.get());
    QSystemTrayIcon* item = bar->statusItem();
    // Until the dock embeds it the icon's window waits unmapped at the origin; jwm's dock is at the
    // bottom of the screen.
    ASSERT_TRUE(test::waitUntil([&] {
        return !item->geometry().isEmpty() && item->geometry().topLeft() != QPoint(0, 0);
    })) << "the icon was not docked";

    QWidget* trayWindow = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget->isVisible())
            trayWindow = widget;
    ASSERT_NE(trayWindow, nullptr);
    EXPECT_EQ(trayWindow->accessibleName(), "Vorlex");
    EXPECT_EQ(trayWindow->toolTip(), "Vorlex");

    const QPoint centre = item->geometry().center();
    QProcess click;
    click.start(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(centre.x()),
                 QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(click.waitForFinished(10000));
    ASSERT_EQ(click.exitCode(), 0) << click.readAllStandardError().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return menu().isVisible(); })) << "the left click did not open the menu";
    EXPECT_EQ(menu().actions().size(), 8 + 2 + 3 + 1) << "opened through aboutToShow, history included";

    // Wait until the menu is on the screen before keeping the picture: the desktop's background
    // beside the menu must differ from the menu's own inside, at two heights.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = menu().geometry();
    const auto drawn = [&] {
        const QImage image = screen->grabWindow(0).toImage();
        const int outsideX = area.right() + 20;
        for (const int y : {area.top() + area.height() / 4, area.top() + area.height() / 2}) {
            if (image.pixel(area.center().x(), y) == image.pixel(outsideX, y))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(test::waitUntil(drawn));
    const QString file = QDir(test::outputDir()).filePath(QStringLiteral("tray-menu.png"));
    EXPECT_TRUE(screen->grabWindow(0).save(file)) << file.toStdString();
    menu().hide();
    EXPECT_TRUE(test::waitUntil([&] { return !menu().isVisible(); }));
}

} // namespace
