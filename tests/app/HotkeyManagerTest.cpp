#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;
using Actions = std::vector<Action>;
constexpr quint32 Ctrl = ControlModifier, Shift = ShiftModifier, Alt = AltModifier, Super = SuperModifier;
constexpr quint32 keyT = 28, keyK = 45;

// Exact modifiers; "cmd" is Ctrl, "ctrl" Super, "opt" Alt. The layout hotkey stays Ctrl+Shift+K.
TEST(HotkeyManagerTest, MatchesKeyAndExactModifiers)
{
    const HotkeyConfig ctrlShiftT{{"cmd", "shift"}, "T"};
    const std::tuple<const char*, HotkeyConfig, KeyPress, std::optional<Action>> cases[] = {
        {"translate", ctrlShiftT, {keyT, Ctrl | Shift}, Action::translate},
        {"layout", ctrlShiftT, {keyK, Ctrl | Shift}, Action::layoutConvert},
        {"extra modifier", ctrlShiftT, {keyT, Ctrl | Shift | Super}, std::nullopt},
        {"ctrl token is Super", {{"ctrl"}, "t"}, {keyT, Super}, Action::translate},
        {"opt token is Alt", {{"opt", "shift"}, "t"}, {keyT, Alt | Shift}, Action::translate},
        {"unknown tokens ignored", {{"cmd", "Shift", "fn"}, "t"}, {keyT, Ctrl}, Action::translate},
        {"same as layout: the first wins", {{"cmd", "shift"}, "k"}, {keyK, Ctrl | Shift}, Action::translate},
        {"key outside the table", {{"cmd"}, "א"}, {keyT, Ctrl}, std::nullopt},
    };
    for (const auto& [name, translate, press, expected] : cases) {
        SCOPED_TRACE(name);
        AppSettings settings;
        settings.hotkeyTranslate = translate;
        EXPECT_EQ(HotkeyManager::match(HotkeyManager::compile(settings), press), expected);
    }
}

// Each match runs after the key event, for the handler set by then; new settings apply at the next
// press; a manager gone takes its queue along.
TEST(HotkeyMonitorTest, QueuesMatchesForTheHandlerOfThatTime)
{
    FakePlatform platform;
    auto manager = std::make_unique<HotkeyManager>();
    Actions fired;
    manager->actionHandler = [&fired](Action action) { fired.push_back(action); };
    manager->currentSettings = AppSettings{};
    manager->installMonitor(platform);
    platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift});
    EXPECT_TRUE(fired.empty());
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions{Action::translate});

    AppSettings settings;
    settings.hotkeyReplaceText = {{"opt"}, "t"};
    manager->currentSettings = settings;
    platform.fakeInputObserver.pressKey({keyT, Alt});
    manager->actionHandler = [&fired](Action action) { fired.assign(2, action); };
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));
    manager->currentSettings = std::nullopt;
    platform.fakeInputObserver.pressKey({keyT, Alt});
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText)) << "nothing matches without settings";
    manager->currentSettings = AppSettings{};
    platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift});
    manager.reset();
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions(2, Action::replaceText));
}

// Where the desktop keeps the shortcuts: each bound under its --hotkey name, with the desktop's key
// names; asked again only when the keys change (each bind may show the user a dialog).
TEST(HotkeyMonitorTest, BindsWithTheDesktopsShortcutService)
{
    FakePlatform platform;
    platform.fakeShortcuts.offered = true;
    HotkeyManager manager;
    Actions fired;
    manager.actionHandler = [&fired](Action action) { fired.push_back(action); };
    AppSettings settings;
    settings.hotkeyReplaceText = {{"ctrl", "opt"}, "="};
    manager.currentSettings = settings;
    manager.installMonitor(platform);
    const QList<GlobalShortcuts::Shortcut> bound = {{"translate", "תרגם טקסט שנבחר", "CTRL+SHIFT+t"},
                                                    {"layout", "החלף פריסת מקלדת", "CTRL+SHIFT+k"},
                                                    {"replace", "תרגם והחלף טקסט", "ALT+LOGO+equal"}};
    settings.targetLanguage = "en";
    manager.currentSettings = settings;
    settings.hotkeyReplaceText = {};
    manager.currentSettings = settings;
    EXPECT_EQ(platform.fakeShortcuts.binds, (QList<QList<GlobalShortcuts::Shortcut>>{bound, bound.mid(0, 2)}));

    platform.fakeShortcuts.activate("layout");
    platform.fakeShortcuts.activate("paste");
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, Actions{Action::layoutConvert});
}

} // namespace
