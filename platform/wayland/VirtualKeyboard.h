#pragma once

// Ctrl+C / Ctrl+V through a virtual keyboard (zwp_virtual_keyboard_v1) of our own.

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

// Returns nullptr when the compositor offers no virtual keyboard (or has no seat).
// The keyboard carries its own US keymap, so the shortcuts land on C and V whatever layout the
// user types in; on wlroots its modifiers are its own, so keys the user still holds do not mix in.
std::unique_ptr<KeySender> createVirtualKeyboard(WaylandConnection& connection);

} // namespace vorlex::wayland
