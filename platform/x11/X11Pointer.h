#pragma once

// Where the pointer is on the root window, and the modifier and button state the server holds.

#include <QPoint>

#include <X11/Xlib.h>

namespace vorlex::x11 {

struct PointerState {
    QPoint position; // in root coordinates
    unsigned state = 0;
};

inline PointerState queryPointer(Display* display)
{
    Window root = None;
    Window child = None;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned state = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &state);
    return {QPoint(rootX, rootY), state};
}

} // namespace vorlex::x11
