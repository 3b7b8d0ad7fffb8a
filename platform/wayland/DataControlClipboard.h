#pragma once

// The clipboard through a data-control protocol, which lets a client without keyboard focus follow,
// read and set the selection (a clipboard manager's view of it).

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

// ext-data-control-v1 where the compositor offers it, else zwlr-data-control-unstable-v1.
// Returns nullptr when it offers neither (or has no seat). protocol receives the interface used.
// The text is read in the background as each new selection arrives: changeCount() rises, and the
// watchers run, once it is there (or after a bounded wait, with no text), so text() never waits.
std::unique_ptr<Clipboard> createDataControlClipboard(WaylandConnection& connection, QString& protocol);

} // namespace vorlex::wayland
