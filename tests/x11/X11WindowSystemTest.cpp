// The active window is the one the window manager names. Under XWayland the compositor names none while
// a Wayland window has the focus and parks the X input focus on a window of its own, whose process
// (the compositor's, parent of the programs it started) must not pass for the focused application's.

#include "X11WindowSystem.h"

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
    const auto windows = x11::createWindowSystem(display);
    const WindowId active = windows->activeWindow(); // given back after: the tests after share the display
    XSetWindowAttributes unmanaged{};
    unmanaged.override_redirect = True;
    const Window parked = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect, &unmanaged);
    XMapWindow(display, parked); // viewable once the server has it, before the focus request after
    XSetInputFocus(display, parked, RevertToPointerRoot, CurrentTime);
    const unsigned long none = None; // as the compositor names it
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&none), 1);
    XSync(display, False);

    EXPECT_EQ(windows->activeWindow(), 0u);
    windows->activate(active);
    XCloseDisplay(display);
}

} // namespace
