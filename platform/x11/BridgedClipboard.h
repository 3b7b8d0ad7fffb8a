#pragma once

// XWayland's X11 clipboard, which the compositor copies over to Wayland clients (mutter): the copy
// starts with the compositor asking this process for the text, and a paste sent before that gives the
// Wayland client the previous content, so whenServed waits for that request.

#include "Platform.h"

#include <memory>

namespace vorlex::x11 {

// Needs a QGuiApplication on the xcb platform (XWayland).
std::unique_ptr<Clipboard> createBridgedClipboard();

} // namespace vorlex::x11
