#include "StatusBarController.h"

#include "AppFixture.h"
#include "HistoryManager.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QTest>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QStringList fixedRows = {"תרגם טקסט שנבחר",
                               "החלף פריסת מקלדת",
                               "תרגם והחלף טקסט",
                               "תרגם טקסט מהמסך",
                               "תאריך ושעה",
                               "---",
                               "הגדרות...",
                               "---",
                               "יציאה"};

class StatusBarControllerTest : public AppFixture {
protected:
    void openMenu() { emit bar.menu()->aboutToShow(); }
    QStringList rows() const
    {
        QStringList texts;
        for (const QAction* action : bar.menu()->actions())
            texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
        return texts;
    }
    QAction* row(int index) const { return bar.menu()->actions().value(index); }

    StatusBarController bar{platform, runner, HistoryManager::shared()};
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

    platform.active = 6;
    row(12)->trigger();
    EXPECT_EQ(popup(), (Shown{TranslationMode::keyboardLayout, "akuo", 6})) << "the whole entry, not its title";
    EXPECT_FALSE(platform.log.contains("copy")) << "nothing is captured";

    row(14)->trigger();
    EXPECT_TRUE(HistoryManager::shared().load().isEmpty());
    openMenu();
    EXPECT_EQ(rows(), fixedRows);
}

// The tests load no Qt catalogue, so the application stays left to right: the case in which Fusion
// drew the shortcuts over the right-to-left menu's left edge.
TEST_F(StatusBarControllerTest, TheMenuIsRightToLeftWithItsShortcutsWhole)
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    QMenu& menu = *bar.menu();
    EXPECT_EQ(menu.layoutDirection(), Qt::RightToLeft);
    menu.popup(QPoint(400, 300));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shot = menu.grab().toImage();
    EXPECT_TRUE(shot.save(QDir(outputDir()).filePath(QStringLiteral("tray-menu-rtl.png"))));
    // The two columns inside the frame line, where a cut-off shortcut shows, as bare as the first row's.
    const auto edge = [&](QAction* row) {
        const QRect rect = menu.actionGeometry(row);
        return shot.copy(1, rect.y() + 2, 2, rect.height() - 4); // not the frame's bottom line
    };
    for (QAction* action : menu.actions())
        EXPECT_TRUE(action->shortcut().isEmpty() || edge(action) == edge(menu.actions().constFirst()));
}

// The menu's own capture: the window it was opened over activated at once, the copy 0.15 s later.
TEST_F(StatusBarControllerTest, CaptureRowsActivateTheSourceWaitAndAct)
{
    using enum TranslationMode;
    const QStringList captured{"activate 7", "copy"};
    const std::tuple<int, std::optional<QString>, std::optional<Shown>, QStringList> cases[] = {
        {0, QString(), std::nullopt, captured},
        {2, "שלום", std::nullopt, captured + QStringList{"setText translated", "paste"}},
        {1, "akuo", Shown{keyboardLayout, "akuo", 7}, captured},
        {4, std::nullopt, Shown{dateTime, QString(), 7}, captured}, // the date tab opens with the time now
    };
    for (const auto& [index, selection, shown, expectedLog] : cases) {
        const QStringList& log = expectedLog; // Clang before 16 cannot capture a structured binding
        SCOPED_TRACE(index);
        platform.active = 7;
        selection ? platform.selectText(*selection) : platform.selectNothing();
        openMenu();
        platform.active = 0; // the tray took the click
        platform.log.clear();
        row(index)->trigger();
        platform.fakeScheduler.advance(StatusBarController::copyDelayMs - 1);
        EXPECT_EQ(platform.log, QStringList{"activate 7"});
        platform.fakeScheduler.advance(1 + StatusBarController::copySettleMs);
        EXPECT_TRUE(waitUntil([&] {
            platform.fakeScheduler.advance(1); // a paste waits for the clipboard's previous owner
            return platform.log.mid(0, log.size()) == log;
        })) << platform.log.join(u'|');
        EXPECT_EQ(popup(), shown);
    }
}

} // namespace
