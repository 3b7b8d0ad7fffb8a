#pragma once

// The frozen screen: a picture of each screen shown over it, on which the user drags a rectangle
// around the text to read. Escape, the right button or a click without a drag cancels.

#include "Platform.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace vorlex {

// One screen's picture, at the screen's own resolution, and where the screen is (Qt's coordinates).
struct ScreenShot {
    QImage image;
    QRect geometry;
};

class ScreenAreaPicker : public QObject {
    Q_OBJECT

public:
    explicit ScreenAreaPicker(Scheduler& scheduler, QObject* parent = nullptr);
    ~ScreenAreaPicker() override;

    // Shows shots over their screens and calls done once: with the part of the pictures the user picked,
    // or nothing when cancelled.
    void pick(const QList<ScreenShot>& shots, std::function<void(std::optional<QImage>)> done);
    bool isPicking() const { return !overlays.empty(); }

    // Every screen as it shows now (X11, where Qt reads the screen).
    static QList<ScreenShot> grabScreens();
    // area (Qt's coordinates) cut out of shots at their resolution; white where no screen is. Null when
    // area meets no screen.
    static QImage crop(const QList<ScreenShot>& shots, const QRect& area);

private:
    void finish(std::optional<QImage> picked);
    // The overlay must hold the keyboard for Escape to reach it; a hotkey's keys still held keep it
    // taken for a moment.
    void grabKeyboard(QWidget* overlay, int attemptsLeft);

    Scheduler& scheduler;
    QList<ScreenShot> current;
    std::vector<std::unique_ptr<QWidget>> overlays;
    std::function<void(std::optional<QImage>)> done;
};

} // namespace vorlex
