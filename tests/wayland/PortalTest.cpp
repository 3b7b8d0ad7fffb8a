// The desktop portals' contracts, against a scripted portal on the test's private session bus.

#include "PortalGlobalShortcuts.h"
#include "PortalRequest.h"
#include "RemoteDesktopKeySender.h"
#include "ScriptedPortal.h"
#include "TestSupport.h"
#include "WaylandPlatform.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;
using test::ScriptedPortal;
using test::waitUntil;

namespace {

const QString portalPath = QLatin1String(wayland::portalPath);

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
        ASSERT_TRUE(c.storedToken.isEmpty() || test::writeFile(tokenPath, c.storedToken));
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
            // A round trip on the sender's connection, where the signal came first: by the time the reply
            // is here the sender's delivery is queued too.
            QDBusConnection::sessionBus().interface()->serviceOwner(u"org.freedesktop.DBus"_s);
            QCoreApplication::processEvents();
        }
        keys->sendPaste();
        const QStringList all = first + c.reopen + (c.open ? pasteKeys : QStringList());
        // Refused: a short wait for a call that must not come.
        waitUntil([&] { return portal.calls.size() >= all.size() + (c.open ? 0 : 1); }, c.open ? 5000 : 300);
        EXPECT_EQ(portal.calls, all);

        EXPECT_EQ(test::readFile(tokenPath), c.open ? "new" : "<missing>");
        EXPECT_EQ(QFile::permissions(tokenPath) & 0x0077, 0) << "readable by its owner only";
    }
}

// Each set of shortcuts is bound in a session of its own, the one before closed; activations count
// only from the current session; once declined, the portal is not asked again. The program names
// itself to the portals before any of that.
TEST(PortalGlobalShortcuts, BindsEachSetInASessionOfItsOwn)
{
    ScriptedPortal portal;
    portal.bindAnswers = {0, 1};
    const auto platform = createWaylandPlatform(); // no compositor here: the portals are all it has
    GlobalShortcuts* shortcuts = platform->globalShortcuts();
    QStringList activated;
    const auto handler = [&](const QString& id) { activated << id; };
    const auto activate = [&](const QString& token, const QString& id) {
        portal.emitSignal(
            portalPath, u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s,
            {QVariant::fromValue(QDBusObjectPath(ScriptedPortal::session(token))), id, 7ull, QVariantMap()});
    };
    QStringList expected = {u"Register org.vorlex.Vorlex"_s, u"CreateSession vorlex_shortcuts1"_s,
                            u"BindShortcuts translate=CTRL+SHIFT+t:תרגם"_s};
    shortcuts->bind({{u"translate"_s, u"תרגם"_s, u"CTRL+SHIFT+t"_s}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    activate(u"vorlex_shortcuts0"_s, u"layout"_s);
    activate(u"vorlex_shortcuts1"_s, u"translate"_s);
    EXPECT_TRUE(waitUntil([&] { return !activated.isEmpty(); }));
    EXPECT_EQ(activated, QStringList{u"translate"_s});

    expected << u"Close vorlex_shortcuts1"_s << u"CreateSession vorlex_shortcuts2"_s
             << u"BindShortcuts layout=ALT+k:פריסה"_s << u"Close vorlex_shortcuts2"_s;
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"ALT+k"_s}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"ALT+j"_s}}, handler);
    waitUntil([&] { return portal.calls.size() > expected.size(); }, 300); // a call that must not come
    EXPECT_EQ(portal.calls, expected);
}

} // namespace
