#pragma once

// The four hotkey actions and the names `vorlex --hotkey`, RunHotkeyAction and the desktop's
// shortcut service know them by. QtCore only: the launcher reads them too.

#include <QString>

#include <optional>

namespace vorlex {

enum class HotkeyAction : qint32 { translate = 1, layoutConvert = 2, replaceText = 3, translateScreen = 4 };

struct HotkeyActionName {
    HotkeyAction action;
    const char* name;
    const char16_t* description; // shown by the desktop next to a shortcut (the tray menu's words)
};

inline constexpr HotkeyActionName hotkeyActionNames[] = {
    {HotkeyAction::translate, "translate", u"תרגם טקסט שנבחר"},
    {HotkeyAction::layoutConvert, "layout", u"החלף פריסת מקלדת"},
    {HotkeyAction::replaceText, "replace", u"תרגם והחלף טקסט"},
    {HotkeyAction::translateScreen, "screen", u"תרגם טקסט מהמסך"},
};

// "translate", "layout", "replace" or "screen"; nothing for any other name.
inline std::optional<HotkeyAction> hotkeyActionNamed(const QString& name)
{
    for (const HotkeyActionName& entry : hotkeyActionNames) {
        if (name == QLatin1String(entry.name))
            return entry.action;
    }
    return std::nullopt;
}

} // namespace vorlex
