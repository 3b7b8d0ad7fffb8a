#pragma once

// The hotkeys as the program's own keys: each is grabbed on the root window, on its physical key with
// its exact modifiers, under every combination of Caps Lock and Num Lock, so the application under
// it never also acts on it. A key another X client grabbed first is reported taken.

#include "Platform.h"

#include <QByteArray>

#include <memory>
#include <utility>
#include <vector>

namespace vorlex::x11 {

// A key press as a hotkey names it: the keycode of the physical key (evdev code + 8) and the
// modifiers (KeyModifier bits) held, lock keys left out.
struct KeyPress {
    quint32 keycode = 0;
    quint32 modifiers = 0;
    bool operator==(const KeyPress&) const = default;
};

// The bound hotkeys as physical keys, in the order bound; a key outside the 46 is left out, and so
// is a hotkey on the same keys as one before it.
class X11HotkeyTable {
public:
    X11HotkeyTable() = default;
    explicit X11HotkeyTable(const QList<Hotkey>& hotkeys);
    // The action of the hotkey the press fires, or null: a few comparisons, nothing allocated.
    const QString* match(const KeyPress& press) const;
    const std::vector<std::pair<KeyPress, QString>>& entries() const { return keys; }

private:
    std::vector<std::pair<KeyPress, QString>> keys;
};

// Grabs on a connection of its own to displayName, opened at the first bind.
std::unique_ptr<Hotkeys> createX11Hotkeys(const QByteArray& displayName);

} // namespace vorlex::x11
