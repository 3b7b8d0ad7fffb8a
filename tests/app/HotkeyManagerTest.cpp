#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;
using Actions = std::vector<Action>;
constexpr quint32 Ctrl = ControlModifier, Shift = ShiftModifier, Alt = AltModifier, Super = SuperModifier;

// What the platform is asked to watch for, in the order translate, layout, replace: exact modifiers
// ("cmd" is Ctrl, "ctrl" Super, "opt" Alt), the key by its lower-case name, unassigned keys and keys
// outside the 46 left out. The layout hotkey stays the default Ctrl+Shift+K, replace unassigned.
TEST(HotkeyManagerTest, HandsThePlatformTheAssignedHotkeys)
{
    const Hotkey layout{"layout", "החלף פריסת מקלדת", "k", Ctrl | Shift};
    const std::tuple<const char*, HotkeyConfig, QList<Hotkey>> cases[] = {
        {"the default", {{"cmd", "shift"}, "T"}, {{"translate", "תרגם טקסט שנבחר", "t", Ctrl | Shift}, layout}},
        {"ctrl is Super, opt Alt; unknown tokens ignored",
         {{"ctrl", "opt", "Shift", "fn"}, "="},
         {{"translate", "תרגם טקסט שנבחר", "=", Super | Alt}, layout}},
        {"a key outside the 46", {{"cmd"}, "א"}, {layout}},
        {"unassigned", {}, {layout}},
    };
    for (const auto& [name, translate, expected] : cases) {
        SCOPED_TRACE(name);
        AppSettings settings;
        settings.hotkeyTranslate = translate;
        EXPECT_EQ(HotkeyManager::hotkeys(settings), expected);
    }
}

// Bound once installed, and again only through applySettings when the hotkeys changed (each bind may
// show the user a dialog). Each press runs after the key event, for the handler set by then; a
// manager gone takes its queue along.
TEST(HotkeyManagerTest, BindsThroughThePlatformAndQueuesEachPress)
{
    FakePlatform platform;
    auto manager = std::make_unique<HotkeyManager>();
    Actions fired;
    manager->actionHandler = [&fired](Action action) { fired.push_back(action); };
    AppSettings settings;
    manager->applySettings(settings);
    EXPECT_TRUE(platform.fakeHotkeys.binds.isEmpty());
    manager->installMonitor(platform);
    settings.targetLanguage = "en";
    manager->applySettings(settings);
    settings.hotkeyReplaceText = {{"opt"}, "t"};
    manager->applySettings(settings);
    ASSERT_EQ(platform.fakeHotkeys.binds.size(), 2);
    EXPECT_EQ(platform.fakeHotkeys.binds[1], HotkeyManager::hotkeys(settings));

    platform.fakeHotkeys.press("replace");
    platform.fakeHotkeys.press("paste");
    EXPECT_TRUE(fired.empty());
    manager->actionHandler = [&fired](Action action) { fired.assign(2, action); };
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));

    manager->applySettings(std::nullopt);
    EXPECT_TRUE(platform.fakeHotkeys.binds.last().isEmpty()) << "nothing bound without settings";
    platform.fakeHotkeys.press("translate");
    manager.reset();
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));
}

} // namespace
