#include "X11ModifierMap.h"

#include "Platform.h"
#include "X11Resource.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace vorlex::x11 {

namespace {

using ModifierKeymap = X11Resource<XModifierKeymap*, XFreeModifiermap>;
using KeySyms = X11Resource<KeySym*, XFree>;

bool isAlt(KeySym sym)
{
    return sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R;
}

bool isSuper(KeySym sym)
{
    return sym == XK_Super_L || sym == XK_Super_R || sym == XK_Hyper_L || sym == XK_Hyper_R;
}

} // namespace

void X11ModifierMap::refresh(Display* display)
{
    std::array<quint8, 8> bitsOfModifier{ShiftModifier, 0, ControlModifier, 0, 0, 0, 0, 0};
    numLock = 0;
    if (const ModifierKeymap map{XGetModifierMapping(display)}) {
        const auto keyOf = [&](int modifier, int i) { return map->modifiermap[modifier * map->max_keypermod + i]; };
        unsigned altMask = 0;
        unsigned superMask = 0;
        for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
            for (int i = 0; i < map->max_keypermod; ++i) {
                if (keyOf(modifier, i) == 0)
                    continue;
                int perKey = 0;
                const KeySyms syms{XGetKeyboardMapping(display, keyOf(modifier, i), 1, &perKey)};
                for (int s = 0; syms && s < perKey; ++s) {
                    if (isAlt(syms.get()[s]))
                        altMask |= 1u << modifier;
                    else if (isSuper(syms.get()[s]))
                        superMask |= 1u << modifier;
                    else if (syms.get()[s] == XK_Num_Lock)
                        numLock |= 1u << modifier;
                }
            }
        }
        // Keymaps that name neither still put them where the core protocol does.
        altMask = altMask ? altMask : Mod1Mask;
        superMask = superMask ? superMask : Mod4Mask;
        for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
            if (altMask & (1u << modifier))
                bitsOfModifier[modifier] |= AltModifier;
            if (superMask & (1u << modifier))
                bitsOfModifier[modifier] |= SuperModifier;
        }
    }
    for (unsigned state = 0; state < bitsOfState.size(); ++state) {
        quint8 bits = 0;
        for (int modifier = 0; modifier < 8; ++modifier) {
            if (state & (1u << modifier))
                bits |= bitsOfModifier[modifier];
        }
        bitsOfState[state] = bits;
    }
    // Each modifier by the first X modifier that stands for it.
    stateOfBit.fill(0);
    for (unsigned bit = 0; bit < stateOfBit.size(); ++bit) {
        for (int modifier = 7; modifier >= 0; --modifier) {
            if (bitsOfModifier[modifier] & (1u << bit))
                stateOfBit[bit] = 1u << modifier;
        }
    }
}

unsigned X11ModifierMap::stateOfModifiers(quint32 modifiers) const
{
    unsigned state = 0;
    for (unsigned bit = 0; bit < stateOfBit.size(); ++bit) {
        if (modifiers & (1u << bit))
            state |= stateOfBit[bit];
    }
    return state;
}

} // namespace vorlex::x11
