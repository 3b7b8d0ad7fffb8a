// The floor for watching the keyboard: a bare Qt program that only reads every raw key press and
// release from the X server, the way a global hotkey observer must, and does nothing with them.

#include <QCoreApplication>
#include <QSocketNotifier>

// After Qt: Xlib defines Bool and Status as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Display* display = XOpenDisplay(nullptr);
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!display || !XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
        std::fprintf(stderr, "keyfloor: no X display with XInput\n");
        return 1;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XFlush(display);

    QSocketNotifier notifier(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        while (XPending(display) > 0) {
            XEvent next;
            XNextEvent(display, &next);
            if (next.type == GenericEvent && XGetEventData(display, &next.xcookie))
                XFreeEventData(display, &next.xcookie);
        }
    });
    const int result = app.exec();
    XCloseDisplay(display);
    return result;
}
