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
    bitsOfKey.fill(0);
    modifierKey.fill(false);
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
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < map->max_keypermod; ++i) {
                if (const KeyCode key = keyOf(modifier, i)) {
                    bitsOfKey[key] |= bitsOfModifier[modifier];
                    modifierKey[key] = true;
                }
            }
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
}

} // namespace vorlex::x11
