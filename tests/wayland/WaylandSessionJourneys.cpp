// The program on a Wayland session: headless sway (scripts/lib/swaysession.sh runs these journeys in
// one), foot, a VTE terminal and a GTK 3 field as Wayland-native applications, vorlex-e2e on XWayland
// started the way a compositor key binding starts it (`vorlex --hotkey NAME`), wl-paste as an
// independent client.
// The replace journey also runs on headless mutter (scripts/lib/muttersession.sh), GNOME's
// compositor, which has neither data-control nor a virtual keyboard: there the paste goes through the
// RemoteDesktop portal, the clipboard through XWayland's bridge, and the capture reads the highlight
// (the Gnome journeys run there only).
// What the X11 journeys already show (the popup's contents, the history's rules) is not repeated.

#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "ScriptedPortal.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

using namespace vorlex;
using test::waitUntil;

namespace {

const QString program = QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex-e2e");
const QString vte = QStringLiteral(VORLEX_SOURCE_DIR "/tests/support/vteterminal.py");

// sway gives a process's window the focus, once it has mapped it.
bool swayFocus(qint64 pid)
{
    const QStringList command{u"[pid=%1] focus"_s.arg(pid)};
    return waitUntil([&] { return test::run(u"swaymsg"_s, command).exitCode == 0; });
}

// GNOME's RemoteDesktop portal once the user has allowed it, without its dialog: the keys go on to a
// remote-desktop session of mutter's own. A headless seat has no keyboard, and mutter 48 adds the session's
// only at its first key, too late for the client that has the focus then: so one Shift goes before the
// field maps, and the seat has a keyboard as a desktop's has.
class MutterPortal : public test::ScriptedPortal {
public:
    MutterPortal()
    {
        const QString service = u"org.gnome.Mutter.RemoteDesktop"_s;
        const QDBusMessage created = mutter.call(
            QDBusMessage::createMethodCall(service, u"/org/gnome/Mutter/RemoteDesktop"_s, service, u"CreateSession"_s));
        const QString session = created.arguments().value(0).value<QDBusObjectPath>().path();
        mutter.call(QDBusMessage::createMethodCall(service, session, service + u".Session"_s, u"Start"_s));
        keys = [this, service, session](int keycode, uint pressed) {
            QDBusMessage key =
                QDBusMessage::createMethodCall(service, session, service + u".Session"_s, u"NotifyKeyboardKeycode"_s);
            mutter.asyncCall(key << uint(keycode) << bool(pressed));
        };
        keys(42, 1);
        keys(42, 0);
    }

private:
    QDBusConnection mutter = QDBusConnection::sessionBus(); // the session lives as long as this connection
};

class Wayland : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            ASSERT_NE(qgetenv("CI"), "true") << "CI runs this test inside scripts/lib/swaysession.sh";
            GTEST_SKIP() << "no Wayland session: run it through scripts/lib/swaysession.sh";
        }
        if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
            portal.emplace();
        server.setDefaultReply(test::LocalHttpServer::Reply::googleTranslation(u"Hello world"_s, u"iw"_s));
    }

    // After the application, so that it has the focus when the hotkey comes, as it would for a user.
    void startVorlex()
    {
        test::EnvGuard unset("QT_QPA_PLATFORM", {});       // the program chooses XWayland itself
        test::EnvGuard console("XDG_SESSION_TYPE", "tty"); // as a compositor started from a console has it
        vorlex.emplace(program, QStringList());
        ASSERT_TRUE(waitUntil(test::vorlexAnswers, 15000)) << program.toStdString();
    }

    test::ConfigHomeGuard home;
    std::optional<MutterPortal> portal;
    test::LocalHttpServer server;
    test::EnvGuard google{"VORLEX_E2E_GOOGLE_URL", server.baseUrl().toEncoded()};
    std::optional<test::ChildProcess> vorlex;
};

