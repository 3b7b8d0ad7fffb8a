#pragma once

// X errors arrive at one process-wide handler, and Xlib's default one ends the process: the program
// replaces it with one that ignores them, and a call that may fail is checked with a trap around it.

typedef struct _XDisplay Display;

namespace vorlex::x11 {

// Installs the program's handler, which ignores the error: a window that went away while we asked
// about it is no reason to stop. Safe to call more than once.
void installErrorHandler();

// Catches the errors of one connection's requests while it lives; the handler that was there
// before is back when it goes.
class X11ErrorTrap {
public:
    // Waits for the answers to earlier requests first: their errors are not the trapped call's.
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has answered every request so far; true if none of them failed.
    bool passed();

private:
    friend struct X11ErrorTrapHandler;
    Display* display;
    X11ErrorTrap* outer = nullptr;
    bool failed = false;
};

} // namespace vorlex::x11
