#include "DBusService.h"
#include "AppDelegate.h"
#include "FakePlatform.h"
#include "LocalHttpServer.h"
#include "SettingsWindowController.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlex;
using test::LocalHttpServer;

namespace {

QString name()
{
    return QString::fromLatin1(DBusService::serviceName);
}

class DBusServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (scripts/test.sh runs the suites under dbus-run-session)";
        ASSERT_TRUE(server.listen());
        TranslationEndpoints endpoints = savedEndpoints;
        endpoints.google = server.baseUrl();
        TranslationService::setEndpoints(endpoints);
        server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(QStringLiteral("translated"), "he"));
    }

    void TearDown() override { TranslationService::setEndpoints(savedEndpoints); }

    std::unique_ptr<AppDelegate> launch(const QStringList& userArguments = {})
    {
        auto delegate = std::make_unique<AppDelegate>(platform, QStringList{"vorlex"} + userArguments);
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

    // Calls a method from a connection of its own, so the call really crosses the bus, and runs
    // the event loop until the answer is back. Returns the error name, empty on success.
    QString call(const char* method, const QString& argument)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(name(), QString::fromLatin1(DBusService::objectPath),
                                                              QString::fromLatin1(DBusService::interfaceName),
                                                              QString::fromLatin1(method));
        message << argument;
        QDBusPendingCall pending = client.asyncCall(message, 5000);
        if (!test::waitUntil([&] { return pending.isFinished(); }, 6000))
            return QStringLiteral("no answer");
        return pending.isError() ? pending.error().name() : QString();
    }

    static QString popupText(AppDelegate& delegate)
    {
        TranslationWindowController* popup = delegate.existingTranslationWindow();
        return popup ? popup->translationVC->originalText : QString();
    }

    FakePlatform platform;
    LocalHttpServer server;
    TranslationEndpoints savedEndpoints = TranslationService::endpoints();
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("test-client"));
};

TEST_F(DBusServiceTest, LaunchExportsTheObjectAndOwnsTheName)
{
    auto delegate = launch();
    ASSERT_NE(delegate->services(), nullptr);
    EXPECT_TRUE(delegate->services()->isRegistered());
    EXPECT_TRUE(client.interface()->isServiceRegistered(name()).value());

    // Introspection shows the five methods under the interface, each taking one string.
    QDBusMessage introspect = QDBusMessage::createMethodCall(name(), QString::fromLatin1(DBusService::objectPath),
                                                             QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                             QStringLiteral("Introspect"));
    QDBusPendingCall pending = client.asyncCall(introspect);
    ASSERT_TRUE(test::waitUntil([&] { return pending.isFinished(); }));
    const QString xml = pending.reply().arguments().value(0).toString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<interface name=\"org.vorlex.Vorlex\">")));
    for (const char* method :
         {"TranslateText", "ConvertKeyboardLayout", "TranslateAndReplace", "OpenURL", "HandleArgument"}) {
        SCOPED_TRACE(method);
        const QRegularExpression oneString(
            QStringLiteral("<method name=\"%1\">\\s*<arg name=\"\\w+\" type=\"s\" direction=\"in\"/>\\s*</method>")
                .arg(QLatin1String(method)));
        EXPECT_TRUE(oneString.match(xml).hasMatch()) << xml.toStdString();
    }

    delegate.reset();
    EXPECT_TRUE(test::waitUntil([&] { return !client.interface()->isServiceRegistered(name()).value(); }))
        << "the name goes with the controller";
}

