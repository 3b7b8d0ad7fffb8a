#include "TextTerms.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace vorlex::TextTerms {

namespace {

icu::UnicodeString alias(const QString& text)
{
    // Read-only alias: no copy of the text.
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
}

QString fromUnicode(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

char32_t firstCodePoint(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const char16_t first = text.at(0).unicode();
    if (QChar::isHighSurrogate(first) && text.size() > 1 && QChar::isLowSurrogate(text.at(1).unicode()))
        return QChar::surrogateToUcs4(first, text.at(1).unicode());
    return first;
}

} // namespace

bool isTrimmable(char32_t c)
{
    // Below U+1680 the only space separators are U+0020 and U+00A0; the check runs once per code unit
    // of every converted text, so the common case stays out of ICU.
    if (c < 0x1680)
        return c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0;
    if (c == 0x2028 || c == 0x2029)
        return true;
    return u_charType(UChar32(c)) == U_SPACE_SEPARATOR;
}

QString trimmed(const QString& text)
{
    // Every trimmable character is in the BMP, so single UTF-16 units suffice.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin).unicode()))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1).unicode()))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

GraphemeWalker::GraphemeWalker(const QString& text) : data(text.constData()), size(text.size())
{
    UErrorCode status = U_ZERO_ERROR;
    iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        iterator.reset();
        return;
    }
    UText* utext = utext_openUChars(nullptr, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
    iterator->setText(utext, status);
    utext_close(utext); // the iterator keeps its own shallow clone
    if (U_FAILURE(status))
        iterator.reset();
    else
        position = iterator->first();
}

GraphemeWalker::~GraphemeWalker() = default;

bool GraphemeWalker::next(qsizetype& start, qsizetype& end)
{
    if (!iterator) {
        // Without ICU's break data every code point stands alone: less exact, but nothing is lost.
        if (position >= size)
            return false;
        start = position;
        position += (QChar::isHighSurrogate(data[position].unicode()) && position + 1 < size &&
                     QChar::isLowSurrogate(data[position + 1].unicode()))
                        ? 2
                        : 1;
        end = position;
        return true;
    }
    const int32_t following = iterator->next();
    if (following == icu::BreakIterator::DONE)
        return false;
    start = position;
    end = following;
    position = following;
    return true;
}

bool startsWithLetter(QStringView cluster)
{
    return !cluster.isEmpty() && u_hasBinaryProperty(UChar32(firstCodePoint(cluster)), UCHAR_ALPHABETIC);
}

qsizetype letterCount(const QString& text)
{
    qsizetype count = 0;
    GraphemeWalker walker(text);
    qsizetype start = 0;
    qsizetype end = 0;
    while (walker.next(start, end)) {
        if (startsWithLetter(QStringView(text).mid(start, end - start)))
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
