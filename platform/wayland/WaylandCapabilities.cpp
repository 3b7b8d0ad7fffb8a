#include "WaylandCapabilities.h"

#include "KWinActiveWindow.h"
#include "PortalSession.h"
#include "WaylandConnection.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QStringList>

namespace vorlex::wayland {

namespace {

const QString seat = QStringLiteral("wl_seat");
const QString extDataControl = QStringLiteral("ext_data_control_manager_v1");
const QString wlrDataControl = QStringLiteral("zwlr_data_control_manager_v1");
const QString virtualKeyboard = QStringLiteral("zwp_virtual_keyboard_manager_v1");
const QString globalShortcuts = QStringLiteral("GlobalShortcuts");
const QString remoteDesktop = QStringLiteral("RemoteDesktop");

template <typename Map> QString versions(const Map& map)
{
    QStringList words;
    for (auto it = map.begin(); it != map.end(); ++it)
        words << QStringLiteral("%1 v%2").arg(it.key()).arg(it.value());
    return words.join(QStringLiteral(", "));
}

QString presence(bool present)
{
    return present ? QStringLiteral("present") : QStringLiteral("absent");
}

} // namespace

WaylandCapabilities gatherCapabilities(const WaylandConnection* connection, const QDBusConnection& bus, bool xwayland,
                                       int timeoutMs)
{
    WaylandCapabilities capabilities;
    capabilities.xwayland = xwayland;
    if (connection) {
        for (const Global& global : connection->globals())
            capabilities.globals.insert(global.interface, global.version);
    }
    // Each portal's version property: an interface the service lacks answers with an error.
    const QDeadlineTimer deadline(timeoutMs);
    for (const QString& name : {globalShortcuts, remoteDesktop}) {
        QDBusMessage get =
            QDBusMessage::createMethodCall(QLatin1String(portalService), QLatin1String(portalPath),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.portal.") + name << QStringLiteral("version");
        const QDBusMessage reply = bus.call(get, QDBus::Block, int(qMax(1, deadline.remainingTime())));
        const QVariant version = reply.arguments().value(0).value<QDBusVariant>().variant();
        if (reply.type() == QDBusMessage::ReplyMessage && version.isValid())
            capabilities.portals.insert(name, version.toUInt());
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            error == QLatin1String("org.freedesktop.DBus.Error.NoReply") || !bus.isConnected()) {
            capabilities.portalsUnknown = bus.isConnected() ? error : QStringLiteral("no session bus");
            break;
        }
    }
    // Any answer of the scripting interface: only KWin has it.
    QDBusMessage scripting =
        QDBusMessage::createMethodCall(QLatin1String(kwinService), QStringLiteral("/Scripting"),
                                       QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("isScriptLoaded"));
    scripting << QStringLiteral("vorlex");
    scripting.setAutoStartService(false); // never a KWin started for asking
    capabilities.kwinScripting =
        bus.isConnected() &&
        bus.call(scripting, QDBus::Block, int(qMax(1, deadline.remainingTime()))).type() == QDBusMessage::ReplyMessage;
    return capabilities;
}

WaylandChoice choose(const WaylandCapabilities& offered)
{
    WaylandChoice choice;
    const bool hasSeat = offered.globals.contains(seat);
    if (hasSeat && offered.globals.contains(extDataControl))
        choice.clipboard = WaylandChoice::Clipboard::extDataControl;
    else if (hasSeat && offered.globals.contains(wlrDataControl))
        choice.clipboard = WaylandChoice::Clipboard::wlrDataControl;
    if (hasSeat && offered.globals.contains(virtualKeyboard))
        choice.keys = WaylandChoice::Keys::virtualKeyboard;
    else if (offered.portals.contains(remoteDesktop))
        choice.keys = WaylandChoice::Keys::remoteDesktop;
    if (offered.portals.contains(globalShortcuts))
        choice.hotkeys = WaylandChoice::Hotkeys::globalShortcuts;
    if (choice.keys == WaylandChoice::Keys::virtualKeyboard)
        choice.copy = WaylandChoice::Copy::copyKey;
    else if (choice.keys == WaylandChoice::Keys::remoteDesktop && offered.kwinScripting)
        choice.copy = WaylandChoice::Copy::copyKeyWhereKWinAllows;
    return choice;
}

QString describe(const WaylandCapabilities& offered, const WaylandChoice& choice)
{
    using Choice = WaylandChoice;
    const QString clipboard = choice.clipboard == Choice::Clipboard::extDataControl ? extDataControl
                              : choice.clipboard == Choice::Clipboard::wlrDataControl
                                  ? wlrDataControl
                                  : QStringLiteral("the X11 clipboard through XWayland");
    const QString keys = choice.keys == Choice::Keys::virtualKeyboard ? QStringLiteral("a virtual keyboard")
                         : choice.keys == Choice::Keys::remoteDesktop
                             ? QStringLiteral("the RemoteDesktop portal (asked at first use)")
                             : QStringLiteral("none (no virtual keyboard, no RemoteDesktop portal)");
    const QString copy = choice.copy == Choice::Copy::copyKey ? QStringLiteral("the copy key")
                         : choice.copy == Choice::Copy::copyKeyWhereKWinAllows
                             ? QStringLiteral("the copy key where KWin names a window that takes it, else the "
                                              "highlighted text")
                             : QStringLiteral("the highlighted text, no key");
    const QString hotkeys = choice.hotkeys == Choice::Hotkeys::globalShortcuts
                                ? QStringLiteral("the GlobalShortcuts portal")
                                : QStringLiteral("bind 'vorlex --hotkey translate|layout|replace' in the compositor");
    const QString portals = offered.portalsUnknown.isEmpty() ? versions(offered.portals)
                                                             : QStringLiteral("none (%1)").arg(offered.portalsUnknown);
    return QStringLiteral("globals [%1]; portals [%2]; KWin scripting %3; XWayland %4; clipboard: %5; keys: %6; "
                          "copy: %7; hotkeys: %8")
        .arg(versions(offered.globals), portals, presence(offered.kwinScripting), presence(offered.xwayland), clipboard,
             keys, copy, hotkeys);
}

} // namespace vorlex::wayland
