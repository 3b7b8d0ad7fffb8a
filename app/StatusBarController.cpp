#include "StatusBarController.h"

#include "ActionRunner.h"
#include "TextTerms.h"
#include "TrayMenuStyle.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>

// The program's resources live in a static library, whose unreferenced objects the linker drops.
// Outside any namespace, as Q_INIT_RESOURCE declares a global function.
static void initShippedResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace vorlex {

namespace {

const QString appName = QStringLiteral("Vorlex");

// Tags kept in each action's data. The history section is told apart from the fixed rows, which keep
// tag 0, by these alone.
constexpr int historySeparatorTag = 999;
constexpr int historyHeadingTag = 998;
constexpr int clearHistoryTag = 997;
constexpr int firstEntryTag = 1000; // + the entry's index in the loaded list
// Grapheme clusters of each side of a history row.
constexpr int titleLength = 25;

bool isHistoryTag(int tag)
{
    return tag == historySeparatorTag || tag == historyHeadingTag || tag == clearHistoryTag || tag >= firstEntryTag;
}

// One side of a history row: counted in user-perceived characters before line feeds become spaces.
QString titleSide(const QString& text)
{
    QString side = TextTerms::leadingGraphemes(text, titleLength);
    side.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A tab would start the shortcut column of a Qt menu row.
    side.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return side;
}

// The icon theme's translation icon, else its globe, else a null icon.
QIcon themeStatusItemIcon()
{
    for (const QString& name : {QStringLiteral("translate"), QStringLiteral("globe")}) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

// The tag in an action's data: 0 for the fixed rows.
int tag(const QAction* action)
{
    return action ? action->data().toInt() : 0;
}

// A history row's title as the menu shows it (a "&" is doubled so Qt does not take it for a mnemonic).
QString historyTitle(const HistoryEntry& entry)
{
    const QString icon = entry.type == QLatin1String("translate") ? QStringLiteral("🌐") : QStringLiteral("⌨️");
    QString title =
        icon + QLatin1Char(' ') + titleSide(entry.originalText) + QStringLiteral(" → ") + titleSide(entry.resultText);
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The settings row's shortcut: the platform's Preferences key, else Ctrl+, .
QKeySequence settingsShortcut()
{
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Preferences);
    // Most X11 desktops define no Preferences key; Ctrl+, is what Command-comma becomes here.
    return standard.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : standard.first();
}

// The tray image shipped with the program. The tray shows it until the icon theme has been looked
// through, and keeps it unless the theme has a translation icon or, failing that, a globe.
QIcon shippedStatusItemIcon()
{
    // Raster renderings of packaging/vorlex.svg: Qt draws SVG only with its optional svg plugin.
    initShippedResources();
    QIcon shipped;
    for (int size : {16, 22, 32, 48, 64})
        shipped.addFile(QStringLiteral(":/vorlex/icons/vorlex-%1.png").arg(size), QSize(size, size));
    return shipped;
}

} // namespace

StatusBarController::StatusBarController(Platform& platform, ActionRunner& actions, HistoryManager& kept)
    : desktop(platform), runner(actions), history(kept), trayMenu(std::make_unique<QMenu>())
{
    trayIcon = new QSystemTrayIcon(this);
    setupButton();
    setupMenu();
}

StatusBarController::~StatusBarController() = default;

void StatusBarController::setupButton()
{
    // Looking through the icon theme costs more than the rest of the start-up together: the tray
    // gets the shipped icon at once, and the theme's, if it has one, once the event loop first waits.
    trayIcon->setIcon(shippedStatusItemIcon());
    auto themeLookup = std::make_shared<QMetaObject::Connection>();
    *themeLookup = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                           [this, themeLookup] {
                               disconnect(*themeLookup);
                               const QIcon themed = themeStatusItemIcon();
                               if (!themed.isNull())
                                   trayIcon->setIcon(themed);
                           });
    trayIcon->setToolTip(appName);
    // The same menu on a left click as on a right click, as a menu-bar item behaves.
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            trayMenu->popup(QCursor::pos());
    });
}

