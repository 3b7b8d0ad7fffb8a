#pragma once

// A desktop portal in the test process, on a connection of its own to the test's session bus: it
// records each call and answers it the way the portal's contract says.

#include "PortalGlobalShortcuts.h"
#include "TestSupport.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <functional>

namespace vorlex::test {

// Answers every Request at once: Start, BindShortcuts and Screenshot with the next of answers (0 when none are
// left; noAnswer: never). A session's path ends with the token it was asked for. It offers every
// interface, at version 2.
class ScriptedPortal : public QDBusVirtualObject {
public:
    static constexpr uint noAnswer = 99;
    QStringList calls;
    QList<uint> answers;
    std::function<void(int keycode, uint pressed)> keys; // where the keyboard events go on

    ScriptedPortal()
    {
        bus.registerVirtualObject(path(), this, QDBusConnection::SubPath);
        bus.registerService(QLatin1String(wayland::portalService));
    }
    ~ScriptedPortal() override
    {
        bus.unregisterService(QLatin1String(wayland::portalService));
        QDBusConnection::disconnectFromBus(bus.name());
    }
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList arguments = message.arguments();
        const QString member = message.member();
        if (member == u"Get"_s) // each interface's version
            return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(2u))));
        // Introspection and the portals not scripted here (Qt 6.8 reads GNOME's settings from one) are
        // unknown, as where a portal lacks them.
        if (!u"Registry RemoteDesktop GlobalShortcuts Screenshot Session Request"_s.split(u' ').contains(
                message.interface().section(u'.', -1)))
            return false;
        if (member == u"NotifyKeyboardKeycode"_s && keys)
            keys(arguments[2].toInt(), arguments[3].toUInt());
        if (member == u"Register"_s || member == u"NotifyKeyboardKeycode"_s || member == u"Close"_s) {
            calls << (member == u"Register"_s ? u"Register "_s + arguments[0].toString()
                      : arguments.size() == 4 ? u"key %1 %2"_s.arg(arguments[2].toInt()).arg(arguments[3].toUInt())
                      : message.path().contains(u"/request/"_s) ? u"Close request"_s
                                                                : u"Close "_s + message.path().section(u'/', -1));
            return connection.send(message.createReply());
        }
        const auto options = qdbus_cast<QVariantMap>(arguments.last());
        const bool asksUser = member == u"Screenshot"_s || member == u"Start"_s || member == u"BindShortcuts"_s;
        const uint code = asksUser && !answers.isEmpty() ? answers.takeFirst() : 0;
        QVariantMap results;
        QString call = member;
        if (call == u"CreateSession"_s) {
            call += u' ' + options[u"session_handle_token"_s].toString();
            results[u"session_handle"_s] = session(options[u"session_handle_token"_s].toString());
        } else if (call == u"SelectDevices"_s) {
            call += u" types=%1 persist=%2 token=%3"_s.arg(options[u"types"_s].toUInt())
                        .arg(options[u"persist_mode"_s].toUInt())
                        .arg(options[u"restore_token"_s].toString());
        } else if (call == u"Screenshot"_s) {
            call += options[u"interactive"_s].toBool() ? u" interactive"_s : u" whole"_s;
            results[u"uri"_s] = u"file:///tmp/vorlex%20shot.png"_s;
        } else if (call == u"Start"_s || call == u"BindShortcuts"_s) {
            results[u"restore_token"_s] = u"new"_s;
            for (const auto& shortcut : qdbus_cast<QList<wayland::PortalShortcut>>(arguments.value(1)))
                call += u" %1=%2:%3"_s.arg(shortcut.id, shortcut.properties[u"preferred_trigger"_s].toString(),
                                           shortcut.properties[u"description"_s].toString());
        }
        calls << call;
        const QString request = u"%1/request/%2/%3"_s.arg(path(), message.service().mid(1).replace(u'.', u'_'),
                                                          options[u"handle_token"_s].toString());
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << code << results;
        return code == noAnswer || connection.send(response);
    }

    static QString path() { return QLatin1String(wayland::portalPath); }
    static QString session(const QString& token) { return path() + u"/session/1/"_s + token; }
    void emitSignal(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        bus.send(message);
    }

private:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"scripted-portal"_s);
};

} // namespace vorlex::test
