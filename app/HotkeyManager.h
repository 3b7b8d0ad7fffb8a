#pragma once

// Watches every key press of the desktop and turns the three configured combinations into actions.
// Nothing is grabbed or swallowed: every key, the matching ones included, reaches its application.
// Where the desktop keeps the shortcuts itself (Wayland's portal), the combinations are bound there.

#include "Platform.h"
#include "SettingsManager.h"

#include <QObject>
#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>

namespace vorlex {

class HotkeyManager {
public:
    enum class Action : qint32 { translate = 1, layoutConvert = 2, replaceText = 3 };

    // One binding reduced to what a key press is compared with.
    struct Binding {
        quint32 keycode = 0;
        quint32 modifiers = 0; // KeyModifier bits
        Action action = Action::translate;
        bool operator==(const Binding&) const = default;
    };
    // The bindings that can fire, in the fixed order translate, layout, replace; unassigned keys
    // and keys outside the table are left out.
    struct Bindings {
        std::array<Binding, 3> entries{};
        int count = 0;
    };

    // The settings the monitor matches, kept together with their compiled bindings so that a key
    // press costs a few comparisons. Assign an AppSettings or std::nullopt like a plain field.
    class Settings {
    public:
        Settings& operator=(std::optional<AppSettings> settings);
        bool has_value() const { return value.has_value(); }
        explicit operator bool() const { return value.has_value(); }
        const AppSettings& operator*() const { return *value; }
        const AppSettings* operator->() const { return &*value; }
        const std::optional<AppSettings>& get() const { return value; }
        const Bindings& bindings() const { return compiled; }
        bool operator==(const std::optional<AppSettings>& other) const { return value == other; }

    private:
        friend class HotkeyManager;
        std::optional<AppSettings> value;
        Bindings compiled;
        std::function<void()> changed;
    };

    static HotkeyManager& shared();

    // The 46 key names a hotkey can fire on, each tied to one physical key (X keycode, US position).
    // The name is lower-cased first, so "T" and "t" are the same key.
    static std::optional<quint32> keycodeForKeyName(const QString& key);
    static std::optional<QString> keyNameForKeycode(quint32 keycode);
    // "translate", "layout" or "replace", as `vorlex --hotkey` takes them.
    static std::optional<Action> actionNamed(const QString& name);
    // The bindings as the desktop's shortcut service takes them, each under its action's name.
    static QList<GlobalShortcuts::Shortcut> shortcuts(const Bindings& bindings);
    // The KeyModifier bits of modifier tokens (see ModifierToken.h); other names are ignored.
    static quint32 modifierMask(const QStringList& modifiers);
    static Bindings compile(const AppSettings& settings);
    // The first binding a key press fires, with exact equality of the four modifiers.
    static std::optional<Action> match(const Bindings& bindings, const KeyPress& press);

    // Called on the UI thread with the action of each matching key press, after the key event
    // has been handled (queued, never from inside the observer's callback). Read when the queued
    // call runs, so the handler set at that time gets it.
    std::function<void(Action)> actionHandler;
    // The bindings matched; nothing is matched while empty. A new value applies to the next key press.
    Settings currentSettings;

    // Starts watching through the platform's key observation, and binds the hotkeys with the desktop's
    // shortcut service where there is one (again whenever currentSettings changes them). At most once
    // per manager; when the platform cannot observe keys nothing is observed until the next launch.
    void installMonitor(Platform& platform);

    // The action a key press fires under currentSettings.
    std::optional<Action> match(const KeyPress& press) const;

private:
    void keyPressed(const KeyPress& press);
    void bindShortcuts();
    void fire(Action action);

    Platform* platform = nullptr;
    bool installed = false;
    QList<GlobalShortcuts::Shortcut> boundShortcuts;
    // Queued actions die with the manager instead of reaching a manager that is gone.
    QObject queueContext;
};

} // namespace vorlex
