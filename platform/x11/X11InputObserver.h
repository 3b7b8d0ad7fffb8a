#pragma once

// Passive observation of every key and button press of the X server, on a connection of its own.

#include "Platform.h"

#include <functional>
#include <memory>

namespace vorlex::x11 {

// One key press seen system-wide: the keycode of the physical key (evdev code + 8) and the modifiers
// (KeyModifier bits) held at that moment.
struct KeyPress {
    quint32 keycode = 0;
    quint32 modifiers = 0;
    bool operator==(const KeyPress&) const = default;
};

class X11InputObserver : public InputObserver {
public:
    using KeyHandler = std::function<void(const KeyPress&)>;

    // Starts delivering every key press of the server to handler (auto-repeats included). Returns
    // false when the server offers no way to observe keys. Called at most once. The handler runs for
    // every key the user types: it must stay cheap.
    virtual bool watchKeys(KeyHandler handler) = 0;
};

// The connection is opened to displayName when first asked to watch. With preferXInput2 false it
// goes straight to the RECORD fallback (tests exercise it this way).
std::unique_ptr<X11InputObserver> createInputObserver(const char* displayName, bool preferXInput2);

} // namespace vorlex::x11