// A window whose program runs in a pseudo-terminal gets no key at all, whatever its app_id: foot under
// one of its own (its line selected by foot's search: Ctrl+Shift+R, the text, Enter), and VTE inside an
// editor's window that turns Ctrl+Shift+C into an interrupt when nothing is highlighted, as Konsole,
// GNOME Console and Terminator do. Each runs a shell that records every key and interrupt; the
// highlight comes from the primary selection.
TEST_F(Wayland, LayoutHotkeyTakesATerminalsHighlightWithoutAnInterrupt)
{
    const QString log = home.path() + u"/interrupts"_s;
    const QStringList interrupting{vte, u"--interrupt-on-copy"_s};
    const std::tuple<const char*, QString, QStringList, bool> cases[] = {
        {"foot -a dropdown", u"foot"_s, {u"-a"_s, u"dropdown"_s}, true},
        {"VTE in an editor", u"/usr/bin/python3"_s, interrupting + QStringList{u"--select"_s, u"--"_s}, true},
        {"a terminal by name, nothing highlighted", u"/usr/bin/python3"_s,
         interrupting + QStringList{u"--class"_s, u"org.gnome.Console"_s, u"--"_s}, false},
    };
    test::EnvGuard gdk("GDK_BACKEND", "wayland");
    for (const auto& [what, command, arguments, highlighted] : cases) {
        SCOPED_TRACE(what);
        QFile::remove(log);
        test::ChildProcess terminal(command, arguments + test::terminalRecorder(log));
        ASSERT_TRUE(waitUntil([&] { return test::readFile(log) == "ready\n"; }, 10000)) << "it runs the recorder";
        ASSERT_TRUE(swayFocus(terminal.pid())) << "mapped, and with the keyboard";
        const auto selected = [] {
            return test::run(u"wl-paste"_s, {u"-p"_s, u"-n"_s}, {}, 2000).out.startsWith("akuo");
        };
        if (command == u"foot"_s) {
            // Escape ends a search that a busy foot left open; again until foot serves the line.
            const QStringList search = u"-k Escape -M ctrl -M shift -k r -m shift -m ctrl akuo -k Return"_s.split(u' ');
            ASSERT_TRUE(
                waitUntil([&] { return test::run(u"wtype"_s, search).exitCode == 0 && waitUntil(selected); }, 20000));
        } else if (highlighted) {
            ASSERT_TRUE(waitUntil(selected));
        }
        if (!vorlex) {
            startVorlex();
            // Through XWayland the icon is a StatusNotifierItem: swaybar's watcher must know it.
            const QStringList items = u"--print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher "
                                      u"org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "
                                      u"string:RegisteredStatusNotifierItems"_s.split(u' ');
            EXPECT_TRUE(waitUntil([&] { return test::run(u"dbus-send"_s, items).out.contains("StatusNotifierItem"); }))
                << "the tray icon is registered";
        }
        const qsizetype recorded = HistoryManager().load().size();

        ASSERT_EQ(test::run(program, {u"--hotkey"_s, u"layout"_s}).exitCode, 0) << "forwarded to the running instance";

        if (highlighted) {
            EXPECT_TRUE(waitUntil([&] { return HistoryManager().load().size() == recorded + 1; }, 10000)) << "captured";
            EXPECT_EQ(HistoryManager().load().value(0).resultText.trimmed(), u"שלום"_s);
            // Clicks outside cannot be seen on Wayland: the popup goes when the focus does. From the
            // popup, so that it has had the focus to lose: once sway has mapped it (after X has), it takes
            // the focus on sway's command, whenever it would have come that far on its own.
            ASSERT_TRUE(swayFocus(vorlex->pid()) && swayFocus(terminal.pid())) << "the popup shown, then put away";
            EXPECT_TRUE(waitUntil([&] { return test::visibleWindowsOf(vorlex->pid()).isEmpty(); })) << "hidden";
        } else {
            // Nothing shows that a capture found nothing: an interrupt would come within its bound.
            EXPECT_FALSE(waitUntil([&] { return test::readFile(log).contains("INT"); }, 2000)) << "no key";
            EXPECT_EQ(HistoryManager().load().size(), recorded);
        }
        // What reaches the program before this dot came before it.
        ASSERT_EQ(test::run(u"wtype"_s, {u"."_s}).exitCode, 0);
        EXPECT_TRUE(waitUntil([&] { return test::readFile(log).endsWith('.'); }));
        EXPECT_FALSE(test::readFile(log).contains("INT") || test::readFile(log).contains("^C")) << "no interrupt";
    }
}

