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

// Space, tab, every Unicode space separator, the line and paragraph separators, U+000A to U+000D, U+0085.
bool isTrimmable(char32_t c);

// The text without trimmable characters at either end.
QString trimmed(const QString& text);

// Walks the grapheme clusters (user-perceived characters) of a text. The text must outlive the walker.
class GraphemeWalker {
public:
    explicit GraphemeWalker(const QString& text);
    ~GraphemeWalker();
    GraphemeWalker(const GraphemeWalker&) = delete;
    GraphemeWalker& operator=(const GraphemeWalker&) = delete;

    // The next cluster as [start, end) in UTF-16 units; false at the end of the text.
    bool next(qsizetype& start, qsizetype& end);

private:
    std::unique_ptr<icu::BreakIterator> iterator;
    const QChar* data = nullptr;
    qsizetype size = 0;
    qsizetype position = 0;
};

// Whether the first code point of text (a cluster) has the Unicode Alphabetic property.
bool startsWithLetter(QStringView cluster);

// The number of letters: grapheme clusters whose first code point is Alphabetic.
qsizetype letterCount(const QString& text);

// The first count grapheme clusters of text (all of it when shorter).
QString leadingGraphemes(const QString& text, qsizetype count);

// Root-locale case mapping.
QString toLower(const QString& text);
QString toUpper(const QString& text);

} // namespace vorlex::TextTerms
