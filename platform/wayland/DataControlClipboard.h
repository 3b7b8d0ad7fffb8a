#pragma once

// The clipboard through a data-control protocol, which lets a client without keyboard focus follow,
// read and set the selection (a clipboard manager's view of it).

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

// ext-data-control-v1, the standard one, and zwlr-data-control-unstable-v1 before it: one contract.
enum class DataControl { ext, wlr };

// Returns nullptr when the compositor does not offer protocol after all (or has no seat).
// The text is read in the background as each new selection arrives: changeCount() rises, and the
// watchers run, once it is there (or after a bounded wait, with no text), so text() never waits.
std::unique_ptr<Clipboard> createDataControlClipboard(WaylandConnection& connection, DataControl protocol);

} // namespace vorlex::wayland
