#include "HotkeyManager.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

#include <set>

using namespace vorlex;

namespace {

using Action = HotkeyManager::Action;

constexpr quint32 Ctrl = ControlModifier;
constexpr quint32 Shift = ShiftModifier;
constexpr quint32 Alt = AltModifier;
constexpr quint32 Super = SuperModifier;
constexpr quint32 keyT = 28;
constexpr quint32 keyK = 45;
constexpr quint32 keyR = 27;

AppSettings withHotkeys(HotkeyConfig translate, HotkeyConfig layout, HotkeyConfig replace = {})
{
    AppSettings settings;
    settings.hotkeyTranslate = std::move(translate);
    settings.hotkeyLayoutConvert = std::move(layout);
    settings.hotkeyReplaceText = std::move(replace);
    return settings;
}

TEST(HotkeyManagerTest, ActionRawValues)
{
    EXPECT_EQ(HotkeyManager::actionFromRawValue(1), Action::translate);
    EXPECT_EQ(HotkeyManager::actionFromRawValue(2), Action::layoutConvert);
    EXPECT_EQ(HotkeyManager::actionFromRawValue(3), Action::replaceText);
    EXPECT_EQ(HotkeyManager::actionFromRawValue(0), std::nullopt);
    EXPECT_EQ(HotkeyManager::actionFromRawValue(4), std::nullopt);
    EXPECT_EQ(HotkeyManager::actionFromRawValue(-1), std::nullopt);
}

TEST(HotkeyManagerTest, KeyTableUsesPhysicalUsKeycodes)
{
    struct Case {
        QString key;
        std::optional<quint32> keycode;
    };
    const Case cases[] = {
        {"t", 28},  {"T", 28}, {"k", 45}, {"a", 38},  {"c", 54},  {"v", 55}, {"q", 24},     {"m", 58},
        {"1", 10},  {"0", 19}, {"=", 21}, {"-", 20},  {"[", 34},  {"]", 35}, {";", 47},     {"'", 48},
        {"\\", 51}, {",", 59}, {".", 60}, {"/", 61},  {"`", {}},  {" ", {}}, {"space", {}}, {"tab", {}},
        {"F1", {}}, {"", {}},  {"ש", {}}, {"tt", {}}, {"\t", {}}, {"+", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        EXPECT_EQ(HotkeyManager::keycodeForKeyName(c.key), c.keycode);
    }

    // 46 names on 46 distinct keys, and each keycode leads back to its name.
    const QString names = QStringLiteral("asdfhgzxcvbqweryt123465=97-80]ou[ip'lj'k;\\,/nm.");
    std::set<quint32> keycodes;
    std::set<QChar> seen;
    for (QChar name : names) {
        if (!seen.insert(name).second)
            continue;
        const auto keycode = HotkeyManager::keycodeForKeyName(QString(name));
        ASSERT_TRUE(keycode) << QString(name).toStdString();
        keycodes.insert(*keycode);
        EXPECT_EQ(HotkeyManager::keyNameForKeycode(*keycode), QString(name));
    }
    EXPECT_EQ(seen.size(), 46u);
    EXPECT_EQ(keycodes.size(), 46u);
    EXPECT_EQ(HotkeyManager::keyNameForKeycode(65), std::nullopt) << "space is not a hotkey key";
}

TEST(HotkeyManagerTest, ModifierTokensFollowTheDesktopConvention)
{
    struct Case {
        QStringList tokens;
        quint32 mask;
    };
    const Case cases[] = {
        {{}, 0},
        {{"cmd"}, Ctrl},
        {{"ctrl"}, Super},
        {{"opt"}, Alt},
        {{"shift"}, Shift},
        {{"cmd", "shift"}, Ctrl | Shift},
        {{"shift", "cmd", "cmd"}, Ctrl | Shift},
        {{"ctrl", "opt", "cmd", "shift"}, Ctrl | Shift | Alt | Super},
        {{"Cmd", "SHIFT", "command", "alt", "meta", ""}, 0},
        {{"cmd", "hyper"}, Ctrl},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tokens.join(',').toStdString());
        EXPECT_EQ(HotkeyManager::modifierMask(c.tokens), c.mask);
    }
}

TEST(HotkeyManagerTest, MatchingTable)
{
    const AppSettings defaults;
    struct Case {
        const char* name;
        AppSettings settings;
        KeyPress press;
        std::optional<Action> expected;
    };
    const Case cases[] = {
        {"default translate", defaults, {keyT, Ctrl | Shift}, Action::translate},
        {"default layout", defaults, {keyK, Ctrl | Shift}, Action::layoutConvert},
        {"extra alt", defaults, {keyT, Ctrl | Shift | Alt}, std::nullopt},
        {"extra super", defaults, {keyK, Ctrl | Shift | Super}, std::nullopt},
        {"missing shift", defaults, {keyT, Ctrl}, std::nullopt},
        {"bare key with defaults", defaults, {keyT, 0}, std::nullopt},
        {"other key", defaults, {keyR, Ctrl | Shift}, std::nullopt},
        {"default replace is unassigned", defaults, {0, Ctrl | Shift}, std::nullopt},
        {"lower-case key", withHotkeys({{"cmd", "shift"}, "t"}, {}), {keyT, Ctrl | Shift}, Action::translate},
        {"upper-case key", withHotkeys({{"cmd", "shift"}, "T"}, {}), {keyT, Ctrl | Shift}, Action::translate},
        {"duplicates: translate first",
         withHotkeys({{"cmd"}, "t"}, {{"cmd"}, "T"}, {{"cmd"}, "t"}),
         {keyT, Ctrl},
         Action::translate},
        {"duplicates: layout before replace",
         withHotkeys({}, {{"opt"}, "k"}, {{"opt"}, "k"}),
         {keyK, Alt},
         Action::layoutConvert},
        {"bare key binding", withHotkeys({}, {}, {{}, "r"}), {keyR, 0}, Action::replaceText},
        {"bare key binding, shift held", withHotkeys({}, {}, {{}, "r"}), {keyR, Shift}, std::nullopt},
        {"only unknown modifiers is bare", withHotkeys({{"hyper"}, "r"}, {}), {keyR, 0}, Action::translate},
        {"unknown modifier ignored", withHotkeys({{"cmd", "fn"}, "t"}, {}), {keyT, Ctrl}, Action::translate},
        {"ctrl token is Super", withHotkeys({{"ctrl"}, "t"}, {}), {keyT, Super}, Action::translate},
        {"ctrl token is not Control", withHotkeys({{"ctrl"}, "t"}, {}), {keyT, Ctrl}, std::nullopt},
        {"opt token is Alt", withHotkeys({{"opt", "shift"}, "k"}, {}), {keyK, Alt | Shift}, Action::translate},
        {"unknown key name", withHotkeys({{"cmd"}, "F5"}, {}), {71, Ctrl}, std::nullopt},
        {"hebrew key name", withHotkeys({{"cmd"}, "א"}, {}), {keyT, Ctrl}, std::nullopt},
        {"space key name", withHotkeys({{"cmd"}, " "}, {}), {65, Ctrl}, std::nullopt},
        {"unassigned never fires", withHotkeys({{"cmd"}, ""}, {}), {0, Ctrl}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HotkeyManager::match(HotkeyManager::compile(c.settings), c.press), c.expected);
    }
}

TEST(HotkeyManagerTest, CompiledBindingsLeaveOutWhatCannotFire)
{
    const auto bindings = HotkeyManager::compile(withHotkeys({{"cmd"}, "F5"}, {{"opt"}, "k"}, {{"cmd"}, ""}));
    ASSERT_EQ(bindings.count, 1);
    EXPECT_EQ(bindings.entries[0], (HotkeyManager::Binding{keyK, Alt, Action::layoutConvert}));
}

class HotkeyMonitorTest : public ::testing::Test {
protected:
    FakePlatform platform;
    HotkeyManager manager;
    std::vector<Action> fired;

