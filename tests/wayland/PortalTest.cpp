// The desktop portals' contracts, against a scripted portal on the test's private session bus.

#include "PortalGlobalShortcuts.h"
#include "PortalRequest.h"
#include "RemoteDesktopKeySender.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;
using test::waitUntil;

namespace {

const QString portalPath = QLatin1String(wayland::portalPath);

// Answers every Request at once: Start and BindShortcuts with the next of their answers (0 when none
// are left). A session's path ends with the token it was asked for.
class ScriptedPortal : public QDBusVirtualObject {
public:
    QStringList calls;
    QList<uint> startAnswers;
    QList<uint> bindAnswers;

    ScriptedPortal()
    {
        bus.registerVirtualObject(portalPath, this, QDBusConnection::SubPath);
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
        if (message.member() == u"NotifyKeyboardKeycode"_s || message.member() == u"Close"_s) {
            calls << (arguments.size() == 4 ? u"key %1 %2"_s.arg(arguments[2].toInt()).arg(arguments[3].toUInt())
                                            : u"Close "_s + message.path().section(u'/', -1));
            return connection.send(message.createReply());
        }
        const auto options = qdbus_cast<QVariantMap>(arguments.last());
        uint code = 0;
        QVariantMap results;
        QString call = message.member();
        if (call == u"CreateSession"_s) {
            call += u' ' + options[u"session_handle_token"_s].toString();
            results[u"session_handle"_s] = session(options[u"session_handle_token"_s].toString());
        } else if (call == u"SelectDevices"_s) {
            call += u" types=%1 persist=%2 token=%3"_s.arg(options[u"types"_s].toUInt())
                        .arg(options[u"persist_mode"_s].toUInt())
                        .arg(options[u"restore_token"_s].toString());
        } else if (call == u"Start"_s) {
            code = startAnswers.isEmpty() ? 0 : startAnswers.takeFirst();
            results[u"restore_token"_s] = u"new"_s;
        } else if (call == u"BindShortcuts"_s) {
            for (const auto& shortcut : qdbus_cast<QList<wayland::PortalShortcut>>(arguments[1]))
                call += u" %1=%2:%3"_s.arg(shortcut.id, shortcut.properties[u"preferred_trigger"_s].toString(),
                                           shortcut.properties[u"description"_s].toString());
            code = bindAnswers.isEmpty() ? 0 : bindAnswers.takeFirst();
        }
        calls << call;
        const QString request = u"%1/request/%2/%3"_s.arg(portalPath, message.service().mid(1).replace(u'.', u'_'),
                                                          options[u"handle_token"_s].toString());
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << code << results;
        return connection.send(response);
    }

    static QString session(const QString& token) { return portalPath + u"/session/1/"_s + token; }
    void emitSignal(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        bus.send(message);
    }

private:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"scripted-portal"_s);
};

const QStringList copyKeys = {u"key 29 1"_s, u"key 46 1"_s, u"key 46 0"_s, u"key 29 0"_s};
const QStringList pasteKeys = {u"key 29 1"_s, u"key 47 1"_s, u"key 47 0"_s, u"key 29 0"_s};
const QString firstAsk = u"SelectDevices types=1 persist=2 token="_s;
const QString restore = u"SelectDevices types=1 persist=2 token=old"_s;

