#pragma once

// What Save does with the form's record: writes the settings file, binds the hotkeys it names, and
// writes or removes the autostart entry, stopping at the first file that cannot be written.

#include "HotkeyAction.h"
#include "SettingsManager.h"

#include <QList>
#include <QString>

#include <optional>

namespace vorlex {

class HotkeyManager;

class SettingsSaver {
public:
    struct Outcome {
        // The line the form shows when a file could not be written, naming it; the window then stays open
        // and the user keeps the edits.
        std::optional<QString> failure;
        // Saved, but another program holds the keys of these hotkeys, so they will not fire.
        QList<HotkeyAction> takenHotkeys;
    };

    // program: what the autostart entry starts.
    SettingsSaver(SettingsManager& store, HotkeyManager& hotkeys, QString program);

    Outcome save(const AppSettings& record, bool startAtLogin) const;

private:
    SettingsManager& store;
    HotkeyManager& hotkeys;
    QString program;
};

} // namespace vorlex
