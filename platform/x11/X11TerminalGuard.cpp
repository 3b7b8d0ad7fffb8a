#include "X11TerminalGuard.h"

#include "SendingWork.h"
#include "TerminalNames.h"
#include "X11Resource.h"
#include "X11SelectionReader.h"
#include "X11WindowSystem.h"

#include <QObject>
#include <QStringList>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <unistd.h>

#include <tuple>
#include <utility>

namespace vorlex::x11 {

namespace {

// A terminal answers at once; this bounds a hung one, well within what a capture waits for the copy.
constexpr int readTimeoutMs = 500;

class X11PrimarySelection final : public PrimarySelection {
public:
    explicit X11PrimarySelection(Display* connection) : display(connection) {}
    void read(QObject* context, std::function<void(std::optional<QString>)> done) override
    {
        readPrimarySelection(DisplayString(display), readTimeoutMs, context, std::move(done));
    }

private:
    Display* display;
};

class X11TerminalGuard final : public KeySender {
public:
    X11TerminalGuard(std::unique_ptr<KeySender> keySender, Display* connection, Clipboard& target)
        : keys(std::move(keySender)), display(connection), windows(createWindowSystem(connection)), clipboard(target),
          primary(connection), work(*keys)
    {
        if (display)
            netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    }

    void sendCopy() override
    {
        switch (chooseCopy(inspect())) {
        case X11Copy::copyKey:
            return keys->sendCopy();
        case X11Copy::nothing:
            return;
        case X11Copy::readPrimary:
            return work.copyHighlight(primary, clipboard, &context);
        }
    }

    void sendPaste() override { keys->sendPaste(); }

    void whenSent(QObject* waiter, std::function<void()> sent) override { work.whenSent(waiter, std::move(sent)); }

    void inspectFocus(QObject* waiter, std::function<void(FocusedApplication)> told) override
    {
        if (inspect(false).keyless)
            return told(FocusedApplication::terminal);
        keys->inspectFocus(waiter, std::move(told));
    }

private:
    // Whether the active window takes keys, and where it does not, who owns PRIMARY.
    X11Focus inspect(bool withOwner = true) const
    {
        X11Focus focus;
        const WindowId active = display ? windows->activeWindow() : 0;
        if (active == 0)
            return focus;
        std::tie(focus.activeClient, focus.activePid) = clientOf(active);
        focus.keyless = takesNoKeys(focus.activePid != -1 ? focus.activePid : localPidOf(active), namesOf(active));
        if (withOwner && focus.keyless)
            std::tie(focus.ownerClient, focus.ownerPid) = clientOf(XGetSelectionOwner(display, XA_PRIMARY));
        return focus;
    }

    QStringList namesOf(Window window) const
    {
        XClassHint hint{};
        if (!XGetClassHint(display, window, &hint))
            return {};
        const X11Resource<char*, XFree> name{hint.res_name};
        const X11Resource<char*, XFree> windowClass{hint.res_class};
        return {QString::fromLatin1(name.get()), QString::fromLatin1(windowClass.get())};
    }

    // _NET_WM_PID, where the window says it runs on this machine: another machine's process id names
    // some process here.
    qint64 localPidOf(Window window) const
    {
        XTextProperty machine{};
        if (XGetWMClientMachine(display, window, &machine)) {
            const X11Resource<unsigned char*, XFree> held{machine.value};
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            if (machine.format != 8 ||
                QByteArray(reinterpret_cast<const char*>(machine.value), qsizetype(machine.nitems)) != host)
                return -1;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                                              &count, &remaining, &data);
        const X11Resource<unsigned char*, XFree> value{data};
        if (status != Success || type != XA_CARDINAL || format != 32 || count != 1 || !value)
            return -1;
        return qint64(*reinterpret_cast<const unsigned long*>(value.get()));
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

    std::unique_ptr<KeySender> keys;
    Display* display;
    std::unique_ptr<WindowSystem> windows;
    Clipboard& clipboard;
    X11PrimarySelection primary;
    const bool clientIds = tellsClientIds(display);
    Atom netWmPid = None;
    QObject context; // the selection reads in flight
    SendingWork work;
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
    if (!focus.keyless)
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
