#pragma once

// On sway, which names the focused window over its IPC socket: a Wayland terminal gets its own copy
// key (Ctrl+C would interrupt the program running in it) and is told to be a terminal, so nothing is
// pasted there; an X window is left to the guard of X terminals; and when sway does not say in time
// what has the focus, no key goes out at all.

#include "Platform.h"

#include <QString>

#include <memory>

namespace vorlex::wayland {

class VirtualKeyboard;

// socketPath is $SWAYSOCK; xwayland handles X windows (it sends its keys through keyboard).
std::unique_ptr<KeySender> createSwayTerminalGuard(const QString& socketPath, std::unique_ptr<KeySender> xwayland,
                                                   VirtualKeyboard& keyboard);

} // namespace vorlex::wayland
