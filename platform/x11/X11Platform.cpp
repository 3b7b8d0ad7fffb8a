#include "X11Platform.h"

#include "QtClipboard.h"
#include "X11ErrorTrap.h"
#include "X11InputObserver.h"
#include "X11KeySender.h"
#include "X11Resource.h"
#include "X11WindowSystem.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/record.h>

namespace vorlex {

namespace {

Display* qtDisplay()
{
    const auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->display() : nullptr;
}

// The extensions the layer relies on, as the server offers them.
class X11Session final : public Session {
public:
    explicit X11Session(Display* connection) : display(connection) {}

    bool checkInputAccess() override
    {
        if (!display)
            return false;
        int event = 0;
        int error = 0;
        int major = 0;
        int minor = 0;
        const bool xtest = XTestQueryExtension(display, &event, &error, &major, &minor);
        const bool xfixes = XFixesQueryExtension(display, &event, &error);
        const bool record = XRecordQueryVersion(display, &major, &minor);
        return xtest && xfixes && (record || hasXInput2());
    }

private:
    // The server's own version: XIQueryVersion would renegotiate the version this client (Qt) uses.
    bool hasXInput2() const
    {
        XExtensionVersion* version = XGetExtensionVersion(display, "XInputExtension");
        if (version == reinterpret_cast<XExtensionVersion*>(NoSuchExtension))
            return false;
        const x11::X11Resource<XExtensionVersion*, XFree> held{version};
        return held && held->present && held->major_version >= 2;
    }

    Display* display;
};

class X11Platform final : public Platform {
public:
    explicit X11Platform(X11PlatformOptions options)
        : display(qtDisplay()), keys(x11::createKeySender(display)), windows(x11::createWindowSystem(display)),
          input(x11::createInputObserver(display ? DisplayString(display) : nullptr, options.preferXInput2)),
          x11Session(display)
    {
    }

    Scheduler& scheduler() override { return qtScheduler; }
    Clipboard& clipboard() override { return qtClipboard; }
    KeySender& keySender() override { return *keys; }
    WindowSystem& windowSystem() override { return *windows; }
    InputObserver& inputObserver() override { return *input; }
    Session& session() override { return x11Session; }

private:
    Display* display;
    QtScheduler qtScheduler;
    QtClipboard qtClipboard;
    std::unique_ptr<KeySender> keys;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<InputObserver> input;
    X11Session x11Session;
};

} // namespace

std::unique_ptr<Platform> createX11Platform(X11PlatformOptions options)
{
    x11::installErrorHandler();
    return std::make_unique<X11Platform>(options);
}

} // namespace vorlex
