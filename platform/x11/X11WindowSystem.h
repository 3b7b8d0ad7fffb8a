#pragma once

// The active window as the window manager reports it (EWMH), and activation through it.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Works on display, a connection the caller keeps open (Qt's own in the program).
std::unique_ptr<WindowSystem> createWindowSystem(Display* display);

// The window the window manager names active (_NET_ACTIVE_WINDOW), or 0. Unlike activeWindow(), never
// the X input focus: a Wayland compositor parks that on a window of its own while a Wayland window has
// the focus, and names none.
WindowId namedActiveWindow(Display* display);

} // namespace vorlex::x11
