// The whole program from outside, on the journeys only it shows: vorlex-e2e (the program with its
// translation endpoints taken from the environment) against a local server, with terminals and a
// GTK 3 field as the applications that hold the selected text, keys and clicks from xdotool, links from
// xdg-open.
// Everything else the program does is tested below this level.

#include "HistoryManager.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>

using namespace vorlex;
using test::waitUntil;

namespace {

const QString program = QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex-e2e");
const QString busName = u"org.vorlex.Vorlex"_s;
const QString hebrewText = u"שלום עולם"_s;

bool xdotool(const QString& arguments) // words apart by single spaces
{
    return test::run(u"xdotool"_s, arguments.split(u' ')).exitCode == 0;
}

// Read by Qt's own clipboard, not by the reader the program uses.
QString primarySelection()
{
    return QGuiApplication::clipboard()->text(QClipboard::Selection);
}

// The text a translation request asked for: the last item of its query.
QByteArray queried(const test::LocalHttpServer::Request& request)
{
    return QByteArray::fromPercentEncoding(request.query().mid(request.query().lastIndexOf("&q=") + 3));
}

bool callVorlex(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(busName, u"/org/vorlex/Vorlex"_s, busName, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

class E2e : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A missing tool fails the journeys: a skipped journey would turn a run green.
        ASSERT_FALSE(QStandardPaths::findExecutable(u"xdotool"_s).isEmpty()) << "scripts/setup.sh installs xdotool";
        server.setDefaultReply(test::LocalHttpServer::Reply::googleTranslation(u"Hello world"_s, u"iw"_s));
        ASSERT_TRUE(waitUntil([] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(busName); }))
            << "another Vorlex still owns " << busName;
    }
    void start()
    {
        vorlex.emplace(program, QStringList());
        ASSERT_TRUE(waitUntil(test::vorlexAnswers, 15000)) << program;
    }
    // The program's mapped windows: the tray icon, and the popup, menu or settings while one is shown.
    qsizetype windows() const { return test::visibleWindowsOf(vorlex->pid()).size(); }

    test::ConfigHomeGuard home; // a fresh history and settings for each journey
    test::LocalHttpServer server;
    test::EnvGuard google{"VORLEX_E2E_GOOGLE_URL", server.baseUrl().toEncoded()};
    std::optional<test::ChildProcess> vorlex;
};

// Windows whose program runs in a pseudo-terminal take Ctrl+C as an interrupt, whatever their class:
// a VTE terminal inside an editor's window (Geany's class) and xterm under names of its own. The
// highlighted line is read as it stands, and the program running there, which records every key and
// interrupt, gets none from us, not even the hotkey's Ctrl+K (a shell would lose the rest of its
// line); with PRIMARY another program's, nothing is taken.
TEST_F(E2e, LayoutHotkeyTakesATerminalsHighlightWithoutAnInterrupt)
{
    start();
    const QString log = home.path() + u"/interrupts"_s;
    const QString vte = QStringLiteral(VORLEX_SOURCE_DIR "/tests/support/vteterminal.py");
    const QStringList xterm{u"-name"_s, u"scratch"_s, u"-class"_s, u"Scratch"_s, u"-fa"_s, u"DejaVu Sans Mono"_s,
                            u"-fs"_s,   u"11"_s,      u"-e"_s};
    const std::tuple<const char*, QString, QStringList> cases[] = {
        {"VTE in an editor", u"/usr/bin/python3"_s, {vte, u"--select"_s, u"--"_s}}, // selects its text itself
        {"xterm -name scratch -class Scratch", u"xterm"_s, xterm},
    };
    // Two calls answered by the program's UI thread: what a hotkey started at once has run.
    const auto settled = [] { return test::vorlexAnswers() && test::vorlexAnswers(); };
    for (const auto& [what, command, arguments] : cases) {
        SCOPED_TRACE(what);
        QFile::remove(log);
        test::ChildProcess terminal(command, arguments + test::terminalRecorder(log));
        ASSERT_TRUE(waitUntil([&] { return test::readFile(log) == "ready\n"; }, 10000)) << "it runs the recorder";
        QString window; // once mapped
        ASSERT_TRUE(waitUntil([&] { return !(window = test::visibleWindowsOf(terminal.pid()).value(0)).isEmpty(); }));
        // On a busy machine xterm's three clicks may arrive as a slower double click: click again until
        // it serves the whole line as PRIMARY.
        ASSERT_TRUE(waitUntil(
            [&] {
                if (command == u"xterm"_s)
                    xdotool(u"mousemove --window %1 20 8 click --repeat 3 --delay 80 1"_s.arg(window));
                return primarySelection().startsWith(u"akuo"_s);
            },
            15000))
            << "it holds the highlighted line";
        const qsizetype recorded = HistoryManager().load().size();
        // The popup opens by the pointer, away from where the windows open.
        ASSERT_TRUE(xdotool(u"mousemove 1200 700 key ctrl+shift+k"_s));

        EXPECT_TRUE(waitUntil([&] { return HistoryManager().load().size() == recorded + 1; }, 10000)) << "captured";
        EXPECT_EQ(HistoryManager().load().value(0).resultText.trimmed(), u"שלום"_s);
        EXPECT_TRUE(waitUntil([&] { return windows() == 2; })) << "the popup";
        QGuiApplication::clipboard()->setText(u"elsewhere"_s, QClipboard::Selection); // owned once it returns
        ASSERT_TRUE(xdotool(u"windowactivate --sync %1 key ctrl+shift+k"_s.arg(window)));
        ASSERT_TRUE(settled() && xdotool(u"key period"_s));
        EXPECT_TRUE(waitUntil([&] { return test::readFile(log).endsWith('.'); })) << test::readFile(log).data();
        EXPECT_EQ(test::readFile(log), "ready\n.") << "the hotkeys are the program's: nothing reaches it";
        EXPECT_EQ(HistoryManager().load().size(), recorded + 1) << "PRIMARY another program's is not taken";
        // A click outside puts the popup away: kept on top, it would cover the next row's window and
        // take its clicks.
        ASSERT_TRUE(xdotool(u"mousemove 5 5 click 1"_s));
        EXPECT_TRUE(waitUntil([&] { return windows() == 1; })) << "put away";
    }
}

