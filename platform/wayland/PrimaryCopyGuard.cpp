#include "PrimaryCopyGuard.h"

#include "KWinActiveWindow.h"
#include "SendingWork.h"
#include "TerminalNames.h"

#include <QObject>

namespace vorlex::wayland {

namespace {

// A window that gets Ctrl+C and Ctrl+V: known, and neither a terminal nor an application that copies
// otherwise. No answer, or no window, is no such window.
bool takesKeys(const std::optional<KWinWindow>& window)
{
    return window && window->pid > 0 && !takesNoKeys(window->pid, {window->resourceClass});
}

class PrimaryCopyGuard final : public KeySender {
public:
    PrimaryCopyGuard(std::unique_ptr<KeySender> keySender, PrimarySelection* highlighted, Clipboard& target,
                     std::unique_ptr<KWinActiveWindow> focus)
        : keys(std::move(keySender)), work(*keys), primary(highlighted), clipboard(target), kwin(std::move(focus))
    {
    }

    void sendCopy() override
    {
        if (!kwin)
            return copyHighlight();
        work.start();
        kwin->query(&context, [this](std::optional<KWinWindow> window) {
            if (takesKeys(window))
                keys->sendCopy();
            else
                copyHighlight();
            work.end();
        });
    }

    void sendPaste() override { keys->sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override { work.whenSent(waiter, std::move(sent)); }

    // GNOME cannot tell: the paste goes out, as a copy key would have. KDE: only into a window known to
    // take it; a KWin that does not answer gets no key either.
    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        if (!kwin)
            return keys->inspectFocus(waiter, std::move(told));
        kwin->query(waiter, [told = std::move(told)](std::optional<KWinWindow> window) {
            told(takesKeys(window) ? FocusedApplication::ordinary : FocusedApplication::terminal);
        });
    }

private:
    void copyHighlight()
    {
        if (primary)
            work.copyHighlight(*primary, clipboard, &context);
    }

    std::unique_ptr<KeySender> keys;
    SendingWork work;
    PrimarySelection* primary;
    Clipboard& clipboard;
    std::unique_ptr<KWinActiveWindow> kwin;
    QObject context; // last, so it goes first: no answer arrives while the rest goes
};

} // namespace

std::unique_ptr<KeySender> createPrimaryCopyGuard(std::unique_ptr<KeySender> keys, PrimarySelection* primary,
                                                  Clipboard& clipboard, std::unique_ptr<KWinActiveWindow> kwin)
{
    return std::make_unique<PrimaryCopyGuard>(std::move(keys), primary, clipboard, std::move(kwin));
}

} // namespace vorlex::wayland
