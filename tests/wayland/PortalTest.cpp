// The desktop portals' contracts, against a scripted portal on the test's private session bus.

#include "PortalScreenshot.h"
#include "RemoteDesktopKeySender.h"
#include "ScriptedPortal.h" // the GlobalShortcuts portal's types come with it

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

const QStringList copyKeys = {u"key 29 1"_s, u"key 46 1"_s, u"key 46 0"_s, u"key 29 0"_s};
const QStringList pasteKeys = {u"key 29 1"_s, u"key 47 1"_s, u"key 47 0"_s, u"key 29 0"_s};
// A session opened with the stored token (none, old, the one the last Start gave).
const auto opens = [](const QString& token) {
    return QStringList{u"CreateSession vorlex"_s, u"SelectDevices types=1 persist=2 token="_s + token, u"Start"_s};
};

// A call to the portal and its answer: after it, the portal has seen every call this process made
// before, and this process has handled every signal the portal sent before answering.
bool roundTripToPortal()
{
    QDBusMessage get = QDBusMessage::createMethodCall(QLatin1String(wayland::portalService), ScriptedPortal::path(),
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    const QDBusPendingCall fence = QDBusConnection::sessionBus().asyncCall(get << u"fence"_s << u"version"_s);
    const bool answered = waitUntil([&] { return fence.isFinished(); });
    QCoreApplication::processEvents(); // the signals that came before the answer
    return answered;
}

TEST(RemoteDesktopKeySender, OpensOnceAndKeepsItsToken)
{
    const QStringList asks = opens({}), closes = {u"Close vorlex"_s};
    const QStringList givesUp = {u"Close request"_s, u"Close vorlex"_s}; // the dialog taken down too
    // The stored token, the answers to Start, the calls of Ctrl+C (the first keystroke) and of Ctrl+V
    // (the second), and whether the desktop ends the session between them.
    const std::tuple<const char*, QByteArray, QList<uint>, QStringList, QStringList, bool> cases[] = {
        {"a stale token: asked once more", "old", {2, 0}, opens(u"old"_s) + closes + asks + copyKeys, pasteKeys, false},
        {"declined: not asked again this run", {}, {1}, asks + closes, {}, false},
        {"unanswered: asked again once", {}, {ScriptedPortal::noAnswer, 0}, asks + givesUp, asks + pasteKeys, false},
        {"ended by the desktop: reopened, token", {}, {0, 0}, asks + copyKeys, opens(u"new"_s) + pasteKeys, true},
    };
    for (const auto& [name, storedToken, startAnswers, forCopy, forPaste, endedBetween] : cases) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString tokenPath = dir.filePath(u"config/remote-desktop.token"_s);
        ASSERT_TRUE(storedToken.isEmpty() || test::writeFile(tokenPath, storedToken));
        ScriptedPortal portal;
        portal.answers = startAnswers;
        // The portal's user may take 300 ms here.
        const auto keys = wayland::createRemoteDesktopKeySender(QDBusConnection::sessionBus(), tokenPath, 300);

        keys->sendCopy();
        bool sent = false; // a capture's landing time starts then: after the session opened, or gave up
        keys->whenSent(&portal, [&] { sent = true; });
        EXPECT_FALSE(sent);
        EXPECT_TRUE(waitUntil([&] { return sent && portal.calls.size() >= forCopy.size(); }))
            << portal.calls.join(u", "_s);
        if (endedBetween) {
            portal.emitSignal(ScriptedPortal::session(u"vorlex"_s), u"org.freedesktop.portal.Session"_s, u"Closed"_s,
                              {QVariantMap()});
            EXPECT_TRUE(roundTripToPortal());
        }
        keys->sendPaste();
        const QStringList all = forCopy + forPaste;
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= all.size(); }) && roundTripToPortal());
        EXPECT_EQ(portal.calls, all);

        EXPECT_EQ(test::readFile(tokenPath), forPaste.isEmpty() ? "<missing>" : "new");
    }
}

