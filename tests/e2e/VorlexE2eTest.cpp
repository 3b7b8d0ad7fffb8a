// The whole program from outside, as a user meets it: vorlex-e2e (the real program with its
// translation endpoints taken from the environment) runs against a local server, with a Tk entry
// as the application that holds the selected text. Keys are typed with xdotool, windows are found
// by their titles, and each test leaves a screenshot of the screen in the test output folder.

#include "LocalHttpServer.h"
#include "SettingsManager.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

using vorlex::test::LocalHttpServer;
using vorlex::test::waitUntil;

namespace {

const QString program = QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex-e2e");
const QString tkHelper = QStringLiteral(VORLEX_SOURCE_DIR "/tests/e2e/TkEntryHelper.py");
const QString busName = QStringLiteral("org.vorlex.Vorlex");
const QString hebrewText = QStringLiteral("שלום עולם");

bool busNameOwned()
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(busName).value();
}

// Runs a tool to its end; its standard output, or nothing when it failed or hung.
std::optional<QByteArray> runTool(const QString& tool, const QStringList& arguments, int timeoutMs = 10000)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// Visible top-level windows whose title is exactly title.
QSet<QByteArray> visibleWindowsTitled(const QString& title)
{
    QSet<QByteArray> found;
    const std::optional<QByteArray> ids =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("Vorlex")});
    if (!ids)
        return found; // xdotool search fails when nothing matches
    for (const QByteArray& id : ids->split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const std::optional<QByteArray> name =
            runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::fromLatin1(id.trimmed())});
        if (name && QString::fromUtf8(name->trimmed()) == title)
            found.insert(id.trimmed());
    }
    return found;
}

void screenshot(const QString& name)
{
    const QString file = QDir(vorlex::test::outputDir()).filePath(QStringLiteral("e2e-%1.png").arg(name));
    EXPECT_TRUE(runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file}))
        << "screenshot " << file.toStdString();
}

// Types a key combination (xdotool syntax, "ctrl+shift+t"); xdotool releases every key it pressed.
bool typeKeys(const QString& keys)
{
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}).has_value();
}

// The program under test, with a configuration folder of its own.
class Vorlex {
public:
    explicit Vorlex(const QUrl& google)
    {
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        environment.insert(QStringLiteral("VORLEX_E2E_GOOGLE_URL"), google.toString());
        environment.insert(QStringLiteral("VORLEX_E2E_DEEPL_URL"), google.toString());
        environment.insert(QStringLiteral("VORLEX_E2E_IDLE_TIMEOUT_MS"), QStringLiteral("3000"));
        QDir().mkpath(configDir());
    }
    ~Vorlex()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        waitUntil([] { return !busNameOwned(); }, 3000);
    }

    QString homePath() const { return home.path(); }
    QString configHome() const { return home.filePath(QStringLiteral("config")); }
    QString configDir() const { return configHome() + QStringLiteral("/VorlexMac"); }
    QString settingsFile() const { return configDir() + QStringLiteral("/settings.json"); }

    // The default settings plus Ctrl+Shift+R for translate-and-replace, which has no default key.
    bool writeSettingsWithReplaceHotkey() const
    {
        vorlex::AppSettings settings;
        settings.hotkeyReplaceText = {{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("R")};
        QFile file(settingsFile());
        return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(settings.toJson()).toJson()) > 0;
    }

    // Starts the program and waits until it answers on the session bus and watches the keys.
    bool start(const QStringList& arguments = {})
    {
        if (busNameOwned()) {
            ADD_FAILURE() << "another Vorlex already owns " << busName.toStdString();
            return false;
        }
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        if (!process.waitForStarted(5000))
            return false;
        if (!waitUntil([] { return busNameOwned(); }, 15000))
            return false;
        // The hotkey monitor is installed right after the bus name is taken, in the same call; the
        // margin covers a loaded machine.
        waitUntil([] { return false; }, 500);
        return running();
    }
    bool running() const { return process.state() == QProcess::Running; }
    qint64 pid() const { return process.processId(); }

    // A second launch with one argument, as from a terminal or xdg-open; its exit code.
    int launchAgain(const QString& argument)
    {
        QProcess second;
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(program, {argument});
        if (!second.waitForFinished(15000)) {
            second.kill();
            second.waitForFinished(2000);
            return -1;
        }
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    // The history as stored: the JSON array under translationHistory_v1.
    QJsonArray history() const
    {
        const QString file = configDir() + QStringLiteral("/defaults.conf");
        if (!QFileInfo::exists(file))
            return {};
        // QSettings caches a file by path, size and time; a copy under a new name is read afresh.
        QTemporaryDir copyDir;
        const QString copy = copyDir.filePath(QStringLiteral("defaults.conf"));
        if (!QFile::copy(file, copy))
            return {};
        QSettings store(copy, QSettings::IniFormat);
        return QJsonDocument::fromJson(store.value(QStringLiteral("translationHistory_v1")).toByteArray()).array();
    }

    QProcessEnvironment environment;

private:
    QTemporaryDir home;
    QProcess process;
};

