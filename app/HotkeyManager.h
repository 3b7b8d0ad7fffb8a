#pragma once

// Watches every key press of the desktop and turns the three configured combinations into actions.
// Nothing is grabbed or swallowed: every key, the matching ones included, reaches its application.

#include "Platform.h"
#include "SettingsManager.h"

#include <QtGlobal>

#include <functional>
#include <optional>

namespace vorlex {

class HotkeyManager {
public:
    enum class Action : qint32 { translate = 1, layoutConvert = 2, replaceText = 3 };
    static std::optional<Action> actionFromRawValue(qint32 raw);

    static HotkeyManager& shared();

    // Called on the UI thread with the action of each matching key press, after the key event
    // has been handled (queued, never from inside the observer's callback).
    std::function<void(Action)> actionHandler;
    // The bindings matched; nothing is matched while empty. A new value applies to the next key press.
    std::optional<AppSettings> currentSettings;

    // Starts watching through the platform's key observation. At most once per process.
    void installMonitor(Platform& platform);

    // The binding that a key press fires, in the fixed order translate, layout, replace.
    std::optional<Action> match(const KeyPress& press) const;

private:
    Platform* platform = nullptr;
    bool installed = false;
};

} // namespace vorlex
