#pragma once

// Turns the three configured combinations into actions. The platform watches for them: it observes
// every key press without grabbing any (X11), or has the desktop keep them (Wayland's portal).

#include "HotkeyAction.h"
#include "Platform.h"
#include "SettingsManager.h"

#include <QObject>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace vorlex {

class HotkeyManager {
public:
    using Action = HotkeyAction;

    static HotkeyManager& shared();

    // "translate", "layout", "replace" or "screen", as `vorlex --hotkey` takes them.
    static std::optional<Action> actionNamed(const QString& name) { return hotkeyActionNamed(name); }
    // The hotkeys of settings as the platform takes them, in the order translate, layout, replace, screen,
    // each under its action's name; unassigned keys and keys outside the 46 are left out.
    static QList<Hotkey> hotkeys(const AppSettings& settings);

    // Called on the UI thread with the action of each hotkey press, after the key event has been
    // handled (queued, never from inside the platform's callback). Read when the queued call runs,
    // so the handler set at that time gets it.
    std::function<void(Action)> actionHandler;

    // The settings whose hotkeys are bound (none while empty).
    const std::optional<AppSettings>& currentSettings() const { return settings; }
    // Binds the hotkeys of settings from the next key press on, in place of the ones before (none
    // for nothing). The desktop is asked again only when they changed: each bind may show the user
    // a dialog. Before installMonitor they are only kept, for it to bind.
    void applySettings(std::optional<AppSettings> settings);

    // Starts watching through the platform, at most once per manager. Where the platform offers no
    // hotkeys (sway), or cannot observe keys, nothing fires until the next launch.
    void installMonitor(Platform& platform);

private:
    void bind();
    void fire(Action action);

    std::optional<AppSettings> settings;
    Platform* platform = nullptr;
    std::optional<QList<Hotkey>> bound;
    // Queued actions die with the manager instead of reaching a manager that is gone.
    QObject queueContext;
};

} // namespace vorlex
