#pragma once

// The text terms every text service shares: letters, Hebrew letters, trimming, grapheme clusters.

#include <QString>

#include <unicode/uversion.h>

#include <memory>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END

namespace vorlex::TextTerms {

// U+05D0 to U+05EA: the 27 Hebrew letters, final forms included; points and marks are not letters.
constexpr bool isHebrewLetter(char32_t c)
{
    return c >= 0x05D0 && c <= 0x05EA;
}

namespace detail {
bool isSpaceSeparator(char32_t c);      // Unicode general category Zs
bool hasAlphabeticProperty(char32_t c); // ICU's UCHAR_ALPHABETIC
} // namespace detail

// Space, tab, every Unicode space separator, the line and paragraph separators, U+000A to U+000D, U+0085.
// Inline: the converter asks once per UTF-16 unit, and below U+1680 the only space separators are
// U+0020 and U+00A0, so the common case never reaches ICU.
inline bool isTrimmable(char32_t c)
{
    if (c < 0x1680)
        return c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0;
    return c == 0x2028 || c == 0x2029 || detail::isSpaceSeparator(c);
}

// Whether the code point has the Unicode Alphabetic property (what makes a cluster a letter). ASCII and
// the Hebrew letters, most of every text here, are answered without ICU.
inline bool isAlphabetic(char32_t c)
{
    if (c < 0x80)
        return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
    return isHebrewLetter(c) || detail::hasAlphabeticProperty(c);
}

// The code point that starts at data[index], index < size; a lone surrogate stands for itself.
inline char32_t codePointAt(const QChar* data, qsizetype size, qsizetype index)
{
    const char16_t first = data[index].unicode();
    if (QChar::isHighSurrogate(first) && index + 1 < size && QChar::isLowSurrogate(data[index + 1].unicode()))
        return QChar::surrogateToUcs4(first, data[index + 1].unicode());
    return first;
}

// The text without trimmable characters at either end.
QString trimmed(const QString& text);

// replacement with the trimmable characters that start and end original, at each end where it has
// none of its own: a text pasted over a selection keeps the selection's surrounding white space (a
// selected line's line break), which the services trim.
QString withSurroundingSpace(const QString& original, const QString& replacement);

class PlainUnits;

// Walks the grapheme clusters (user-perceived characters) of a text, as ICU's character break iterator
// finds them. The text must outlive the walker and stay unchanged.
class GraphemeWalker {
public:
    explicit GraphemeWalker(const QString& text);
    ~GraphemeWalker();
    GraphemeWalker(const GraphemeWalker&) = delete;
    GraphemeWalker& operator=(const GraphemeWalker&) = delete;

    // The next cluster as [start, end) in UTF-16 units; false at the end of the text.
    bool next(qsizetype& start, qsizetype& end);

private:
    bool startIterator(); // made on first need: plain text never needs it

    const QString& text;
    const PlainUnits* plain;
    std::unique_ptr<icu::BreakIterator> iterator;
    bool iteratorFailed = false;
    qsizetype position = 0;
    qsizetype icuPosition = -1; // where the iterator stands, -1 before its first use
};

// The number of letters: grapheme clusters whose first code point is Alphabetic.
qsizetype letterCount(const QString& text);

// The first count grapheme clusters of text (all of it when shorter).
QString leadingGraphemes(const QString& text, qsizetype count);

// Root-locale case mapping.
QString toLower(const QString& text);
QString toUpper(const QString& text);

} // namespace vorlex::TextTerms
