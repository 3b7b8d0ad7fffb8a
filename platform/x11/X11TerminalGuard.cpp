#include "X11TerminalGuard.h"

#include "TerminalNames.h"
#include "X11Resource.h"
#include "X11SelectionReader.h"
#include "X11WindowSystem.h"

#include <QObject>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <tuple>
#include <utility>

namespace vorlex::x11 {

namespace {

// A terminal answers at once; this bounds a hung one, well within what a capture waits for the copy.
constexpr int readTimeoutMs = 500;

bool isTerminal(const X11Focus& focus)
{
    return focus.activeClient != 0 && (isTerminalName(focus.instance) || isTerminalName(focus.windowClass));
}

class X11TerminalGuard final : public KeySender {
public:
    X11TerminalGuard(std::unique_ptr<KeySender> keySender, Display* connection, Clipboard& target)
        : keys(std::move(keySender)), display(connection), windows(createWindowSystem(connection)), clipboard(target)
    {
    }

    void sendCopy() override
    {
        const X11Focus focus = inspect();
        switch (chooseCopy(focus)) {
        case X11Copy::copyKey:
            return keys->sendCopy();
        case X11Copy::nothing:
            return;
        case X11Copy::readPrimary:
            ++reading;
            readPrimarySelection(DisplayString(display), readTimeoutMs, &context, [this](std::optional<QString> text) {
                if (text && !text->isEmpty())
                    clipboard.setText(*text);
                if (--reading == 0)
                    releaseWaiting();
            });
        }
    }

    void sendPaste() override { keys->sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override
    {
        if (reading == 0)
            return keys->whenSent(waiter, std::move(sent));
        waiting.add(waiter, std::move(sent));
    }

    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        if (isTerminal(inspect(false)))
            return told(FocusedApplication::terminal);
        keys->inspectFocus(waiter, std::move(told));
    }

private:
    // The active window's names, and for a terminal, who owns PRIMARY.
    X11Focus inspect(bool withOwner = true) const
    {
        X11Focus focus;
        const WindowId active = display ? windows->activeWindow() : 0;
        if (active == 0)
            return focus;
        XClassHint hint{};
        if (XGetClassHint(display, active, &hint)) {
            const X11Resource<char*, XFree> name{hint.res_name};
            const X11Resource<char*, XFree> windowClass{hint.res_class};
            focus.instance = QString::fromLatin1(name.get());
            focus.windowClass = QString::fromLatin1(windowClass.get());
        }
        focus.activeClient = active; // enough to tell a terminal; the client is asked for only when it counts
        if (withOwner && isTerminal(focus)) {
            std::tie(focus.activeClient, focus.activePid) = clientOf(active);
            std::tie(focus.ownerClient, focus.ownerPid) = clientOf(XGetSelectionOwner(display, XA_PRIMARY));
        }
        return focus;
    }

    // The X client that made resource (its resource base) and its process. Without X-Resource, the
    // resource itself stands for its client: only the very window matches.
    std::pair<quint64, qint64> clientOf(XID resource) const
    {
        if (resource == None || !clientIds)
            return {resource, -1};
        XResClientIdSpec query{resource, XRES_CLIENT_ID_XID_MASK | XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        if (XResQueryClientIds(display, 1, &query, &count, &values) != Success)
            return {resource, -1};
        std::pair<quint64, qint64> found{resource, -1};
        for (long i = 0; i < count; ++i) {
            const auto& [id, length, value] = values[i];
            if (XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_XID)
                found.first = id.client;
            else if (XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_PID)
                found.second = XResGetClientPid(&values[i]);
        }
        XResClientIdsDestroy(count, values);
        return found;
    }

    // Held until the text was read; the inner sender tells when its own keys went out.
    void releaseWaiting()
    {
        waiting.release(
            [this](QObject* waiter, std::function<void()> sent) { keys->whenSent(waiter, std::move(sent)); });
    }

    std::unique_ptr<KeySender> keys;
    Display* display;
    std::unique_ptr<WindowSystem> windows;
    Clipboard& clipboard;
    const bool clientIds = tellsClientIds(display);
    QObject context; // the selection reads in flight
    int reading = 0;
    Waiters waiting;
};

} // namespace

bool tellsClientIds(Display* display)
{
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    return display && XResQueryExtension(display, &event, &error) && XResQueryVersion(display, &major, &minor) &&
           (major > 1 || minor >= 2);
}

X11Copy chooseCopy(const X11Focus& focus)
{
    if (!isTerminal(focus))
        return X11Copy::copyKey;
    const bool sameClient = focus.ownerClient == focus.activeClient;
    const bool sameProcess = focus.activePid != -1 && focus.ownerPid == focus.activePid;
    return focus.ownerClient != 0 && (sameClient || sameProcess) ? X11Copy::readPrimary : X11Copy::nothing;
}

std::unique_ptr<KeySender> createTerminalGuard(std::unique_ptr<KeySender> keys, Display* display, Clipboard& clipboard)
{
    return std::make_unique<X11TerminalGuard>(std::move(keys), display, clipboard);
}

} // namespace vorlex::x11
