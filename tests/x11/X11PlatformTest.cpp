// The X11 desktop layer against a real X server and real X clients (textfieldhelper): the user is
// played with XTEST, the clipboard is served by one client and read back by the other.

#include "X11Platform.h"
#include "HotkeyManager.h"
#include "HotkeyRecorderField.h"
#include "TestSupport.h"
#include "X11InputSynthesizer.h"
#include "X11KeyCodes.h"

#include <QProcess>
#include <QScopeGuard>
#include <QWindow>

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

using Action = HotkeyManager::Action;

// With the translate hotkey sending the capture's copy as it fires: a hotkey fires once, by physical
// key in any layout (each key name's keycode is the key the server's own US keymap types that
// character with, an ASCII character being its own keysym); lock keys never prevent a match nor
// stand for Shift; of two hotkeys on the same keys the first fires; a hotkey never reaches the
// focused window, every other key does, and the copy reaches it as exactly Ctrl on the physical C
// key whatever the user holds. However soon the user lets go of the hotkey, the server is left
// holding only what the user holds. The user is another X client, on a thread of its own, as a
// real one would be.
TEST(X11Platform, HotkeysAreTheProgramsOwnAndCopyExactlyCtrlCLeavingHeldOnlyWhatTheUserHolds)
{
    const auto usAgain = qScopeGuard([] { loadLayout("us"); });
    const std::unique_ptr<Platform> platform = createX11Platform();
    ASSERT_TRUE(loadLayout("us"));
    x11::X11InputSynthesizer user; // its keymap read after the layout was loaded
    for (const x11::KeyCode& entry : x11::hotkeyKeyCodes())
        EXPECT_EQ(entry.keycode, user.keycodeOfKeysym(entry.name)) << char(entry.name);
    TextField field(u"שלום עולם"_s);
    ASSERT_TRUE(field.waitFor("ready"));
    HotkeyRecorderField recorder; // another window, until the end
    recorder.show();
    for (const WindowId window : {WindowId(recorder.winId()), field.last("ready")->toULongLong()}) {
        platform->windowSystem().activate(window);
        EXPECT_TRUE(waitUntil([&] { return platform->windowSystem().activeWindow() == window; }));
    }
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

    std::vector<int> quickly{1000, 3000}; // and within the copy's first 0.2 ms, 10 µs apart
    for (int us = 0; us < 200; us += 10)
        quickly.push_back(us);
    // Each chord pressed in order, then released; how often the hotkey fires; the modifiers the field
    // sees with T; how long the keys of each chord stay down, a run for each (-1: the user holds
    // Ctrl+Shift from before the chord to after the copy). Qt's field copies only where a loaded layout
    // has a Latin "c" (GTK matches the key itself), so the copies that land are the ones in "us".
    using Chords = std::vector<std::vector<quint32>>;
    const std::tuple<const char*, const char*, Chords, int, Qt::KeyboardModifiers, std::vector<int>> cases[] = {
        {"an extra modifier", "us", {{ctrl, shift, alt, tKey}}, 0, ctrlShift | Qt::AltModifier, {0}},
        {"lock keys on", "us", {{capsLock}, {numLock}, {ctrl, shift, tKey}, {capsLock}, {numLock}}, 1, ctrlShift, {0}},
        {"caps lock on is not Shift", "us", {{capsLock}, {ctrl, tKey}, {capsLock}}, 0, Qt::ControlModifier, {0}},
        {"released quickly", "us", {{ctrl, shift, tKey}}, 1, ctrlShift, quickly},
        {"held through the copy", "us", {{tKey}}, 1, ctrlShift, {-1}},
        {"held, only the Hebrew layout", "il", {{tKey}}, 1, ctrlShift, {-1}},
    };
    for (const auto& [name, layout, chords, fires, fieldSees, releases] : cases) {
        ASSERT_TRUE(loadLayout(layout));
        for (const int releaseUs : releases) {
            SCOPED_TRACE(testing::Message() << name << ", " << releaseUs << " µs");
            fired.clear();
            const qsizetype copies = received(field, cKey, Qt::ControlModifier);
            if (releaseUs < 0)
                for (const quint32 key : {ctrl, shift})
                    user.pressKey(key);
            std::thread hand([&chords, releaseUs] {
                x11::X11InputSynthesizer quick;
                for (const std::vector<quint32>& keys : chords) {
                    for (const quint32 key : keys)
                        quick.pressKey(key);
                    std::this_thread::sleep_for(std::chrono::microseconds(std::max(0, releaseUs)));
                    quick.releaseAll();
                }
            });
            EXPECT_TRUE(waitUntil([&] { return received(field, cKey, Qt::ControlModifier) == copies + fires; }));
            hand.join();
            EXPECT_EQ(user.heldModifiers(), releaseUs < 0 ? 0x4u | 0x1u : 0u);
            user.releaseAll();
            // The layout hotkey as a fence (its Ctrl and Shift also end any left stuck): once it fired, a
            // doubled press of the row would have too.
            user.tap({ctrl, shift, kKey});
            EXPECT_TRUE(waitUntil([&] { return fired.contains(Action::layoutConvert); }));
            EXPECT_EQ(fired, QList<Action>(fires, Action::translate) << Action::layoutConvert);
        }
    }
    // Held down, a hotkey fires again with each auto-repeat of the server: once more than the press
    // alone would.
    fired.clear();
    for (const quint32 key : {ctrl, shift, kKey})
        user.pressKey(key);
    EXPECT_TRUE(waitUntil([&] { return fired.count(Action::layoutConvert) >= 3; }));
    user.releaseAll();
    // Unbound, its keys are the focused window's again; every key before reached it by then, and the
    // rows' T did only where nothing fired (each row's modifiers are its own).
    settings.hotkeyLayoutConvert = {};
    manager.applySettings(settings);
    user.tap({ctrl, shift, kKey});
    EXPECT_TRUE(waitUntil([&] { return received(field, kKey, ctrlShift) == 1; }));
    for (const auto& [name, layout, chords, fires, fieldSees, releases] : cases)
        EXPECT_EQ(received(field, tKey, fieldSees), fires ? 0 : 1) << name;

    // Keys another X client grabbed first are named and never fire; bound again once it let go, they
    // are the program's.
    auto holder = std::make_unique<x11::X11InputSynthesizer>();
    holder->grabKey(kKey, 0x4 | 0x1); // Ctrl+Shift, and no lock key on
    manager.applySettings(AppSettings{});
    EXPECT_EQ(manager.takenHotkeys(), QList{Action::layoutConvert});
    holder.reset();
    manager.applySettings(AppSettings{});
    EXPECT_TRUE(manager.takenHotkeys().isEmpty());
    // A field recording a hotkey gets even a bound one, which then does not fire; after, it fires.
    platform->windowSystem().activate(recorder.winId());
    ASSERT_TRUE(waitUntil([&] { return recorder.isActiveWindow(); }));
    recorder.startRecording();
    fired.clear();
    user.tap({ctrl, shift, kKey});
    EXPECT_TRUE(waitUntil([&] { return recorder.config() == HotkeyConfig{{"cmd", "shift"}, "k"}; }) && fired.isEmpty());
    user.tap({ctrl, shift, kKey});
    EXPECT_TRUE(waitUntil([&] { return fired == QList{Action::layoutConvert}; }));
}

