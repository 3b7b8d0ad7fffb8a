#pragma once

// Which of the platform's modifiers (KeyModifier bits) each X modifier state and each modifier key
// stands for. Alt and Super sit on whichever of Mod1..Mod5 the keymap says, so the map is read from
// the server, again whenever the keymap changes; the per-key lookups are plain table reads.

#include <QtGlobal>

#include <array>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

class X11ModifierMap {
public:
    // Reads the modifier mapping and the keysyms of the modifier keys: round trips, never per key.
    void refresh(Display* display);

    // An X modifier state (8 bits, as XKB reports it); Lock and Num Lock map to nothing.
    quint32 modifiersOfState(unsigned state) const { return bitsOfState[state & 0xff]; }
    // The modifiers a key stands for while it is held (0 for other keys).
    quint32 modifiersOfKey(unsigned keycode) const { return keycode < 256 ? bitsOfKey[keycode] : 0; }
    // Any key bound to a modifier, Lock and Num Lock included.
    bool isModifierKey(unsigned keycode) const { return keycode < 256 && modifierKey[keycode]; }

private:
    std::array<quint8, 256> bitsOfState{};
    std::array<quint8, 256> bitsOfKey{};
    std::array<bool, 256> modifierKey{};
};

} // namespace vorlex::x11
