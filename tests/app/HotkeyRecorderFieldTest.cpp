#include "HotkeyRecorderField.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vorlex;

namespace {

const HotkeyConfig ctrlShiftT{{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("T")};

// One key press as X delivers it: nativeScanCode is the X keycode of the physical key (0: unknown).
bool press(QWidget& target, int key, Qt::KeyboardModifiers modifiers, const QString& text, quint32 keycode = 0)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, keycode, 0, 0, text);
    event.setAccepted(false);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

void click(QWidget& target)
{
    const QPointF at(4, target.height() / 2.0);
    QMouseEvent event(QEvent::MouseButtonPress, at, target.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

} // namespace

TEST(HotkeyRecorderField, StartsEmptyAndShowsAssignedConfig)
{
    HotkeyRecorderField field;
    EXPECT_EQ(field.label->text(), QStringLiteral("— (לחץ לשינוי)"));
    EXPECT_EQ(field.label->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(field.clearBtn->text(), QStringLiteral("✕"));
    EXPECT_FALSE(field.isRecording());
    EXPECT_EQ(field.config(), HotkeyConfig{});

    field.setConfig(ctrlShiftT);
    EXPECT_EQ(field.label->text(), QStringLiteral("⌘⇧T"));
    EXPECT_EQ(field.label->layoutDirection(), Qt::LeftToRight) << "⌘⇧T, not T⇧⌘, in a right-to-left window";
    EXPECT_EQ(field.toolTip(), QStringLiteral("Ctrl+Shift+T"));
    EXPECT_TRUE(QFontInfo(field.label->font()).fixedPitch()) << "the hotkey label is monospaced";
}

// What one key press while recording does: a new hotkey, or nothing and recording goes on.
TEST(HotkeyRecorderField, RecordsKeyPresses)
{
    const auto ctrl = Qt::ControlModifier;
    const auto shift = Qt::ShiftModifier;
    const auto alt = Qt::AltModifier;
    const auto meta = Qt::MetaModifier;
    struct Case {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        quint32 keycode;
        bool records;
        QStringList modifiersRecorded;
        QString keyRecorded;
        QString shown;
    };
    const Case cases[] = {
        // X turns Ctrl+T into the control character U+0014; the key code still names T.
        {"Ctrl+Shift+T", Qt::Key_T, ctrl | shift, QStringLiteral("\x14"), 28, true, {"cmd", "shift"}, "t", "⌘⇧T"},
        {"all four with K, written ctrl opt cmd shift",
         Qt::Key_K,
         meta | alt | ctrl | shift,
         QStringLiteral("\x0b"),
         45,
         true,
         {"ctrl", "opt", "cmd", "shift"},
         "k",
         "⌃⌥⌘⇧K"},
        {"Shift alone counts", Qt::Key_T, shift, QStringLiteral("T"), 28, true, {"shift"}, "t", "⇧T"},
        {"Alt+T", Qt::Key_T, alt, QStringLiteral("t"), 28, true, {"opt"}, "t", "⌥T"},
        {"Super+Y", Qt::Key_Y, meta, QStringLiteral("y"), 29, true, {"ctrl"}, "y", "⌃Y"},
        {"Ctrl+3, which X gives as ESC", Qt::Key_3, ctrl, QStringLiteral("\x1b"), 12, true, {"cmd"}, "3", "⌘3"},
        {"Ctrl+/", Qt::Key_Slash, ctrl, QStringLiteral("\x1f"), 61, true, {"cmd"}, "/", "⌘/"},
        // Shift with a digit: the character Shift gives when the physical key is not known...
        {"Shift+1 (US), no physical key", Qt::Key_Exclam, shift, QStringLiteral("!"), 0, true, {"shift"}, "!", "⇧!"},
        // ...and the key's own name when it is, since only that can fire.
        {"Shift+1 (US), physical key 1", Qt::Key_Exclam, shift, QStringLiteral("!"), 10, true, {"shift"}, "1", "⇧1"},
        // Hebrew layout active: the T key gives aleph, the A key shin. The physical key decides.
        {"Ctrl+Shift+T on Hebrew", 0x05D0, ctrl | shift, QStringLiteral("א"), 28, true, {"cmd", "shift"}, "t", "⌘⇧T"},
        {"Ctrl+A on Hebrew", 0x05E9, ctrl, QStringLiteral("ש"), 38, true, {"cmd"}, "a", "⌘A"},
        {"Hebrew letter, key unknown", 0x05D0, ctrl, QStringLiteral("א"), 0, true, {"cmd"}, "א", "⌘א"},
        {"Ctrl+Space is recorded, though it never fires",
         Qt::Key_Space,
         ctrl,
         QString(QChar(0)),
         65,
         true,
         {"cmd"},
         " ",
         "⌘ "},
        {"T alone", Qt::Key_T, Qt::NoModifier, QStringLiteral("t"), 28, false, {}, {}, {}},
        {"Backspace alone", Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"), 22, false, {}, {}, {}},
        {"Return alone", Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), 36, false, {}, {}, {}},
        {"Ctrl alone", Qt::Key_Control, ctrl, QString(), 37, false, {}, {}, {}},
        {"Ctrl+F5 gives no text", Qt::Key_F5, ctrl, QString(), 71, false, {}, {}, {}},
        {"Ctrl+Left gives no text", Qt::Key_Left, ctrl, QString(), 113, false, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HotkeyRecorderField field;
        field.setConfig(ctrlShiftT);
        field.startRecording();
        EXPECT_TRUE(press(field, c.key, c.modifiers, c.text, c.keycode)) << "a recording field takes every key";
        if (c.records) {
            EXPECT_FALSE(field.isRecording());
            EXPECT_EQ(field.config(), (HotkeyConfig{c.modifiersRecorded, c.keyRecorded}));
            EXPECT_EQ(field.label->text(), c.shown);
        } else {
            EXPECT_TRUE(field.isRecording());
            EXPECT_EQ(field.config(), ctrlShiftT);
            EXPECT_EQ(field.label->text(), QStringLiteral("⌨ לחץ קיצור..."));
        }
    }
}

TEST(HotkeyRecorderField, EscapeEndsRecordingWithoutChange)
{
    struct Case {
        const char* what;
        HotkeyConfig before;
        QString shown;
    };
    const Case cases[] = {
        {"assigned", ctrlShiftT, QStringLiteral("⌘⇧T")},
        {"unassigned", HotkeyConfig{}, QStringLiteral("— (לחץ לשינוי)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HotkeyRecorderField field;
        field.setConfig(c.before);
        field.startRecording();
        EXPECT_TRUE(press(field, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"), 9));
        EXPECT_FALSE(field.isRecording());
        EXPECT_EQ(field.config(), c.before);
        EXPECT_EQ(field.label->text(), c.shown);
    }
}

TEST(HotkeyRecorderField, IdleKeysArePassedOn)
{
    HotkeyRecorderField field;
    field.setConfig(ctrlShiftT);
    EXPECT_FALSE(press(field, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("\x0b"), 45));
    EXPECT_FALSE(press(field, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), 36));
    EXPECT_FALSE(field.isRecording());
    EXPECT_EQ(field.config(), ctrlShiftT);
}

TEST(HotkeyRecorderField, MousePressStartsRecordingAgainWhileRecording)
{
    HotkeyRecorderField field;
    field.resize(230, 26);
    field.setConfig(ctrlShiftT);
    click(field);
    EXPECT_TRUE(field.isRecording());
    EXPECT_EQ(field.label->text(), QStringLiteral("⌨ לחץ קיצור..."));

    // Assigning a value shows it but recording goes on; a second click shows the prompt again.
    field.setConfig(HotkeyConfig{{QStringLiteral("opt")}, QStringLiteral("k")});
    EXPECT_TRUE(field.isRecording());
    EXPECT_EQ(field.label->text(), QStringLiteral("⌥K"));
    click(field);
    EXPECT_TRUE(field.isRecording());
    EXPECT_EQ(field.label->text(), QStringLiteral("⌨ לחץ קיצור..."));

    // Losing the focus does not end it either.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(&field, &focusOut);
    EXPECT_TRUE(field.isRecording());
    EXPECT_TRUE(press(field, Qt::Key_Y, Qt::ControlModifier, QStringLiteral("\x19"), 29));
    EXPECT_EQ(field.config(), (HotkeyConfig{{QStringLiteral("cmd")}, QStringLiteral("y")}));
}

TEST(HotkeyRecorderField, ClearKeepsTheRecordingState)
{
    HotkeyRecorderField idle;
    idle.setConfig(ctrlShiftT);
    idle.clearBtn->click();
    EXPECT_EQ(idle.config(), HotkeyConfig{});
    EXPECT_EQ(idle.label->text(), QStringLiteral("— (לחץ לשינוי)"));
    EXPECT_TRUE(idle.toolTip().isEmpty());
    EXPECT_FALSE(idle.isRecording());

    HotkeyRecorderField recording;
    recording.setConfig(ctrlShiftT);
    recording.startRecording();
    recording.clearBtn->click();
    EXPECT_TRUE(recording.isRecording());
    EXPECT_EQ(recording.config(), HotkeyConfig{});
    EXPECT_EQ(recording.label->text(), QStringLiteral("— (לחץ לשינוי)"));
    // The next usable combination is still recorded.
    EXPECT_TRUE(press(recording, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier, QStringLiteral("\x12"), 27));
    EXPECT_FALSE(recording.isRecording());
    EXPECT_EQ(recording.config(), (HotkeyConfig{{QStringLiteral("opt"), QStringLiteral("cmd")}, QStringLiteral("r")}));
    EXPECT_EQ(recording.label->text(), QStringLiteral("⌥⌘R"));
}

// Window shortcuts (the form's Return and Escape) ask the focused widget first: a recording field
// keeps every key for itself, an idle one lets them through.
TEST(HotkeyRecorderField, OverridesShortcutsOnlyWhileRecording)
{
    HotkeyRecorderField field;
    for (const bool recording : {false, true}) {
        SCOPED_TRACE(recording ? "recording" : "idle");
        if (recording)
            field.startRecording();
        for (const int key : {int(Qt::Key_Return), int(Qt::Key_Escape), int(Qt::Key_Tab)}) {
            QKeyEvent override(QEvent::ShortcutOverride, key, Qt::NoModifier);
            override.setAccepted(false);
            QApplication::sendEvent(&field, &override);
            EXPECT_EQ(override.isAccepted(), recording) << key;
        }
    }
}
