#include "KeyboardLayoutConverter.h"

#include "TextTerms.h"

#include <unicode/uchar.h>

#include <array>
#include <utility>
#include <vector>

namespace vorlex {

namespace {

// The US key (lower case) and the Hebrew letter the same physical key gives on the standard Hebrew layout.
// q and w have no Hebrew letter; every Hebrew letter, final forms included, has exactly one key.
constexpr std::array<std::pair<char16_t, char16_t>, 27> keyPairs{{
    {u'e', 0x05E7}, // ק
    {u'r', 0x05E8}, // ר
    {u't', 0x05D0}, // א
    {u'y', 0x05D8}, // ט
    {u'u', 0x05D5}, // ו
    {u'i', 0x05DF}, // ן
    {u'o', 0x05DD}, // ם
    {u'p', 0x05E4}, // פ
    {u'a', 0x05E9}, // ש
    {u's', 0x05D3}, // ד
    {u'd', 0x05D2}, // ג
    {u'f', 0x05DB}, // כ
    {u'g', 0x05E2}, // ע
    {u'h', 0x05D9}, // י
    {u'j', 0x05D7}, // ח
    {u'k', 0x05DC}, // ל
    {u'l', 0x05DA}, // ך
    {u';', 0x05E3}, // ף
    {u'z', 0x05D6}, // ז
    {u'x', 0x05E1}, // ס
    {u'c', 0x05D1}, // ב
    {u'v', 0x05D4}, // ה
    {u'b', 0x05E0}, // נ
    {u'n', 0x05DE}, // מ
    {u'm', 0x05E6}, // צ
    {u',', 0x05EA}, // ת
    {u'.', 0x05E5}, // ץ
}};

constexpr char16_t firstHebrewLetter = 0x05D0;

// Indexed by ASCII code; 0 means no entry.
constexpr std::array<char16_t, 128> englishToHebrew = [] {
    std::array<char16_t, 128> table{};
    for (const auto& [key, letter] : keyPairs)
        table[key] = letter;
    return table;
}();

// Indexed by letter - U+05D0; every one of the 27 letters has an entry.
constexpr std::array<char16_t, 27> hebrewToEnglish = [] {
    std::array<char16_t, 27> table{};
    for (const auto& [key, letter] : keyPairs)
        table[letter - firstHebrewLetter] = key;
    return table;
}();

static_assert(englishToHebrew[u'q'] == 0 && englishToHebrew[u'w'] == 0);
static_assert([] {
    for (const char16_t key : hebrewToEnglish) {
        if (key == 0)
            return false;
    }
    return true;
}());

constexpr bool isAsciiUpper(char32_t c)
{
    return c >= u'A' && c <= u'Z';
}

// The Hebrew letter for a one-unit character whose lower-case form is a key, else 0.
char16_t hebrewFor(char16_t c)
{
    if (c < 0x80)
        return englishToHebrew[isAsciiUpper(c) ? c + (u'a' - u'A') : c];
    // Outside ASCII only a few characters lower-case to a key (the Kelvin sign to k); the full mapping
    // decides, since a character such as U+0130 lower-cases to two code points and has no entry.
    const UChar32 lower = u_tolower(c);
    if (lower >= 0x80 || englishToHebrew[lower] == 0)
        return 0;
    const QString full = TextTerms::toLower(QString(QChar(c)));
    return full.size() == 1 && full.at(0).unicode() == lower ? englishToHebrew[lower] : 0;
}

// One word, fed cluster by cluster; finish() converts it in place. Every change is one UTF-16 unit for
// one (only one-unit characters have table entries), so the output is the input with units replaced.
class Word {
public:
    void add(const QChar* data, qsizetype start, qsizetype end)
    {
        const char32_t first = TextTerms::codePointAt(data, end, start);
        const bool single = end - start == 1;
        if (single)
            singles.push_back(start);
        if (TextTerms::isHebrewLetter(first))
            ++hebrew;
        if (!TextTerms::isAlphabetic(first))
            return;
        ++letters;
        const bool ascii = single && first < 0x80; // an Alphabetic ASCII code point is a-z or A-Z
        if (ascii)
            ++english;
        if (!ascii || !isAsciiUpper(first))
            allAsciiUpper = false;
    }

    void finish(const QChar* data, QChar* out)
    {
        const bool acronym = letters >= 2 && allAsciiUpper; // USA, OK, A1B, I'M; not a lone capital
        if (!acronym && english != hebrew) {
            for (const qsizetype position : singles) {
                const char16_t c = data[position].unicode();
                char16_t mapped = 0;
                if (english > hebrew)
                    mapped = hebrewFor(c);
                else if (TextTerms::isHebrewLetter(c)) // pointed letters are longer clusters: never here
                    mapped = hebrewToEnglish[c - firstHebrewLetter];
                if (mapped != 0)
                    out[position] = QChar(mapped);
            }
        }
        singles.clear(); // keeps its capacity for the next word
        letters = hebrew = english = 0;
        allAsciiUpper = true;
    }

private:
    std::vector<qsizetype> singles; // where the one-unit characters of the word are
    qsizetype letters = 0;
    qsizetype hebrew = 0;
    qsizetype english = 0;
    bool allAsciiUpper = true;
};

} // namespace

QString KeyboardLayoutConverter::convert(const QString& text)
{
    QString out = text;
    if (text.isEmpty())
        return out;
    QChar* target = out.data(); // the one copy
    const QChar* data = text.constData();
    Word word;

    // One grapheme pass over the whole text. Every separator code point ends a word and stays as it was;
    // a cluster that holds one (a space followed by a combining mark, CR LF) is cut there, so the pieces
    // are the clusters the word alone would have.
    TextTerms::GraphemeWalker walker(text);
    qsizetype start = 0;
    qsizetype end = 0;
    while (walker.next(start, end)) {
        qsizetype pieceStart = start;
        for (qsizetype i = start; i < end; ++i) {
            if (!TextTerms::isTrimmable(data[i].unicode()))
                continue;
            if (pieceStart < i)
                word.add(data, pieceStart, i);
            word.finish(data, target);
            pieceStart = i + 1;
        }
        if (pieceStart < end)
            word.add(data, pieceStart, end);
    }
    word.finish(data, target);
    return out;
}

} // namespace vorlex
