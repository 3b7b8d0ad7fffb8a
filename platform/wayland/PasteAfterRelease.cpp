#include "PasteAfterRelease.h"

#include <QObject>

namespace vorlex::wayland {

namespace {

constexpr int pollMs = 25;

class PasteAfterRelease final : public KeySender {
public:
    PasteAfterRelease(std::unique_ptr<KeySender> keySender, std::unique_ptr<HeldModifiers> keyboard, Scheduler& timers)
        : keys(std::move(keySender)), held(std::move(keyboard)), scheduler(timers)
    {
    }

    void sendCopy() override
    {
        const quint64 copy = ++copies;
        copyRecent = true;
        scheduler.after(modifierHoldMs, &context, [this, copy] {
            if (copy == copies)
                copyRecent = false;
        });
        keys->sendCopy();
    }

    void sendPaste() override
    {
        if (pastes++ == 0)
            tryPaste(0);
    }

    void whenSent(QObject* waiter, std::function<void()> sent) override
    {
        if (pastes == 0)
            return keys->whenSent(waiter, std::move(sent));
        waiting.add(waiter, std::move(sent));
    }

    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        keys->inspectFocus(waiter, std::move(told));
    }

private:
    void tryPaste(int waitedMs)
    {
        const std::optional<quint32> modifiers = held ? held->now() : std::nullopt;
        const bool released = modifiers ? *modifiers == 0 : !copyRecent;
        if (!released && waitedMs < modifierGiveUpMs)
            return scheduler.after(pollMs, &context, [this, waitedMs] { tryPaste(waitedMs + pollMs); });
        for (; released && pastes > 0; --pastes)
            keys->sendPaste();
        pastes = 0;
        waiting.release(
            [this](QObject* waiter, std::function<void()> sent) { keys->whenSent(waiter, std::move(sent)); });
    }

    std::unique_ptr<KeySender> keys;
    std::unique_ptr<HeldModifiers> held;
    Scheduler& scheduler;
    quint64 copies = 0;
    bool copyRecent = false;
    int pastes = 0; // asked for and waiting
    Waiters waiting;
    QObject context; // last, so it goes first: no wait ends while the rest goes
};

} // namespace

std::unique_ptr<KeySender> createPasteAfterRelease(std::unique_ptr<KeySender> keys, std::unique_ptr<HeldModifiers> held,
                                                   Scheduler& scheduler)
{
    return std::make_unique<PasteAfterRelease>(std::move(keys), std::move(held), scheduler);
}

} // namespace vorlex::wayland
