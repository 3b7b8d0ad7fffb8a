#pragma once

// Passive observation of every button press of the X server, on a connection of its own.

#include "Platform.h"

#include <memory>

namespace vorlex::x11 {

// The connection is opened to displayName when the first watcher is added. With preferXInput2 false
// it goes straight to the RECORD fallback.
std::unique_ptr<InputObserver> createInputObserver(const char* displayName, bool preferXInput2);

} // namespace vorlex::x11