void StatusBarController::setupMenu()
{
    QMenu* menu = trayMenu.get();
    menu->setAccessibleName(appName);
    TrayMenuStyle::applyTo(menu); // right to left, like the popup and the settings window
    // The menu's own capture: the window it was opened over is activated first and given more time.
    const CaptureTiming timing{copyDelayMs, copySettleMs};
    const std::pair<QString, ActionRunner::Action> actions[] = {
        {QStringLiteral("תרגם טקסט שנבחר"), ActionRunner::Action::translate},
        {QStringLiteral("החלף פריסת מקלדת"), ActionRunner::Action::layoutConvert},
        // Translates what this capture copied rather than copying again: an X11 application that
        // already owns the clipboard may not announce a second copy of the same selection.
        {QStringLiteral("תרגם והחלף טקסט"), ActionRunner::Action::replaceText},
        // Copies nothing: the screen is taken once the menu is gone from it.
        {QStringLiteral("תרגם טקסט מהמסך"), ActionRunner::Action::translateScreen},
    };
    for (const auto& row : actions) {
        // Copied: Clang before 16 cannot capture a structured binding.
        const ActionRunner::Action action = row.second;
        menu->addAction(row.first, this, [this, action, timing] { runner.run(action, sourceApp, timing); });
    }
    menu->addAction(QStringLiteral("תאריך ושעה"), this, [this, timing] { runner.showDateTime(sourceApp, timing); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("הגדרות..."), this, [this] { runner.openSettings(); })
        ->setShortcut(settingsShortcut());
    menu->addSeparator();
    menu->addAction(QStringLiteral("יציאה"), qApp, &QCoreApplication::quit)->setShortcut(QKeySequence::Quit);

    connect(menu, &QMenu::aboutToShow, this, &StatusBarController::menuWillOpen);
    trayIcon->setContextMenu(menu);
    trayIcon->show();

    // QSystemTrayIcon has no accessible name of its own; on an XEmbed tray its window is a widget
    // of ours, which gets it here.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget->accessibleName().isEmpty()) {
            widget->setAccessibleName(appName);
            widget->setWindowTitle(appName);
        }
    }
}

void StatusBarController::menuWillOpen()
{
    // Opening the tray menu does not take the focus, so this is the window the user was working in.
    sourceApp = desktop.windowSystem().activeWindow();
    rebuildHistorySection(trayMenu.get());
}

void StatusBarController::rebuildHistorySection(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (isHistoryTag(tag(action))) {
            menu->removeAction(action);
            delete action;
        }
    }
    historyEntries = history.load();
    if (historyEntries.isEmpty())
        return;

    menu->addSeparator()->setData(historySeparatorTag);
    QAction* heading = menu->addAction(QStringLiteral("היסטוריה"));
    heading->setData(historyHeadingTag);
    heading->setEnabled(false);
    for (qsizetype i = 0; i < historyEntries.size(); ++i) {
        QAction* row = menu->addAction(historyTitle(historyEntries.at(i)));
        row->setData(firstEntryTag + int(i));
        connect(row, &QAction::triggered, this, [this, row] { historyItemClicked(row); });
    }
    // Emptied at once; the menu shows it at its next opening.
    QAction* clear = menu->addAction(QStringLiteral("נקה היסטוריה"), this, [this] { history.clear(); });
    clear->setData(clearHistoryTag);
}

void StatusBarController::historyItemClicked(QAction* item)
{
    const int index = tag(item) - firstEntryTag;
    if (!item || item->parent() != trayMenu.get() || index < 0 || index >= historyEntries.size())
        return; // not one of the rows of the section shown now
    runner.showEntry(historyEntries.at(index));
}

} // namespace vorlex
