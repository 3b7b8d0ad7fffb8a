#include "TrayMenuStyle.h"

#include "AppDelegate.h"
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

// Whether anything is drawn in the two columns just inside the frame line, where a cut-off
// shortcut shows.
static bool drawnAtLeftEdge(const QImage& shot, const QRect& row)
{
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x : {row.left() + 1, row.left() + 2}) {
            if (shot.pixel(x, y) != shot.pixel(x, row.top()))
                return true;
        }
    }
    return false;
}

// The tests load no Qt catalogue, so the application stays left to right: the case in which
// Fusion drew the shortcuts over the menu's left edge.
TEST(TrayMenuStyleTest, TheTrayMenuIsRightToLeftWithItsShortcutsWhole)
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    FakePlatform platform;
    AppDelegate delegate(platform, {QStringLiteral("vorlex")});
    StatusBarController bar(&delegate);
    QMenu& menu = *bar.menu();
    EXPECT_EQ(menu.layoutDirection(), Qt::RightToLeft);
    menu.popup(QPoint(400, 300));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shot = menu.grab().toImage();
    EXPECT_TRUE(shot.save(QDir(test::outputDir()).filePath(QStringLiteral("tray-menu-rtl.png"))));
    for (QAction* action : menu.actions()) {
        const QRect row = menu.actionGeometry(action).adjusted(0, 2, 0, -2); // off the frame's bottom line
        EXPECT_TRUE(action->shortcut().isEmpty() || !drawnAtLeftEdge(shot, row)) << action->text().toStdString();
    }
}
