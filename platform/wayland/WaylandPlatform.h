#pragma once

// The desktop layer of the running program on a Wayland session. The program's windows stay on
// XWayland (Qt's xcb platform), where they can be placed and kept above; what XWayland cannot do
// for Wayland applications (follow the clipboard, send keys) goes through Wayland protocols.

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
// lacks does nothing.
std::unique_ptr<Platform> createPlatform();

} // namespace vorlex
