#include "SelectionCapture.h"

#include <algorithm>

namespace vorlex {

namespace {

// Longer than a keyboard session that opens without asking the user takes; a dialog takes longer,
// and the keys are then given up.
constexpr int sendingLimitMs = 1000;

} // namespace

SelectionCapture::SelectionCapture(Platform& platform, QObject* parent) : QObject(parent), desktop(platform) {}

void SelectionCapture::capture(QObject* context, WindowId source, CaptureTiming timing,
                               std::function<void(std::optional<QString>)> completion)
{
    waiting.push_back(Request{context, source, timing, std::move(completion)});
    startNext();
}

void SelectionCapture::startNext()
{
    if (attempt.pending || settling)
        return;
    while (!waiting.empty() && !waiting.front().context)
        waiting.pop_front();
    if (waiting.empty())
        return;
    const Request& request = waiting.front();
    // The timers, watchers and reads of this capture hang off one object: once it is done, deleting it
    // drops whichever of them is still waiting.
    QObject* const pending = attempt.pending = new QObject(this);
    if (request.source != 0)
        desktop.windowSystem().activate(request.source);
    // What the clipboard serves before the keystroke, for an application that copies without
    // announcing it. Read while the source window comes up.
    desktop.clipboard().read(readMs(), pending, [this, pending](std::optional<QString> text) {
        attempt.before = std::move(text);
        sendCopy(pending);
    });
    desktop.scheduler().after(request.timing.activationMs, pending, [this, pending] {
        attempt.activated = true;
        sendCopy(pending);
    });
}

void SelectionCapture::sendCopy(QObject* pending)
{
    if (attempt.pending != pending || !attempt.activated || !attempt.before || attempt.sent)
        return;
    attempt.sent = true;
    attempt.countSeen = desktop.clipboard().changeCount();
    // Watch before sending: the copy may land before sendCopy returns.
    desktop.clipboard().watchChanges(pending, [this, pending] { changed(pending); });
    desktop.keySender().sendCopy();
    // The landing time counts from when the keys have gone out: a desktop may first open a keyboard
    // session. Keys that never go out end the capture all the same.
    desktop.keySender().whenSent(pending, [this, pending] {
        desktop.scheduler().after(readMs(), pending, [this, pending] { timedOut(pending); });
    });
    desktop.scheduler().after(sendingLimitMs + readMs(), pending, [this, pending] { timedOut(pending); });
}

void SelectionCapture::changed(QObject* pending)
{
    if (attempt.pending != pending || attempt.over || attempt.reading ||
        desktop.clipboard().changeCount() == attempt.countSeen)
        return;
    attempt.countSeen = desktop.clipboard().changeCount();
    attempt.announced = true;
    attempt.reading = true;
    desktop.clipboard().read(readMs(), pending, [this, pending](std::optional<QString> text) {
        if (attempt.pending != pending)
            return;
        if (text && !text->isEmpty())
            return complete(std::move(text), true);
        // The clipboard may be announced empty first, then with its new owner (LibreOffice with GTK 3;
        // sway at times): wait on.
        attempt.reading = false;
        changed(pending);
    });
}

void SelectionCapture::timedOut(QObject* pending)
{
    if (attempt.pending != pending || std::exchange(attempt.over, true))
        return;
    if (!attempt.announced && !*attempt.before)
        return complete(std::nullopt, false);
    desktop.clipboard().read(readMs(), pending, [this, pending](std::optional<QString> now) {
        if (attempt.pending != pending)
            return;
        if (attempt.announced)
            return complete(now.value_or(QString()), true);
        // No change announced: a different text served now is the copy, the same one is not.
        const bool copied = now && *now != **attempt.before;
        complete(copied ? std::move(now) : std::nullopt, copied);
    });
}

void SelectionCapture::complete(std::optional<QString> text, bool copySeen)
{
    attempt.pending->deleteLater();
    attempt = {};
    const Request request = std::move(waiting.front());
    waiting.pop_front();
    if (!copySeen) {
        // Its copy may still land: the next capture waits for it, or for the time a copy can take.
        QObject* const late = settling = new QObject(this);
        const auto settle = [this, late] {
            if (settling != late)
                return;
            settling = nullptr;
            late->deleteLater();
            startNext();
        };
        desktop.clipboard().watchChanges(late, settle);
        desktop.scheduler().after(std::max(0, lateCopyMs - request.timing.landingTimeoutMs), late, settle);
    }
    if (request.context)
        request.completion(std::move(text));
    startNext();
}

int SelectionCapture::readMs() const
{
    return waiting.front().timing.landingTimeoutMs;
}

} // namespace vorlex
