#pragma once

// What a Wayland session offers the program, gathered once at start, and what the program uses of
// it: the one value both the choice and the start line are made from.

#include <QDBusConnection>
#include <QMap>
#include <QString>

namespace vorlex::wayland {

class WaylandConnection;

struct WaylandCapabilities {
    QMap<QString, quint32> globals; // interface -> version, as the compositor advertises them
    QMap<QString, uint> portals;    // "GlobalShortcuts", "RemoteDesktop" -> version, where offered
    QString portalsUnknown;         // why the portals could not be asked (no service), else empty
    bool kwinScripting = false;     // KWin runs scripts sent over D-Bus, which can name the focused window
    bool xwayland = false;
    bool operator==(const WaylandCapabilities&) const = default;
};

struct WaylandChoice {
    // The clipboard without focus: a data-control protocol, else the X11 clipboard that the
    // compositor bridges (GNOME).
    enum class Clipboard { extDataControl, wlrDataControl, xwaylandBridge };
    // Ctrl+C and Ctrl+V: a virtual keyboard of our own, else the RemoteDesktop portal, else none.
    enum class Keys { virtualKeyboard, remoteDesktop, none };
    // The GlobalShortcuts portal, else a compositor binding that runs `vorlex --hotkey NAME`.
    enum class Hotkeys { globalShortcuts, compositorBinding };
    // How a capture copies: the copy key (a virtual keyboard: the compositor's own guard keeps it from
    // terminals); the copy key only where KWin names a window that takes it; else the highlighted text.
    enum class Copy { copyKey, copyKeyWhereKWinAllows, highlightedText };
    Clipboard clipboard = Clipboard::xwaylandBridge;
    Keys keys = Keys::none;
    Hotkeys hotkeys = Hotkeys::compositorBinding;
    Copy copy = Copy::highlightedText;
    bool operator==(const WaylandChoice&) const = default;
};

// The globals of connection (none without one), the portals' versions on bus (waiting at most
// timeoutMs in all, at start only) and whether the program's windows are on XWayland.
WaylandCapabilities gatherCapabilities(const WaylandConnection* connection, const QDBusConnection& bus, bool xwayland,
                                       int timeoutMs);
WaylandChoice choose(const WaylandCapabilities& capabilities);
// The start line's words after "vorlex: Wayland platform (why): ".
QString describe(const WaylandCapabilities& capabilities, const WaylandChoice& choice);

} // namespace vorlex::wayland
