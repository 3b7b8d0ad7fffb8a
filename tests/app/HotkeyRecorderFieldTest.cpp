#include "HotkeyRecorderField.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorlex;
using namespace Qt::StringLiterals;

namespace {

const HotkeyConfig ctrlShiftT{{"cmd", "shift"}, "T"};

// One key press as X delivers it (nativeScanCode: the X keycode of the physical key, 0 unknown);
// returns whether the field took it.
bool press(QWidget& target, int key, Qt::KeyboardModifiers modifiers, const QString& text, quint32 keycode = 0,
           QEvent::Type type = QEvent::KeyPress)
{
    QKeyEvent event(type, key, modifiers, keycode, 0, 0, text);
    event.setAccepted(false);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

// The hotkey one key press records, or nothing (recording then goes on).
TEST(HotkeyRecorderField, RecordsKeyPresses)
{
    const auto ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier, meta = Qt::MetaModifier;
    const std::tuple<const char*, int, Qt::KeyboardModifiers, QString, quint32, std::optional<HotkeyConfig>> cases[] = {
        // X turns Ctrl+T into U+0014 and the Hebrew layout T into aleph: the physical key decides.
        {"Ctrl+Shift+T", Qt::Key_T, ctrl | shift, "\x14", 28, HotkeyConfig{{"cmd", "shift"}, "t"}},
        {"all four, in the order ctrl opt cmd shift", Qt::Key_K, meta | alt | ctrl | shift, "\x0b", 45,
         HotkeyConfig{{"ctrl", "opt", "cmd", "shift"}, "k"}},
        {"Shift+1 (US), key unknown: the character", Qt::Key_Exclam, shift, "!", 0, HotkeyConfig{{"shift"}, "!"}},
        {"Ctrl+Shift+T on the Hebrew layout", 0x05D0, ctrl | shift, "א", 28, HotkeyConfig{{"cmd", "shift"}, "t"}},
        {"T alone", Qt::Key_T, Qt::NoModifier, "t", 28, std::nullopt},
        {"Ctrl+F5 gives no text", Qt::Key_F5, ctrl, QString(), 71, std::nullopt},
    };
    for (const auto& [what, key, modifiers, text, keycode, recorded] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(
            HotkeyRecorderField::hotkeyFromKeyEvent(QKeyEvent(QEvent::KeyPress, key, modifiers, keycode, 0, 0, text)),
            recorded);
    }
}

// Window shortcuts (the form's Return and Escape) ask the focused widget first: a recording field
// keeps every key, an idle one lets them through. A click starts recording, also while recording.
TEST(HotkeyRecorderField, RecordsAfterAClickUntilAHotkeyOrEscape)
{
    HotkeyRecorderField field;
    QLabel* label = field.findChild<QLabel*>(u"label"_s);
    field.setConfig(ctrlShiftT);
    EXPECT_EQ(label->layoutDirection(), Qt::LeftToRight) << "⌘⇧T, not T⇧⌘";
    EXPECT_EQ(field.toolTip(), u"Ctrl+Shift+T"_s);
    EXPECT_FALSE(press(field, Qt::Key_Return, {}, "\r", 36, QEvent::ShortcutOverride));
    EXPECT_FALSE(press(field, Qt::Key_K, Qt::ControlModifier, "\x0b", 45));
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(4, 13));
        EXPECT_EQ(label->text(), u"⌨ לחץ קיצור..."_s);
        field.setConfig({{"opt"}, "k"}); // shown, and recording goes on
        EXPECT_EQ(label->text(), u"⌥K"_s);
    }
    EXPECT_TRUE(press(field, Qt::Key_Return, {}, "\r", 36, QEvent::ShortcutOverride));
    EXPECT_TRUE(press(field, Qt::Key_T, {}, "t", 28)) << "no modifier: ignored";
    EXPECT_TRUE(press(field, Qt::Key_Escape, {}, "\x1b", 9));
    EXPECT_FALSE(field.isRecording());
    EXPECT_EQ(field.config(), (HotkeyConfig{{"opt"}, "k"}));
}

} // namespace