TEST_F(E2e, TrayMenuTranslateAndReplacePastesIntoAGtkField)
{
    start();
    test::TextField field(hebrewText, true, test::TextField::Toolkit::gtk3);
    ASSERT_TRUE(field.waitFor("ready"));
    QList<QByteArray> icon;
    ASSERT_TRUE(waitUntil([&] { return (icon = test::visibleWindowsOf(vorlex->pid())).size() == 1; }, 10000))
        << "docked icon";

    ASSERT_TRUE(xdotool(u"mousemove --sync --window %1 8 8 click 1"_s.arg(QString::fromLatin1(icon.at(0)))));
    ASSERT_TRUE(waitUntil([&] { return windows() == 2; })) << "the menu is open";
    // The pointer leaves the menu, so no row is under it and the first Down reaches the first row.
    ASSERT_TRUE(xdotool(u"mousemove --sync 1000 100"_s));
    ASSERT_TRUE(xdotool(u"key --delay 60 Down Down Down Return"_s))
        << "the third row, after the heading: translate and replace";

    EXPECT_TRUE(waitUntil([&] { return field.text() == u"Hello world"_s; }, 10000)) << field.text();
}

// Launches at the same instant (autostart, a text, a link opened through the shipped desktop entry)
// leave one instance; the others hand their requests over and exit 0 once it has taken them. Each
// request takes the popup from the one before, which aborts that one's translation, so the server
// sees some of them, and nothing that was not asked for.
TEST_F(E2e, SimultaneousLaunchesLeaveOneInstanceWithEveryRequest)
{
    // The shipped desktop entry, installed for this user as the handler of vorlex: links.
    QFile shipped(QStringLiteral(VORLEX_SOURCE_DIR "/packaging/vorlex.desktop"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    ASSERT_TRUE(test::writeFile(home.dataHome() + u"/applications/vorlex.desktop"_s,
                                shipped.readAll().replace("\nExec=vorlex ", "\nExec=" + program.toUtf8() + ' ')));
    ASSERT_TRUE(test::writeFile(home.configHome() + u"/mimeapps.list"_s,
                                "[Default Applications]\nx-scheme-handler/vorlex=vorlex.desktop\n"));
    // No desktop session, so xdg-open takes its generic path through the MIME defaults, and waits.
    test::EnvGuard noDesktop("XDG_CURRENT_DESKTOP", {}), noSession("DESKTOP_SESSION", {});

    const QByteArrayList texts{"one", "-reverse", "three", "four", "five", "hello world"}; // "-reverse": Qt's too
    QProcess launches[6];
    for (int i = 0; i < 5; ++i)
        launches[i].start(program, {QString::fromUtf8(texts.at(i))});
    launches[5].start(u"xdg-open"_s, {u"vorlex:///hello%20world"_s});
    const auto running = [&] { return std::ranges::count_if(launches, [](const QProcess& p) { return p.state(); }); };
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() >= 1 && running() == 1; }, 15000)) << running();
    for (const auto& request : server.requests())
        EXPECT_TRUE(texts.contains(queried(request))) << queried(request).toStdString();
    for (QProcess& launch : launches) {
        EXPECT_TRUE(launch.state() || (launch.exitStatus() == QProcess::NormalExit && launch.exitCode() == 0));
        launch.kill();
        launch.waitForFinished();
    }
}

