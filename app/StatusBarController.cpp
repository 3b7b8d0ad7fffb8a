#include "StatusBarController.h"

#include "AppDelegate.h"
#include "SelectionCapture.h"
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

bool isHistoryTag(int tag)
{
    return tag == StatusBarController::historySeparatorTag || tag == StatusBarController::historyHeadingTag ||
           tag == StatusBarController::clearHistoryTag || tag >= StatusBarController::firstEntryTag;
}

// One side of a history row: counted in user-perceived characters before line feeds become spaces.
QString titleSide(const QString& text)
{
    QString side = TextTerms::leadingGraphemes(text, StatusBarController::titleLength);
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

} // namespace

QKeySequence settingsShortcut()
{
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Preferences);
    // Most X11 desktops define no Preferences key; Ctrl+, is what Command-comma becomes here.
    return standard.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : standard.first();
}

QIcon shippedStatusItemIcon()
{
    // Raster renderings of packaging/vorlex.svg: Qt draws SVG only with its optional svg plugin.
    initShippedResources();
    QIcon shipped;
    for (int size : {16, 22, 32, 48, 64})
        shipped.addFile(QStringLiteral(":/vorlex/icons/vorlex-%1.png").arg(size), QSize(size, size));
    return shipped;
}

StatusBarController::StatusBarController(AppDelegate* delegate)
    : appDelegate(delegate), desktop(delegate->platform()), trayMenu(std::make_unique<QMenu>())
{
    trayIcon = new QSystemTrayIcon(this);
    setupButton();
    setupMenu();
}

StatusBarController::~StatusBarController() = default;

int StatusBarController::tag(const QAction* action)
{
    return action ? action->data().toInt() : 0;
}

QString StatusBarController::historyTitle(const HistoryEntry& entry)
{
    const QString icon = entry.type == QLatin1String("translate") ? QStringLiteral("🌐") : QStringLiteral("⌨️");
    QString title =
        icon + QLatin1Char(' ') + titleSide(entry.originalText) + QStringLiteral(" → ") + titleSide(entry.resultText);
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

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
    menu->addAction(QStringLiteral("תרגם טקסט שנבחר"), this, &StatusBarController::translateSelectedText);
    menu->addAction(QStringLiteral("החלף פריסת מקלדת"), this, &StatusBarController::convertLayoutSelectedText);
    menu->addAction(QStringLiteral("תרגם והחלף טקסט"), this, &StatusBarController::translateAndReplaceSelectedText);
    menu->addAction(QStringLiteral("תאריך ושעה"), this, &StatusBarController::showDateTime);
    menu->addSeparator();
    QAction* settings = menu->addAction(QStringLiteral("הגדרות..."), this, &StatusBarController::openSettings);
    settings->setShortcut(settingsShortcut());
    menu->addSeparator();
    QAction* quitAction = menu->addAction(QStringLiteral("יציאה"), this, &StatusBarController::quit);
    quitAction->setShortcut(QKeySequence::Quit);

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
    historyEntries = HistoryManager::shared().load();
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
    QAction* clear = menu->addAction(QStringLiteral("נקה היסטוריה"), this, &StatusBarController::clearHistory);
    clear->setData(clearHistoryTag);
}

void StatusBarController::historyItemClicked(QAction* item)
{
    const int index = tag(item) - firstEntryTag;
    if (!item || item->parent() != trayMenu.get() || index < 0 || index >= historyEntries.size())
        return; // not one of the rows of the section shown now
    if (!appDelegate)
        return;
    TranslationWindowController& window = appDelegate->translationWindow();
    window.translationVC->sourceApp = desktop.windowSystem().activeWindow();
    window.translationVC->showEntry(historyEntries.at(index));
    window.present();
}

void StatusBarController::clearHistory()
{
    HistoryManager::shared().clear(); // the menu shows it at its next opening
}

void StatusBarController::capture(std::function<void(std::optional<QString>)> done)
{
    captureSelection(desktop, this, sourceApp, {copyDelayMs, copySettleMs}, std::move(done));
}

void StatusBarController::grabSelected(std::function<void(const QString&)> handler)
{
    capture([handler = std::move(handler)](std::optional<QString> text) {
        if (text && !text->isEmpty())
            handler(*text);
    });
}

void StatusBarController::showPopup(TranslationMode mode, const QString& text)
{
    if (appDelegate)
        appDelegate->showPopup(mode, text);
}

void StatusBarController::translateSelectedText()
{
    grabSelected([this](const QString& text) { showPopup(TranslationMode::translate, text); });
}

void StatusBarController::convertLayoutSelectedText()
{
    grabSelected([this](const QString& text) { showPopup(TranslationMode::keyboardLayout, text); });
}

void StatusBarController::translateAndReplaceSelectedText()
{
    // Use what this capture copied rather than copying again: an X11 application that already owns
    // the clipboard may not announce a second copy of the same selection, and the second capture
    // would then find nothing.
    grabSelected([this](const QString& text) {
        if (appDelegate)
            appDelegate->translateAndReplace(text);
    });
}

void StatusBarController::showDateTime()
{
    // Always opens: with nothing copied the date/time tab shows the current time.
    capture([this](std::optional<QString> text) { showPopup(TranslationMode::dateTime, text.value_or(QString())); });
}

void StatusBarController::openSettings()
{
    if (appDelegate)
        appDelegate->openSettings();
}

void StatusBarController::quit()
{
    QCoreApplication::quit();
}

} // namespace vorlex