// Each set of hotkeys is bound in a session of its own, the one before closed, with the keys as the
// portal spells triggers; the same set again, in a working session, asks nothing. Activations count
// only from the current session. The desktop ends the session, or drops its hotkeys: a new session
// binds them, and they fire. Lost again before one fired, they wait for the settings to bind them
// again. Once declined, the portal is not asked again.
TEST(PortalGlobalShortcuts, BindsEachSetInASessionOfItsOwnAndAgainWhatTheDesktopTakesAway)
{
    ScriptedPortal portal;
    portal.answers = {0, 0, 0, 0, 1};
    const auto shortcuts = wayland::createPortalGlobalShortcuts(QDBusConnection::sessionBus());
    QStringList activated, expected;
    const auto bind = [&](const Hotkey& key) { shortcuts->bind({key}, [&](const QString& id) { activated << id; }); };
    const Hotkey translate{u"translate"_s, u"תרגם"_s, u"t"_s, ControlModifier | ShiftModifier};
    const auto settle = [&](const QStringList& more) {
        expected << more;
        EXPECT_TRUE(waitUntil([&] { return portal.calls.size() >= expected.size(); }) && roundTripToPortal());
        EXPECT_EQ(portal.calls, expected);
    };
    const QString bindsTranslate = u"BindShortcuts translate=CTRL+SHIFT+t:תרגם"_s;
    const auto bound = [&](int n) { return QStringList{u"CreateSession vorlex_shortcuts%1"_s.arg(n), bindsTranslate}; };
    // The desktop's signal about session n: Closed on the session, the others on the portal.
    const auto signal = [&](const QString& name, int n, const QVariantList& arguments) {
        const QString session = ScriptedPortal::session(u"vorlex_shortcuts%1"_s.arg(n));
        if (name == u"Closed"_s)
            return portal.emitSignal(session, u"org.freedesktop.portal.Session"_s, name, arguments);
        portal.emitSignal(ScriptedPortal::path(), u"org.freedesktop.portal.GlobalShortcuts"_s, name,
                          QVariantList{QVariant::fromValue(QDBusObjectPath(session))} + arguments);
    };
    const QList<wayland::PortalShortcut> kept{{u"translate"_s, {}}};
    bind(translate);
    bind(translate);
    settle(bound(1));
    signal(u"Activated"_s, 0, {u"translate"_s, 7ull, QVariantMap()});
    signal(u"Closed"_s, 1, {QVariantMap()});
    settle(bound(2));
    signal(u"Activated"_s, 2, {u"translate"_s, 7ull, QVariantMap()});
    signal(u"ShortcutsChanged"_s, 2, {QVariant::fromValue(kept)}); // a trigger the user changed
    signal(u"ShortcutsChanged"_s, 2, {QVariant::fromValue(kept.mid(1))});
    settle(QStringList{u"Close vorlex_shortcuts2"_s} + bound(3));
    EXPECT_EQ(activated, QStringList{u"translate"_s});
    signal(u"Closed"_s, 3, {QVariantMap()});
    settle({});
    bind(translate);
    settle(bound(4));
    bind({u"layout"_s, u"פריסה"_s, u"="_s, AltModifier | SuperModifier});
    settle({u"Close vorlex_shortcuts4"_s, u"CreateSession vorlex_shortcuts5"_s,
            u"BindShortcuts layout=ALT+LOGO+equal:פריסה"_s, u"Close vorlex_shortcuts5"_s}); // declined
    bind(translate);
    settle({});
}

// GNOME and KDE pick the area in a dialog of their own; elsewhere the whole screen comes at once. The
// user's cancel, a failure and a desktop without the portal are told apart.
TEST(PortalScreenshot, AsksForTheDesktopsDialogWhereItPicksAnArea)
{
    using Kind = ScreenPictures::Failure::Kind;
    const auto told = [](const ScreenPictures::Outcome& outcome) {
        if (const auto* picture = std::get_if<ScreenPictures::Picture>(&outcome))
            return picture->path + (picture->areaPicked ? u" picked"_s : u" whole"_s);
        const Kind kind = std::get<ScreenPictures::Failure>(outcome).kind;
        return kind == Kind::cancelled ? u"cancelled"_s : kind == Kind::unavailable ? u"unavailable"_s : u"failed"_s;
    };
    // The desktop, the area asked for, the portal's answer (none: no portal on the bus), its call, the outcome.
    const std::tuple<const char*, bool, std::optional<uint>, QString, QString> cases[] = {
        {"ubuntu:GNOME", true, 0, u"Screenshot interactive"_s, u"/tmp/vorlex shot.png picked"_s},
        {"KDE", false, 0, u"Screenshot whole"_s, u"/tmp/vorlex shot.png whole"_s},
        {"sway", true, 0, u"Screenshot whole"_s, u"/tmp/vorlex shot.png whole"_s},
        {"KDE", true, 1, u"Screenshot interactive"_s, u"cancelled"_s},
        {"sway", true, 2, u"Screenshot whole"_s, u"failed"_s},
        {"sway", true, std::nullopt, {}, u"unavailable"_s},
    };
    for (const auto& [desktop, pickArea, answer, call, outcome] : cases) {
        SCOPED_TRACE(outcome.toStdString());
        std::optional<ScriptedPortal> portal;
        if (answer)
            portal.emplace().answers = {*answer};
        const auto pictures = wayland::createPortalScreenshot(QDBusConnection::sessionBus(), QLatin1String(desktop));
        QObject context;
        QString came;
        pictures->take(pickArea, &context, [&](const ScreenPictures::Outcome& o) { came = told(o); });
        EXPECT_TRUE(waitUntil([&] { return !came.isEmpty(); })) << "answered";
        EXPECT_EQ(came, outcome);
        EXPECT_EQ(portal ? portal->calls.value(0) : QString(), call);
    }
}

} // namespace
