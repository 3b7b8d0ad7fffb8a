#pragma once

// The modifiers the user holds, as XWayland sees them: it sees the keyboard only while one of its
// windows has the focus, and its key state says nothing otherwise.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Asks on display, a connection the caller keeps open (Qt's own in the program), or null (nothing is
// seen). The keyboard counts as seen while the window manager names an X window active.
std::unique_ptr<HeldModifiers> createHeldModifiers(Display* display);

} // namespace vorlex::x11
