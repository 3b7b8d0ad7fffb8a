#pragma once

// On sway, which names the focused window and its process over its IPC socket: a Wayland window
// whose process holds a pseudo-terminal (a terminal under any app_id, or one embedded in an editor),
// or Emacs or gVim, gets no key at all (Konsole, GNOME Console and Terminator turn even Ctrl+Shift+C
// into an interrupt when nothing is highlighted): its highlighted text is read from the primary
// selection instead, and it is told to be a terminal, so nothing is pasted there. An X window is left
// to the guard of X windows; and when sway does not say in time what has the focus, no key goes out.

#include "Platform.h"

#include <QString>

#include <memory>

namespace vorlex::wayland {

// socketPath is $SWAYSOCK; xwayland handles X windows; keyboard sends the keys into Wayland windows;
// a highlighted text read from highlight (null: none can be read) goes to clipboard.
std::unique_ptr<KeySender> createSwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwayland,
                                                   KeySender& keyboard, PrimarySelection* highlight,
                                                   Clipboard& clipboard);

} // namespace vorlex::wayland
