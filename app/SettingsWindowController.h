#pragma once

// The settings window: one fixed-size form over the whole configuration record, created once and
// reused. Save hands the form's record to the saver; Cancel only hides.

#include "Platform.h"
#include "SettingsSaver.h"
#include "Stores.h"

#include <memory>

class QWidget;

namespace vorlex {

class SettingsViewController;

class SettingsWindowController {
public:
    SettingsWindowController(Platform& platform, Stores stores);
    ~SettingsWindowController();
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    // Shows the window and brings it to the front, also when another application is active.
    void showWindow();
    QWidget* window() const { return panel.get(); }

private:
    void save();

    Platform& desktop;
    SettingsManager& store;
    HotkeyManager& hotkeys;
    SettingsSaver saver;
    std::unique_ptr<QWidget> panel;
    SettingsViewController* form = nullptr; // owned by panel
};

} // namespace vorlex
