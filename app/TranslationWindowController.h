#pragma once

// The popup window: a small tool window above all others, on every desktop, placed by the
// position setting, hidden again by a click outside it. Its content is TranslationViewController.

#include "Platform.h"
#include "TextRecognizer.h"
#include "TranslationViewController.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QWidget;

namespace vorlex {

class TranslationWindowController : public QObject {
    Q_OBJECT

public:
    TranslationWindowController(Platform& platform, const TranslationEndpoints& endpoints, Stores stores);
    ~TranslationWindowController() override;

    // Runs mode on text, which came from the window source (0: none), and presents the popup.
    void show(TranslationMode mode, const QString& text, WindowId source);
    // Presents the popup with a stored history entry.
    void showEntry(const HistoryEntry& entry, WindowId source);
    // Presents the popup waiting for a text read off the screen over source, then translates the text
    // or shows why there is none; unless another request took the popup meanwhile.
    void showPending(WindowId source);
    void finishPending(const RecognitionOutcome& outcome);
    const TranslationViewController::Shown& shown() const { return translationVC->shown(); }
    QWidget* window() const { return panel.get(); }

    static constexpr QSize defaultSize{480, 300};
    static constexpr QSize minimumSize{360, 240};
    static constexpr int cursorOffset = 12;
    static constexpr int cornerMargin = 20;

    // Where the window's top-left corner goes (Qt coordinates, y pointing down), for a window
    // position setting, the pointer, the available area of the screen and the window's frame size.
    // "cursor": 12 px right of and below the pointer, pushed back inside the area; where the window
    // does not fit, its right and top edges align with the area's. "top-right" and "top-left": 20 px
    // from the area's corner. Anything else: centred in the area.
    static QPoint windowOrigin(const QString& windowPosition, QPoint pointer, QRect available, QSize frameSize);

signals:
    // The replace button: see TranslationViewController.
    void replaceRequested(const QString& text, WindowId source);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Places, shows and activates the popup with the opacity the settings ask for now, and makes
    // sure a click outside it will hide it.
    void present();
    void positionWindow(const QString& windowPosition);
    void startOutsideClickMonitor();
    void outsideClick(const ButtonPress& press);

    Platform& desktop;
    SettingsManager& settingsStore;
    std::unique_ptr<QWidget> panel;
    // The content; created with the window, never replaced, owned by it.
    TranslationViewController* translationVC = nullptr;
    // The outside-click watcher's lifetime, from the first presentation until the window is closed.
    std::unique_ptr<QObject> outsideClickMonitor;
    // Where outside clicks cannot be observed, losing the focus or Escape hides the popup instead.
    bool hidesWithoutClicks = false;
};

} // namespace vorlex
