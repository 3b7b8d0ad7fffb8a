#include "X11ErrorTrap.h"

#include <X11/Xlib.h>

#include <utility>

namespace vorlex::x11 {

namespace {

int ignoreError(Display*, XErrorEvent*)
{
    return 0;
}

X11ErrorTrap* innermost = nullptr;
XErrorHandler handlerOutsideTraps = nullptr;

} // namespace

struct X11ErrorTrapHandler {
    static int note(Display* connection, XErrorEvent* error)
    {
        for (X11ErrorTrap* trap = innermost; trap; trap = trap->outer) {
            if (trap->display == connection) {
                trap->failed = true;
                return 0;
            }
        }
        return handlerOutsideTraps ? handlerOutsideTraps(connection, error) : 0;
    }
};

void installErrorHandler()
{
    XSetErrorHandler(&ignoreError);
}

X11ErrorTrap::X11ErrorTrap(Display* connection) : display(connection)
{
    XSync(display, False);
    outer = std::exchange(innermost, this);
    if (!outer)
        handlerOutsideTraps = XSetErrorHandler(&X11ErrorTrapHandler::note);
}

X11ErrorTrap::~X11ErrorTrap()
{
    innermost = outer;
    if (!outer)
        XSetErrorHandler(handlerOutsideTraps);
}

bool X11ErrorTrap::passed()
{
    XSync(display, False);
    return !failed;
}

} // namespace vorlex::x11
