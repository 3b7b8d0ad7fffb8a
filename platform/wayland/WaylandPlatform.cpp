#include "WaylandPlatform.h"

#include "PortalGlobalShortcuts.h"
#include "PortalRequest.h"
#include "QtClipboard.h"
#include "RemoteDesktopKeySender.h"
#include "WaylandClipboard.h"
#include "WaylandConnection.h"
#include "WaylandKeySender.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>

namespace vorlex {

namespace {

constexpr int connectTimeoutMs = 2000;
constexpr int portalTimeoutMs = 2000;
// The portals the program would use, and how far they go.
const QStringList portalsOfInterest = {QStringLiteral("GlobalShortcuts"), QStringLiteral("RemoteDesktop")};

// Wayland has no global notion of the active window for clients, and activation needs a token
// that only the focused client can ask for.
class NoWindowSystem final : public WindowSystem {
public:
    WindowId activeWindow() const override { return 0; }
    void activate(WindowId) override {}
};

// Keys and clicks of other clients are not observable on Wayland.
class NoInputObserver final : public InputObserver {
public:
    bool watchKeys(KeyHandler) override { return false; }
    int addButtonWatcher(ButtonHandler) override { return 0; }
    void removeButtonWatcher(int) override {}
};

// XWayland's X11 clipboard, which the compositor copies over to Wayland clients (mutter): the copy
// starts with the compositor asking this process for the text, and a paste sent before that gives the
// Wayland client the previous content.
class BridgedClipboard final : public Clipboard, public QAbstractNativeEventFilter {
public:
    BridgedClipboard() { qGuiApp->installNativeEventFilter(this); }
    ~BridgedClipboard() override
    {
        if (qGuiApp)
            qGuiApp->removeNativeEventFilter(this);
    }

    quint64 changeCount() const override { return clipboard.changeCount(); }
    QString text() const override { return clipboard.text(); }
    void setText(const QString& text) override
    {
        ++generation;
        served = false;
        clipboard.setText(text);
    }
    void watchChanges(QObject* context, std::function<void()> handler) override
    {
        clipboard.watchChanges(context, std::move(handler));
    }
    void whenServed(QObject* context, std::function<void()> ready) override
    {
        if (served)
            return ready();
        waiting.emplace_back(context, std::move(ready));
        // A desktop that never asks (no bridge after all) delays the paste this long at most.
        QTimer::singleShot(bridgeWaitMs, &timers, [this, current = generation] {
            if (current == generation)
                release();
        });
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        // Asked for the text: released once Qt has answered (the timer runs after this event).
        if (!served && type == "xcb_generic_event_t" &&
            (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_SELECTION_REQUEST)
            QTimer::singleShot(0, &timers, [this] { release(); });
        return false;
    }

private:
    static constexpr int bridgeWaitMs = 250;

    void release()
    {
        served = true;
        for (auto& [context, ready] : std::exchange(waiting, {})) {
            if (context)
                ready();
        }
    }

    QtClipboard clipboard;
    quint64 generation = 0;
    bool served = true;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
    QObject timers;
};

class WaylandSession final : public Session {
public:
    bool keysReachWayland = false;
    bool clipboardReachesWayland = false;
    bool checkInputAccess() override { return keysReachWayland && clipboardReachesWayland; }
};

// Next to the settings, like everything the program keeps.
QString tokenPath()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(configHome).filePath(QStringLiteral("VorlexMac/remote-desktop.token"));
}

// Host applications name themselves to portals before any other call (portals older than 1.19.4 have
// no such method, which is fine: they take the name from the desktop file or not at all).
void registerWithPortals()
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(wayland::portalService), QLatin1String(wayland::portalPath),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    message << QStringLiteral("org.vorlex.Vorlex") << QVariantMap();
    QDBusConnection::sessionBus().asyncCall(message, portalTimeoutMs);
}

bool onXWayland()
{
    return qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr;
}

// Which of the portals of interest the session bus offers, with their versions, as "Name vN"
// words; done runs once, with "none" when there is no portal service or it does not answer.
void queryPortals(std::function<void(const QString&)> done)
{
    const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(QStringLiteral("none (no session bus)"));
        return;
    }
    auto* introspection = new QDBusPendingCallWatcher(bus.asyncCall(
        QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                       QStringLiteral("Introspect")),
        portalTimeoutMs));
    QObject::connect(introspection, &QDBusPendingCallWatcher::finished, [=](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            done(QStringLiteral("none (%1)").arg(reply.errorName()));
            return;
        }
        const QString xml = reply.arguments().value(0).toString();
        QStringList present;
        for (const QString& name : portalsOfInterest)
            if (xml.contains(QStringLiteral("\"org.freedesktop.portal.%1\"").arg(name)))
                present << name;
        if (xml.contains(QLatin1String("\"org.freedesktop.host.portal.Registry\"")))
            present << QStringLiteral("Registry");
        auto found = std::make_shared<QStringList>();
        auto pending = std::make_shared<qsizetype>(present.size());
        auto report = [found, done] {
            done(found->isEmpty() ? QStringLiteral("none of interest") : found->join(u' '));
        };
        if (present.isEmpty())
            report();
        for (const QString& name : present) {
            const QString interface = name == QLatin1String("Registry")
                                          ? QStringLiteral("org.freedesktop.host.portal.Registry")
                                          : QStringLiteral("org.freedesktop.portal.") + name;
            QDBusMessage get = QDBusMessage::createMethodCall(
                service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            get << interface << QStringLiteral("version");
            auto* version = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, portalTimeoutMs));
            QObject::connect(version, &QDBusPendingCallWatcher::finished, [=](QDBusPendingCallWatcher* answer) {
                answer->deleteLater();
                const QVariant value = answer->reply().arguments().value(0).value<QDBusVariant>().variant();
                *found << (value.isValid() ? QStringLiteral("%1 v%2").arg(name, value.toString()) : name);
                if (--*pending == 0)
                    report();
            });
        }
    });
}

