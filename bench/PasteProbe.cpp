// Plays a program that takes the clipboard and pastes it into the focused application: it takes
// CLIPBOARD (serving TEXT as UTF8_STRING, text/plain;charset=utf-8 and STRING), presses Ctrl+V with
// XTEST DELAY_MS later, and keeps serving for 2 s. bench/pastebound.sh drives it.
//   pasteprobe DELAY_MS TEXT

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

void serve(Display* display, const XSelectionRequestEvent& request, const char* text)
{
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom texts[] = {XInternAtom(display, "UTF8_STRING", False),
                          XInternAtom(display, "text/plain;charset=utf-8", False), XA_STRING};
    XEvent reply{};
    reply.xselection = {SelectionNotify, 0,    True,        display, request.requestor, request.selection,
                        request.target,  None, request.time};
    if (request.target == targets) {
        const long list[] = {long(targets), long(texts[0]), long(texts[1]), long(texts[2])};
        XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(list), 4);
        reply.xselection.property = request.property;
    }
    for (const Atom type : texts) {
        if (request.target == type) {
            XChangeProperty(display, request.requestor, request.property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text), int(std::strlen(text)));
            reply.xselection.property = request.property;
        }
    }
    XSendEvent(display, request.requestor, False, 0, &reply);
}

} // namespace

int main(int argc, char* argv[])
{
    Display* display = argc == 3 ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
        std::fprintf(stderr, "usage: pasteprobe DELAY_MS TEXT (under an X display)\n");
        return 2;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XSync(display, False);
    const Clock::time_point taken = Clock::now();
    const Clock::time_point pasteAt = taken + std::chrono::milliseconds(std::atoi(argv[1]));
    bool pasted = false;
    while (Clock::now() < taken + std::chrono::seconds(2)) {
        if (!pasted && Clock::now() >= pasteAt) {
            const unsigned control = XKeysymToKeycode(display, XK_Control_L);
            const unsigned v = XKeysymToKeycode(display, XK_v);
            XTestFakeKeyEvent(display, control, True, CurrentTime);
            XTestFakeKeyEvent(display, v, True, CurrentTime);
            XTestFakeKeyEvent(display, v, False, CurrentTime);
            XTestFakeKeyEvent(display, control, False, CurrentTime);
            XFlush(display);
            pasted = true;
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest)
                serve(display, event.xselectionrequest, argv[2]);
        }
        XFlush(display);
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 1);
    }
    XCloseDisplay(display);
    return 0;
}
