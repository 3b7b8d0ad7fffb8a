// The active window is the one the window manager names. Under XWayland the compositor names none while
// a Wayland window has the focus and parks the X input focus on a window of its own, whose process
// (the compositor's, parent of the programs it started) must not pass for the focused application's.

#include "X11WindowSystem.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

// After gtest, which has a None of its own.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace vorlex;

namespace {

TEST(X11WindowSystem, AFocusTheWindowManagerManagesNotIsNoActiveWindow)
{
    Display* const display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    // What the window manager set, put back after: the tests after share its display.
    Window focusBefore = None;
    int revertBefore = 0;
    XGetInputFocus(display, &focusBefore, &revertBefore);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* named = nullptr;
    XGetWindowProperty(display, root, active, 0, 1, False, XA_WINDOW, &type, &format, &count, &remaining, &named);
    XSetWindowAttributes unmanaged{};
    unmanaged.override_redirect = True;
    const Window parked = XCreateWindow(display, root, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                        CWOverrideRedirect, &unmanaged);
    XMapWindow(display, parked);
    XSync(display, False);
    XSetInputFocus(display, parked, RevertToPointerRoot, CurrentTime);
    const unsigned long none = None;
    XChangeProperty(display, root, active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&none), 1);
    XSync(display, False);

    EXPECT_EQ(x11::createWindowSystem(display)->activeWindow(), 0u);
    XSetInputFocus(display, focusBefore, revertBefore, CurrentTime);
    if (named)
        XChangeProperty(display, root, active, XA_WINDOW, 32, PropModeReplace, named, 1);
    XFree(named);
    XCloseDisplay(display);
}

} // namespace
