#pragma once

// The tray icon and its menu.

#include <QObject>
#include <QPointer>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace vorlex {

class AppDelegate;

class StatusBarController : public QObject {
    Q_OBJECT

public:
    explicit StatusBarController(AppDelegate* appDelegate);
    ~StatusBarController() override;

    QSystemTrayIcon* statusItem() const { return trayIcon; }
    QMenu* menu() const { return trayMenu.get(); }

private:
    QPointer<AppDelegate> appDelegate; // weak: the controller owns us
    std::unique_ptr<QMenu> trayMenu;
    QSystemTrayIcon* trayIcon = nullptr;
};

} // namespace vorlex