// Launches in a hostile setting: Qt's own options as the arguments, a file-size limit (ulimit -f), a
// history store that is a folder. The program runs on the session's display and shows the argument
// as a text; results it cannot save are said once on standard error, replace nothing, and are saved
// with the next result once they can be.
TEST_F(E2e, HostileLaunchesRunOnAndSayOnceWhatCannotBeSaved)
{
    const QString store = home.vorlexConfigDir() + u"/defaults.json"_s, errors = home.path() + u"/stderr"_s;
    const auto convert = [](const QString& text) { callVorlex(u"ConvertKeyboardLayout"_s, {text}); };
    server.setDefaultReply(test::LocalHttpServer::Reply::text("busy", 503)); // so the argument adds nothing
    for (const auto& [limit, arguments] : {std::pair(u"ulimit -f 100; "_s, QStringList{u"-platform"_s, u"offscreen"_s}),
                                           {QString(), {u"-display"_s, u":999"_s}}}) { // the store a folder
        SCOPED_TRACE(arguments.join(u' '));
        ASSERT_TRUE(limit.isEmpty() ? QFile::remove(store) && QDir().mkpath(store)
                                    : test::writeFile(store, R"({"translationHistory_v1":[]})"));
        const QString command = limit + u"f=$1; shift; exec \"$0\" \"$@\" 2>\"$f\""_s;
        vorlex.emplace(u"sh"_s, QStringList{u"-c"_s, command, program, errors} + arguments);
        ASSERT_TRUE(waitUntil(test::vorlexAnswers, 15000));
        EXPECT_TRUE(waitUntil([&] { return windows() == 2; }, 10000));
        EXPECT_TRUE(server.waitForQueryEnding("&q=" + arguments.first().toUtf8()));
        convert(u"akuo "_s.repeated(40000)); // far beyond the file-size limit as history
        convert(u"akuo "_s.repeated(40000));
        EXPECT_TRUE(waitUntil([&] { return test::readFile(errors).contains("could not be saved"); }, 10000));
        if (limit.isEmpty()) {
            ASSERT_TRUE(QDir(store).removeRecursively());
            convert(u"akuo"_s);
        }
        ASSERT_TRUE(test::vorlexAnswers() && vorlex->pid() > 0) << "it runs on";
        ::kill(vorlex->pid(), SIGTERM);
        EXPECT_EQ(vorlex->exitCode(), 0);
        EXPECT_EQ(test::readFile(errors).count("could not be saved"), 1) << test::readFile(errors).toStdString();
        EXPECT_EQ(HistoryManager(store).load().size(), limit.isEmpty() ? 3 : 0);
        ASSERT_TRUE(waitUntil([] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(busName); }));
    }
}

// A desktop ends its session with SIGTERM, a terminal's Ctrl+C is SIGINT and closing it SIGHUP: the
// program ends as by its Quit, with the result it showed last on disk, though the store is large
// enough that writing it is still under way.
TEST_F(E2e, QuitSignalsEndWithTheLastResultSaved)
{
    const QByteArray entry = R"({"id":"0F6C3B0E-6D7E-4C1A-9F00-3A2B1C0D9E8F","type":"layout","originalText":")" +
                             QByteArray(200000, 'a') + R"(","resultText":"b","timestamp":0})";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ASSERT_TRUE(test::writeFile(home.vorlexConfigDir() + u"/defaults.json"_s,
                                    "{\"translationHistory_v1\":[" + QByteArrayList(49, entry).join(',') + "]}"));
        start();
        ASSERT_TRUE(callVorlex(u"ConvertKeyboardLayout"_s, {u"akuo"_s}));
        ASSERT_TRUE(waitUntil([&] { return windows() == 2; })) << "the popup";

        ::kill(vorlex->pid(), signal);
        EXPECT_EQ(vorlex->exitCode(), 0);
        EXPECT_EQ(HistoryManager().load().value(0).resultText, u"שלום"_s);
        vorlex.reset();
    }
}

// A later launch hands its argument to the running program over the bus and leaves: "--settings"
// opens the settings window there.
TEST_F(E2e, ALaterLaunchHandsSettingsOver)
{
    start();
    EXPECT_EQ(test::run(program, {u"--settings"_s}, {}, 10000).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return windows() == 2; })) << "settings shown";
}

} // namespace
