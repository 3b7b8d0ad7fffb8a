#pragma once

// The copy on desktops whose keys go through the RemoteDesktop portal (GNOME, KDE Plasma), where a copy
// key must never reach a window that a copy key harms. The key goes only to a window known to take it:
// one KWin names whose process holds no pseudo-terminal (no terminal, embedded or not) and whose copy
// key is Ctrl+C. Everywhere else, GNOME's every window included (mutter names none), the highlighted
// text is read and put on the clipboard as a copy would: no key, no remote-control permission.

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class KWinActiveWindow;

// keys sends the copy and paste keys; primary is the focused window's highlighted text (null: none);
// clipboard receives it. kwin names the focused window (null: nothing does).
std::unique_ptr<KeySender> createPrimaryCopyGuard(std::unique_ptr<KeySender> keys, PrimarySelection* primary,
                                                  Clipboard& clipboard, std::unique_ptr<KWinActiveWindow> kwin);

} // namespace vorlex::wayland
