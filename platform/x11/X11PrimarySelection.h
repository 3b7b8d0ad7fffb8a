#pragma once

// The highlighted text as X11 serves it, for a platform that holds it as an interface: XWayland's
// PRIMARY under a Wayland compositor, where mutter also puts a focused Wayland window's highlight.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Reads display's PRIMARY on a connection of its own (the owner may be hung), waiting at most
// timeoutMs for each read. display is only asked for its name; it may be null (nothing is read).
std::unique_ptr<PrimarySelection> createPrimarySelection(Display* display, int timeoutMs);

} // namespace vorlex::x11
