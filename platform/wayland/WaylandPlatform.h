#pragma once

// The desktop layer of the running program on a Wayland session. The program's windows stay on
// XWayland (Qt's xcb platform), where they can be placed and kept above; what XWayland cannot do
// for Wayland applications (follow the clipboard, send keys) goes through Wayland protocols.

#include "Platform.h"

#include <QString>

#include <functional>
#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

// What the program's X connection (to XWayland) does for a Wayland session, built from the X11 layer by
// the session's composition root; every part may be missing where there is no XWayland.
struct XWaylandParts {
    bool present = false; // the program's windows are on XWayland
    // The X11 clipboard, which the compositor copies over to Wayland clients and back (GNOME).
    std::function<std::unique_ptr<Clipboard>()> createClipboard;
    // keys, kept away from X terminals; their highlighted text goes to clipboard.
    std::function<std::unique_ptr<KeySender>(std::unique_ptr<KeySender> keys, Clipboard& clipboard)> guardTerminals;
    // XWayland's PRIMARY: an X window's highlight, and on mutter also a focused Wayland window's.
    std::unique_ptr<PrimarySelection> primarySelection;
    // The modifiers held, seen while an X window has the focus.
    std::unique_ptr<HeldModifiers> heldModifiers;
};

// The platform on connection, a compositor that answered; reason says why this session is a Wayland
// one, on the start line (stderr) with what the session offers and what is used of it. Never fails:
// a facility the session lacks does nothing.
std::unique_ptr<Platform> createWaylandPlatform(std::unique_ptr<WaylandConnection> connection, XWaylandParts xwayland,
                                                const QString& reason);

} // namespace vorlex::wayland
