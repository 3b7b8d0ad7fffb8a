#pragma once

// The physical key behind each hotkey key name: its X keycode on a US keyboard (evdev code + 8), so a
// hotkey fires on the same key whichever layout (Hebrew or English) is active. No X11 headers here:
// the program's own windows report these keycodes on X11 and XWayland alike.

#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>

namespace vorlex::x11 {

struct KeyCode {
    char16_t name; // the hotkey key name, one character
    quint32 keycode;
};

// All 46, in no particular order.
std::span<const KeyCode> hotkeyKeyCodes();
// The keycode of a key name, or nothing outside the 46.
std::optional<quint32> keycodeOfHotkeyKey(const QString& name);

} // namespace vorlex::x11
