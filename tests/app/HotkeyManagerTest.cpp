#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;
constexpr quint32 Ctrl = ControlModifier, Shift = ShiftModifier, Alt = AltModifier, Super = SuperModifier;

// The platform takes the assigned hotkeys in the order translate, layout, replace, screen: exact modifiers
// ("cmd" is Ctrl, "ctrl" Super, "opt" Alt, other tokens ignored), the key by its lower-case name, an
// unassigned key or one outside the 46 left out. Bound once installed, and again at each
// applySettings, unchanged too (the platform binds again what the desktop dropped). Each press runs after the key
// event, for the handler set by then; a manager gone takes its queue and its hotkeys along.
TEST(HotkeyManagerTest, BindsTheAssignedHotkeysAndQueuesEachPress)
{
    FakePlatform platform;
    auto manager = std::make_unique<HotkeyManager>();
    std::vector<Action> fired;
    manager->actionHandler = [&fired](Action action) { fired.push_back(action); };
    AppSettings settings;
    manager->applySettings(settings);
    manager->installMonitor(platform);
    settings.hotkeyLayoutConvert = {{"ctrl", "opt", "Shift", "fn"}, "="};
    settings.hotkeyReplaceText = {{"cmd"}, "א"};
    settings.hotkeyTranslateScreen = {{"cmd", "opt"}, "O"};
    manager->applySettings(settings);
    manager->applySettings(settings);
    const Hotkey translate{"translate", "תרגם טקסט שנבחר", "t", Ctrl | Shift};
    const QList<Hotkey> changed{
        translate, {"layout", "החלף פריסת מקלדת", "=", Super | Alt}, {"screen", "תרגם טקסט מהמסך", "o", Ctrl | Alt}};
    EXPECT_EQ(platform.fakeHotkeys.binds,
              (QList<QList<Hotkey>>{{translate, {"layout", "החלף פריסת מקלדת", "k", Ctrl | Shift}}, changed, changed}));

    platform.fakeHotkeys.press("layout");
    platform.fakeHotkeys.press("paste");
    EXPECT_TRUE(fired.empty());
    manager->actionHandler = [&fired](Action action) { fired.assign(2, action); };
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, std::vector(2, Action::layoutConvert));

    platform.fakeHotkeys.press("translate");
    manager.reset();
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, std::vector(2, Action::layoutConvert));
    EXPECT_TRUE(platform.fakeHotkeys.binds.last().isEmpty() && !platform.fakeHotkeys.press);

    // A platform gone is let go of (the process-wide manager outlives the program's), and the next installs.
    HotkeyManager survivor;
    survivor.installMonitor(*std::make_unique<FakePlatform>()); // gone at the end of the statement
    survivor.applySettings(settings);
    survivor.installMonitor(platform);
    EXPECT_EQ(platform.fakeHotkeys.binds.last(), changed);
}

} // namespace
