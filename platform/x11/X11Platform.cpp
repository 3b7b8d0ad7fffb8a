#include "X11Platform.h"

#include "QtClipboard.h"
#include "X11ErrorTrap.h"
#include "X11Hotkeys.h"
#include "X11InputObserver.h"
#include "X11KeySender.h"
#include "X11Resource.h"
#include "X11TerminalGuard.h"
#include "X11WindowSystem.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/record.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace vorlex {

Display* qtDisplay()
{
    const auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->display() : nullptr;
}

namespace {

// The extensions the layer relies on that the server lacks. The program carries on either way.
QStringList missingExtensions(Display* display)
{
    if (!display)
        return {QStringLiteral("the X connection")};
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    QStringList missing;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        missing << QStringLiteral("XTEST");
    if (!XFixesQueryExtension(display, &event, &error))
        missing << QStringLiteral("XFIXES");
    // The server's own version: XIQueryVersion would renegotiate the version this client (Qt) uses.
    XExtensionVersion* version = XGetExtensionVersion(display, "XInputExtension");
    const x11::X11Resource<XExtensionVersion*, XFree> held{
        version == reinterpret_cast<XExtensionVersion*>(NoSuchExtension) ? nullptr : version};
    const bool xinput2 = held && held->present && held->major_version >= 2;
    if (!xinput2 && !XRecordQueryVersion(display, &major, &minor))
        missing << QStringLiteral("XInputExtension 2 or RECORD");
    // Without it a terminal's selection is never taken: who owns it cannot be told.
    if (!x11::tellsClientIds(display))
        missing << QStringLiteral("X-Resource 1.2");
    return missing;
}

class X11Platform final : public Platform {
public:
    explicit X11Platform(X11PlatformOptions options)
        : display(qtDisplay()), keys(x11::createTerminalGuard(x11::createKeySender(display), display, qtClipboard)),
          windows(x11::createWindowSystem(display)),
          input(x11::createInputObserver(display ? DisplayString(display) : nullptr, options.preferXInput2)),
          grabbedHotkeys(x11::createX11Hotkeys(display ? QByteArray(DisplayString(display)) : QByteArray()))
    {
        if (options.reason.isEmpty())
            return;
        const QStringList missing = missingExtensions(display);
        std::fprintf(stderr, "vorlex: X11 platform (%s)%s\n", qPrintable(options.reason),
                     missing.isEmpty() ? "" : qPrintable(u"; missing: "_s + missing.join(u", "_s)));
    }

    Scheduler& scheduler() override { return qtScheduler; }
    Clipboard& clipboard() override { return qtClipboard; }
    KeySender& keySender() override { return *keys; }
    WindowSystem& windowSystem() override { return *windows; }
    InputObserver& inputObserver() override { return *input; }
    Hotkeys* hotkeys() override { return grabbedHotkeys.get(); }

private:
    Display* display;
    QtScheduler qtScheduler;
    QtClipboard qtClipboard;
    std::unique_ptr<KeySender> keys;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<InputObserver> input;
    std::unique_ptr<Hotkeys> grabbedHotkeys;
};

} // namespace

std::unique_ptr<Platform> createX11Platform(X11PlatformOptions options)
{
    x11::installErrorHandler();
    return std::make_unique<X11Platform>(options);
}

} // namespace vorlex