TEST_F(DBusServiceTest, EachMethodReachesItsAction)
{
    struct Case {
        const char* method;
        QString argument;
        int advanceMs; // virtual time let pass after the call
        QString popup; // empty: no popup
        TranslationMode mode;
        bool settings;
    };
    const Case cases[] = {
        {"TranslateText", "hello world", 0, "hello world", TranslationMode::translate, false},
        {"ConvertKeyboardLayout", "akuo", 0, "akuo", TranslationMode::keyboardLayout, false},
        {"OpenURL", "vorlex:?text=1+1%2B1", 0, "1+1+1", TranslationMode::translate, false},
        {"OpenURL", "vorlex://translate/hello/", 0, "hello", TranslationMode::translate, false},
        {"OpenURL", "vorlex://hello", 0, {}, TranslationMode::translate, false},
        {"HandleArgument", "--settings", 0, {}, TranslationMode::translate, true},
        {"HandleArgument", "vorlex:?text=%D7%A9%D7%9C%D7%95%D7%9D", AppDelegate::launchArgumentDelayMs, "שלום",
         TranslationMode::translate, false},
        {"HandleArgument", "vorlex:abc", AppDelegate::launchArgumentDelayMs, "vorlex:abc", TranslationMode::translate,
         false},
        {"TranslateText", "", 1000, {}, TranslationMode::translate, false},
        {"ConvertKeyboardLayout", "", 1000, {}, TranslationMode::translate, false},
        {"OpenURL", "", 1000, {}, TranslationMode::translate, false},
        {"HandleArgument", "", 1000, {}, TranslationMode::translate, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.argument.toStdString());
        auto delegate = launch();
        platform.fakeWindowSystem.active = 31;
        EXPECT_EQ(call(c.method, c.argument), QString());
        if (c.advanceMs > 1) {
            platform.fakeScheduler.advance(c.advanceMs - 1);
            EXPECT_EQ(delegate->existingTranslationWindow(), nullptr) << "not before the delay";
        }
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(popupText(*delegate), c.popup);
        if (!c.popup.isEmpty()) {
            TranslationViewController* content = delegate->existingTranslationWindow()->translationVC;
            EXPECT_EQ(content->mode, c.mode);
            EXPECT_EQ(content->sourceApp, 31u);
            EXPECT_TRUE(delegate->existingTranslationWindow()->window()->isVisible());
        }
        EXPECT_EQ(delegate->settingsWindow() != nullptr, c.settings);
        EXPECT_TRUE(platform.fakeClipboard.writes.isEmpty());
    }
}

TEST_F(DBusServiceTest, TranslateAndReplaceWritesTheClipboardAndPastes)
{
    auto delegate = launch();
    platform.fakeClipboard.externalCopy(QStringLiteral("before"));
    platform.log.clear();

    EXPECT_EQ(call("TranslateAndReplace", QString()), QString());
    platform.fakeScheduler.advance(1000);
    EXPECT_EQ(server.requestCount(), 0) << "an empty text does nothing";

    EXPECT_EQ(call("TranslateAndReplace", QStringLiteral("שלום עולם")), QString());
    ASSERT_TRUE(test::waitUntil([&] { return platform.log.contains(QStringLiteral("paste")); }));
    EXPECT_EQ(platform.log, (QStringList{"setText translated", "paste"})) << "clipboard first, then Ctrl+V, no copy";
    EXPECT_EQ(platform.fakeClipboard.text(), "translated");
    EXPECT_TRUE(server.requests().at(0).query().contains("tl=en")) << "Hebrew text goes to English";
    EXPECT_EQ(delegate->existingTranslationWindow(), nullptr) << "nothing shown";

    // A failed translation leaves the clipboard and the selection alone.
    platform.log.clear();
    server.setDefaultReply(LocalHttpServer::Reply::text("busy", 503));
    EXPECT_EQ(call("TranslateAndReplace", QStringLiteral("again")), QString());
    ASSERT_TRUE(server.waitForRequests(2));
    bool answered = false;
    TranslationService::translate(QStringLiteral("queued behind"), AppSettings{}, std::nullopt, nullptr,
                                  [&](const TranslationOutcome&) { answered = true; });
    ASSERT_TRUE(test::waitUntil([&] { return answered; }));
    EXPECT_TRUE(platform.log.isEmpty()) << platform.log.join(", ").toStdString();
    EXPECT_EQ(platform.fakeClipboard.text(), "translated");
}

TEST_F(DBusServiceTest, RegistrationWithoutABusOrWithTheNameTaken)
{
    AppDelegate delegate(platform, {"vorlex"});
    const QDBusConnection noBus(QStringLiteral("never connected"));
    DBusService lonely(&delegate);
    EXPECT_EQ(lonely.registerOn(noBus), DBusService::Registration::noBus);
    EXPECT_FALSE(DBusService::forwardToRunningInstance(noBus, {"vorlex", "hello"})) << "start as usual";

    EXPECT_FALSE(DBusService::forwardToRunningInstance(QDBusConnection::sessionBus(), {"vorlex", "hello"}))
        << "nobody owns the name yet";

    DBusService first(&delegate);
    ASSERT_EQ(first.registerOn(QDBusConnection::sessionBus()), DBusService::Registration::registered);
    DBusService second(&delegate);
    EXPECT_EQ(second.registerOn(client), DBusService::Registration::nameTaken) << "never taken from its owner";
    EXPECT_FALSE(second.isRegistered());
    EXPECT_TRUE(first.isRegistered());
}