// The Tk entry helper as a child process, with what it reported so far.
class TkEntry {
public:
    TkEntry(const QString& initialText, bool select)
    {
        QStringList arguments{tkHelper, initialText};
        if (select)
            arguments << QStringLiteral("--select");
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral("/usr/bin/python3"), arguments);
    }
    ~TkEntry()
    {
        process.kill();
        process.waitForFinished(3000);
    }

    bool waitFocused()
    {
        return waitUntil([this] { return focused; }, 10000);
    }

    bool receivedKey(const QString& keysym, unsigned modifiers) const
    {
        for (const auto& [name, state] : keys) {
            if (name == keysym && (state & modifiers) == modifiers)
                return true;
        }
        return false;
    }

    bool focused = false;
    QString text;
    std::vector<std::pair<QString, unsigned>> keys;

private:
    void readLines()
    {
        while (process.canReadLine()) {
            const QList<QByteArray> parts = process.readLine().trimmed().split(' ');
            if (parts.value(0) == "focus")
                focused = true;
            else if (parts.value(0) == "key")
                keys.emplace_back(QString::fromUtf8(parts.value(1)), parts.value(2).toUInt());
            else if (parts.value(0) == "text")
                text = QString::fromUtf8(QByteArray::fromBase64(parts.value(1)));
        }
    }

    QProcess process;
};

constexpr unsigned shiftMask = 1;
constexpr unsigned controlMask = 4;

class E2e : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"xdotool", "import"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
        }
        if (!runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import tkinter")}))
            GTEST_SKIP() << "Debian's python3-tk is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(QFileInfo(program).isExecutable())
            << program.toStdString() << " is missing: configure with -DVORLEX_E2E_ENDPOINTS=ON";
        ASSERT_TRUE(server.listen());
    }

    LocalHttpServer server;
};

TEST_F(E2e, TranslateHotkeyShowsThePopupAndRecordsTheTranslation)
{
    server.setDefaultReply(
        LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello world"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(typeKeys(QStringLiteral("ctrl+shift+t")));

    ASSERT_TRUE(server.waitForRequests(1, 10000)) << "the selected text went out for translation";
    const LocalHttpServer::Request request = server.requests().at(0);
    EXPECT_EQ(request.path(), "/translate_a/single");
    EXPECT_TRUE(request.query().contains(QUrl::toPercentEncoding(hebrewText))) << request.query().toStdString();
    ASSERT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000))
        << QJsonDocument(vorlex.history()).toJson().toStdString() << " / " << server.requestCount();
    const QJsonObject entry = vorlex.history().at(0).toObject();
    EXPECT_EQ(entry.value(QStringLiteral("type")).toString(), QStringLiteral("translate"));
    EXPECT_EQ(entry.value(QStringLiteral("originalText")).toString(), hebrewText);
    EXPECT_EQ(entry.value(QStringLiteral("resultText")).toString(), QStringLiteral("Hello world"));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    EXPECT_TRUE(field.receivedKey(QStringLiteral("T"), controlMask | shiftMask)) << "the hotkey is not swallowed";
    EXPECT_EQ(field.text, QString()) << "the field's text is untouched";
    screenshot(QStringLiteral("translate-hotkey"));
    EXPECT_TRUE(vorlex.running());
}

