#pragma once

// Translate from the screen: the user picks an area (or a caller names one), its text is read off
// the UI thread, and the popup translates it. On X11 the program grabs the screen and shows it frozen;
// on Wayland the desktop takes the picture (its own dialog picks the area where it has one).

#include "OcrEngine.h"
#include "Platform.h"
#include "ScreenAreaPicker.h"

#include <QImage>
#include <QObject>
#include <QRect>

namespace vorlex {

class ScreenTranslation : public QObject {
    Q_OBJECT

public:
    explicit ScreenTranslation(Platform& platform, OcrEngine::Factory make = loadTextRecognizer,
                               QObject* parent = nullptr);
    ~ScreenTranslation() override;

    // The hotkey's action: after delayMs (a menu that was just closed leaves the screen first), the
    // frozen screen or the desktop's dialog, then the text of the area picked. Nothing while a pick is
    // under way or when it is cancelled.
    void pickAndRead(int delayMs = 0);
    // The text of area (Qt's coordinates, the screen's pixels at scale 1) without asking the user.
    void readArea(const QRect& area);

signals:
    // An area is known and its text is being read; source had the focus then.
    void reading(WindowId source);
    // The text read, or why there is none; after reading(), once for each.
    void read(const RecognitionOutcome& outcome);

private:
    // A picture of the screen from the desktop: each screen's part, or the area the user picked there.
    void fromDesktop(bool pickArea, std::function<void(QList<ScreenShot> shots, bool areaPicked)> next);
    void pickOn(const QList<ScreenShot>& shots);
    void readImage(const QImage& image);
    void fail(RecognitionError error);

    Platform& desktop;
    OcrEngine engine;
    ScreenAreaPicker picker;
    bool busy = false; // a pick is under way: waiting for the desktop, or the frozen screen is up
};

} // namespace vorlex
