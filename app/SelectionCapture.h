#pragma once

// Makes the focused application copy its selection and reads what the copy put on the clipboard.
// The hotkeys and the tray menu differ only in timing.

#include "Platform.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace vorlex {

struct CaptureTiming {
    // From activating the source window to the copy keystroke.
    int activationMs = 0;
    // How long the copy may take to land on the clipboard before the capture gives up. Reading the
    // clipboard is held to the same bound.
    int landingTimeoutMs = 250;
};

// One capture at a time: each starts once the one before it is done and no copy of its can still land.
class SelectionCapture : public QObject {
public:
    explicit SelectionCapture(Platform& platform, QObject* parent = nullptr);

    // Activates source (0: none), sends the copy keystroke and completes as soon as the copy landed,
    // or when the timeout passes. The copy landed when the clipboard changed, or, where an application
    // changes what it serves without announcing it, when the clipboard serves a text other than before
    // the keystroke. completion gets the copied text (empty when the copy holds none), else nothing.
    // It runs exactly once, never before this returns, and not at all once context is gone.
    void capture(QObject* context, WindowId source, CaptureTiming timing,
                 std::function<void(std::optional<QString>)> completion);

    // A copy that lands this long after its keystroke is not waited for any more: a capture that saw
    // none keeps the next one waiting until then, so that a late copy is never taken for the next one's.
    static constexpr int lateCopyMs = 1000;

private:
    struct Request {
        QPointer<QObject> context;
        WindowId source = 0;
        CaptureTiming timing;
        std::function<void(std::optional<QString>)> completion;
    };
    // The capture under way.
    struct Attempt {
        QObject* pending = nullptr; // its timers, watchers and reads; null when none runs
        bool activated = false;
        std::optional<std::optional<QString>> before; // what the clipboard served before the key, once read
        bool sent = false;
        quint64 countSeen = 0;
        bool reading = false;
        bool announced = false; // the clipboard changed: that is the copy, text or not
        bool over = false;      // the wait for the copy ended
    };
    void startNext();
    void sendCopy(QObject* pending);
    void changed(QObject* pending);
    void timedOut(QObject* pending);
    void complete(std::optional<QString> text, bool copySeen);
    // Reading the clipboard is held to the time the copy may take to land.
    int readMs() const;

    Platform& desktop;
    std::deque<Request> waiting; // the one under way first
    Attempt attempt;
    QObject* settling = nullptr; // waits for a late copy; null once none can land
};

} // namespace vorlex
