// The RemoteDesktop portal's contract, against a scripted portal on the test's private session bus:
// the session is opened at the first keystroke, persisted, restored, asked again once when its
// token went stale, and never asked again in the same run once refused.

#include "RemoteDesktopKeySender.h"
#include "PortalRequest.h"
#include "TestSupport.h"

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

// Answers every Request at once: Start with the next of startAnswers (0 when none are left).
class ScriptedPortal : public QDBusVirtualObject {
public:
    QStringList calls;
    QList<uint> startAnswers;

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
                                            : message.member());
            return connection.send(message.createReply());
        }
        const auto options = qdbus_cast<QVariantMap>(arguments.last());
        uint code = 0;
        QVariantMap results;
        if (message.member() == u"CreateSession"_s)
            results[u"session_handle"_s] = portalPath + u"/session/1/vorlex"_s;
        if (message.member() == u"Start"_s) {
            code = startAnswers.isEmpty() ? 0 : startAnswers.takeFirst();
            results[u"restore_token"_s] = u"new"_s;
        }
        calls << (message.member() + (message.member() == u"SelectDevices"_s
                                          ? u" types=%1 persist=%2 token=%3"_s.arg(options[u"types"_s].toUInt())
                                                .arg(options[u"persist_mode"_s].toUInt())
                                                .arg(options[u"restore_token"_s].toString())
                                          : QString()));
        const QString request = u"%1/request/%2/%3"_s.arg(portalPath, message.service().mid(1).replace(u'.', u'_'),
                                                          options[u"handle_token"_s].toString());
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << code << results;
        return connection.send(response);
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
        QStringList calls; // for the first Ctrl+C
        bool open;         // Ctrl+V then goes through the same session
    };
    const Case cases[] = {
        {"first use asks", {}, {0}, {u"CreateSession"_s, firstAsk, u"Start"_s}, true},
        {"a stored token restores", "old", {0}, {u"CreateSession"_s, restore, u"Start"_s}, true},
        {"a stale token is dropped and the user asked once more",
         "old",
         {2, 0},
         {u"CreateSession"_s, restore, u"Start"_s, u"Close"_s, u"CreateSession"_s, firstAsk, u"Start"_s},
         true},
        {"declined: not asked again this run", {}, {1}, {u"CreateSession"_s, firstAsk, u"Start"_s, u"Close"_s}, false},
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
        keys->sendPaste();
        const QStringList all = first + (c.open ? pasteKeys : QStringList());
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

} // namespace
