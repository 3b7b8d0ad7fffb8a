#pragma once

// The desktop layer of the running program on a Wayland session. The program's windows stay on
// XWayland (Qt's xcb platform), where they can be placed and kept above; what XWayland cannot do
// for Wayland applications (follow the clipboard, send keys) goes through Wayland protocols.

#include "Platform.h"

#include <memory>

namespace vorlex {

// WAYLAND_DISPLAY is set and the login session says it is a Wayland one.
bool isWaylandSession();

// Needs a QGuiApplication; on XWayland (xcb) for the clipboard fallback. Never fails: a facility
// the compositor lacks is reported once on stderr, at start, and does nothing after that.
std::unique_ptr<Platform> createWaylandPlatform();

} // namespace vorlex
