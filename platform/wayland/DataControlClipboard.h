#pragma once

// The clipboard through a data-control protocol, which lets a client without keyboard focus follow,
// read and set the selection (a clipboard manager's view of it).

#include "Platform.h"

#include <memory>

namespace vorlex::wayland {

class WaylandConnection;

// ext-data-control-v1, the standard one, and zwlr-data-control-unstable-v1 before it: one contract.
enum class DataControl { ext, wlr };

// The clipboard, and the primary selection (what is highlighted now, in whichever window set it last),
// as a clipboard manager sees them.
// The clipboard's text is read in the background as each new selection arrives: changeCount() rises,
// and the watchers run, once it is there (or after a bounded wait, with no text), so text() never
// waits. A selection with no text (none at all, or an image) is no new content: it raises nothing, so
// a capture still waits for the copy that follows it (sway announces an empty selection just before
// the copy of an application that already owned the clipboard).
// The primary selection is read only when asked for.
class DataControlClipboard : public Clipboard, public PrimarySelection {};

// Returns nullptr when the compositor does not offer protocol after all (or has no seat).
std::unique_ptr<DataControlClipboard> createDataControlClipboard(WaylandConnection& connection, DataControl protocol);

} // namespace vorlex::wayland
