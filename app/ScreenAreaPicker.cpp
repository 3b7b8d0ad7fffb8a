#include "ScreenAreaPicker.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace vorlex {

namespace {

constexpr int keyboardAttempts = 40;
constexpr int keyboardRetryMs = 50;
// A drag smaller than this either way is a click.
constexpr int smallestArea = 4;

// One screen's frozen picture, covering that screen, with the rectangle being dragged.
class AreaOverlay : public QWidget {
public:
    AreaOverlay(const ScreenShot& frozen, std::function<void(std::optional<QRect>)> report)
        : QWidget(nullptr,
                  Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint),
          shot(frozen), chosen(std::move(report))
    {
        setObjectName(QStringLiteral("screenAreaPicker"));
        setAccessibleName(hint());
        setAttribute(Qt::WA_OpaquePaintEvent);
        setCursor(Qt::CrossCursor);
        setMouseTracking(true);
        setGeometry(frozen.geometry);
    }

    static QString hint() { return QStringLiteral("גררו מלבן סביב הטקסט לתרגום · Esc לביטול"); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(rect(), shot.image);
        const QRect area = dragged();
        painter.setClipRegion(QRegion(rect()).subtracted(area));
        painter.fillRect(rect(), QColor(0, 0, 0, 110)); // the rest of the screen dimmed
        painter.setClipping(false);
        if (!area.isEmpty()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.drawRect(area.adjusted(1, 1, -1, -1));
            return;
        }
        QFont font = painter.font();
        font.setPixelSize(18);
        painter.setFont(font);
        const QRect band(0, 24, width(), 40);
        painter.fillRect(band.adjusted(width() / 2 - 260, 0, 260 - width() / 2, 0), QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(band, Qt::AlignCenter, hint());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::RightButton)
            return chosen(std::nullopt);
        if (event->button() == Qt::LeftButton) {
            anchor = current = event->position().toPoint();
            dragging = true;
            update();
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!dragging)
            return;
        current = event->position().toPoint();
        update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !dragging)
            return;
        current = event->position().toPoint();
        dragging = false;
        const QRect area = dragged();
        // A click without a drag cancels, as Escape does.
        if (area.width() < smallestArea || area.height() < smallestArea)
            return chosen(std::nullopt);
        chosen(area.translated(shot.geometry.topLeft()));
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            chosen(std::nullopt);
    }

private:
    QRect dragged() const { return anchor == current ? QRect() : QRect(anchor, current).normalized() & rect(); }

    const ScreenShot shot;
    const std::function<void(std::optional<QRect>)> chosen;
    QPoint anchor;
    QPoint current;
    bool dragging = false;
};

} // namespace

ScreenAreaPicker::ScreenAreaPicker(Scheduler& timers, QObject* parent) : QObject(parent), scheduler(timers) {}

ScreenAreaPicker::~ScreenAreaPicker() = default;

QList<ScreenShot> ScreenAreaPicker::grabScreens()
{
    QList<ScreenShot> shots;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QImage image = screen->grabWindow(0).toImage();
        if (!image.isNull())
            shots.append({image, screen->geometry()});
    }
    return shots;
}

QImage ScreenAreaPicker::crop(const QList<ScreenShot>& shots, const QRect& area)
{
    // At the resolution of the screen that holds most of the area.
    const ScreenShot* main = nullptr;
    qint64 largest = 0;
    for (const ScreenShot& shot : shots) {
        const QRect part = shot.geometry & area;
        if (qint64(part.width()) * part.height() > largest) {
            largest = qint64(part.width()) * part.height();
            main = &shot;
        }
    }
    if (!main)
        return {};
    const double scale = double(main->image.width()) / main->geometry.width();
    QImage cut(qRound(area.width() * scale), qRound(area.height() * scale), QImage::Format_RGB32);
    cut.fill(Qt::white);
    QPainter painter(&cut);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const ScreenShot& shot : shots) {
        const QRect part = shot.geometry & area;
        if (part.isEmpty())
            continue;
        const double sx = double(shot.image.width()) / shot.geometry.width();
        const double sy = double(shot.image.height()) / shot.geometry.height();
        const QRectF source((part.x() - shot.geometry.x()) * sx, (part.y() - shot.geometry.y()) * sy, part.width() * sx,
                            part.height() * sy);
        const QRectF target((part.x() - area.x()) * scale, (part.y() - area.y()) * scale, part.width() * scale,
                            part.height() * scale);
        painter.drawImage(target, shot.image, source);
    }
    return cut;
}

void ScreenAreaPicker::pick(const QList<ScreenShot>& shots, std::function<void(std::optional<QImage>)> callback)
{
    finish(std::nullopt); // a pick still open is given up
    current = shots;
    done = std::move(callback);
    for (const ScreenShot& shot : shots) {
        auto overlay = std::make_unique<AreaOverlay>(shot, [this](std::optional<QRect> area) {
            // Later: the overlay that reported it goes with the others.
            scheduler.after(0, this,
                            [this, area] { finish(area ? std::optional(crop(current, *area)) : std::nullopt); });
        });
        overlay->show();
        overlay->raise();
        overlay->activateWindow();
        grabKeyboard(overlay.get(), keyboardAttempts);
        overlays.push_back(std::move(overlay));
    }
    if (overlays.empty())
        finish(std::nullopt);
}

void ScreenAreaPicker::grabKeyboard(QWidget* overlay, int attemptsLeft)
{
    QWindow* window = overlay->windowHandle();
    if (window && window->isExposed() && window->setKeyboardGrabEnabled(true))
        return;
    if (attemptsLeft > 0)
        scheduler.after(keyboardRetryMs, overlay,
                        [this, overlay, attemptsLeft] { grabKeyboard(overlay, attemptsLeft - 1); });
}

void ScreenAreaPicker::finish(std::optional<QImage> picked)
{
    if (overlays.empty() && !done)
        return;
    overlays.clear();
    current.clear();
    if (const auto callback = std::exchange(done, nullptr))
        callback(std::move(picked));
}

} // namespace vorlex
