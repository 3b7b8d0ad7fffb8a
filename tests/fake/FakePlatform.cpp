#include "FakePlatform.h"

#include <algorithm>

namespace vorlex {

void FakeScheduler::after(int milliseconds, QObject* context, std::function<void()> callback)
{
    queue.emplace(std::pair(clock + std::max(0, milliseconds), nextSequence++),
                  Entry{context ? std::optional(QPointer(context)) : std::nullopt, std::move(callback)});
}

void FakeScheduler::advance(int milliseconds)
{
    const qint64 target = clock + std::max(0, milliseconds);
    while (!queue.empty() && queue.begin()->first.first <= target) {
        auto next = queue.extract(queue.begin());
        clock = next.key().first;
        if (!next.mapped().context || *next.mapped().context)
            next.mapped().callback();
    }
    clock = target;
}

void FakePlatform::notify(const Waiters& waiters)
{
    for (const auto& [context, handler] : waiters) {
        if (context)
            handler();
    }
}

void FakePlatform::setText(const QString& text)
{
    log.append(QStringLiteral("setText ") + text);
    writes.append(text);
    externalCopy(text);
}

void FakePlatform::externalCopy(const QString& text)
{
    content = text;
    ++count;
    std::erase_if(watchers, [](const auto& watcher) { return !watcher.first; });
    notify(Waiters(watchers)); // a handler may add or drop watchers
}

void FakePlatform::whenServed(QObject* context, std::function<void()> ready)
{
    waitingForServe.emplace_back(context, std::move(ready));
    if (!servedLater)
        serve();
}

void FakePlatform::activate(WindowId window)
{
    if (window == 0)
        return;
    log.append(QStringLiteral("activate %1").arg(window));
    active = window;
}

int FakeInputObserver::addButtonWatcher(ButtonHandler handler)
{
    buttonHandlers.emplace(nextButtonId, std::move(handler));
    return nextButtonId++;
}

void FakeInputObserver::pressButton(const ButtonPress& press)
{
    const auto handlers = buttonHandlers; // a handler may remove itself
    for (const auto& [id, handler] : handlers)
        handler(press);
}

void FakePlatform::selectText(const QString& text, int landingMs, bool announced)
{
    onCopy = [this, text, landingMs, announced] {
        const auto land = [this, text, announced] { announced ? externalCopy(text) : void(content = text); };
        landingMs == 0 ? land() : fakeScheduler.after(landingMs, nullptr, land);
    };
}

} // namespace vorlex
