#pragma once

// The one bound on the size of a text the program takes in, from anywhere: a capture, a D-Bus call,
// a vorlex: URL, an argument. More than any translation engine accepts in one request, and little
// enough that laying it out in the popup and keeping it in the history stay quick.

#include <QStringView>

namespace vorlex {

// In UTF-8 bytes, as the selections and the history files carry text: 2 MiB.
inline constexpr qsizetype maximumTextBytes = qsizetype(2) * 1024 * 1024;

// Whether text takes more than maximumTextBytes as UTF-8. Counts without converting, and stops at the bound.
inline bool exceedsTextLimit(QStringView text)
{
    if (text.size() * 3 <= maximumTextBytes) // no UTF-16 unit takes more than 3 bytes
        return false;
    qsizetype bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : QChar::isSurrogate(u) ? 2 : 3; // a pair is 4 bytes
        if (bytes > maximumTextBytes)
            return true;
    }
    return false;
}

} // namespace vorlex
