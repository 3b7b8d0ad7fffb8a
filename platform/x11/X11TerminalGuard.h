#pragma once

// Keeps the copy and paste keystrokes away from X windows they would harm (on X11, and on XWayland
// under a Wayland compositor): a window whose process holds a pseudo-terminal (a terminal, also one
// embedded in an editor, a file manager or an IDE), Emacs and gVim. Their highlighted text is read
// from PRIMARY instead, with no keystroke, when they own it.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// What the X server tells of the active window and of PRIMARY's owner.
struct X11Focus {
    bool keyless = false;     // the active window takes no key (takesNoKeys)
    quint64 activeClient = 0; // the X client of the active window (0: there is none)
    quint64 ownerClient = 0;  // the X client of PRIMARY's owner (0: nobody owns it)
    qint64 activePid = -1;    // their processes, where the server tells (-1: it does not)
    qint64 ownerPid = -1;
    bool operator==(const X11Focus&) const = default;
};

enum class X11Copy { copyKey, readPrimary, nothing };

// The copy key for every window that takes keys. The highlighted text of one that does not is
// PRIMARY's when that window's application owns PRIMARY: through the same X client (xterm with its
// text window; VTE, Konsole, Emacs and gVim with a hidden window of their own, embedded terminals
// with their host's) or another connection of the same process (Alacritty). Else what PRIMARY holds
// came from another application, and nothing is taken.
X11Copy chooseCopy(const X11Focus& focus);

// Whether the server has X-Resource 1.2, which tells the X client and the process of a window.
bool tellsClientIds(Display* display);

// keys sends the copy and paste keystrokes; a highlighted text read instead goes to clipboard.
// display is Qt's connection (X11 or XWayland), or null, where everything goes to keys.
std::unique_ptr<KeySender> createTerminalGuard(std::unique_ptr<KeySender> keys, Display* display, Clipboard& clipboard);

} // namespace vorlex::x11
