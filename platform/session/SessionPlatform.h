#pragma once

// The session's composition root: the one place that knows both desktop layers, picks one for this
// session and hands the Wayland one the parts that only the X11 layer can build (XWayland's clipboard,
// PRIMARY, keyboard and terminals).

#include "Platform.h"

#include <memory>

namespace vorlex {

// WAYLAND_DISPLAY names a display and VORLEX_PLATFORM does not force X11: the program's DISPLAY is
// then XWayland's.
bool isWaylandSession();

// The platform of this session, with one start line on stderr saying which and why: Wayland
// whenever a compositor answers on WAYLAND_DISPLAY, whatever XDG_SESSION_TYPE says (a sway started
// from a console has "tty" there); X11 otherwise, or when VORLEX_PLATFORM=x11 says so.
// Needs a QGuiApplication on the xcb platform (X11 or XWayland). Never fails: a facility the session
// lacks does nothing. Writing to a reader that went away (a pipe) no longer ends the process.
std::unique_ptr<Platform> createPlatform();

} // namespace vorlex
