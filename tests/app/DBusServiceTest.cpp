#include "DBusService.h"

#include "AppFixture.h"
#include "SettingsWindowController.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

class DBusServiceTest : public AppFixture {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (scripts/test.sh runs the suites under dbus-run-session)";
        ASSERT_EQ(services.registerOn(QDBusConnection::sessionBus()), DBusService::Registration::registered);
    }

    // From a connection of its own, so the call really crosses the bus; returns once answered.
    void call(const char* method, const QString& argument)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(DBusService::serviceName, DBusService::objectPath,
                                                              DBusService::interfaceName, QLatin1String(method));
        QDBusPendingCall pending = client.asyncCall(message << argument);
        ASSERT_TRUE(waitUntil([&] { return pending.isFinished(); }));
        platform.fakeScheduler.advance(1000);
    }

    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"test-client"_s);
};

// The rules each action follows are the runner's and the launch request's (a launch hands its own
// request to the same runner); here: each method reaches its action.
TEST_F(DBusServiceTest, EachMethodReachesItsAction)
{
    using enum TranslationMode;
    const std::tuple<const char*, QString, Shown> cases[] = {
        {"TranslateText", u"text"_s, {translate, u"text"_s, 5}},
        {"ConvertKeyboardLayout", u"akuo"_s, {keyboardLayout, u"akuo"_s, 5}},
        {"OpenURL", u"vorlex:///url%20text"_s, {translate, u"url text"_s, 5}},
        {"HandleArgument", u"vorlex:?text=argument"_s, {translate, u"argument"_s, 5}},
        {"RunHotkeyAction", u"layout"_s, {keyboardLayout, u"selected"_s, 5}},
        {"TranslateText", QString(), {keyboardLayout, u"selected"_s, 5}}, // an empty text does nothing
        {"HandleArgument", u"--settings"_s, {keyboardLayout, u"selected"_s, 5}},
    };
    platform.selectText(u"selected"_s);
    for (const auto& [method, argument, shown] : cases) {
        SCOPED_TRACE(method);
        platform.active = 5;
        call(method, argument);
        EXPECT_EQ(popup(), shown);
    }
    EXPECT_TRUE(runner.settingsWindow() && runner.settingsWindow()->window()->isVisible());
    call("TranslateAndReplace", u"שלום"_s);
    EXPECT_TRUE(waitUntil([&] { return platform.log.contains(u"setText translated"_s); }));
}

} // namespace