// sway may announce an empty clipboard just before the copy of an application that already owns the
// clipboard: each of several hotkeys in a row in one GTK field is captured all the same.
TEST_F(Wayland, RepeatedHotkeysInOneApplicationAreEachCaptured)
{
    test::TextField field(u"akuo"_s, true, test::TextField::Toolkit::gtk3);
    ASSERT_TRUE(field.waitFor("ready"));
    startVorlex();
    for (int capture = 1; capture <= 4; ++capture) {
        SCOPED_TRACE(capture);
        ASSERT_EQ(test::run(program, {u"--hotkey"_s, u"layout"_s}).exitCode, 0);
        ASSERT_TRUE(waitUntil([&] { return HistoryManager().load().size() == capture; }, 10000)) << "captured";
        // The field takes the focus back from the popup once sway has mapped it, and the next hotkey
        // waits until the popup has gone: a later hide would take the next capture's popup.
        ASSERT_TRUE(swayFocus(vorlex->pid()) && swayFocus(field.pid()));
        ASSERT_TRUE(waitUntil([&] { return test::visibleWindowsOf(vorlex->pid()).isEmpty(); })) << "hidden";
    }
    EXPECT_EQ(HistoryManager().load().value(0).resultText, u"שלום"_s);
}

// Into GTK 3, which looks its shortcuts up in the keymap of the keyboard the keys come from.
TEST_F(Wayland, ReplaceHotkeyPastesTheTranslationOverTheSelection)
{
    const QString hebrew = u"שלום עולם"_s;
    test::TextField field(hebrew, true, test::TextField::Toolkit::gtk3);
    ASSERT_TRUE(field.waitFor("ready"));
    startVorlex();

    ASSERT_EQ(test::run(program, {u"--hotkey"_s, u"replace"_s}).exitCode, 0);

    EXPECT_TRUE(waitUntil([&] { return field.text() == u"Hello world"_s; }, 10000)) << field.text();
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(QUrl::fromPercentEncoding(server.requests().at(0).query()).contains(hebrew))
        << "the selection was read whole, as UTF-8";
    if (!portal) {
        EXPECT_EQ(test::run(u"wl-paste"_s, {u"--no-newline"_s}, {}, 5000).out, "Hello world")
            << "the program serves what it put on the clipboard, read by another client";
    } else {
        EXPECT_EQ(portal->calls.value(0), u"Register org.vorlex.Vorlex"_s) << "named to the portals before any call";
    }
}

// GNOME names the focused window to no other program: a capture reads the highlighted text, which mutter
// hands XWayland's PRIMARY while its window has the focus, and sends no key. Here a Wayland-native VTE
// terminal inside an editor's window, running a program that records every key and interrupt.
class Gnome : public Wayland {};

TEST_F(Gnome, LayoutHotkeyTakesAWaylandTerminalsHighlightWithoutAKey)
{
    const QString log = home.path() + u"/interrupts"_s;
    const test::EnvGuard native("GDK_BACKEND", "wayland");
    test::ChildProcess terminal(u"/usr/bin/python3"_s,
                                QStringList{vte, u"--select"_s, u"--"_s} + test::terminalRecorder(log));
    ASSERT_TRUE(terminal.waitFor("selected")) << "the terminal has the focus and its text is highlighted";
    startVorlex();

    ASSERT_EQ(test::run(program, {u"--hotkey"_s, u"layout"_s}).exitCode, 0);

    EXPECT_TRUE(waitUntil([] { return HistoryManager().load().size() == 1; }, 10000)) << "captured and recorded";
    EXPECT_EQ(HistoryManager().load().value(0).resultText.trimmed(), u"שלום"_s) << "the terminal's whole text";
    // What reaches the program before this dot came before it.
    portal->keys(52, 1); // a dot
    portal->keys(52, 0);
    EXPECT_TRUE(waitUntil([&] { return test::readFile(log) == "ready\n."; })) << "no key, no interrupt";
    EXPECT_FALSE(portal->calls.join(u' ').contains(u"key"_s)) << "no key through the portal either";
}

} // namespace
