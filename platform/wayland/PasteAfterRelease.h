#pragma once

// A paste through the RemoteDesktop portal adds its Ctrl to whatever the user still holds: with the
// hotkey's Shift or Alt still down the application gets Ctrl+Shift+V or Ctrl+Alt+V, which does
// something else or nothing. So a paste waits until no modifier is seen held; where the keyboard cannot
// be seen (a Wayland window has the focus), until modifierHoldMs after the copy that began the action,
// by when a hand has let go of a shortcut.

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

// `vorlex --hotkey` reached the portal's first key 33 to 148 ms after the press, with the modifiers
// still held; a shortcut's keys are let go of a few hundred milliseconds after the press.
inline constexpr int modifierHoldMs = 1000;
// Seen held this long, the modifiers belong to something else the user does: the paste is given up
// (the translation stays on the clipboard).
inline constexpr int modifierGiveUpMs = 5000;

// held sees the keyboard where it can (null: nowhere); the waits run on scheduler.
std::unique_ptr<KeySender> createPasteAfterRelease(std::unique_ptr<KeySender> keys, std::unique_ptr<HeldModifiers> held,
                                                   Scheduler& scheduler);

} // namespace vorlex::wayland
