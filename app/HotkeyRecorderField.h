#pragma once

// The small control of the settings form that shows one hotkey and records a new one when clicked.
// It only holds the value; the form reads it on Save. While it records and has the focus it holds
// the whole keyboard, so a combination that is a hotkey (grabbed by this program or another on X11)
// comes to it too.

#include "SettingsManager.h"

#include <QWidget>

class QKeyEvent;
class QLabel;
class QToolButton;

namespace vorlex {

class HotkeyRecorderField : public QWidget {
    Q_OBJECT

public:
    explicit HotkeyRecorderField(QWidget* parent = nullptr);

    HotkeyConfig config() const { return hotkey; }
    // Shows the new value at once; does not end recording.
    void setConfig(const HotkeyConfig& config);
    bool isRecording() const { return recording; }

    // Waits for a key combination (every mouse press on the field, also while recording).
    void startRecording();
    void stopRecording(bool save);
    // Empties the hotkey; the recording state stays as it is.
    void clearHotkey();

    // The hotkey a key press records: the modifier tokens in the order ctrl, opt, cmd, shift (see
    // ModifierToken.h) and the key's text in lower case; nothing when no modifier is held or the key
    // gives no text.
    static std::optional<HotkeyConfig> hotkeyFromKeyEvent(const QKeyEvent& event);

    static const QString emptyText;     // "— (לחץ לשינוי)"
    static const QString recordingText; // "⌨ לחץ קיצור..."

signals:
    // The user recorded a hotkey or cleared it.
    void edited();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showConfig();
    void setLabelText(const QString& text);

    QLabel* label = nullptr;         // object name "label"
    QToolButton* clearBtn = nullptr; // object name "clearBtn"
    HotkeyConfig hotkey;
    bool recording = false;
};

} // namespace vorlex
