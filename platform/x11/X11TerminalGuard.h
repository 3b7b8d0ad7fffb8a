#pragma once

// Keeps the copy and paste keystrokes away from X11 terminals (on X11, and on XWayland under a
// Wayland compositor): a terminal is known by the WM_CLASS of the active window, and its selection
// is read from PRIMARY, with no keystroke, when the terminal owns it.

#include "Platform.h"

#include <QString>

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// What the X server tells of the active window and of PRIMARY's owner.
struct X11Focus {
    QString instance;         // the active window's WM_CLASS: its instance name
    QString windowClass;      // and its class name
    quint64 activeClient = 0; // the X client of the active window (0: there is none)
    quint64 ownerClient = 0;  // the X client of PRIMARY's owner (0: nobody owns it)
    qint64 activePid = -1;    // their processes, where the server tells (-1: it does not)
    qint64 ownerPid = -1;
    bool operator==(const X11Focus&) const = default;
};

enum class X11Copy { copyKey, readPrimary, nothing };

// The copy key for every window but a terminal's. A terminal's highlighted text is PRIMARY's when it
// owns PRIMARY: through the same X client (xterm and rxvt with their text window, VTE, kitty and
// Konsole with a hidden window of their own) or another connection of the same process (Alacritty).
// Else what PRIMARY holds came from elsewhere, and nothing is taken.
X11Copy chooseCopy(const X11Focus& focus);

// Whether the server has X-Resource 1.2, which tells the X client and the process of a window.
bool tellsClientIds(Display* display);

// keys sends the copy and paste keystrokes; a terminal's selection goes to clipboard. display is Qt's
// connection (X11 or XWayland), or null, where everything goes to keys.
std::unique_ptr<KeySender> createTerminalGuard(std::unique_ptr<KeySender> keys, Display* display, Clipboard& clipboard);

} // namespace vorlex::x11
