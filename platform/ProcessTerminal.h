#pragma once

// Whether a process runs a terminal: every terminal emulator, standalone or embedded in an editor,
// a file manager or an IDE, holds the master side of a pseudo-terminal, in its own process or in a
// child of it. Window names cannot tell the embedded ones (their class is the host's).

#include <QString>

namespace vorlex {

// True when pid, or a process below it (up to a few levels), has /dev/ptmx open. Reads /proc only;
// a process that is gone or cannot be inspected holds none.
bool holdsPseudoTerminal(qint64 pid);

} // namespace vorlex
