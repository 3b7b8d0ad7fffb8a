// The X11 desktop layer against a real X server and a real X client (textfieldhelper): keys are
// typed with XTEST, the clipboard is served by one client and read back by the other.

#include "X11Platform.h"
#include "HotkeyManager.h"
#include "TestSupport.h"
#include "X11InputSynthesizer.h"

#include <QProcess>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <map>

using namespace vorlex;
using vorlex::test::TextField;
using vorlex::test::waitUntil;

namespace {

// Physical keys (X keycodes of a US keyboard).
constexpr quint32 ctrl = 37, shift = 50, alt = 64, capsLock = 66, numLock = 77, tKey = 28, kKey = 45, cKey = 54;
constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// How many presses of keycode with exactly these modifiers reached the field.
qsizetype received(const TextField& field, quint32 keycode, Qt::KeyboardModifiers modifiers)
{
    return field.lines().count("key " + QByteArray::number(keycode) + ' ' + QByteArray::number(modifiers.toInt(), 16));
}

bool loadLayout(const char* layout)
{
    return QProcess::execute(u"setxkbmap"_s, {QString::fromLatin1(layout)}) == 0;
}

class X11PlatformTest : public ::testing::TestWithParam<bool> {};

// Both ways of observing keys: a hotkey fires once, by physical key in any layout, lock keys never
// prevent a match, and every key still reaches the focused window.
TEST_P(X11PlatformTest, HotkeyFiresOnceAndTheKeyStillReachesTheFocusedWindow)
{
    const auto usAgain = qScopeGuard([] { loadLayout("us"); });
    const std::unique_ptr<Platform> platform = createX11Platform({GetParam()});
    x11::X11InputSynthesizer synthesizer;
    TextField field(QString(), false);
    ASSERT_TRUE(field.waitFor("ready"));
    HotkeyManager manager;
    std::map<HotkeyManager::Action, int> fired;
    manager.actionHandler = [&](HotkeyManager::Action action) { ++fired[action]; };
    manager.currentSettings = AppSettings{};
    manager.installMonitor(*platform);

    struct Case {
        const char* name;
        const char* layout;
        std::vector<std::vector<quint32>> taps;
        int fires;
        Qt::KeyboardModifiers fieldSees;
    };
    const std::vector<quint32> hotkey{ctrl, shift, tKey};
    const Case cases[] = {
        {"the hotkey", "us", {hotkey}, 1, ctrlShift},
        {"an extra modifier", "us", {{ctrl, shift, alt, tKey}}, 0, ctrlShift | Qt::AltModifier},
        {"caps lock and num lock on", "us", {{capsLock}, {numLock}, hotkey, {capsLock}, {numLock}}, 1, ctrlShift},
        {"only the Hebrew layout", "il", {hotkey}, 1, ctrlShift},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(loadLayout(row.layout));
        fired.clear();
        const qsizetype typed = received(field, tKey, row.fieldSees);
        for (const std::vector<quint32>& keys : row.taps) {
            for (const quint32 key : keys)
                synthesizer.pressKey(key);
            synthesizer.releaseAll();
        }
        // The layout hotkey as a fence: once it fired, a doubled press of the row would have too.
        synthesizer.tap({ctrl, shift, kKey});
        EXPECT_TRUE(waitUntil([&] { return fired[HotkeyManager::Action::layoutConvert] == 1; }));
        EXPECT_EQ(fired[HotkeyManager::Action::translate], row.fires);
        EXPECT_TRUE(waitUntil([&] { return received(field, tKey, row.fieldSees) == typed + 1; }));
    }
    // Held down, it fires again with each auto-repeat (played by the layer itself for raw events):
    // once more than the press alone would.
    for (const quint32 key : hotkey)
        synthesizer.pressKey(key);
    EXPECT_TRUE(waitUntil([&] { return fired[HotkeyManager::Action::translate] >= 3; }));
}

INSTANTIATE_TEST_SUITE_P(Observation, X11PlatformTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "XInput2" : "Record"; });

// The capture's journey: the window that had the focus is activated again, and the copy reaches it
// as exactly Ctrl on the physical C key while the user still holds the hotkey's Ctrl+Shift, in any
// layout; its copy is read back here.
TEST(X11Platform, ActivatedWindowGetsExactlyCtrlCWhileTheUserHoldsCtrlShift)
{
    const auto usAgain = qScopeGuard([] { loadLayout("us"); });
    const std::unique_ptr<Platform> platform = createX11Platform();
    x11::X11InputSynthesizer synthesizer;
    TextField field(u"שלום עולם"_s);
    ASSERT_TRUE(field.waitFor("ready"));
    TextField other(QString(), false);
    ASSERT_TRUE(other.waitFor("ready"));
    for (const TextField* window : {&other, &field}) {
        const WindowId id = window->last("ready")->toULongLong();
        platform->windowSystem().activate(id);
        EXPECT_TRUE(waitUntil([&] { return platform->windowSystem().activeWindow() == id; }));
    }
    const quint64 count = platform->clipboard().changeCount();
    // Qt's field copies only where a loaded layout has a Latin "c" (GTK matches the key itself), so
    // the copy that lands is the one in "us".
    for (const char* layout : {"il", "us"}) {
        SCOPED_TRACE(layout);
        ASSERT_TRUE(loadLayout(layout));
        synthesizer.pressKey(ctrl);
        synthesizer.pressKey(shift);
        platform->keySender().sendCopy();
        synthesizer.releaseAll();
        EXPECT_TRUE(waitUntil([&] { return received(field, cKey, Qt::ControlModifier) > 0; }));
    }
    EXPECT_TRUE(waitUntil([&] { return platform->clipboard().changeCount() > count; }));
    EXPECT_EQ(platform->clipboard().text(), u"שלום עולם"_s);
}

} // namespace
