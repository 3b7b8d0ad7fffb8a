#include "X11WindowSystem.h"

#include "X11Resource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>
#include <initializer_list>

namespace vorlex::x11 {

namespace {

// EWMH source indication of a pager: window managers honour it without focus-stealing checks.
constexpr long pagerSource = 2;
// _NET_WM_DESKTOP's "all desktops".
constexpr unsigned long allDesktops = 0xFFFFFFFFul;

// A window-valued property of the root window, or None.
Window rootWindowProperty(Display* display, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &remaining, &data);
    const X11Resource<unsigned char*, XFree> value{data};
    if (status != Success || type != XA_WINDOW || format != 32 || count != 1 || !value)
        return None;
    return *reinterpret_cast<const unsigned long*>(value.get());
}

// The EWMH atoms, interned once per connection in one round trip.
enum AtomName { activeWindowAtom, supportingWmCheckAtom, wmDesktopAtom, wmStateAtom, wmStateStickyAtom, atomCount };
constexpr std::array<const char*, atomCount> atomNames{"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK",
                                                       "_NET_WM_DESKTOP", "_NET_WM_STATE", "_NET_WM_STATE_STICKY"};

class X11WindowSystem final : public WindowSystem {
public:
    explicit X11WindowSystem(Display* connection) : display(connection)
    {
        if (display)
            XInternAtoms(display, const_cast<char**>(atomNames.data()), atomCount, False, atoms.data());
    }

    WindowId activeWindow() const override
    {
        if (!display)
            return 0;
        if (const Window active = rootWindowProperty(display, atoms[activeWindowAtom]))
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
        if (rootWindowProperty(display, atoms[supportingWmCheckAtom]) == None) {
            XRaiseWindow(display, window);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        } else {
            sendToRoot(window, atoms[activeWindowAtom], {pagerSource, CurrentTime, long(activeWindow())});
        }
        XFlush(display);
    }

    void showOnAllDesktops(WindowId window) override
    {
        if (!display || window == 0)
            return;
        // The property covers a window not mapped yet; the messages cover one the window manager
        // already manages.
        XChangeProperty(display, window, atoms[wmDesktopAtom], XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&allDesktops), 1);
        sendToRoot(window, atoms[wmDesktopAtom], {long(allDesktops), pagerSource, 0});
        constexpr long add = 1;
        sendToRoot(window, atoms[wmStateAtom], {add, long(atoms[wmStateStickyAtom]), 0, pagerSource});
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

    Display* display;
    std::array<Atom, atomCount> atoms{};
};

} // namespace

std::unique_ptr<WindowSystem> createWindowSystem(Display* display)
{
    return std::make_unique<X11WindowSystem>(display);
}

WindowId namedActiveWindow(Display* display)
{
    return display ? rootWindowProperty(display, XInternAtom(display, atomNames[activeWindowAtom], False)) : 0;
}

} // namespace vorlex::x11
