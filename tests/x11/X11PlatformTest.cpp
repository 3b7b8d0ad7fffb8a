// The X11 desktop layer against a real X server and real X clients (textfieldhelper): the user is
// played with XTEST, the clipboard is served by one client and read back by the other.

#include "X11Platform.h"
#include "HotkeyManager.h"
#include "TestSupport.h"
#include "X11InputSynthesizer.h"
#include "X11KeyCodes.h"

#include <QProcess>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <thread>

using namespace vorlex;
using namespace vorlex::test;

namespace {

// Physical keys (X keycodes of a US keyboard).
constexpr quint32 ctrl = 37, shift = 50, alt = 64, capsLock = 66, numLock = 77, tKey = 28, kKey = 45, cKey = 54;
constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// How many presses of keycode with exactly these modifiers reached the field.
qsizetype received(const TextField& field, quint32 keycode, Qt::KeyboardModifiers modifiers)
{
    return field.lines().count("key " + QByteArray::number(keycode) + ' ' + QByteArray::number(modifiers.toInt(), 16));
}

const auto loadLayout = [](const char* layout) { return QProcess::execute(u"setxkbmap"_s, {layout}) == 0; };

class X11PlatformTest : public ::testing::TestWithParam<bool> {};

// Both ways of observing keys, with the translate hotkey sending the capture's copy as it fires:
// a hotkey fires once, by physical key in any layout (each key name's keycode is the key the
// server's own US keymap types that character with, an ASCII character being its own keysym);
// lock keys never prevent a match nor stand for Shift; of two hotkeys on the same keys the first
// fires; every key still reaches the focused window, and the copy reaches it as exactly Ctrl on the
// physical C key whatever the user holds. However soon the user lets go of the hotkey, the server
// is left holding only what the user holds. The user is another X client, on a thread of its own,
// as a real one would be.
TEST_P(X11PlatformTest, HotkeyCopiesExactlyCtrlCAndLeavesHeldOnlyWhatTheUserHolds)
{
    const auto usAgain = qScopeGuard([] { loadLayout("us"); });
    const std::unique_ptr<Platform> platform = createX11Platform({GetParam(), {}});
    ASSERT_TRUE(loadLayout("us"));
    x11::X11InputSynthesizer user; // its keymap read after the layout was loaded
    for (const x11::KeyCode& entry : x11::hotkeyKeyCodes())
        EXPECT_EQ(entry.keycode, user.keycodeOfKeysym(entry.name)) << char(entry.name);
    TextField field(u"שלום עולם"_s);
    ASSERT_TRUE(field.waitFor("ready"));
    TextField other(QString(), false);
    ASSERT_TRUE(other.waitFor("ready"));
    for (const TextField* window : {&other, &field}) {
        const WindowId id = window->last("ready")->toULongLong();
        platform->windowSystem().activate(id);
        EXPECT_TRUE(waitUntil([&] { return platform->windowSystem().activeWindow() == id; }));
    }
    using Action = HotkeyManager::Action;
    HotkeyManager manager;
    QList<Action> fired;
    manager.actionHandler = [&](Action action) {
        if ((fired << action).last() == Action::translate)
            platform->keySender().sendCopy();
    };
    AppSettings settings;
    settings.hotkeyReplaceText = settings.hotkeyTranslate;
    manager.applySettings(settings);
    manager.installMonitor(*platform);

    struct Case {
        const char* name;
        const char* layout;
        std::vector<std::vector<quint32>> chords; // each pressed in order, then released
        int fires;
        Qt::KeyboardModifiers fieldSees;
        // How long the keys of each chord stay down, a run for each; -1: the user holds Ctrl+Shift
        // from before the chord to after the copy.
        std::vector<int> releaseUs = {0};
    };
    std::vector<int> quickly{1000, 3000}; // and within the copy's first 0.2 ms, 10 µs apart
    for (int us = 0; us < 200; us += 10)
        quickly.push_back(us);
    // Qt's field copies only where a loaded layout has a Latin "c" (GTK matches the key itself), so
    // the copies that land are the ones in "us".
    const Case cases[] = {
        {"an extra modifier", "us", {{ctrl, shift, alt, tKey}}, 0, ctrlShift | Qt::AltModifier},
        {"lock keys on", "us", {{capsLock}, {numLock}, {ctrl, shift, tKey}, {capsLock}, {numLock}}, 1, ctrlShift},
        {"caps lock on is not Shift", "us", {{capsLock}, {ctrl, tKey}, {capsLock}}, 0, Qt::ControlModifier},
        {"released quickly", "us", {{ctrl, shift, tKey}}, 1, ctrlShift, quickly},
        {"held through the copy", "us", {{tKey}}, 1, ctrlShift, {-1}},
        {"held, only the Hebrew layout", "il", {{tKey}}, 1, ctrlShift, {-1}},
    };
    for (const Case& row : cases) {
        ASSERT_TRUE(loadLayout(row.layout));
        for (const int releaseUs : row.releaseUs) {
            SCOPED_TRACE(testing::Message() << row.name << ", " << releaseUs << " µs");
            fired.clear();
            const qsizetype typed = received(field, tKey, row.fieldSees);
            const qsizetype copies = received(field, cKey, Qt::ControlModifier);
            if (releaseUs < 0)
                for (const quint32 key : {ctrl, shift})
                    user.pressKey(key);
            std::thread hand([&row, releaseUs] {
                x11::X11InputSynthesizer quick;
                for (const std::vector<quint32>& keys : row.chords) {
                    for (const quint32 key : keys)
                        quick.pressKey(key);
                    std::this_thread::sleep_for(std::chrono::microseconds(std::max(0, releaseUs)));
                    quick.releaseAll();
                }
            });
            EXPECT_TRUE(waitUntil([&] { return received(field, cKey, Qt::ControlModifier) == copies + row.fires; }));
            hand.join();
            EXPECT_EQ(user.heldModifiers(), releaseUs < 0 ? 0x4u | 0x1u : 0u);
            user.releaseAll();
            // The layout hotkey as a fence (its Ctrl and Shift also end any left stuck): once it fired, a
            // doubled press of the row would have too.
            user.tap({ctrl, shift, kKey});
            EXPECT_TRUE(waitUntil([&] { return fired.contains(Action::layoutConvert); }));
            EXPECT_EQ(fired, QList<Action>(row.fires, Action::translate) << Action::layoutConvert);
            EXPECT_TRUE(waitUntil([&] { return received(field, tKey, row.fieldSees) == typed + 1; }));
        }
    }
    // Held down, a hotkey fires again with each auto-repeat (played by the layer itself for raw
    // events): once more than the press alone would.
    fired.clear();
    for (const quint32 key : {ctrl, shift, kKey})
        user.pressKey(key);
    EXPECT_TRUE(waitUntil([&] { return fired.count(Action::layoutConvert) >= 3; }));
}

INSTANTIATE_TEST_SUITE_P(Observation, X11PlatformTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "XInput2" : "Record"; });

} // namespace
