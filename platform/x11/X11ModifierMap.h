#pragma once

// Which of the platform's modifiers (KeyModifier bits) each X modifier state stands for, and back.
// Alt, Super and Num Lock sit on whichever of Mod1..Mod5 the keymap says, so the map is read from
// the server, again whenever the keymap changes; the lookups are plain table reads.

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
    // The X modifier state that holds exactly these modifiers (KeyModifier bits).
    unsigned stateOfModifiers(quint32 modifiers) const;
    // The X modifier Num Lock sets while it is on (0 where no key is Num Lock).
    unsigned numLockState() const { return numLock; }

private:
    std::array<quint8, 256> bitsOfState{};
    std::array<unsigned, 4> stateOfBit{}; // per KeyModifier bit
    unsigned numLock = 0;
};

} // namespace vorlex::x11
