#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;
using Actions = std::vector<Action>;
constexpr quint32 Ctrl = ControlModifier, Shift = ShiftModifier, Alt = AltModifier, Super = SuperModifier;
constexpr quint32 keyT = 28, keyK = 45, keyR = 27;

AppSettings withHotkeys(HotkeyConfig translate, HotkeyConfig layout = {}, HotkeyConfig replace = {})
{
    AppSettings settings;
    settings.hotkeyTranslate = std::move(translate);
    settings.hotkeyLayoutConvert = std::move(layout);
    settings.hotkeyReplaceText = std::move(replace);
    return settings;
}

// 46 key names, each on its own physical key, and each key leads back to its name.
TEST(HotkeyManagerTest, KeyNamesArePhysicalKeysOneToOne)
{
    int named = 0;
    for (quint32 keycode = 0; keycode < 256; ++keycode) {
        const auto name = HotkeyManager::keyNameForKeycode(keycode);
        named += name ? 1 : 0;
        EXPECT_TRUE(!name || HotkeyManager::keycodeForKeyName(*name) == keycode) << keycode;
    }
    EXPECT_EQ(named, 46);
}

// Modifiers must be exactly the bound ones: "cmd" is Ctrl, "ctrl" Super, "opt" Alt.
TEST(HotkeyManagerTest, MatchesKeyAndExactModifiers)
{
    const AppSettings defaults;
    struct Case {
        const char* name;
        AppSettings settings;
        KeyPress press;
        std::optional<Action> expected;
    };
    const Case cases[] = {
        {"default translate, upper-case T", defaults, {keyT, Ctrl | Shift}, Action::translate},
        {"default layout", defaults, {keyK, Ctrl | Shift}, Action::layoutConvert},
        {"extra modifier", defaults, {keyT, Ctrl | Shift | Super}, std::nullopt},
        {"other key", defaults, {keyR, Ctrl | Shift}, std::nullopt},
        {"ctrl token is Super", withHotkeys({{"ctrl"}, "t"}), {keyT, Super}, Action::translate},
        {"opt token is Alt", withHotkeys({{"opt", "shift"}, "k"}), {keyK, Alt | Shift}, Action::translate},
        {"unknown tokens ignored", withHotkeys({{"cmd", "Shift", "fn"}, "t"}), {keyT, Ctrl}, Action::translate},
        {"bare key binding", withHotkeys({}, {}, {{}, "r"}), {keyR, 0}, Action::replaceText},
        {"same key: the first binding wins",
         withHotkeys({}, {{"opt"}, "k"}, {{"opt"}, "K"}),
         {keyK, Alt},
         Action::layoutConvert},
        {"key name outside the table", withHotkeys({{"cmd"}, "א"}), {keyT, Ctrl}, std::nullopt},
        {"unassigned never fires", withHotkeys({{"cmd"}, ""}), {0, Ctrl}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HotkeyManager::match(HotkeyManager::compile(c.settings), c.press), c.expected);
    }
}

TEST(HotkeyMonitorTest, QueuesMatchesForTheHandlerOfThatTime)
{
    FakePlatform platform;
    auto manager = std::make_unique<HotkeyManager>();
    Actions fired;
    manager->actionHandler = [&fired](Action action) { fired.push_back(action); };
    manager->currentSettings = AppSettings{};
    manager->installMonitor(platform);
    const auto press = [&](KeyPress key) {
        fired.clear();
        platform.fakeInputObserver.pressKey(key);
        EXPECT_TRUE(fired.empty()) << "never run inside the observer's callback";
        platform.fakeScheduler.advance(0);
        return fired;
    };
    EXPECT_EQ(press({keyT, Ctrl | Shift}), Actions{Action::translate});
    manager->currentSettings = withHotkeys({{"opt"}, "t"}); // applies to the next press
    EXPECT_EQ(press({keyT, Ctrl | Shift}), Actions{});
    EXPECT_EQ(press({keyT, Alt}), Actions{Action::translate});
    manager->currentSettings = std::nullopt;
    EXPECT_EQ(press({keyT, Alt}), Actions{});

    // The handler set when the queued call runs gets it; a manager gone takes its queue along.
    manager->currentSettings = AppSettings{};
    platform.fakeInputObserver.pressKey({keyK, Ctrl | Shift});
    Actions later;
    manager->actionHandler = [&later](Action action) { later.push_back(action); };
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(later, Actions{Action::layoutConvert});
    platform.fakeInputObserver.pressKey({keyK, Ctrl | Shift});
    manager.reset();
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(later.size(), 1u);
}

} // namespace
