#include "SelectionCapture.h"

#include <QObject>

#include <memory>

namespace vorlex {

namespace {

// Longer than a keyboard session that opens without asking the user takes; a dialog takes longer,
// and the keys are then given up.
constexpr int sendingLimitMs = 1000;

} // namespace

void captureSelection(Platform& platform, QObject* context, WindowId source, CaptureTiming timing,
                      std::function<void(std::optional<QString>)> completion)
{
    struct Capture {
        quint64 countBefore = 0;
        bool done = false;
        std::function<void(std::optional<QString>)> completion;
    };
    auto capture = std::make_shared<Capture>(Capture{platform.clipboard().changeCount(), false, std::move(completion)});

    if (source != 0)
        platform.windowSystem().activate(source);

    // The timers and the clipboard watcher hang off one object that goes with context: once the
    // capture is done, deleting it drops whichever of them is still waiting.
    auto* pending = new QObject(context);
    auto finish = [&platform, pending, capture] {
        if (capture->done)
            return;
        capture->done = true;
        std::optional<QString> text;
        if (platform.clipboard().changeCount() != capture->countBefore)
            text = platform.clipboard().text();
        pending->deleteLater();
        capture->completion(std::move(text));
    };

    platform.scheduler().after(timing.activationMs, pending, [&platform, pending, timing, finish] {
        // Watch before sending: the copy may land before sendCopy returns.
        platform.clipboard().watchChanges(pending, finish);
        platform.keySender().sendCopy();
        // The landing time counts from when the keys have gone out: a desktop may first open a keyboard
        // session. Keys that never go out end the capture all the same.
        platform.keySender().whenSent(pending, [&platform, pending, timing, finish] {
            platform.scheduler().after(timing.landingTimeoutMs, pending, finish);
        });
        platform.scheduler().after(sendingLimitMs + timing.landingTimeoutMs, pending, finish);
    });
}

} // namespace vorlex
