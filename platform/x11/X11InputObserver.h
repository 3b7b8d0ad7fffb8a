#pragma once

// Passive observation of every key and button press of the X server, on a connection of its own.

#include "Platform.h"

#include <memory>

namespace vorlex::x11 {

// The connection is opened to displayName when first asked to watch. With preferXInput2 false it
// goes straight to the RECORD fallback (tests exercise it this way).
std::unique_ptr<InputObserver> createInputObserver(const char* displayName, bool preferXInput2);

} // namespace vorlex::x11
