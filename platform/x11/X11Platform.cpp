#include "X11Platform.h"

#include "X11ErrorTrap.h"
#include "X11InputObserver.h"
#include "X11KeySender.h"
#include "X11Resource.h"
#include "X11WindowSystem.h"

#include <QClipboard>
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

// The CLIPBOARD selection through Qt, which follows owner changes with XFixes and keeps serving
// what this process wrote for as long as it runs.
class QtClipboard final : public Clipboard {
public:
    QtClipboard()
    {
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &context, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++count;
        });
    }
    quint64 changeCount() const override { return count; }
    QString text() const override { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); }
    void setText(const QString& text) override
    {
        // Counted here as well: the count must have moved when this returns.
        ++count;
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
    void watchChanges(QObject* watcher, std::function<void()> handler) override
    {
        // Connected after the counting connection, so the count has moved when handler runs.
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, watcher,
                         [handler = std::move(handler)](QClipboard::Mode mode) {
                             if (mode == QClipboard::Clipboard)
                                 handler();
                         });
    }

private:
    QObject context;
    quint64 count = 0;
};

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