    void SetUp() override
    {
        manager.actionHandler = [this](Action action) { fired.push_back(action); };
        manager.currentSettings = AppSettings{};
        manager.installMonitor(platform);
    }
};

TEST_F(HotkeyMonitorTest, InstallsAtMostOnce)
{
    manager.installMonitor(platform);
    FakePlatform other;
    manager.installMonitor(other);
    EXPECT_EQ(platform.fakeInputObserver.watchKeysCalls, 1);
    EXPECT_EQ(other.fakeInputObserver.watchKeysCalls, 0);
}

TEST_F(HotkeyMonitorTest, ActionIsQueuedNotRunInsideTheCallback)
{
    platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift});
    EXPECT_TRUE(fired.empty());
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, std::vector<Action>{Action::translate});
}

TEST_F(HotkeyMonitorTest, HandlerIsTheOneSetWhenTheQueuedCallRuns)
{
    platform.fakeInputObserver.pressKey({keyK, Ctrl | Shift});
    std::vector<Action> later;
    manager.actionHandler = [&later](Action action) { later.push_back(action); };
    platform.fakeScheduler.advance(0);
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(later, std::vector<Action>{Action::layoutConvert});

    platform.fakeInputObserver.pressKey({keyK, Ctrl | Shift});
    manager.actionHandler = nullptr;
    platform.fakeScheduler.advance(0); // dropped, no crash
    EXPECT_EQ(later.size(), 1u);
}

