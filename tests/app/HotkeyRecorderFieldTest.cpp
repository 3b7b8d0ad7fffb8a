#include "HotkeyRecorderField.h"
#include "TestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace vorlex;

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

// What the field's label shows, without its invisible direction marks.
QString shownText(const HotkeyRecorderField& field)
{
    QString text = field.findChild<QLabel*>(u"label"_s)->text();
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    return text;
}

// Qt's Hebrew catalogue, which the program installs, names Meta "מטא".
struct HebrewMeta : QTranslator {
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override
    {
        return qstrcmp(source, "Meta") == 0 ? u"מטא"_s : QString();
    }
};

// What one key press records in a field holding no hotkey (nothing: recording goes on), and what the
// field then shows: key names left to right inside the right-to-left window, the prompts right to left.
TEST(HotkeyRecorderField, RecordsKeyPresses)
{
    HebrewMeta hebrew;
    QCoreApplication::installTranslator(&hebrew);
    const auto ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier, meta = Qt::MetaModifier;
    const std::tuple<const char*, int, Qt::KeyboardModifiers, QString, quint32, std::optional<HotkeyConfig>, QString>
        cases[] = {
            // X turns Ctrl+K into U+000B and the Hebrew layout T into aleph: the physical key decides.
            {"all four, in the order ctrl opt cmd shift", Qt::Key_K, meta | alt | ctrl | shift, "\x0b", 45,
             HotkeyConfig{{"ctrl", "opt", "cmd", "shift"}, "k"}, "מטא+Ctrl+Alt+Shift+K"},
            {"Shift+1 (US), key unknown: the character", Qt::Key_Exclam, shift, "!", 0, HotkeyConfig{{"shift"}, "!"},
             "Shift+!"},
            {"Ctrl+Shift+T on the Hebrew layout", 0x05D0, ctrl | shift, "א", 28, HotkeyConfig{{"cmd", "shift"}, "t"},
             "Ctrl+Shift+T"},
            {"T alone", Qt::Key_T, Qt::NoModifier, "t", 28, std::nullopt, "⌨ לחץ קיצור..."},
            {"Ctrl+F5 gives no text", Qt::Key_F5, ctrl, QString(), 71, std::nullopt, "⌨ לחץ קיצור..."},
        };
    for (const auto& [what, key, modifiers, text, keycode, recorded, shown] : cases) {
        SCOPED_TRACE(what);
        HotkeyRecorderField field;
        field.startRecording();
        press(field, key, modifiers, text, keycode);
        EXPECT_EQ(field.config(), recorded.value_or(HotkeyConfig{}));
        EXPECT_EQ(shownText(field), shown);
        EXPECT_EQ(field.findChild<QLabel*>(u"label"_s)->text().isRightToLeft(), !recorded)
            << "a label reads in the direction of its first letter";
    }
}

// Window shortcuts (the form's Return and Escape) ask the focused widget first: a recording field
// keeps every key, an idle one lets them through. A click starts recording, also while recording.
TEST(HotkeyRecorderField, RecordsAfterAClickUntilAHotkeyOrEscape)
{
    HotkeyRecorderField field;
    field.setConfig(ctrlShiftT);
    EXPECT_FALSE(press(field, Qt::Key_Return, {}, "\r", 36, QEvent::ShortcutOverride));
    EXPECT_FALSE(press(field, Qt::Key_K, Qt::ControlModifier, "\x0b", 45));
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(4, 13));
        EXPECT_EQ(shownText(field), u"⌨ לחץ קיצור..."_s);
        field.setConfig({{"opt"}, "k"}); // shown, and recording goes on
        EXPECT_EQ(shownText(field), u"Alt+K"_s);
    }
    EXPECT_TRUE(press(field, Qt::Key_Return, {}, "\r", 36, QEvent::ShortcutOverride));
    EXPECT_TRUE(press(field, Qt::Key_T, {}, "t", 28)) << "no modifier: ignored";
    EXPECT_TRUE(press(field, Qt::Key_Escape, {}, "\x1b", 9));
    EXPECT_FALSE(field.isRecording());
    EXPECT_EQ(field.config(), (HotkeyConfig{{"opt"}, "k"}));
    EXPECT_EQ(shownText(field), u"Alt+K"_s);
}

} // namespace
