#include "X11HeldModifiers.h"

#include "X11ModifierMap.h"
#include "X11Pointer.h"
#include "X11WindowSystem.h"

#include <X11/Xlib.h>

namespace vorlex::x11 {

namespace {

class X11HeldModifiers final : public HeldModifiers {
public:
    explicit X11HeldModifiers(Display* connection) : display(connection), windows(createWindowSystem(connection)) {}

    std::optional<quint32> now() const override
    {
        // An X window has the focus: XWayland sees the keyboard then only.
        if (windows->activeWindow() == 0)
            return std::nullopt;
        const unsigned state = queryPointer(display).state;
        // Asked rarely (a paste waiting for a release), so the keymap is read afresh each time.
        map.refresh(display);
        return map.modifiersOfState(state);
    }

private:
    Display* display;
    std::unique_ptr<WindowSystem> windows;
    mutable X11ModifierMap map;
};

} // namespace

std::unique_ptr<HeldModifiers> createHeldModifiers(Display* display)
{
    return std::make_unique<X11HeldModifiers>(display);
}

} // namespace vorlex::x11