TEST(RemoteDesktopKeySender, OpensOnceAndKeepsItsToken)
{
    struct Case {
        const char* name;
        QByteArray storedToken;
        QList<uint> startAnswers;
        QStringList calls;       // for the first Ctrl+C
        bool open;               // Ctrl+V then goes through the same session
        QStringList reopen = {}; // for Ctrl+V, after the desktop ended the session
    };
    const Case cases[] = {
        {"first use asks", {}, {0}, {u"CreateSession vorlex"_s, firstAsk, u"Start"_s}, true},
        {"a stored token restores", "old", {0}, {u"CreateSession vorlex"_s, restore, u"Start"_s}, true},
        {"a stale token is dropped and the user asked once more",
         "old",
         {2, 0},
         {u"CreateSession vorlex"_s, restore, u"Start"_s, u"Close vorlex"_s, u"CreateSession vorlex"_s, firstAsk,
          u"Start"_s},
         true},
        {"declined: not asked again this run",
         {},
         {1},
         {u"CreateSession vorlex"_s, firstAsk, u"Start"_s, u"Close vorlex"_s},
         false},
        {"ended by the desktop: opened again, with the token, at the next keystroke",
         {},
         {0, 0},
         {u"CreateSession vorlex"_s, firstAsk, u"Start"_s},
         true,
         {u"CreateSession vorlex"_s, u"SelectDevices types=1 persist=2 token=new"_s, u"Start"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString tokenPath = dir.filePath(u"config/remote-desktop.token"_s);
        if (!c.storedToken.isEmpty()) {
            QFile stored(tokenPath);
            ASSERT_TRUE(QDir(dir.path()).mkpath(u"config"_s) && stored.open(QIODevice::WriteOnly) &&
                        stored.write(c.storedToken));
        }
        ScriptedPortal portal;
        portal.startAnswers = c.startAnswers;
        const auto keys = wayland::createRemoteDesktopKeySender(QDBusConnection::sessionBus(), tokenPath);

        keys->sendCopy();
        const QStringList first = c.calls + (c.open ? copyKeys : QStringList());
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= first.size(); })) << portal.calls.join(u", "_s);
        if (!c.reopen.isEmpty()) {
            bool closed = false;
            const QString session = ScriptedPortal::session(u"vorlex"_s);
            wayland::PortalSessionWatch watch(QDBusConnection::sessionBus(), session, [&] { closed = true; });
            portal.emitSignal(session, u"org.freedesktop.portal.Session"_s, u"Closed"_s, {QVariantMap()});
            EXPECT_TRUE(waitUntil([&] { return closed; }));
            QCoreApplication::processEvents(); // the sender's watch heard it in the same dispatch
        }
        keys->sendPaste();
        const QStringList all = first + c.reopen + (c.open ? pasteKeys : QStringList());
        // Refused: a short wait for a call that must not come.
        waitUntil([&] { return portal.calls.size() >= all.size() + (c.open ? 0 : 1); }, c.open ? 5000 : 300);
        EXPECT_EQ(portal.calls, all);

        QFile token(tokenPath);
        EXPECT_EQ(token.open(QIODevice::ReadOnly) ? token.readAll() : QByteArray(), c.open ? "new" : "");
        if (c.open) {
            EXPECT_EQ(token.permissions() & 0x0077, 0) << "readable by its owner only";
        }
    }
}

// Each set of shortcuts is bound in a session of its own, the one before closed; activations count
// only from the current session; once declined, the portal is not asked again.
TEST(PortalGlobalShortcuts, BindsEachSetInASessionOfItsOwn)
{
    ScriptedPortal portal;
    portal.bindAnswers = {0, 0, 1};
    const auto shortcuts = wayland::createPortalGlobalShortcuts(QDBusConnection::sessionBus());
    QStringList activated;
    const auto handler = [&](const QString& id) { activated << id; };
    const auto activate = [&](const QString& token, const QString& id) {
        portal.emitSignal(
            portalPath, u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s,
            {QVariant::fromValue(QDBusObjectPath(ScriptedPortal::session(token))), id, 7ull, QVariantMap()});
    };
    QStringList expected = {u"CreateSession vorlex_shortcuts1"_s, u"BindShortcuts translate=CTRL+SHIFT+t:תרגם"_s};
    shortcuts->bind({{u"translate"_s, u"תרגם"_s, u"CTRL+SHIFT+t"_s}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    activate(u"vorlex_shortcuts0"_s, u"layout"_s);
    activate(u"vorlex_shortcuts1"_s, u"translate"_s);
    EXPECT_TRUE(waitUntil([&] { return !activated.isEmpty(); }));
    EXPECT_EQ(activated, QStringList{u"translate"_s});

    expected << u"Close vorlex_shortcuts1"_s << u"CreateSession vorlex_shortcuts2"_s
             << u"BindShortcuts layout=ALT+LOGO+equal:פריסה"_s << u"Close vorlex_shortcuts2"_s
             << u"CreateSession vorlex_shortcuts3"_s << u"BindShortcuts layout=ALT+k:פריסה"_s
             << u"Close vorlex_shortcuts3"_s;
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"ALT+LOGO+equal"_s}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= 5; }));
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"ALT+k"_s}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"ALT+j"_s}}, handler);
    waitUntil([&] { return portal.calls.size() > expected.size(); }, 300); // a call that must not come
    EXPECT_EQ(portal.calls, expected);
}

} // namespace
