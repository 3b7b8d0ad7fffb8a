#include "StatusBarController.h"

#include "AppDelegate.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

namespace vorlex {

StatusBarController::StatusBarController(AppDelegate* delegate)
    : appDelegate(delegate), trayMenu(std::make_unique<QMenu>())
{
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    trayIcon->setToolTip(QStringLiteral("Vorlex"));

    trayMenu->addAction(QStringLiteral("הגדרות..."), this, [this] {
        if (appDelegate)
            appDelegate->openSettings();
    });
    trayMenu->addAction(QStringLiteral("יציאה"), qApp, &QCoreApplication::quit);
    trayIcon->setContextMenu(trayMenu.get());
    trayIcon->show();
}

StatusBarController::~StatusBarController() = default;

} // namespace vorlex
