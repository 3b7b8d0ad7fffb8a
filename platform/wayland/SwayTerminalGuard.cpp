#include "SwayTerminalGuard.h"

#include "SendingWork.h"
#include "SwayIpc.h"
#include "TerminalNames.h"

#include <QObject>
#include <QPointer>

#include <utility>

namespace vorlex::wayland {

namespace {

// sway answers in a few milliseconds; one that takes longer than this is not waited for.
constexpr int askTimeoutMs = 200;

bool takesNoKeys(const SwayWindow& window)
{
    return vorlex::takesNoKeys(window.pid, {window.appId});
}

class SwayTerminalGuard final : public KeySender {
public:
    SwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwaylandKeys, KeySender& keys,
                      PrimarySelection* primary, Clipboard& target)
        : socket(socketPath), xwayland(std::move(xwaylandKeys)), keyboard(keys), highlight(primary), clipboard(target),
          work(*xwayland)
    {
    }

    void sendCopy() override
    {
        work.start();
        askFocusedWindow(socket, askTimeoutMs, &context, [this](std::optional<SwayWindow> window) {
            if (window)
                copyFrom(*window); // without sway's answer no key is safe
            work.end();
        });
    }

    void sendPaste() override { keyboard.sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override { work.whenSent(waiter, std::move(sent)); }

    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        askFocusedWindow(socket, askTimeoutMs, &context,
                         [this, waiter = QPointer(waiter), told = std::move(told)](std::optional<SwayWindow> window) {
                             if (!waiter)
                                 return;
                             if (window && window->xwayland)
                                 return xwayland->inspectFocus(waiter, told);
                             const bool terminal = !window || takesNoKeys(*window);
                             told(terminal ? FocusedApplication::terminal : FocusedApplication::ordinary);
                         });
    }

private:
    void copyFrom(const SwayWindow& window)
    {
        if (window.xwayland)
            xwayland->sendCopy();
        else if (!takesNoKeys(window))
            keyboard.sendCopy();
        else if (highlight)
            work.copyHighlight(*highlight, clipboard, &context);
    }

    const QString socket;
    std::unique_ptr<KeySender> xwayland;
    KeySender& keyboard;
    PrimarySelection* highlight;
    Clipboard& clipboard;
    QObject context; // the questions to sway and the reads in flight
    SendingWork work;
};

} // namespace

std::unique_ptr<KeySender> createSwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwayland,
                                                   KeySender& keyboard, PrimarySelection* highlight,
                                                   Clipboard& clipboard)
{
    return std::make_unique<SwayTerminalGuard>(socketPath, std::move(xwayland), keyboard, highlight, clipboard);
}

} // namespace vorlex::wayland
