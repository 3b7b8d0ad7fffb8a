#include "TrayMenuStyle.h"

#include "ActionRunner.h"
#include "FakePlatform.h"
#include "StatusBarController.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlex;

// The tests load no Qt catalogue, so the application stays left to right: the case in which
// Fusion drew the shortcuts over the menu's left edge.
TEST(TrayMenuStyleTest, TheTrayMenuIsRightToLeftWithItsShortcutsWhole)
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    FakePlatform platform;
    ActionRunner runner(platform, {});
    StatusBarController bar(platform, runner);
    QMenu& menu = *bar.menu();
    EXPECT_EQ(menu.layoutDirection(), Qt::RightToLeft);
    menu.popup(QPoint(400, 300));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shot = menu.grab().toImage();
    EXPECT_TRUE(shot.save(QDir(test::outputDir()).filePath(QStringLiteral("tray-menu-rtl.png"))));
    // The two columns inside the frame line, where a cut-off shortcut shows, as bare as the first row's.
    const auto edge = [&](QAction* row) {
        const QRect rect = menu.actionGeometry(row);
        return shot.copy(1, rect.y() + 2, 2, rect.height() - 4); // not the frame's bottom line
    };
    for (QAction* action : menu.actions())
        EXPECT_TRUE(action->shortcut().isEmpty() || edge(action) == edge(menu.actions().constFirst()));
}
