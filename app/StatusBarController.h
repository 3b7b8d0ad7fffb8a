#pragma once

// The tray icon and its menu: the actions on the text selected in the window the user was working
// in (or on the screen), the settings, quitting, and below them the history, rebuilt at every opening.

#include "HistoryManager.h"
#include "Platform.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vorlex {

class ActionRunner;

class StatusBarController : public QObject {
    Q_OBJECT

public:
    // The menu's own capture: from activating the source window to Ctrl+C, then the longest wait for
    // the copy to land.
    static constexpr int copyDelayMs = 150;
    static constexpr int copySettleMs = 250;

    // Installs the tray icon and its menu, whose rows run their actions through runner.
    StatusBarController(Platform& platform, ActionRunner& runner, HistoryManager& history);
    ~StatusBarController() override;

    QMenu* menu() const { return trayMenu.get(); }

private:
    void setupButton();
    void setupMenu();
    // The menu's aboutToShow: notes the window the user was working in and rebuilds the history.
    void menuWillOpen();
    void rebuildHistorySection(QMenu* menu);
    void historyItemClicked(QAction* item);

    Platform& desktop;
    ActionRunner& runner;
    HistoryManager& history;
    // The window that had the focus when the menu last opened; 0 when none.
    WindowId sourceApp = 0;
    std::unique_ptr<QMenu> trayMenu;
    QSystemTrayIcon* trayIcon = nullptr;
    QList<HistoryEntry> historyEntries; // behind the history rows, by tag - the first entry's tag
};

} // namespace vorlex
