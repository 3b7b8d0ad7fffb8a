#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;
using Actions = std::vector<Action>;
constexpr quint32 Ctrl = ControlModifier, Shift = ShiftModifier, Alt = AltModifier, Super = SuperModifier;

// What the platform is asked to watch for, in the order translate, layout, replace: exact modifiers
// ("cmd" is Ctrl, "ctrl" Super, "opt" Alt, other tokens ignored), the key by its lower-case name, an
// unassigned key or one outside the 46 left out.
TEST(HotkeyManagerTest, HandsThePlatformTheAssignedHotkeys)
{
    AppSettings settings;
    settings.hotkeyLayoutConvert = {{"ctrl", "opt", "Shift", "fn"}, "="};
    settings.hotkeyReplaceText = {{"cmd"}, "א"};
    EXPECT_EQ(HotkeyManager::hotkeys(settings), (QList<Hotkey>{{"translate", "תרגם טקסט שנבחר", "t", Ctrl | Shift},
                                                               {"layout", "החלף פריסת מקלדת", "=", Super | Alt}}));
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
    manager->installMonitor(platform);
    settings.targetLanguage = "en";
    manager->applySettings(settings);
    settings.hotkeyReplaceText = {{"opt"}, "t"};
    manager->applySettings(settings);
    EXPECT_EQ(platform.fakeHotkeys.binds, (QList{HotkeyManager::hotkeys({}), HotkeyManager::hotkeys(settings)}));

    platform.fakeHotkeys.press("replace");
    platform.fakeHotkeys.press("paste");
    EXPECT_TRUE(fired.empty());
    manager->actionHandler = [&fired](Action action) { fired.assign(2, action); };
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));

    platform.fakeHotkeys.press("translate");
    manager.reset();
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));
}

} // namespace