TEST_F(HotkeyMonitorTest, AutoRepeatFiresEachTime)
{
    for (int i = 0; i < 3; ++i)
        platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift});
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, std::vector<Action>(3, Action::translate));
}

TEST_F(HotkeyMonitorTest, NewSettingsApplyAtTheNextPress)
{
    manager.currentSettings = withHotkeys({{"opt"}, "t"}, {}, {{"cmd"}, "r"});
    platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift}); // the old combination
    platform.fakeInputObserver.pressKey({keyT, Alt});
    platform.fakeInputObserver.pressKey({keyR, Ctrl});
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(fired, (std::vector<Action>{Action::translate, Action::replaceText}));
    EXPECT_EQ(platform.fakeInputObserver.watchKeysCalls, 1) << "nothing reinstalled";

    fired.clear();
    manager.currentSettings = std::nullopt;
    platform.fakeInputObserver.pressKey({keyT, Alt});
    platform.fakeScheduler.advance(0);
    EXPECT_TRUE(fired.empty()) << "nothing matches without settings";
    EXPECT_FALSE(manager.currentSettings.has_value());
}

TEST(HotkeyManagerSharedTest, SettingsAssignLikeAField)
{
    HotkeyManager& shared = HotkeyManager::shared();
    EXPECT_EQ(&shared, &HotkeyManager::shared());
    AppSettings settings;
    settings.hotkeyReplaceText = {{"cmd", "opt"}, "r"};
    shared.currentSettings = settings;
    EXPECT_EQ(shared.currentSettings, settings);
    EXPECT_EQ(shared.currentSettings->hotkeyReplaceText.key, QStringLiteral("r"));
    EXPECT_EQ(shared.match({keyR, Ctrl | Alt}), Action::replaceText);
    shared.currentSettings = std::nullopt;
    EXPECT_EQ(shared.match({keyR, Ctrl | Alt}), std::nullopt);
}

TEST(HotkeyManagerLifetimeTest, QueuedActionDiesWithTheManager)
{
    FakePlatform platform;
    int calls = 0;
    {
        HotkeyManager manager;
        manager.actionHandler = [&calls](Action) { ++calls; };
        manager.currentSettings = AppSettings{};
        manager.installMonitor(platform);
        platform.fakeInputObserver.pressKey({keyT, Ctrl | Shift});
        EXPECT_EQ(platform.fakeScheduler.pending(), 1);
    }
    platform.fakeScheduler.advance(0);
    EXPECT_EQ(calls, 0);
}

TEST(HotkeyManagerUnavailableTest, NoKeyObservationMeansNothingFiresAndNoRetry)
{
    FakePlatform platform;
    platform.fakeInputObserver.keysAvailable = false;
    HotkeyManager manager;
    manager.currentSettings = AppSettings{};
    manager.installMonitor(platform);
    manager.installMonitor(platform);
    EXPECT_EQ(platform.fakeInputObserver.watchKeysCalls, 1);
}

} // namespace
