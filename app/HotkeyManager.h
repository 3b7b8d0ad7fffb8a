#pragma once

// Turns the three configured combinations into actions. The platform takes their keys for the
// program: it grabs them (X11), or has the desktop keep them (Wayland's portal).

#include "HotkeyAction.h"
#include "Platform.h"
#include "SettingsManager.h"

#include <QObject>
#include <QPointer>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace vorlex {

class HotkeyManager {
public:
    using Action = HotkeyAction;

    static HotkeyManager& shared();

    HotkeyManager() = default;
    // Unbinds what it bound, where the platform is still there.
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

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
    // for nothing). The platform asks the desktop again only for what is not in force: unchanged
    // hotkeys that work show the user no dialog, and ones the desktop dropped are bound again.
    // Before installMonitor they are only kept, for it to bind.
    void applySettings(std::optional<AppSettings> settings);

    // Starts watching through the platform, at most once while that platform lives; once it is gone
    // the manager lets go of it and may be installed again. Where the platform offers no hotkeys
    // (sway), nothing fires.
    void installMonitor(Platform& platform);

    // The bound hotkeys whose keys another program holds, so they never fire.
    QList<Action> takenHotkeys() const;

private:
    // The installed platform's hotkeys, or null once the platform is gone.
    Hotkeys* desktopHotkeys() const { return platformAlive ? platform->hotkeys() : nullptr; }
    void bind();
    void fire(Action action);

    std::optional<AppSettings> settings;
    Platform* platform = nullptr;
    QPointer<QObject> platformAlive; // the platform's lifetime: platform is used only while it is set
    // Queued actions die with the manager instead of reaching a manager that is gone.
    QObject queueContext;
};

} // namespace vorlex
