#pragma once

// Text typed with the wrong keyboard layout active, Hebrew <-> English (US), word by word.

#include <QString>

namespace vorlex {

class KeyboardLayoutConverter {
public:
    KeyboardLayoutConverter() = delete;

    // Never fails. Separators (spaces, tabs, line breaks) come back exactly as they were.
    static QString convert(const QString& text);
};

} // namespace vorlex
