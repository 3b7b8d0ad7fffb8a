#pragma once

// The tray icon and its menu: the four actions on the text selected in the window the user was
// working in, the settings, quitting, and below them the history, rebuilt at every opening.

#include "HistoryManager.h"
#include "Platform.h"
#include "TranslationWindowController.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QIcon;
class QKeySequence;
class QMenu;
class QSystemTrayIcon;

namespace vorlex {

class AppDelegate;

class StatusBarController : public QObject {
    Q_OBJECT

public:
    // Tags kept in each action's data. The history section is told apart from the fixed rows,
    // which keep tag 0, by these alone.
    static constexpr int historySeparatorTag = 999;
    static constexpr int historyHeadingTag = 998;
    static constexpr int clearHistoryTag = 997;
    static constexpr int firstEntryTag = 1000; // + the entry's index in the loaded list

    // The menu's own capture: from activating the source window to Ctrl+C, then the longest wait for
    // the copy to land.
    static constexpr int copyDelayMs = 150;
    static constexpr int copySettleMs = 250;
    // Grapheme clusters of each side of a history row.
    static constexpr int titleLength = 25;

    // Installs the tray icon and its menu. appDelegate is held weakly; it must be there now (its
    // platform is the one the menu captures with) but may go before this controller.
    explicit StatusBarController(AppDelegate* appDelegate);
    ~StatusBarController() override;

    QSystemTrayIcon* statusItem() const { return trayIcon; }
    QMenu* menu() const { return trayMenu.get(); }
    // The tag in an action's data: 0 for the fixed rows.
    static int tag(const QAction* action);
    // A history row's title as the menu shows it (a "&" is doubled so Qt does not take it for a mnemonic).
    static QString historyTitle(const HistoryEntry& entry);

    // The menu's aboutToShow: notes the window the user was working in and rebuilds the history.
    void menuWillOpen();

    // The menu's actions.
    void translateSelectedText();
    void convertLayoutSelectedText();
    void translateAndReplaceSelectedText();
    void showDateTime();
    void openSettings();
    void quit();
    void historyItemClicked(QAction* item);
    void clearHistory();

    // The window that had the focus when the menu last opened; 0 when none.
    WindowId sourceApp = 0;

private:
    void setupButton();
    void setupMenu();
    void rebuildHistorySection(QMenu* menu);
    // Copies the selection of sourceApp; done gets the clipboard's text when the copy changed the
    // clipboard (empty when it holds no text), else nothing.
    void capture(std::function<void(std::optional<QString>)> done);
    // handler runs only with a newly copied, non-empty text.
    void grabSelected(std::function<void(const QString&)> handler);
    void showPopup(TranslationMode mode, const QString& text);

    QPointer<AppDelegate> appDelegate; // weak: the controller owns us
    Platform& desktop;
    std::unique_ptr<QMenu> trayMenu;
    QSystemTrayIcon* trayIcon = nullptr;
    QList<HistoryEntry> historyEntries; // behind the history rows, by tag - firstEntryTag
};

// The tray image shipped with the program. The tray shows it until the icon theme has been looked
// through, and keeps it unless the theme has a translation icon or, failing that, a globe.
QIcon shippedStatusItemIcon();
// The settings row's shortcut: the platform's Preferences key, else Ctrl+, .
QKeySequence settingsShortcut();

} // namespace vorlex
