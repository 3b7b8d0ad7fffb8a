#include "X11Hotkeys.h"

#include "X11KeyCodes.h"

namespace vorlex::x11 {

X11HotkeyTable::X11HotkeyTable(const QList<Hotkey>& hotkeys)
{
    for (const Hotkey& hotkey : hotkeys) {
        if (const auto keycode = keycodeOfHotkeyKey(hotkey.key))
            entries.push_back({{*keycode, hotkey.modifiers}, hotkey.action});
    }
}

const QString* X11HotkeyTable::match(const KeyPress& press) const
{
    for (const auto& [keys, action] : entries) {
        if (keys == press)
            return &action;
    }
    return nullptr;
}

void X11Hotkeys::bind(const QList<Hotkey>& hotkeys, Handler handler)
{
    table = X11HotkeyTable(hotkeys);
    triggered = std::move(handler);
    // When the server offers no way to observe keys, nothing fires until the next launch.
    if (!std::exchange(watching, true))
        observer.watchKeys([this](const KeyPress& press) {
            if (const QString* action = table.match(press); action && triggered)
                triggered(*action);
        });
}

} // namespace vorlex::x11
