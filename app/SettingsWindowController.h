#pragma once

// The settings window: one fixed-size form over the whole configuration record, created once and
// reused. Save writes a complete record and hands it to the hotkey monitor; Cancel only hides.

#include "HotkeyAction.h"
#include "Platform.h"
#include "SettingsManager.h"

#include <QList>
#include <QWidget>

#include <memory>
#include <optional>
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

// The form. Its controls are filled from the store once, when it is built; after that they keep
// whatever the user left in them, saved or not.
class SettingsViewController : public QWidget {
    Q_OBJECT

public:
    explicit SettingsViewController(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
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
    // Start at login: not part of the record. Shows whether the autostart entry exists each time the
    // window opens; Save writes or removes the entry.
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
    // A failed save is told here, in the form, and the window stays open.
    QLabel* saveErrorLabel = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* cancelButton = nullptr;

    void populateFromSettings();
    // Held within the slider's range, otherwise exact: a stored opacity is kept until the user moves it.
    void setOpacityValue(double value);
    void save();
    void cancel();
    void buildForm();
    AppSettings recordFromControls() const;
    // The red line under the form, naming the file that could not be written.
    void showSaveFailure(const QString& path);
    // Marks the rows whose keys another program holds; true if there is one.
    bool showTakenHotkeys();

    double opacity = 0.98;
};

class SettingsWindowController {
public:
    explicit SettingsWindowController(Platform& platform);
    ~SettingsWindowController();
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    // Shows the window and brings it to the front, also when another application is active.
    void showWindow();
    QWidget* window() const { return panel.get(); }

private:
    Platform& desktop;
    std::unique_ptr<QWidget> panel;
};

} // namespace vorlex
