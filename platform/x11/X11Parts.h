#pragma once

// The pieces of the X11 desktop layer, put together by createX11Platform(). Only the .cpp files of
// this folder see the X11 headers; this header names the connection by its opaque type.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Replaces Xlib's default error handler, which ends the process, with one that only notes the
// error. Safe to call more than once.
void installErrorHandler();

// The error code of the last X error seen since the previous call, or 0.
int takeLastError();

// The extensions the layer relies on, as the server offers them.
struct Extensions {
    bool xtest = false;
    bool xinput2 = false; // 2.0 or later: raw key and button events
    bool record = false;
    bool xfixes = false;
    bool xkb = false;
};
Extensions queryExtensions(Display* display);

// Ctrl+C / Ctrl+V through XTEST on the physical C and V keys.
std::unique_ptr<KeySender> createKeySender(Display* display);

// _NET_ACTIVE_WINDOW and its activation message.
std::unique_ptr<WindowSystem> createWindowSystem(Display* display);

// Observes keys and buttons on a connection of its own, opened to displayName.
// With preferXInput2 false it goes straight to RECORD (for tests of the fallback).
std::unique_ptr<InputObserver> createInputObserver(const char* displayName, bool preferXInput2);

} // namespace vorlex::x11
