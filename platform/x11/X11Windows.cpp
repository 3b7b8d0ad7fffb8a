// The active window as the window manager reports it (EWMH), and activation through it.

#include "X11Parts.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <initializer_list>

namespace vorlex::x11 {

namespace {

// EWMH source indication of a pager: window managers honour it without focus-stealing checks.
constexpr long pagerSource = 2;

class X11WindowSystem final : public WindowSystem {
public:
    explicit X11WindowSystem(Display* connection) : display(connection)
    {
        if (display)
            activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    }

    WindowId activeWindow() const override
    {
        if (!display)
            return 0;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        WindowId active = 0;
        const int status = XGetWindowProperty(display, DefaultRootWindow(display), activeAtom, 0, 1, False, XA_WINDOW,
                                              &type, &format, &count, &remaining, &data);
        if (status == Success && type == XA_WINDOW && format == 32 && count == 1 && data)
            active = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        if (active != 0)
            return active;
        // No EWMH window manager: the window with the input focus, if it is a real one.
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        return focus == None || focus == PointerRoot ? 0 : focus;
    }

    void activate(WindowId window) override
    {
        if (!display || window == 0)
            return;
        const Window root = DefaultRootWindow(display);
        if (!hasWindowManager()) {
            XRaiseWindow(display, window);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            XFlush(display);
            return;
        }
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = activeAtom;
        event.xclient.format = 32;
        event.xclient.data.l[0] = pagerSource;
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(activeWindow());
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display);
    }

    void showOnAllDesktops(WindowId window) override
    {
        if (!display || window == 0)
            return;
        // 0xFFFFFFFF is "all desktops". The property covers a window not mapped yet; the messages
        // cover one the window manager already manages.
        const Atom desktopAtom = XInternAtom(display, "_NET_WM_DESKTOP", False);
        const unsigned long allDesktops = 0xFFFFFFFFul;
        XChangeProperty(display, window, desktopAtom, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&allDesktops), 1);
        sendToRoot(window, desktopAtom, {long(allDesktops), pagerSource, 0});
        const Atom stateAtom = XInternAtom(display, "_NET_WM_STATE", False);
        const Atom sticky = XInternAtom(display, "_NET_WM_STATE_STICKY", False);
        constexpr long add = 1;
        sendToRoot(window, stateAtom, {add, long(sticky), 0, pagerSource});
        XFlush(display);
    }

private:
    void sendToRoot(Window window, Atom messageType, std::initializer_list<long> data)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = messageType;
        event.xclient.format = 32;
        int i = 0;
        for (const long value : data)
            event.xclient.data.l[i++] = value;
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    }

    bool hasWindowManager() const
    {
        const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
        if (check == None)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                              &format, &count, &remaining, &data);
        if (data)
            XFree(data);
        return status == Success && type == XA_WINDOW && count == 1;
    }

    Display* display;
    Atom activeAtom = None;
};

} // namespace

std::unique_ptr<WindowSystem> createWindowSystem(Display* display)
{
    return std::make_unique<X11WindowSystem>(display);
}

} // namespace vorlex::x11
