#include "AppDelegate.h"

#include "AppFixture.h"
#include "SettingsWindowController.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace vorlex::test;

namespace {

class AppDelegateTest : public AppFixture {};

// The launch acts on its request: a text argument 0.1 s later, a link at once, a hotkey by capturing.
TEST_F(AppDelegateTest, TheLaunchRequestDecidesWhatOpens)
{
    platform.selectText(u"akuo"_s);
    using enum TranslationMode;
    const std::tuple<QStringList, std::optional<Shown>, int, bool> cases[] = {
        {{}, std::nullopt, 0, false},
        {{u"--settings"_s}, std::nullopt, 0, true},
        {{u"vorlex:?text=a"_s}, Shown{translate, u"a"_s, 7}, ActionRunner::launchTextDelayMs, false},
        {{u"--open-url"_s, u"vorlex:a"_s}, Shown{translate, u"a"_s, 7}, 0, false},
        {{u"--hotkey"_s, u"layout"_s}, Shown{keyboardLayout, u"akuo"_s, 7}, 0, false},
    };
    for (const auto& [arguments, shown, atMs, settings] : cases) {
        SCOPED_TRACE(arguments.join(u' '));
        AppDelegate launched(platform, endpoints, std::get<LaunchRequest>(LaunchRequest::parse(arguments)));
        platform.fakeWindowSystem.active = 7;
        launched.applicationDidFinishLaunching();
        platform.fakeScheduler.advance(atMs - 1);
        EXPECT_EQ(shownBy(launched.runner()).has_value(), shown && atMs == 0);
        platform.fakeScheduler.advance(1);
        EXPECT_EQ(shownBy(launched.runner()), shown);
        const SettingsWindowController* window = launched.runner().settingsWindow();
        EXPECT_EQ(window && window->window()->isVisible(), settings);
    }
}

TEST_F(AppDelegateTest, AHotkeyPressRunsItsAction)
{
    delegate.applicationDidFinishLaunching();
    platform.selectText(u"akuo"_s);
    platform.fakeInputObserver.pressKey({45, ControlModifier | ShiftModifier}); // Ctrl+Shift+K
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(popup(), (Shown{TranslationMode::keyboardLayout, u"akuo"_s, 0}));
}

} // namespace
