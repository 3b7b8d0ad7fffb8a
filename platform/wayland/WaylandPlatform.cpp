#include "WaylandPlatform.h"

#include "BridgedClipboard.h"
#include "DataControlClipboard.h"
#include "PortalGlobalShortcuts.h"
#include "PortalScreenshot.h"
#include "PortalSession.h"
#include "PrivateFile.h"
#include "RemoteDesktopKeySender.h"
#include "SwayTerminalGuard.h"
#include "VirtualKeyboard.h"
#include "WaylandCapabilities.h"
#include "WaylandConnection.h"
#include "X11Platform.h"
#include "X11TerminalGuard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>

#include <csignal>
#include <cstdio>

namespace vorlex {

namespace {

constexpr int connectTimeoutMs = 2000;
constexpr int portalQueryMs = 3000;

// Wayland has no global notion of the active window for clients, and activation needs a token
// that only the focused client can ask for.
class NoWindowSystem final : public WindowSystem {
public:
    WindowId activeWindow() const override { return 0; }
    void activate(WindowId) override {}
};

// Clicks of other clients are not observable on Wayland.
class NoInputObserver final : public InputObserver {
public:
    bool watchButtons(QObject*, ButtonHandler) override { return false; }
};

class NoKeySender final : public KeySender {
public:
    void sendCopy() override {}
    void sendPaste() override {}
};

// Host applications name themselves to portals before any other call (portals older than 1.19.4 have
// no such method, which is fine: they take the name from the desktop file or not at all).
void registerWithPortals(const QDBusConnection& bus)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(wayland::portalService), QLatin1String(wayland::portalPath),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    message << QStringLiteral("org.vorlex.Vorlex") << QVariantMap();
    bus.asyncCall(message);
}

class WaylandPlatform final : public Platform {
public:
    WaylandPlatform(std::unique_ptr<wayland::WaylandConnection> wayland, const QString& reason)
        : connection(std::move(wayland))
    {
        using Choice = wayland::WaylandChoice;
        // A reader that goes away while we write our selection to it must not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        const QDBusConnection bus = QDBusConnection::sessionBus();
        registerWithPortals(bus);
        const auto offered = wayland::gatherCapabilities(connection.get(), bus, qtDisplay() != nullptr, portalQueryMs);
        const Choice choice = wayland::choose(offered);

        if (choice.clipboard != Choice::Clipboard::xwaylandBridge) {
            auto dataControl = wayland::createDataControlClipboard(
                *connection, choice.clipboard == Choice::Clipboard::extDataControl ? wayland::DataControl::ext
                                                                                   : wayland::DataControl::wlr);
            highlight = dataControl.get();
            clipboardInUse = std::move(dataControl);
        }
        if (!clipboardInUse)
            clipboardInUse = x11::createBridgedClipboard();
        std::unique_ptr<KeySender> keyboard;
        if (choice.keys == Choice::Keys::virtualKeyboard)
            keyboard = wayland::createVirtualKeyboard(*connection);
        KeySender* const virtualKeys = keyboard.get();
        if (keyboard)
            keys = std::move(keyboard);
        else if (choice.keys == Choice::Keys::remoteDesktop)
            keys = wayland::createRemoteDesktopKeySender(
                bus, QDir(configFolder()).filePath(QStringLiteral("remote-desktop.token")));
        if (!keys)
            keys = std::make_unique<NoKeySender>();
        // X terminals are known on every desktop, through XWayland; Wayland ones only where the
        // compositor names the focused window and its process (sway).
        keys = x11::createTerminalGuard(std::move(keys), qtDisplay(), *clipboardInUse);
        if (const QString sway = qEnvironmentVariable("SWAYSOCK"); virtualKeys && !sway.isEmpty())
            keys = wayland::createSwayTerminalGuard(sway, std::move(keys), *virtualKeys, highlight, *clipboardInUse);
        if (choice.hotkeys == Choice::Hotkeys::globalShortcuts)
            shortcuts = wayland::createPortalGlobalShortcuts(bus);
        screenshots = wayland::createPortalScreenshot(bus, qEnvironmentVariable("XDG_CURRENT_DESKTOP"));

        std::fprintf(stderr, "vorlex: Wayland platform (%s): %s\n", qPrintable(reason),
                     qPrintable(wayland::describe(offered, choice)));
    }

    Scheduler& scheduler() override { return qtScheduler; }
    Clipboard& clipboard() override { return *clipboardInUse; }
    KeySender& keySender() override { return *keys; }
    WindowSystem& windowSystem() override { return windows; }
    InputObserver& inputObserver() override { return input; }
    Hotkeys* hotkeys() override { return shortcuts.get(); }
    ScreenPictures* screenPictures() override { return screenshots.get(); }

private:
    // First, so it goes last: the clipboard and the keyboard live on it.
    std::unique_ptr<wayland::WaylandConnection> connection;
    std::unique_ptr<Clipboard> clipboardInUse;
    PrimarySelection* highlight = nullptr; // data-control's primary selection, where the clipboard is data-control
    std::unique_ptr<KeySender> keys;
    std::unique_ptr<Hotkeys> shortcuts;
    std::unique_ptr<ScreenPictures> screenshots;
    QtScheduler qtScheduler;
    NoWindowSystem windows;
    NoInputObserver input;
};

} // namespace

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qgetenv("VORLEX_PLATFORM") != "x11";
}

std::unique_ptr<Platform> createPlatform()
{
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString reason;
    if (qgetenv("VORLEX_PLATFORM") == "x11")
        reason = QStringLiteral("VORLEX_PLATFORM=x11");
    else if (display.isEmpty())
        reason = QStringLiteral("WAYLAND_DISPLAY is not set");
    else if (auto connection = wayland::WaylandConnection::open(connectTimeoutMs))
        return std::make_unique<WaylandPlatform>(
            std::move(connection), QStringLiteral("a compositor answers on WAYLAND_DISPLAY=%1; XDG_SESSION_TYPE=%2")
                                       .arg(display, qEnvironmentVariable("XDG_SESSION_TYPE")));
    else
        reason = QStringLiteral("no compositor answers on WAYLAND_DISPLAY=%1").arg(display);
    return createX11Platform({.preferXInput2 = true, .reason = reason});
}

} // namespace vorlex
