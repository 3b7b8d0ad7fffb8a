#pragma once

// Ctrl+C / Ctrl+V (and a terminal's Ctrl+Shift+C) through a virtual keyboard (zwp_virtual_keyboard_v1) of our own.

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

class VirtualKeyboard : public KeySender {
public:
    // A terminal's own copy shortcut, Ctrl+Shift+C: Ctrl+C would interrupt the program running in it.
    virtual void sendTerminalCopy() = 0;
};

// Returns nullptr when the compositor offers no virtual keyboard (or has no seat).
// The keyboard carries its own US keymap, so the shortcuts land on C and V whatever layout the
// user types in; on wlroots its modifiers are its own, so keys the user still holds do not mix in.
std::unique_ptr<VirtualKeyboard> createVirtualKeyboard(WaylandConnection& connection);

} // namespace vorlex::wayland
