#include "SessionPlatform.h"

#include "BridgedClipboard.h"
#include "WaylandConnection.h"
#include "WaylandPlatform.h"
#include "X11HeldModifiers.h"
#include "X11Platform.h"
#include "X11PrimarySelection.h"
#include "X11TerminalGuard.h"

#include <csignal>

namespace vorlex {

namespace {

constexpr int connectTimeoutMs = 2000;
// An owner answers at once, but on GNOME every capture reads PRIMARY across XWayland, mutter and the
// application, each of which a loaded machine may hold up: as long as a capture waits for its keys.
constexpr int primaryReadMs = 1000;

wayland::XWaylandParts xwaylandParts()
{
    Display* const display = qtDisplay();
    wayland::XWaylandParts parts;
    parts.present = display != nullptr;
    parts.createClipboard = [] { return x11::createBridgedClipboard(); };
    parts.guardTerminals = [display](std::unique_ptr<KeySender> keys, Clipboard& clipboard) {
        return x11::createTerminalGuard(std::move(keys), display, clipboard);
    };
    parts.primarySelection = x11::createPrimarySelection(display, primaryReadMs);
    parts.heldModifiers = x11::createHeldModifiers(display);
    return parts;
}

} // namespace

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qgetenv("VORLEX_PLATFORM") != "x11";
}

std::unique_ptr<Platform> createPlatform()
{
    // A reader that goes away while the program writes its selection to it (a Wayland pipe) must not
    // end the program.
    std::signal(SIGPIPE, SIG_IGN);
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString reason;
    if (qgetenv("VORLEX_PLATFORM") == "x11")
        reason = QStringLiteral("VORLEX_PLATFORM=x11");
    else if (display.isEmpty())
        reason = QStringLiteral("WAYLAND_DISPLAY is not set");
    else if (auto connection = wayland::WaylandConnection::open(connectTimeoutMs))
        return wayland::createWaylandPlatform(
            std::move(connection), xwaylandParts(),
            QStringLiteral("a compositor answers on WAYLAND_DISPLAY=%1; XDG_SESSION_TYPE=%2")
                .arg(display, qEnvironmentVariable("XDG_SESSION_TYPE")));
    else
        reason = QStringLiteral("no compositor answers on WAYLAND_DISPLAY=%1").arg(display);
    return createX11Platform({.preferXInput2 = true, .reason = reason});
}

} // namespace vorlex
