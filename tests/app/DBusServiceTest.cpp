#include "DBusService.h"

#include "AppDelegate.h"
#include "FakePlatform.h"
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "TranslationService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vorlex;
using test::LocalHttpServer;

namespace {

class DBusServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (scripts/test.sh runs the suites under dbus-run-session)";
        TranslationService::setEndpoints({server.baseUrl()});
        server.setDefaultReply(LocalHttpServer::Reply::googleTranslation(u"translated"_s));
        delegate.applicationDidFinishLaunching();
    }
    void TearDown() override { TranslationService::setEndpoints(saved); }

    // From a connection of its own, so the call really crosses the bus; returns once answered.
    void call(const char* method, const QString& argument)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(DBusService::serviceName, DBusService::objectPath,
                                                              DBusService::interfaceName, QLatin1String(method));
        QDBusPendingCall pending = client.asyncCall(message << argument);
        ASSERT_TRUE(test::waitUntil([&] { return pending.isFinished(); }));
        platform.fakeScheduler.advance(1000);
    }
    TranslationViewController* popup() const
    {
        return delegate.existingTranslationWindow() ? delegate.existingTranslationWindow()->translationVC : nullptr;
    }

    const TranslationEndpoints saved = TranslationService::endpoints();
    LocalHttpServer server;
    FakePlatform platform;
    AppDelegate delegate{platform, {u"vorlex"_s}};
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"test-client"_s);
};

// The rules each action follows are the controller's (its own tests); here: each method reaches it.
TEST_F(DBusServiceTest, EachMethodReachesItsAction)
{
    const std::tuple<const char*, QString, QString, TranslationMode> cases[] = {
        {"TranslateText", u"text"_s, u"text"_s, TranslationMode::translate},
        {"ConvertKeyboardLayout", u"akuo"_s, u"akuo"_s, TranslationMode::keyboardLayout},
        {"OpenURL", u"vorlex:///url%20text"_s, u"url text"_s, TranslationMode::translate},
        {"HandleArgument", u"vorlex:?text=argument"_s, u"argument"_s, TranslationMode::translate},
        {"RunHotkeyAction", u"layout"_s, u"selected"_s, TranslationMode::keyboardLayout},
    };
    platform.selectText(u"selected"_s);
    for (const auto& [method, argument, text, mode] : cases) {
        SCOPED_TRACE(method);
        call(method, argument);
        ASSERT_NE(popup(), nullptr);
        EXPECT_EQ(popup()->originalText, text);
        EXPECT_EQ(popup()->mode, mode);
    }
    call("TranslateAndReplace", u"שלום"_s);
    EXPECT_TRUE(test::waitUntil([&] { return platform.log.contains(u"setText translated"_s); }));
}

// A second launch hands its arguments to the instance that owns the name, and exits.
TEST_F(DBusServiceTest, ASecondLaunchForwardsToTheRunningInstance)
{
    DBusService second(&delegate);
    EXPECT_EQ(second.registerOn(client), DBusService::Registration::nameTaken);
    const auto secondLaunch = [](const QStringList& arguments) {
        return test::run(QStringLiteral(VORLEX_BINARY_DIR "/app/vorlex"), arguments, {}, 15000).exitCode;
    };
    EXPECT_EQ(secondLaunch({u"--open-url"_s, u"vorlex:///hello%20world"_s}), 0);
    platform.fakeScheduler.advance(1000);
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(popup()->originalText, u"hello world"_s);
}

} // namespace
