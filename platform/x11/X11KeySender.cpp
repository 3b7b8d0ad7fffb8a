#include "X11KeySender.h"

#include "X11Resource.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <vector>

namespace vorlex::x11 {

namespace {

// The physical C and V keys of a US keyboard (evdev code + 8). Keycodes, not keysyms: with only a
// Hebrew layout loaded there is no keysym "c" to look up.
constexpr unsigned copyKeycode = 54;
constexpr unsigned pasteKeycode = 55;
constexpr unsigned fallbackControlKeycode = 37;

using ModifierKeymap = X11Resource<XModifierKeymap*, XFreeModifiermap>;

class X11KeySender final : public KeySender {
public:
    explicit X11KeySender(Display* connection) : display(connection) {}

    void sendCopy() override { sendWithControl(copyKeycode); }
    void sendPaste() override { sendWithControl(pasteKeycode); }

private:
    // The target must receive exactly Ctrl+key, even while the user still holds the hotkey's
    // modifiers: those are released for the keystroke and pressed again after it. The server is
    // grabbed meanwhile, so no other client's key event (a user letting go, typed through XTEST) can
    // fall between reading what is held and pressing it again: a key let go of before is not read as
    // held, and one let go of after is released from the state pressed again.
    void sendWithControl(unsigned keycode)
    {
        if (!display)
            return;
        XGrabServer(display);
        const std::vector<unsigned> held = heldModifierKeys();
        for (unsigned key : held)
            XTestFakeKeyEvent(display, key, False, CurrentTime);
        unsigned control = XKeysymToKeycode(display, XK_Control_L);
        if (control == 0)
            control = fallbackControlKeycode;
        XTestFakeKeyEvent(display, control, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        XTestFakeKeyEvent(display, control, False, CurrentTime);
        for (unsigned key : held)
            XTestFakeKeyEvent(display, key, True, CurrentTime);
        XUngrabServer(display);
        XFlush(display);
    }

    // Keys bound to a modifier that are down now. The Lock modifier and Num Lock are left alone:
    // their state is a toggle, not a held key, and releasing them changes nothing.
    std::vector<unsigned> heldModifierKeys()
    {
        std::vector<unsigned> held;
        std::array<char, 32> keys{};
        XQueryKeymap(display, keys.data());
        const ModifierKeymap map{XGetModifierMapping(display)};
        if (!map)
            return held;
        const unsigned numLock = XKeysymToKeycode(display, XK_Num_Lock);
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; modifier != LockMapIndex && i < map->max_keypermod; ++i) {
                const unsigned key = map->modifiermap[modifier * map->max_keypermod + i];
                if (key != 0 && key != numLock && key < 256 && (keys[key / 8] & (1 << (key % 8))) &&
                    std::find(held.begin(), held.end(), key) == held.end())
                    held.push_back(key);
            }
        }
        return held;
    }

    Display* display;
};

} // namespace

std::unique_ptr<KeySender> createKeySender(Display* display)
{
    return std::make_unique<X11KeySender>(display);
}

} // namespace vorlex::x11
