#include "TextTerms.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace vorlex::TextTerms {

namespace {

icu::UnicodeString alias(const QString& text)
{
    // Read-only alias: no copy of the text.
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(text.constData()), int32_t(text.size()));
}

QString fromUnicode(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

namespace detail {

bool isSpaceSeparator(char32_t c)
{
    return u_charType(UChar32(c)) == U_SPACE_SEPARATOR;
}

bool hasAlphabeticProperty(char32_t c)
{
    return u_hasBinaryProperty(UChar32(c), UCHAR_ALPHABETIC);
}

} // namespace detail

namespace {

// Where the text without trimmable characters at either end starts and ends. Every trimmable character
// is in the BMP, so single UTF-16 units suffice.
std::pair<qsizetype, qsizetype> untrimmedSpan(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1).unicode()))
        --end;
    return {begin, end};
}

} // namespace

QString trimmed(const QString& text)
{
    const auto [begin, end] = untrimmedSpan(text);
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString withSurroundingSpace(const QString& original, const QString& replacement)
{
    const auto [begin, end] = untrimmedSpan(original);
    if (begin == end || replacement.isEmpty())
        return replacement;
    const bool ownLeading = isTrimmable(replacement.front().unicode());
    const bool ownTrailing = isTrimmable(replacement.back().unicode());
    return (ownLeading ? QString() : original.first(begin)) + replacement +
           (ownTrailing ? QString() : original.sliced(end));
}

// BMP code units whose Grapheme_Cluster_Break value is Other, Control, CR or LF. Between two of them
// there is always a boundary (UAX #29 GB4, GB5, GB999), except inside CR LF (GB3): every rule that
// joins two code points needs a mark, a joiner, a prepend, a Hangul jamo or a regional indicator on
// one side. Surrogates are left out, so a pair or a lone one always goes to ICU.
class PlainUnits {
public:
    PlainUnits()
    {
        for (UChar32 c = 0; c <= 0xFFFF; ++c) {
            if (U16_IS_SURROGATE(c))
                continue;
            switch (u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK)) {
            case U_GCB_OTHER:
            case U_GCB_CONTROL:
            case U_GCB_CR:
            case U_GCB_LF:
                bits[size_t(c) >> 6] |= uint64_t(1) << (c & 63);
                break;
            default:
                break;
            }
        }
    }
    bool contains(char16_t c) const { return (bits[c >> 6] >> (c & 63)) & 1; }

private:
    std::array<uint64_t, 1024> bits{};
};

namespace {

const PlainUnits& plainUnits()
{
    static const PlainUnits table; // built once, thread-safe
    return table;
}

} // namespace

GraphemeWalker::GraphemeWalker(const QString& walked) : text(walked), plain(&plainUnits()) {}

GraphemeWalker::~GraphemeWalker() = default;

bool GraphemeWalker::startIterator()
{
    if (iterator)
        return true;
    // ICU addresses text with 32-bit offsets; anything longer is walked code point by code point.
    if (iteratorFailed || text.size() > std::numeric_limits<int32_t>::max())
        return false;
    UErrorCode status = U_ZERO_ERROR;
    iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_SUCCESS(status)) {
        // constData, not utf16(): that may reallocate a raw-data string under callers holding its data.
        UText* utext =
            utext_openUChars(nullptr, reinterpret_cast<const UChar*>(text.constData()), text.size(), &status);
        iterator->setText(utext, status);
        utext_close(utext); // the iterator keeps its own shallow clone
    }
    if (U_FAILURE(status)) {
        iterator.reset();
        iteratorFailed = true;
    }
    return !iteratorFailed;
}

bool GraphemeWalker::next(qsizetype& start, qsizetype& end)
{
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    if (position >= size)
        return false;
    start = position;

    // Most units of a text are plain letters, digits, punctuation and blanks: a plain unit followed by
    // another (or by the end) is a cluster of its own, and ICU is asked only around the rest.
    const char16_t c = data[position].unicode();
    if (plain->contains(c)) {
        if (position + 1 == size) {
            end = ++position;
            return true;
        }
        const char16_t following = data[position + 1].unicode();
        if (plain->contains(following) && !(c == u'\r' && following == u'\n')) {
            end = ++position;
            return true;
        }
    }

    if (startIterator()) {
        // position is a boundary, so the next one after it ends this cluster. Where ICU already stands
        // there (clusters that need it in a row, as in pointed Hebrew), next() goes on from its cache.
        const int32_t following = position == icuPosition ? iterator->next() : iterator->following(int32_t(position));
        position = following == icu::BreakIterator::DONE ? size : following;
        icuPosition = position;
    } else {
        // Without ICU's break data every code point stands alone: less exact, but nothing is lost.
        position +=
            (QChar::isHighSurrogate(c) && position + 1 < size && QChar::isLowSurrogate(data[position + 1].unicode()))
                ? 2
                : 1;
    }
    end = position;
    return true;
}

qsizetype letterCount(const QString& text)
{
    qsizetype count = 0;
    const QChar* data = text.constData();
    GraphemeWalker walker(text);
    qsizetype start = 0;
    qsizetype end = 0;
    while (walker.next(start, end)) {
        if (isAlphabetic(codePointAt(data, end, start)))
            ++count;
    }
    return count;
}

QString leadingGraphemes(const QString& text, qsizetype count)
{
    GraphemeWalker walker(text);
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype taken = 0;
    while (taken < count && walker.next(start, end))
        ++taken;
    return taken < count ? text : text.left(end);
}

QString toLower(const QString& text)
{
    icu::UnicodeString copy = alias(text);
    copy.toLower(icu::Locale::getRoot());
    return fromUnicode(copy);
}

QString toUpper(const QString& text)
{
    icu::UnicodeString copy = alias(text);
    copy.toUpper(icu::Locale::getRoot());
    return fromUnicode(copy);
}

} // namespace vorlex::TextTerms
