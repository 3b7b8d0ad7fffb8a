#pragma once

// What the whole-program probes share: reading a window's owner and walking a changing tree.

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vorlex::bench {

// The _NET_WM_PID of window, or -1.
inline long windowPid(Display* display, Window window, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

inline int ignoreErrors(Display*, XErrorEvent*)
{
    return 0; // windows come and go while we walk the tree
}

} // namespace vorlex::bench
