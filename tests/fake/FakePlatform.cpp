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
    watchers.notify();
}

void FakePlatform::whenServed(QObject* context, std::function<void()> ready)
{
    waitingForServe.add(context, std::move(ready));
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

void FakePlatform::selectText(const QString& text, int landingMs, bool announced)
{
    onCopy = [this, text, landingMs, announced] {
        const auto land = [this, text, announced] { announced ? externalCopy(text) : void(content = text); };
        landingMs == 0 ? land() : fakeScheduler.after(landingMs, nullptr, land);
    };
}

} // namespace vorlex