TEST(DBusServiceURLTest, TextQueryItemElsePathElseNothing)
{
    struct Case {
        const char* url;
        const char* text; // empty: nothing happens
    };
    const Case cases[] = {
        {"vorlex://anyhost?text=hello%20world", "hello world"},
        {"vorlex:///hello%20world", "hello world"},
        {"vorlex://translate/hello", "hello"},
        {"vorlex://hello", ""},
        {"vorlex://hello?text=", ""},
        {"vorlex:///abc?text=", "abc"},
        {"vorlex:///abc?text", "abc"},
        {"vorlex:?text=1+1", "1+1"},
        {"vorlex:?text=1%2B1", "1+1"},
        {"vorlex:abc", "abc"},
        {"vorlex:?text=שלום עולם", "שלום עולם"},
        {"vorlex:?text=%D7%A9%D7%9C%D7%95%D7%9D", "שלום"},
        {"vorlex:?other=x&text=first&text=second", "first"},
        {"vorlex:?%74ext=decoded%20name", "decoded name"},
        {"vorlex:?texts=no&Text=no", ""},
        {"vorlex:?text=a%26b%3Dc#fragment", "a&b=c"},
        {"vorlex://host//a/b//", "a/b"},
        {"vorlex:///", ""},
        {"https://example.com/?text=any%20scheme", "any scheme"},
        {"vorlex://[broken", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(AppDelegate::urlEventText(QString::fromUtf8(c.url)), QString::fromUtf8(c.text));
    }
}

class DBusServiceSecondInstanceTest : public DBusServiceTest {
protected:
    // Runs the real program as a second launch while this process owns the name, answering its
    // call meanwhile. Returns its exit code, or -1 when it did not end normally in time.
    int runSecondLaunch(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex"), arguments);
        if (!process.waitForStarted(5000))
            return -1;
        const bool ended = test::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000);
        if (!ended) {
            process.kill();
            process.waitForFinished(2000);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

TEST_F(DBusServiceSecondInstanceTest, ASecondLaunchHandsItsArgumentOverAndExits)
{
    auto delegate = launch();
    ASSERT_TRUE(delegate->services()->isRegistered());

    EXPECT_EQ(runSecondLaunch({QStringLiteral("--settings")}), 0);
    ASSERT_NE(delegate->settingsWindow(), nullptr);
    EXPECT_TRUE(delegate->settingsWindow()->window()->isVisible());

    EXPECT_EQ(runSecondLaunch({QStringLiteral("vorlex:?text=שלום+עולם")}), 0);
    platform.fakeScheduler.advance(AppDelegate::launchArgumentDelayMs);
    EXPECT_EQ(popupText(*delegate), QStringLiteral("שלום+עולם"));

    delegate->existingTranslationWindow()->window()->hide();
    delegate->settingsWindow()->window()->hide();
    EXPECT_EQ(runSecondLaunch({}), 0);
    platform.fakeScheduler.advance(1000);
    EXPECT_FALSE(delegate->existingTranslationWindow()->window()->isVisible()) << "a plain second launch does nothing";
    EXPECT_FALSE(delegate->settingsWindow()->window()->isVisible());
    EXPECT_TRUE(client.interface()->isServiceRegistered(name()).value()) << "the first instance keeps the name";
}

TEST_F(DBusServiceSecondInstanceTest, WithoutASessionBusTheProgramStillRuns)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex"), QStringList{});
    ASSERT_TRUE(program.waitForStarted(5000));

    // Its tray icon is its first window with a class: the launch went past the missing bus.
    const auto trayShown = [] {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("^vorlex$")});
        return search.waitForFinished(5000) && !search.readAllStandardOutput().trimmed().isEmpty();
    };
    EXPECT_TRUE(test::waitUntil(trayShown, 15000));
    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
}

} // namespace
