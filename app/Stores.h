#pragma once

// What the program keeps between runs: made once by the program's composition and handed to whoever
// reads or records it, as the platform is.

#include "HistoryManager.h"
#include "HotkeyManager.h"
#include "SettingsManager.h"

namespace vorlex {

struct Stores {
    SettingsManager& settings;
    HistoryManager& history;
    HotkeyManager& hotkeys;
};

} // namespace vorlex
