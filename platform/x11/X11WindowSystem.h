#pragma once

// The active window as the window manager reports it (EWMH), and activation through it.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Works on display, a connection the caller keeps open (Qt's own in the program).
std::unique_ptr<WindowSystem> createWindowSystem(Display* display);

} // namespace vorlex::x11
