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

// The EWMH atoms and ICCCM's WM_STATE, interned once per connection in one round trip.
enum AtomName {
    activeWindowAtom,
    supportingWmCheckAtom,
    wmDesktopAtom,
    wmStateAtom,
    wmStateStickyAtom,
    icccmStateAtom,
    atomCount
};
constexpr std::array<const char*, atomCount> atomNames{"_NET_ACTIVE_WINDOW",   "_NET_SUPPORTING_WM_CHECK",
                                                       "_NET_WM_DESKTOP",      "_NET_WM_STATE",
                                                       "_NET_WM_STATE_STICKY", "WM_STATE"};

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
        if (const Window active = rootWindowProperty(atoms[activeWindowAtom]))
            return active;
        // None named: the window with the input focus, if it is a real one and, where a window manager
        // runs, one it manages (under XWayland the compositor parks the focus on a window of its own
        // while a Wayland window has it).
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus == None || focus == PointerRoot)
            return 0;
        return rootWindowProperty(atoms[supportingWmCheckAtom]) == None || managed(focus) ? focus : 0;
    }

    void activate(WindowId window) override
    {
        if (!display || window == 0)
            return;
        if (rootWindowProperty(atoms[supportingWmCheckAtom]) == None) {
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
    // window or one of its ancestors is a client window of the window manager's (ICCCM's WM_STATE).
    bool managed(Window window) const
    {
        for (Window root = DefaultRootWindow(display); window != None && window != root;) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long remaining = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, window, atoms[icccmStateAtom], 0, 0, False, AnyPropertyType, &type, &format,
                               &count, &remaining, &data);
            const X11Resource<unsigned char*, XFree> held{data};
            if (type != None)
                return true;
            Window parent = None;
            Window* children = nullptr;
            unsigned childCount = 0;
            if (!XQueryTree(display, window, &root, &parent, &children, &childCount))
                return false;
            const X11Resource<Window*, XFree> heldChildren{children};
            window = parent;
        }
        return false;
    }

    // A window-valued property of the root window, or None.
    Window rootWindowProperty(Atom property) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_WINDOW,
                                              &type, &format, &count, &remaining, &data);
        const X11Resource<unsigned char*, XFree> value{data};
        if (status != Success || type != XA_WINDOW || format != 32 || count != 1 || !value)
            return None;
        return *reinterpret_cast<const unsigned long*>(value.get());
    }

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

} // namespace vorlex::x11
