#pragma once

// The four modifier tokens a hotkey is written with, and what each one is on this desktop. Qt's
// cross-platform convention: "cmd" is Ctrl (the modifier of shortcuts and of copy and paste),
// "ctrl" is Super, "opt" is Alt. Every place that reads, writes or shows a token uses this table.

#include <Qt>

namespace vorlex {

struct ModifierToken {
    const char* token;               // as stored in settings.json
    Qt::KeyboardModifier qtModifier; // as a key event reports the key held
};

// In the order a recorded hotkey writes its tokens.
inline constexpr ModifierToken modifierTokens[] = {
    {"ctrl", Qt::MetaModifier},
    {"opt", Qt::AltModifier},
    {"cmd", Qt::ControlModifier},
    {"shift", Qt::ShiftModifier},
};

} // namespace vorlex
