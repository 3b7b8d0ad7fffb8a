#include "BridgedClipboard.h"

#include "QtClipboard.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <utility>

namespace vorlex::x11 {

namespace {

class BridgedClipboard final : public Clipboard, public QAbstractNativeEventFilter {
public:
    BridgedClipboard() { qGuiApp->installNativeEventFilter(this); }
    ~BridgedClipboard() override
    {
        if (qGuiApp)
            qGuiApp->removeNativeEventFilter(this);
    }

    quint64 changeCount() const override { return clipboard.changeCount(); }
    void read(int timeoutMs, QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        clipboard.read(timeoutMs, context, std::move(done));
    }
    void setText(const QString& text) override
    {
        ++generation;
        served = false;
        clipboard.setText(text);
    }
    void watchChanges(QObject* context, std::function<void()> handler) override
    {
        clipboard.watchChanges(context, std::move(handler));
    }
    void whenServed(QObject* context, std::function<void()> ready) override
    {
        if (served)
            return ready();
        waiting.add(context, std::move(ready));
        // A desktop that never asks (no bridge after all) delays the paste this long at most.
        QTimer::singleShot(bridgeWaitMs, &timers, [this, current = generation] {
            if (current == generation)
                release();
        });
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        // Asked for the text: released once Qt has answered (the timer runs after this event).
        if (!served && type == "xcb_generic_event_t" &&
            (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_SELECTION_REQUEST)
            QTimer::singleShot(0, &timers, [this] { release(); });
        return false;
    }

private:
    static constexpr int bridgeWaitMs = 250;

    void release()
    {
        served = true;
        waiting.release();
    }

    QtClipboard clipboard;
    quint64 generation = 0;
    bool served = true;
    Waiters waiting;
    QObject timers;
};

} // namespace

std::unique_ptr<Clipboard> createBridgedClipboard()
{
    return std::make_unique<BridgedClipboard>();
}

} // namespace vorlex::x11
