#include "SwayTerminalGuard.h"

#include "SwayIpc.h"
#include "TerminalNames.h"
#include "VirtualKeyboard.h"

#include <QObject>
#include <QPointer>

#include <utility>

namespace vorlex::wayland {

namespace {

// sway answers in a few milliseconds; one that takes longer than this is not waited for.
constexpr int askTimeoutMs = 200;

class SwayTerminalGuard final : public KeySender {
public:
    SwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwaylandKeys, VirtualKeyboard& keys)
        : socket(socketPath), xwayland(std::move(xwaylandKeys)), keyboard(keys)
    {
    }

    void sendCopy() override
    {
        ++asking;
        askFocusedWindow(socket, askTimeoutMs, &context, [this](std::optional<SwayWindow> window) {
            if (window)
                copyFrom(*window); // without sway's answer no key is safe
            if (--asking == 0)
                releaseWaiting();
        });
    }

    void sendPaste() override { keyboard.sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override
    {
        if (asking == 0)
            return xwayland->whenSent(waiter, std::move(sent));
        waiting.add(waiter, std::move(sent));
    }

    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        askFocusedWindow(socket, askTimeoutMs, &context,
                         [this, waiter = QPointer(waiter), told = std::move(told)](std::optional<SwayWindow> window) {
                             if (!waiter)
                                 return;
                             if (window && window->xwayland)
                                 return xwayland->inspectFocus(waiter, told);
                             const bool terminal = !window || isTerminalName(window->appId);
                             told(terminal ? FocusedApplication::terminal : FocusedApplication::ordinary);
                         });
    }

private:
    void copyFrom(const SwayWindow& window)
    {
        if (window.xwayland)
            xwayland->sendCopy();
        else if (isTerminalName(window.appId))
            keyboard.sendTerminalCopy();
        else
            keyboard.sendCopy();
    }

    // Held until the text was read; the inner sender tells when its own keys went out.
    void releaseWaiting()
    {
        waiting.release(
            [this](QObject* waiter, std::function<void()> sent) { xwayland->whenSent(waiter, std::move(sent)); });
    }

    const QString socket;
    std::unique_ptr<KeySender> xwayland;
    VirtualKeyboard& keyboard;
    QObject context; // the questions to sway in flight
    int asking = 0;
    Waiters waiting;
};

} // namespace

std::unique_ptr<KeySender> createSwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwayland,
                                                   VirtualKeyboard& keyboard)
{
    return std::make_unique<SwayTerminalGuard>(socketPath, std::move(xwayland), keyboard);
}

} // namespace vorlex::wayland
