#pragma once

// The four modifier tokens a hotkey is written with, and what each one is on this desktop. Qt's
// cross-platform convention: "cmd" is Ctrl (the modifier of shortcuts and of copy and paste),
// "ctrl" is Super, "opt" is Alt. Every place that reads, writes or shows a token uses this table.

#include <Qt>

namespace vorlex {

struct ModifierToken {
    const char* token;               // as stored in settings.json
    Qt::KeyboardModifier qtModifier; // as a key event reports the key held
    char16_t symbol;                 // in displayLabel
    const char* linuxName;           // in tooltips: "Ctrl+Shift+T"
    int linuxRank;                   // place in Qt's order of shortcut names: Ctrl, Alt, Shift, Super
};

// In the order of the symbols (⌃⌥⌘⇧), which is also the order a recorded hotkey writes its tokens.
inline constexpr ModifierToken modifierTokens[] = {
    {"ctrl", Qt::MetaModifier, u'\u2303', "Super", 3},
    {"opt", Qt::AltModifier, u'\u2325', "Alt", 1},
    {"cmd", Qt::ControlModifier, u'\u2318', "Ctrl", 0},
    {"shift", Qt::ShiftModifier, u'\u21E7', "Shift", 2},
};

} // namespace vorlex
