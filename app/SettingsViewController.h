#pragma once

// The settings form: its controls, filled from a configuration record and read back into one. It
// keeps nothing itself: Save and Cancel are asked of whoever holds the form.

#include "HotkeyAction.h"
#include "SettingsManager.h"

#include <QList>
#include <QWidget>

#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace vorlex {

class HotkeyRecorderField;

struct LanguageEntry {
    QString code;
    QString name;
};

struct PositionEntry {
    QString value;
    QString label;
};

class SettingsViewController : public QWidget {
    Q_OBJECT

public:
    explicit SettingsViewController(QWidget* parent = nullptr);

    // Sets every control from settings. After that they keep whatever the user leaves in them, saved or not.
    void populateFromSettings(const AppSettings& settings);
    // stored with every field the form shows taken from the controls.
    AppSettings recordFromControls(AppSettings stored) const;

    // Start at login: not part of the record, but whether the autostart entry is there.
    bool startAtLogin() const;
    void setStartAtLogin(bool installed);
    // Names, under their fields, the hotkeys whose keys another program holds; the other rows say nothing.
    void showTakenHotkeys(const QList<HotkeyAction>& taken);
    // The red line under the form that tells why the last save failed; an empty text hides it.
    void showSaveFailure(const QString& text);

signals:
    void saveRequested();   // the Save button, or Return
    void cancelRequested(); // the Cancel button, or Escape

protected:
    void hideEvent(QHideEvent* event) override;

private:
    const QList<LanguageEntry> languages;
    const QList<PositionEntry> positions;
    // The target pop-up's list: the languages without "auto".
    const QList<LanguageEntry> targetLanguages;

    QButtonGroup* engineSegment = nullptr; // id 0 "Google Translate", id 1 "DeepL"
    QComboBox* targetPopup = nullptr;
    QComboBox* sourcePopup = nullptr;
    QLineEdit* deepLKeyField = nullptr;
    QCheckBox* deepLFreeCheck = nullptr;
    QComboBox* positionPopup = nullptr;
    QCheckBox* autoCopyCheck = nullptr;
    QSlider* opacitySlider = nullptr; // thousandths, 700 to 1000
    QLabel* opacityLabel = nullptr;
    QCheckBox* startAtLoginCheck = nullptr;
    HotkeyRecorderField* hotkeyTranslateField = nullptr;
    HotkeyRecorderField* hotkeyLayoutConvertField = nullptr;
    HotkeyRecorderField* hotkeyReplaceTextField = nullptr;
    HotkeyRecorderField* hotkeyTranslateScreenField = nullptr;
    // Each hotkey row, with the line under its field that says another program holds its keys.
    struct HotkeyRow {
        HotkeyAction action;
        HotkeyRecorderField* field;
        QLabel* takenLabel;
    };
    std::vector<HotkeyRow> hotkeyRows;
    QLabel* saveErrorLabel = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;

    void buildForm();
    // Held within the slider's range, otherwise exact: a stored opacity is kept until the user moves it.
    void setOpacityValue(double value);

    double opacity = 0.98;
};

} // namespace vorlex
