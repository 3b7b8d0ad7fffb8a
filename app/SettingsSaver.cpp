#include "SettingsSaver.h"

#include "AutostartEntry.h"
#include "HotkeyManager.h"

#include <QChar>

namespace vorlex {

namespace {

SettingsSaver::Outcome failedToWrite(const QString& path)
{
    // The path is isolated left to right inside the Hebrew sentence.
    return {QStringLiteral("לא ניתן לשמור את ההגדרות בקובץ ") + QChar(0x2066) + path + QChar(0x2069), {}};
}

} // namespace

SettingsSaver::SettingsSaver(SettingsManager& settingsStore, HotkeyManager& hotkeyManager, QString programPath)
    : store(settingsStore), hotkeys(hotkeyManager), program(std::move(programPath))
{
}

SettingsSaver::Outcome SettingsSaver::save(const AppSettings& record, bool startAtLogin) const
{
    // The monitor keeps the bindings that are on disk.
    if (!store.save(record))
        return failedToWrite(store.settingsURL());
    hotkeys.applySettings(record);
    if (!AutostartEntry(program).setInstalled(startAtLogin))
        return failedToWrite(AutostartEntry::path());
    return {std::nullopt, hotkeys.takenHotkeys()};
}

} // namespace vorlex