// Left and right presses reach a watcher through either source, with the pointer where they happened
// (one at a time: raw events carry no position).
TEST(X11Platform, ButtonPressesReachTheWatchers)
{
    x11::X11InputSynthesizer user;
    QWidget target; // clicks land on a window of our own, where they do nothing
    target.setGeometry(100, 100, 300, 200);
    target.show();
    ASSERT_TRUE(waitUntil([&] { return target.windowHandle()->isExposed(); }));
    const QPoint left = target.geometry().center(), right = left + QPoint(20, 10);
    for (const bool xinput2 : {true, false}) {
        SCOPED_TRACE(xinput2 ? "XInput2" : "RECORD");
        const std::unique_ptr<Platform> platform = createX11Platform({.preferXInput2 = xinput2, .reason = {}});
        QList<ButtonPress> heard;
        QObject context;
        ASSERT_TRUE(platform->inputObserver().watchButtons(&context, [&](const ButtonPress& p) { heard << p; }));
        user.click(left, 1);
        EXPECT_TRUE(waitUntil([&] { return heard.size() == 1; }));
        user.click(right, 3);
        EXPECT_TRUE(waitUntil([&] { return heard.size() == 2; }));
        EXPECT_EQ(heard, (QList<ButtonPress>{{MouseButton::Left, left}, {MouseButton::Right, right}}));
    }
}

} // namespace
