#pragma once

// Ctrl+C / Ctrl+V through XTEST on the physical C and V keys.

#include "Platform.h"

#include <memory>

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Sends on display, a connection the caller keeps open (Qt's own in the program).
std::unique_ptr<KeySender> createKeySender(Display* display);

} // namespace vorlex::x11
