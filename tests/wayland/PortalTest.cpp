// The desktop portals' contracts, against a scripted portal on the test's private session bus.

#include "PortalGlobalShortcuts.h"
#include "RemoteDesktopKeySender.h"
#include "ScriptedPortal.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;
using test::ScriptedPortal;
using test::waitUntil;

namespace {

const QStringList copyKeys = {u"key 29 1"_s, u"key 46 1"_s, u"key 46 0"_s, u"key 29 0"_s};
const QStringList pasteKeys = {u"key 29 1"_s, u"key 47 1"_s, u"key 47 0"_s, u"key 29 0"_s};
const QString create = u"CreateSession vorlex"_s;
const QString firstAsk = u"SelectDevices types=1 persist=2 token="_s;
const QStringList asks = {create, firstAsk, u"Start"_s};
const QStringList restores = {create, u"SelectDevices types=1 persist=2 token=old"_s, u"Start"_s};
constexpr int answerMs = 300; // how long the portal's user may take here

// Once the portal has answered this, it has seen every call this process made on the bus before.
bool portalHasSeenEverything()
{
    QDBusMessage get = QDBusMessage::createMethodCall(QLatin1String(wayland::portalService), ScriptedPortal::path(),
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    const QDBusPendingCall fence = QDBusConnection::sessionBus().asyncCall(get << u"fence"_s << u"version"_s);
    return waitUntil([&] { return fence.isFinished(); });
}

TEST(RemoteDesktopKeySender, OpensOnceAndKeepsItsToken)
{
    struct Case {
        const char* name;
        QByteArray storedToken;
        QList<uint> startAnswers;
        QStringList forCopy;       // the calls of Ctrl+C, the first keystroke
        QStringList forPaste;      // and of Ctrl+V, the second
        bool endedBetween = false; // the desktop ends the session between them
    };
    const Case cases[] = {
        {"first use asks", {}, {0}, asks + copyKeys, pasteKeys},
        {"a stored token restores", "old", {0}, restores + copyKeys, pasteKeys},
        {"a stale token is dropped and the user asked once more",
         "old",
         {2, 0},
         restores + QStringList{u"Close vorlex"_s} + asks + copyKeys,
         pasteKeys},
        {"declined: not asked again this run", {}, {1}, asks + QStringList{u"Close vorlex"_s}, {}},
        {"unanswered: given up, and asked again at the next keystroke",
         {},
         {ScriptedPortal::noAnswer, 0},
         asks + QStringList{u"Close request"_s, u"Close vorlex"_s},
         asks + pasteKeys},
        {"ended by the desktop: opened again, with the token, at the next keystroke",
         {},
         {0, 0},
         asks + copyKeys,
         QStringList{create, u"SelectDevices types=1 persist=2 token=new"_s, u"Start"_s} + pasteKeys,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString tokenPath = dir.filePath(u"config/remote-desktop.token"_s);
        ASSERT_TRUE(c.storedToken.isEmpty() || test::writeFile(tokenPath, c.storedToken));
        ScriptedPortal portal;
        portal.startAnswers = c.startAnswers;
        const auto keys = wayland::createRemoteDesktopKeySender(QDBusConnection::sessionBus(), tokenPath, answerMs);

        keys->sendCopy();
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= c.forCopy.size(); })) << portal.calls.join(u", "_s);
        if (c.endedBetween) {
            // A signal sent after Closed reaches the test once the sender has handled Closed.
            QPointer<QObject> heard = new QObject;
            QDBusConnection::sessionBus().connect({}, u"/fence"_s, u"org.vorlex.Fence"_s, u"Heard"_s, heard,
                                                  SLOT(deleteLater()));
            const QString session = ScriptedPortal::session(u"vorlex"_s);
            portal.emitSignal(session, u"org.freedesktop.portal.Session"_s, u"Closed"_s, {QVariantMap()});
            portal.emitSignal(u"/fence"_s, u"org.vorlex.Fence"_s, u"Heard"_s, {});
            EXPECT_TRUE(waitUntil([&] { return heard.isNull(); }));
        }
        keys->sendPaste();
        const QStringList all = c.forCopy + c.forPaste;
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= all.size(); }) && portalHasSeenEverything());
        EXPECT_EQ(portal.calls, all);

        EXPECT_EQ(test::readFile(tokenPath), c.forPaste.isEmpty() ? "<missing>" : "new");
        EXPECT_EQ(QFile::permissions(tokenPath) & 0x0077, 0) << "readable by its owner only";
    }
}

// Each set of hotkeys is bound in a session of its own, the one before closed, with the keys as the
// portal spells triggers; activations count only from the current session; once declined, the portal
// is not asked again.
TEST(PortalGlobalShortcuts, BindsEachSetInASessionOfItsOwn)
{
    ScriptedPortal portal;
    portal.bindAnswers = {0, 1};
    const auto shortcuts = wayland::createPortalGlobalShortcuts(QDBusConnection::sessionBus());
    QStringList activated;
    const auto handler = [&](const QString& id) { activated << id; };
    const auto activate = [&](const QString& token, const QString& id) {
        portal.emitSignal(
            ScriptedPortal::path(), u"org.freedesktop.portal.GlobalShortcuts"_s, u"Activated"_s,
            {QVariant::fromValue(QDBusObjectPath(ScriptedPortal::session(token))), id, 7ull, QVariantMap()});
    };
    QStringList expected = {u"CreateSession vorlex_shortcuts1"_s, u"BindShortcuts translate=CTRL+SHIFT+t:תרגם"_s};
    shortcuts->bind({{u"translate"_s, u"תרגם"_s, u"t"_s, ControlModifier | ShiftModifier}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    activate(u"vorlex_shortcuts0"_s, u"layout"_s);
    activate(u"vorlex_shortcuts1"_s, u"translate"_s);
    EXPECT_TRUE(waitUntil([&] { return !activated.isEmpty(); }));
    EXPECT_EQ(activated, QStringList{u"translate"_s});

    expected << u"Close vorlex_shortcuts1"_s << u"CreateSession vorlex_shortcuts2"_s
             << u"BindShortcuts layout=ALT+LOGO+equal:פריסה"_s << u"Close vorlex_shortcuts2"_s;
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"="_s, AltModifier | SuperModifier}}, handler);
    EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }));
    shortcuts->bind({{u"layout"_s, u"פריסה"_s, u"j"_s, AltModifier}}, handler);
    EXPECT_TRUE(portalHasSeenEverything());
    EXPECT_EQ(portal.calls, expected);
}

} // namespace
