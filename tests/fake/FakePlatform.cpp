#include "FakePlatform.h"

#include <algorithm>
#include <utility>

namespace vorlex {

void FakeScheduler::after(int milliseconds, QObject* context, std::function<void()> callback)
{
    queue.push_back(
        {clock + std::max(0, milliseconds), nextSequence++, context, context != nullptr, std::move(callback)});
}

void FakeScheduler::advance(int milliseconds)
{
    const qint64 target = clock + std::max(0, milliseconds);
    for (;;) {
        auto next = std::min_element(queue.begin(), queue.end(), [](const Entry& a, const Entry& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (next == queue.end() || next->due > target)
            break;
        Entry entry = std::move(*next);
        queue.erase(next);
        clock = entry.due;
        if (!entry.hasContext || entry.context)
            entry.callback();
    }
    clock = target;
}

void FakeClipboard::setText(const QString& text)
{
    log.append(QStringLiteral("setText ") + text);
    writes.append(text);
    externalCopy(text);
}

void FakeClipboard::notify(const Waiters& waiters)
{
    for (const auto& [context, handler] : waiters) {
        if (context)
            handler();
    }
}

void FakeClipboard::externalCopy(const QString& text)
{
    content = text;
    ++count;
    std::erase_if(watchers, [](const auto& watcher) { return !watcher.first; });
    notify(Waiters(watchers)); // a handler may add or drop watchers
}

void FakeClipboard::watchChanges(QObject* context, std::function<void()> handler)
{
    watchers.emplace_back(context, std::move(handler));
}

void FakeClipboard::whenServed(QObject* context, std::function<void()> ready)
{
    waitingForServe.emplace_back(context, std::move(ready));
    if (!servedLater)
        serve();
}

void FakeClipboard::serve()
{
    notify(std::exchange(waitingForServe, {}));
}

void FakeKeySender::sendCopy()
{
    log.append(QStringLiteral("copy"));
    if (onCopy)
        onCopy();
}

void FakeKeySender::sendPaste()
{
    log.append(QStringLiteral("paste"));
}

void FakeWindowSystem::activate(WindowId window)
{
    if (window == 0)
        return;
    log.append(QStringLiteral("activate %1").arg(window));
    active = window;
}

bool FakeInputObserver::watchKeys(KeyHandler handler)
{
    keyHandler = std::move(handler);
    return true;
}

int FakeInputObserver::addButtonWatcher(ButtonHandler handler)
{
    buttonHandlers.emplace(nextButtonId, std::move(handler));
    return nextButtonId++;
}

void FakeInputObserver::pressKey(const KeyPress& press)
{
    if (keyHandler)
        keyHandler(press);
}

void FakeInputObserver::pressButton(const ButtonPress& press)
{
    const auto handlers = buttonHandlers; // a handler may remove itself
    for (const auto& [id, handler] : handlers)
        handler(press);
}

void FakePlatform::selectText(const QString& text, int landingMs)
{
    fakeKeySender.onCopy = [this, text, landingMs] {
        if (landingMs == 0)
            fakeClipboard.externalCopy(text);
        else
            fakeScheduler.after(landingMs, nullptr, [this, text] { fakeClipboard.externalCopy(text); });
    };
}

} // namespace vorlex