// A call on the running program's D-Bus interface; true when it answered.
bool callVorlex(const QString& method, const QString& argument)
{
    QDBusInterface vorlex(busName, QStringLiteral("/org/vorlex/Vorlex"), QStringLiteral("org.vorlex.Vorlex"));
    vorlex.setTimeout(10000);
    const QDBusMessage reply = vorlex.call(method, argument);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool anyRequestWithQuery(const LocalHttpServer& server, const QByteArray& part)
{
    const QList<LocalHttpServer::Request> requests = server.requests();
    return std::any_of(requests.begin(), requests.end(),
                       [&](const LocalHttpServer::Request& request) { return request.query().contains(part); });
}

TEST_F(E2e, SecondLaunchHandsItsArgumentToTheRunningInstance)
{
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    const QString settingsTitle = QStringLiteral("הגדרות — Vorlex");
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));
    ASSERT_TRUE(visibleWindowsTitled(settingsTitle).isEmpty());

    EXPECT_EQ(vorlex.launchAgain(QStringLiteral("--settings")), 0);
    EXPECT_TRUE(waitUntil([&] { return !visibleWindowsTitled(settingsTitle).isEmpty(); }, 10000))
        << "the running instance shows its settings window";
    screenshot(QStringLiteral("second-launch-settings"));

    EXPECT_EQ(vorlex.launchAgain(QStringLiteral("שלום")), 0);
    EXPECT_TRUE(waitUntil(
        [&] { return anyRequestWithQuery(server, "q=" + QUrl::toPercentEncoding(QStringLiteral("שלום"))); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    screenshot(QStringLiteral("second-launch-text"));

    EXPECT_EQ(vorlex.launchAgain(QStringLiteral("vorlex:?text=hello%20world")), 0);
    EXPECT_TRUE(waitUntil([&] { return anyRequestWithQuery(server, "q=hello%20world"); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return vorlex.history().size() == 2; }, 10000)) << "both translations are recorded";
    screenshot(QStringLiteral("second-launch-url"));
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, CorruptSettingsFileGivesTheDefaultsAndIsKept)
{
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    const QByteArray corrupt = "{\"translationEngine\": \"deepL\", \"targetLanguage\": ";
    {
        QFile file(vorlex.settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(corrupt), corrupt.size());
    }
    ASSERT_TRUE(vorlex.start());

    ASSERT_TRUE(callVorlex(QStringLiteral("TranslateText"), hebrewText));
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    EXPECT_EQ(server.requests().at(0).path(), "/translate_a/single") << "the default engine, Google";
    EXPECT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    screenshot(QStringLiteral("corrupt-settings"));

    QFile file(vorlex.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), corrupt) << "the file is left as it was";
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, ServerDownShowsAnErrorAndRecordsNothing)
{
    QUrl down;
    {
        LocalHttpServer gone; // a port that was free a moment ago and has nobody listening now
        ASSERT_TRUE(gone.listen());
        down = gone.baseUrl();
    }
    Vorlex vorlex(down);
    ASSERT_TRUE(vorlex.start());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(callVorlex(QStringLiteral("TranslateText"), hebrewText));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    waitUntil([] { return false; }, 1000); // the refused connection has long been reported
    screenshot(QStringLiteral("server-down"));
    EXPECT_TRUE(vorlex.history().isEmpty()) << "a failed translation is not recorded";
    EXPECT_TRUE(callVorlex(QStringLiteral("HandleArgument"), QStringLiteral("--settings"))) << "still answering";
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, UnwritableConfigFolderDoesNotStopTheProgram)
{
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    // A file where the folder should be: nothing can be written under it, not even by root.
    ASSERT_TRUE(QDir(vorlex.configDir()).removeRecursively());
    {
        QFile blocker(vorlex.configDir());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(vorlex.start());

    ASSERT_TRUE(callVorlex(QStringLiteral("TranslateText"), hebrewText));
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    waitUntil([] { return false; }, 1000); // the reply is shown and its history write has failed
    screenshot(QStringLiteral("unwritable-config"));
    EXPECT_TRUE(callVorlex(QStringLiteral("TranslateText"), QStringLiteral("עולם"))) << "still answering";
    EXPECT_TRUE(server.waitForRequests(2, 10000));
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, LayoutHotkeyConvertsTextTypedInTheWrongLayout)
{
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(QStringLiteral("akuo"), true);
    ASSERT_TRUE(field.waitFocused());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(typeKeys(QStringLiteral("ctrl+shift+k")));

    ASSERT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    const QJsonObject entry = vorlex.history().at(0).toObject();
    EXPECT_EQ(entry.value(QStringLiteral("type")).toString(), QStringLiteral("layout"));
    EXPECT_EQ(entry.value(QStringLiteral("originalText")).toString(), QStringLiteral("akuo"));
    EXPECT_EQ(entry.value(QStringLiteral("resultText")).toString(), QStringLiteral("שלום"));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    EXPECT_EQ(server.requestCount(), 0) << "a conversion needs no translation";
    EXPECT_TRUE(field.receivedKey(QStringLiteral("K"), controlMask | shiftMask));
    screenshot(QStringLiteral("layout-hotkey"));
}

TEST_F(E2e, ReplaceHotkeyFromTheSettingsFileReplacesTheSelection)
{
    server.setDefaultReply(
        LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello world"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.writeSettingsWithReplaceHotkey());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());

    ASSERT_TRUE(typeKeys(QStringLiteral("ctrl+shift+r")));

    ASSERT_TRUE(server.waitForRequests(1, 10000));
    EXPECT_TRUE(waitUntil([&] { return field.text == QStringLiteral("Hello world"); }, 10000))
        << "the field holds: " << field.text.toStdString();
    screenshot(QStringLiteral("replace-hotkey"));
    EXPECT_TRUE(vorlex.history().isEmpty()) << "translate-and-replace records nothing";
}

TEST_F(E2e, FailedTranslateAndReplaceLeavesTheSelectionAlone)
{
    server.setDefaultReply(LocalHttpServer::Reply::text("Service Unavailable", 503));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.writeSettingsWithReplaceHotkey());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());

    ASSERT_TRUE(typeKeys(QStringLiteral("ctrl+shift+r")));

    ASSERT_TRUE(server.waitForRequests(1, 10000));
    waitUntil([] { return false; }, 1000); // long past the failed reply
    EXPECT_EQ(field.text, QString()) << "no change reached the field";
    screenshot(QStringLiteral("replace-failed"));
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, HungServerIsGivenUpAfterTheIdleTimeout)
{
    server.setDefaultReply(LocalHttpServer::Reply::hanging());
    Vorlex vorlex(server.baseUrl());
    vorlex.environment.insert(QStringLiteral("VORLEX_E2E_IDLE_TIMEOUT_MS"), QStringLiteral("1000"));
    ASSERT_TRUE(vorlex.start());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(callVorlex(QStringLiteral("TranslateText"), hebrewText));
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    EXPECT_TRUE(waitUntil([&] { return server.openConnectionCount() == 0; }, 8000))
        << "the program gives up the hung request";
    waitUntil([] { return false; }, 300);
    screenshot(QStringLiteral("server-hung"));
    EXPECT_TRUE(vorlex.history().isEmpty());
    EXPECT_TRUE(vorlex.running());
}

// The one window titled title that is visible now and was not in before, once it is there.
std::optional<QString> newWindowTitled(const QString& title, const QSet<QByteArray>& before)
{
    QSet<QByteArray> added;
    if (!waitUntil([&] { return (added = visibleWindowsTitled(title) - before).size() == 1; }, 5000))
        return std::nullopt;
    return QString::fromLatin1(*added.begin());
}

TEST_F(E2e, ReplaceButtonInThePopupReplacesTheSelection)
{
    server.setDefaultReply(
        LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello world"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(typeKeys(QStringLiteral("ctrl+shift+t")));
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    ASSERT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000)) << "the translation has arrived";
    const std::optional<QString> popup = newWindowTitled(QStringLiteral("Vorlex"), before);
    ASSERT_TRUE(popup) << "the popup is shown";
    waitUntil([] { return false; }, 300); // the popup has painted the result and enabled its buttons
    screenshot(QStringLiteral("replace-button-popup"));

    const std::optional<QByteArray> geometry =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), *popup});
    ASSERT_TRUE(geometry);
    int height = 0;
    for (const QByteArray& line : geometry->split('\n')) {
        if (line.startsWith("HEIGHT="))
            height = line.mid(7).toInt();
    }
    ASSERT_GT(height, 100) << geometry->toStdString();
    // Right to left, the replace button is the last of the bottom bar: at the far left, 60 px wide,
    // in a bar 26 px high that ends 6 px above the bottom edge, 8 px in from the side.
    const int x = 8 + 30;
    const int y = height - 6 - 13;
    ASSERT_TRUE(runTool(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), *popup,
                         QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")}));

    EXPECT_TRUE(waitUntil([&] { return field.text == QStringLiteral("Hello world"); }, 10000))
        << "the field holds: " << field.text.toStdString();
    EXPECT_TRUE(waitUntil([&] { return visibleWindowsTitled(QStringLiteral("Vorlex")) == before; }, 5000))
        << "the popup hides";
    screenshot(QStringLiteral("replace-button"));
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, XdgOpenOfAVorlexUrlReachesTheRunningInstance)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "xdg-open is not installed (scripts/setup.sh installs xdg-utils)";
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hola"), QStringLiteral("en")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    // A handler of the user's own, as an installed desktop entry would be, and no desktop session, so
    // xdg-open takes its generic path through the MIME defaults.
    const QString dataHome = vorlex.homePath() + QStringLiteral("/data");
    ASSERT_TRUE(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    {
        QFile entry(dataHome + QStringLiteral("/applications/vorlex-e2e-handler.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Vorlex\nExec=" + program.toUtf8() +
                    " %u\nMimeType=x-scheme-handler/vorlex;\nNoDisplay=true\n");
    }
    {
        QFile defaults(vorlex.configHome() + QStringLiteral("/mimeapps.list"));
        ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
        defaults.write("[Default Applications]\nx-scheme-handler/vorlex=vorlex-e2e-handler.desktop\n");
    }
    QProcessEnvironment environment = vorlex.environment;
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/share"));
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP", "BROWSER"})
        environment.remove(QString::fromLatin1(name));

    QProcess xdgOpen;
    xdgOpen.setProcessEnvironment(environment);
    xdgOpen.setProcessChannelMode(QProcess::ForwardedChannels);
    xdgOpen.start(QStringLiteral("xdg-open"), {QStringLiteral("vorlex:?text=buenos%20dias")});
    const bool finished = xdgOpen.waitForFinished(15000);
    if (!finished) {
        xdgOpen.kill();
        xdgOpen.waitForFinished(2000);
    }
    ASSERT_TRUE(finished) << "xdg-open returns once the second launch has handed over";
    EXPECT_EQ(xdgOpen.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(xdgOpen.exitCode(), 0) << "the second launch exits 0";

    EXPECT_TRUE(waitUntil([&] { return anyRequestWithQuery(server, "q=buenos%20dias"); }, 10000))
        << "the running instance translates the URL's text";
    EXPECT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    EXPECT_TRUE(waitUntil([&] { return !(visibleWindowsTitled(QStringLiteral("Vorlex")) - before).isEmpty(); }, 5000))
        << "the popup is shown";
    screenshot(QStringLiteral("xdg-open-url"));
    EXPECT_TRUE(vorlex.running());
}

// The program's mapped windows, found by their _NET_WM_PID.
QSet<QByteArray> visibleWindowsOf(qint64 pid)
{
    QSet<QByteArray> found;
    const std::optional<QByteArray> ids =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--pid"), QString::number(pid)});
    if (!ids)
        return found;
    for (const QByteArray& id : ids->split('\n')) {
        if (!id.trimmed().isEmpty())
            found.insert(id.trimmed());
    }
    return found;
}

// A window's place on the screen, from xdotool.
QRect windowGeometry(const QByteArray& id)
{
    const std::optional<QByteArray> shell =
        runTool(QStringLiteral("xdotool"),
                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(id)});
    if (!shell)
        return {};
    QHash<QByteArray, int> values;
    for (const QByteArray& line : shell->split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return {values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT")};
}

// Opens the tray menu with a left click on the docked icon and picks the row reached with steps
// presses of Down (separators and the disabled heading are skipped); true once the menu has closed.
bool pickFromTrayMenu(const Vorlex& vorlex, int steps)
{
    QByteArray icon;
    // The docked icon: a small window of the program's own in jwm's dock at the bottom of the screen.
    const bool docked = waitUntil(
        [&] {
            for (const QByteArray& id : visibleWindowsOf(vorlex.pid())) {
                const QRect area = windowGeometry(id);
                if (area.width() > 0 && area.width() <= 64 && area.height() <= 64 && area.top() >= 600) {
                    icon = id;
                    return true;
                }
            }
            return false;
        },
        10000);
    if (!docked) {
        ADD_FAILURE() << "the tray icon is not in the dock";
        return false;
    }
    const QSet<QByteArray> before = visibleWindowsOf(vorlex.pid());
    const QPoint centre = windowGeometry(icon).center();
    if (!runTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(centre.x()),
                  QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")})) {
        ADD_FAILURE() << "xdotool could not click the icon";
        return false;
    }
    QSet<QByteArray> menu;
    // The menu is the new window that is taller than a tooltip.
    const auto menuShown = [&] {
        menu.clear();
        for (const QByteArray& id : visibleWindowsOf(vorlex.pid()) - before) {
            if (windowGeometry(id).height() > 100)
                menu.insert(id);
        }
        return !menu.isEmpty();
    };
    if (!waitUntil(menuShown, 5000)) {
        ADD_FAILURE() << "the left click did not open the menu";
        return false;
    }
    // The pointer leaves the menu, so no row is under it and the first Down reaches the first row.
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("1000"), QStringLiteral("100")});
    waitUntil([] { return false; }, 400); // the menu has its keyboard grab
    screenshot(QStringLiteral("tray-menu-%1").arg(steps));
    QStringList keys{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")};
    for (int step = 0; step < steps; ++step)
        keys << QStringLiteral("Down");
    keys << QStringLiteral("Return");
    if (!runTool(QStringLiteral("xdotool"), keys)) {
        ADD_FAILURE() << "xdotool could not type in the menu";
        return false;
    }
    return waitUntil([&] { return (visibleWindowsOf(vorlex.pid()) & menu).isEmpty(); }, 5000);
}

constexpr int dateAndTimeRow = 4;
constexpr int firstHistoryRow = 7; // after the actions, "הגדרות..." and "יציאה"

TEST_F(E2e, TrayMenuDateAndTimeOpensThePopup)
{
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(pickFromTrayMenu(vorlex, dateAndTimeRow));

    EXPECT_TRUE(newWindowTitled(QStringLiteral("Vorlex"), before)) << "the popup is shown";
    waitUntil([] { return false; }, 300);
    screenshot(QStringLiteral("tray-date-and-time"));
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, TrayMenuReopensAHistoryEntryAndClearsTheHistory)
{
    server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));
    // The popup opens by the pointer, well away from the empty place clicked below.
    ASSERT_TRUE(runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                                    QStringLiteral("150"), QStringLiteral("150")}));
    ASSERT_TRUE(callVorlex(QStringLiteral("TranslateText"), hebrewText));
    ASSERT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    ASSERT_TRUE(newWindowTitled(QStringLiteral("Vorlex"), before));
    // A click on the empty desktop puts the popup away.
    ASSERT_TRUE(runTool(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("1100"),
                         QStringLiteral("200"), QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return visibleWindowsTitled(QStringLiteral("Vorlex")) == before; }, 5000));

    ASSERT_TRUE(pickFromTrayMenu(vorlex, firstHistoryRow));
    EXPECT_TRUE(newWindowTitled(QStringLiteral("Vorlex"), before)) << "the entry is shown again";
    waitUntil([] { return false; }, 300);
    screenshot(QStringLiteral("tray-history-entry"));
    EXPECT_EQ(server.requestCount(), 1) << "a history entry is shown as stored, not translated again";
    EXPECT_EQ(vorlex.history().size(), 1);

    ASSERT_TRUE(pickFromTrayMenu(vorlex, firstHistoryRow + 1));
    EXPECT_TRUE(waitUntil([&] { return vorlex.history().isEmpty(); }, 5000)) << "the history is emptied";
    screenshot(QStringLiteral("tray-history-cleared"));
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, TrayMenuTranslatesTheSelectionOfTheFieldThatHadTheFocus)
{
    server.setDefaultReply(
        LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello world"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());
    const QSet<QByteArray> before = visibleWindowsTitled(QStringLiteral("Vorlex"));

    ASSERT_TRUE(pickFromTrayMenu(vorlex, 1)); // "תרגם טקסט שנבחר"

    ASSERT_TRUE(server.waitForRequests(1, 10000)) << "the field's selection went out for translation";
    EXPECT_TRUE(server.requests().at(0).query().contains(QUrl::toPercentEncoding(hebrewText)));
    EXPECT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    EXPECT_TRUE(newWindowTitled(QStringLiteral("Vorlex"), before)) << "the popup is shown";
    waitUntil([] { return false; }, 300);
    screenshot(QStringLiteral("tray-translate-selection"));
    EXPECT_EQ(field.text, QString()) << "the field's text is untouched";
    EXPECT_TRUE(vorlex.running());
}

TEST_F(E2e, TrayMenuTranslatesAndReplacesTheSelectionOfTheFieldThatHadTheFocus)
{
    server.setDefaultReply(
        LocalHttpServer::Reply::googleTranslation(QStringLiteral("Hello world"), QStringLiteral("iw")));
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(hebrewText, true);
    ASSERT_TRUE(field.waitFocused());

    ASSERT_TRUE(pickFromTrayMenu(vorlex, 3)); // "תרגם והחלף טקסט"

    ASSERT_TRUE(server.waitForRequests(1, 10000)) << "the field's selection went out for translation";
    EXPECT_TRUE(waitUntil([&] { return field.text == QStringLiteral("Hello world"); }, 10000))
        << "the field holds: " << field.text.toStdString();
    screenshot(QStringLiteral("tray-translate-and-replace"));
    EXPECT_TRUE(vorlex.history().isEmpty()) << "translate-and-replace records nothing";
}

TEST_F(E2e, TrayMenuConvertsTheLayoutOfTheFieldThatHadTheFocus)
{
    Vorlex vorlex(server.baseUrl());
    ASSERT_TRUE(vorlex.start());
    TkEntry field(QStringLiteral("akuo"), true);
    ASSERT_TRUE(field.waitFocused());

    ASSERT_TRUE(pickFromTrayMenu(vorlex, 2)); // "החלף פריסת מקלדת"

    ASSERT_TRUE(waitUntil([&] { return vorlex.history().size() == 1; }, 10000));
    const QJsonObject entry = vorlex.history().at(0).toObject();
    EXPECT_EQ(entry.value(QStringLiteral("type")).toString(), QStringLiteral("layout"));
    EXPECT_EQ(entry.value(QStringLiteral("resultText")).toString(), QStringLiteral("שלום"));
    waitUntil([] { return false; }, 300);
    screenshot(QStringLiteral("tray-layout"));
    EXPECT_EQ(server.requestCount(), 0);
}

} // namespace
