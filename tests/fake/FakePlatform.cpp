#include "FakePlatform.h"

#include <algorithm>

namespace vorlex {

void FakeScheduler::after(int milliseconds, QObject* context, std::function<void()> callback)
{
    queue.push_back({clock + std::max(0, milliseconds), nextSequence++, context, context != nullptr,
                     std::move(callback)});
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
        if (entry.hasContext && !entry.context)
            continue;
        entry.callback();
    }
    clock = target;
}

void FakeClipboard::setText(const QString& text)
{
    if (log)
        log->append(QStringLiteral("setText ") + text);
    writes.append(text);
    content = text;
    changed();
}

void FakeClipboard::externalCopy(const QString& text)
{
    content = text;
    changed();
}

void FakeClipboard::watchChanges(QObject* context, std::function<void()> handler)
{
    watchers.emplace_back(context, std::move(handler));
}

void FakeClipboard::changed()
{
    ++count;
    std::erase_if(watchers, [](const auto& watcher) { return !watcher.first; });
    // Copy first: a handler may add or drop watchers.
    const auto current = watchers;
    for (const auto& [context, handler] : current) {
        if (context)
            handler();
    }
}

void FakeKeySender::sendCopy()
{
    sent.append(QStringLiteral("copy"));
    if (log)
        log->append(QStringLiteral("copy"));
    if (onCopy)
        onCopy();
}

void FakeKeySender::sendPaste()
{
    sent.append(QStringLiteral("paste"));
    if (log)
        log->append(QStringLiteral("paste"));
    if (onPaste)
        onPaste();
}

void FakeWindowSystem::activate(WindowId window)
{
    if (window == 0)
        return;
    activations.push_back(window);
    if (log)
        log->append(QStringLiteral("activate %1").arg(window));
    active = window;
}

bool FakeInputObserver::watchKeys(KeyHandler handler)
{
    ++watchKeysCalls;
    if (log)
        log->append(QStringLiteral("watchKeys"));
    if (!keysAvailable)
        return false;
    keyHandler = std::move(handler);
    return true;
}

int FakeInputObserver::addButtonWatcher(ButtonHandler handler)
{
    const int id = nextButtonId++;
    buttonHandlers.emplace(id, std::move(handler));
    return id;
}

void FakeInputObserver::removeButtonWatcher(int id)
{
    buttonHandlers.erase(id);
}

void FakeInputObserver::pressKey(const KeyPress& press)
{
    if (keyHandler)
        keyHandler(press);
}

void FakeInputObserver::pressButton(const ButtonPress& press)
{
    // Copy first: a handler may remove itself.
    const auto handlers = buttonHandlers;
    for (const auto& [id, handler] : handlers)
        handler(press);
}

bool FakeSession::checkInputAccess()
{
    ++inputAccessChecks;
    if (log)
        log->append(QStringLiteral("checkInputAccess"));
    return true;
}

FakePlatform::FakePlatform()
{
    fakeClipboard.log = &log;
    fakeKeySender.log = &log;
    fakeWindowSystem.log = &log;
    fakeInputObserver.log = &log;
    fakeSession.log = &log;
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

void FakePlatform::selectNothing()
{
    fakeKeySender.onCopy = nullptr;
}

} // namespace vorlex
