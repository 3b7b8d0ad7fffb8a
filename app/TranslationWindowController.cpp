#include "TranslationWindowController.h"

#include "SettingsManager.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace vorlex {

TranslationWindowController::TranslationWindowController(Platform& platform, const TranslationEndpoints& endpoints,
                                                         Stores stores)
    : desktop(platform), settingsStore(stores.settings),
      panel(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint))
{
    panel->setWindowTitle(QStringLiteral("Vorlex"));
    panel->setAccessibleName(QStringLiteral("Vorlex"));
    panel->setAttribute(Qt::WA_QuitOnClose, false); // a tray program goes on without its popup
    panel->setLayoutDirection(Qt::RightToLeft);
    panel->resize(defaultSize);
    panel->setMinimumSize(minimumSize);

    translationVC = new TranslationViewController(platform, endpoints, stores, panel.get());
    connect(translationVC, &TranslationViewController::replaceRequested, this,
            &TranslationWindowController::replaceRequested);
    auto* layout = new QVBoxLayout(panel.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(translationVC);

    panel->installEventFilter(this);
}

TranslationWindowController::~TranslationWindowController() = default;

QPoint TranslationWindowController::windowOrigin(const QString& windowPosition, QPoint pointer, QRect available,
                                                 QSize frameSize)
{
    const int left = available.x();
    const int top = available.y();
    const int right = available.x() + available.width(); // exclusive edges
    const int bottom = available.y() + available.height();
    const int w = frameSize.width();
    const int h = frameSize.height();

    if (windowPosition == QLatin1String("cursor")) {
        // The far edges first and the near ones last, so a window larger than the area keeps
        // its right edge and its top (title bar) edge on the area's.
        int x = pointer.x() + cursorOffset;
        x = std::max(x, left);
        x = std::min(x, right - w);
        int y = pointer.y() + cursorOffset;
        y = std::min(y, bottom - h);
        y = std::max(y, top);
        return {x, y};
    }
    if (windowPosition == QLatin1String("top-right"))
        return {right - w - cornerMargin, top + cornerMargin};
    if (windowPosition == QLatin1String("top-left"))
        return {left + cornerMargin, top + cornerMargin};
    return {left + (available.width() - w) / 2, top + (available.height() - h) / 2};
}

void TranslationWindowController::show(TranslationMode mode, const QString& text, WindowId source)
{
    translationVC->set(mode, text, source);
    present();
}

void TranslationWindowController::showEntry(const HistoryEntry& entry, WindowId source)
{
    translationVC->showEntry(entry, source);
    present();
}

void TranslationWindowController::showPending(WindowId source)
{
    translationVC->showPending(source);
    present();
}

void TranslationWindowController::finishPending(const RecognitionOutcome& outcome)
{
    if (!translationVC->isPending())
        return; // the user asked for something else meanwhile
    if (const auto* text = std::get_if<QString>(&outcome))
        return show(TranslationMode::translate, *text, shown().sourceApp);
    translationVC->showFailure(std::get<RecognitionError>(outcome).description());
    present(); // also where the popup was hidden meanwhile
}

void TranslationWindowController::present()
{
    const AppSettings settings = settingsStore.load();
    positionWindow(settings.windowPosition);
    // Set before showing, so the first frame already has the opacity the settings ask for.
    panel->setWindowOpacity(settings.windowOpacity);
    panel->show();
    panel->raise();
    const WindowId id = panel->winId();
    desktop.windowSystem().showOnAllDesktops(id); // the window manager forgets it at every hide
    desktop.windowSystem().activate(id);
    startOutsideClickMonitor();
}

void TranslationWindowController::positionWindow(const QString& windowPosition)
{
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return; // no screen: the window stays where it was
    panel->move(windowOrigin(windowPosition, pointer, screen->availableGeometry(), panel->frameGeometry().size()));
}

void TranslationWindowController::startOutsideClickMonitor()
{
    if (outsideClickMonitor)
        return;
    // The watcher ends before this controller goes, so it may hold the controller directly.
    outsideClickMonitor = std::make_unique<QObject>();
    const bool watching = desktop.inputObserver().watchButtons(
        outsideClickMonitor.get(), [this](const ButtonPress& press) { outsideClick(press); });
    if (!watching && !hidesWithoutClicks) {
        // Clicks outside cannot be seen (Wayland): the popup goes when it loses the focus, or on Escape.
        hidesWithoutClicks = true;
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel.get());
        connect(escape, &QShortcut::activated, panel.get(), &QWidget::hide);
    }
}

void TranslationWindowController::outsideClick(const ButtonPress& press)
{
    if (!panel->isVisible())
        return;
    const QPoint where = press.globalPosition;
    // The desktop reports every press, also those on this program's own windows (the popup, the
    // settings window, the tray icon and its menu): those are not outside.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* widget : windows) {
        if (widget->isVisible() && widget->frameGeometry().contains(where))
            return;
    }
    if (QGuiApplication::topLevelAt(where))
        return;
    panel->hide(); // hiding is not closing: the watcher stays
}

bool TranslationWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panel.get() && event->type() == QEvent::Close)
        outsideClickMonitor.reset();
    if (watched == panel.get() && event->type() == QEvent::WindowDeactivate && hidesWithoutClicks) {
        // Decided once the focus has settled: a menu or window of our own taking it is not leaving.
        desktop.scheduler().after(0, panel.get(), [this] {
            if (!QApplication::activeWindow() && !QApplication::activePopupWidget())
                panel->hide();
        });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vorlex
