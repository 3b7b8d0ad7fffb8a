#include "PrimaryCopyGuard.h"

#include "KWinActiveWindow.h"
#include "ProcessTerminal.h"

#include <QObject>
#include <QStringList>

namespace vorlex::wayland {

namespace {

// Applications whose copy key is not Ctrl+C, by the class KWin gives them: in Emacs Ctrl+C is a prefix
// that eats the next keys, in gVim it cancels and Ctrl+V starts a block selection.
bool copiesOtherwise(const QString& resourceClass)
{
    static const QStringList names{QStringLiteral("emacs"), QStringLiteral("gvim")};
    return names.contains(resourceClass);
}

// A window that gets Ctrl+C and Ctrl+V: known, and neither a terminal nor an application that copies
// otherwise. No answer, or no window, is no such window.
bool takesKeys(const std::optional<KWinWindow>& window)
{
    return window && window->pid > 0 && !holdsPseudoTerminal(window->pid) && !copiesOtherwise(window->resourceClass);
}

class PrimaryCopyGuard final : public KeySender {
public:
    PrimaryCopyGuard(std::unique_ptr<KeySender> keySender, PrimarySelection* highlighted, Clipboard& target,
                     std::unique_ptr<KWinActiveWindow> focus)
        : keys(std::move(keySender)), primary(highlighted), clipboard(target), kwin(std::move(focus))
    {
    }

    void sendCopy() override
    {
        ++copying;
        if (!kwin)
            return readPrimary();
        kwin->query(&context, [this](std::optional<KWinWindow> window) {
            if (!takesKeys(window))
                return readPrimary();
            keys->sendCopy();
            settle();
        });
    }

    void sendPaste() override { keys->sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override
    {
        if (copying == 0)
            return keys->whenSent(waiter, std::move(sent));
        waiting.add(waiter, std::move(sent));
    }

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
    void readPrimary()
    {
        if (!primary)
            return settle();
        primary->read(&context, [this](std::optional<QString> text) {
            if (text && !text->isEmpty())
                clipboard.setText(*text);
            settle();
        });
    }

    // Held until the copy was decided and read; the inner sender tells when its own keys went out.
    void settle()
    {
        if (--copying == 0)
            waiting.release(
                [this](QObject* waiter, std::function<void()> sent) { keys->whenSent(waiter, std::move(sent)); });
    }

    std::unique_ptr<KeySender> keys;
    PrimarySelection* primary;
    Clipboard& clipboard;
    std::unique_ptr<KWinActiveWindow> kwin;
    int copying = 0;
    Waiters waiting;
    QObject context; // last, so it goes first: no answer arrives while the rest goes
};

} // namespace

std::unique_ptr<KeySender> createPrimaryCopyGuard(std::unique_ptr<KeySender> keys, PrimarySelection* primary,
                                                  Clipboard& clipboard, std::unique_ptr<KWinActiveWindow> kwin)
{
    return std::make_unique<PrimaryCopyGuard>(std::move(keys), primary, clipboard, std::move(kwin));
}

} // namespace vorlex::wayland
