#pragma once

// SIGTERM (how a desktop ends its session), SIGINT (Ctrl+C in a terminal) and SIGHUP (a closed
// terminal) quit the event loop as the menu's Quit does, so that what quitting does, the history
// written to disk among it, happens then too. The handler only writes a byte into a pipe; the event
// loop reads it.

#include <memory>

class QSocketNotifier;

namespace vorlex {

class TerminationSignals {
public:
    // From here on, for the object's lifetime, the three signals quit the application's event loop.
    // One at a time.
    TerminationSignals();
    ~TerminationSignals(); // the default actions again
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace vorlex