class WaylandPlatform final : public Platform {
public:
    WaylandPlatform()
    {
        // A reader that goes away while we write our selection to it must not end the program.
        std::signal(SIGPIPE, SIG_IGN);

        registerWithPortals();
        connection = wayland::WaylandConnection::open(connectTimeoutMs);
        QStringList notes;
        QString clipboardProtocol;
        if (connection)
            dataControl = wayland::createDataControlClipboard(*connection, clipboardProtocol);
        if (connection)
            virtualKeyboard = wayland::createVirtualKeyboard(*connection);
        const bool x = onXWayland();
        if (!dataControl) {
            fallbackClipboard = std::make_unique<BridgedClipboard>();
            notes << QStringLiteral("clipboard: no data-control, the X11 clipboard through XWayland");
        }
        if (!virtualKeyboard) {
            fallbackKeys = wayland::createRemoteDesktopKeySender(QDBusConnection::sessionBus(), tokenPath());
            notes << QStringLiteral("keys: no virtual keyboard, the RemoteDesktop portal (asked at first use)");
        }
        shortcuts = wayland::createPortalGlobalShortcuts(QDBusConnection::sessionBus());
        notes << QStringLiteral("hotkeys: the GlobalShortcuts portal where offered, else bind "
                                "'vorlex --hotkey translate|layout|replace' in the compositor");
        waylandSession.keysReachWayland = virtualKeyboard != nullptr;
        waylandSession.clipboardReachesWayland = dataControl != nullptr;

        QStringList globals;
        if (connection)
            for (const wayland::Global& global : connection->globals())
                globals << QStringLiteral("%1 v%2").arg(global.interface).arg(global.version);
        const QString start =
            QStringLiteral("vorlex: Wayland session (%1): globals [%2]; XWayland %3; %4")
                .arg(connection ? QStringLiteral("compositor answered") : QStringLiteral("no compositor answered"),
                     globals.join(QStringLiteral(", ")), x ? QStringLiteral("present") : QStringLiteral("absent"),
                     notes.join(QStringLiteral("; ")));
        // One line, once the portal service has answered (or not, within its timeout).
        queryPortals([start](const QString& portals) {
            std::fprintf(stderr, "%s; portals [%s]\n", qPrintable(start), qPrintable(portals));
        });
    }

    ~WaylandPlatform() override
    {
        // The protocol objects go before the connection they live on.
        dataControl.reset();
        virtualKeyboard.reset();
    }

    Scheduler& scheduler() override { return qtScheduler; }
    Clipboard& clipboard() override { return dataControl ? *dataControl : *fallbackClipboard; }
    KeySender& keySender() override { return virtualKeyboard ? *virtualKeyboard : *fallbackKeys; }
    WindowSystem& windowSystem() override { return windows; }
    InputObserver& inputObserver() override { return input; }
    Session& session() override { return waylandSession; }
    GlobalShortcuts* globalShortcuts() override { return shortcuts.get(); }

private:
    std::unique_ptr<wayland::WaylandConnection> connection;
    std::unique_ptr<Clipboard> dataControl;
    std::unique_ptr<Clipboard> fallbackClipboard;
    std::unique_ptr<KeySender> virtualKeyboard;
    std::unique_ptr<KeySender> fallbackKeys;
    std::unique_ptr<GlobalShortcuts> shortcuts;
    QtScheduler qtScheduler;
    NoWindowSystem windows;
    NoInputObserver input;
    WaylandSession waylandSession;
};

} // namespace

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qgetenv("XDG_SESSION_TYPE") == "wayland";
}

std::unique_ptr<Platform> createWaylandPlatform()
{
    return std::make_unique<WaylandPlatform>();
}

} // namespace vorlex
