#include "DateTimeService.h"

#include "TextTerms.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <QByteArray>

#include <cstdlib>
#include <memory>
#include <optional>

namespace vorlex {

namespace {

// Shown in all three texts for an instant the calendar library cannot represent (about 5.8 million
// years either side of 1970); the source note still says what was read.
const QString outOfRange = QStringLiteral("מחוץ לטווח");

QString fromUnicode(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// Optional leading "-", then one or more ASCII digits: what the numeric-or-minus test, the single
// "-" and a whole-text C-locale parse accept together.
bool isTimestamp(QStringView integerPart)
{
    const QStringView digits = integerPart.startsWith(u'-') ? integerPart.mid(1) : integerPart;
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The library's own range: a non-lenient calendar refuses instants it cannot hold.
bool isRepresentable(UDate instant)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return false;
    calendar->setLenient(false);
    calendar->setTime(instant, status);
    return U_SUCCESS(status);
}

std::optional<QString> format(icu::DateFormat* formatter, UDate instant)
{
    if (formatter == nullptr)
        return std::nullopt;
    icu::UnicodeString text;
    formatter->format(instant, text);
    return fromUnicode(text);
}

// he_IL, Gregorian, full date and medium time, in the given zone (the formatter takes it over).
QString formatGregorian(UDate instant, icu::TimeZone* timezone)
{
    std::unique_ptr<icu::DateFormat> formatter(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kFull, icu::DateFormat::kMedium, icu::Locale("he_IL")));
    if (formatter)
        formatter->adoptTimeZone(timezone);
    else
        delete timezone;
    return format(formatter.get(), instant).value_or(outOfRange);
}

// he_IL, Hebrew calendar, full date, in the default zone: the Hebrew date of the local day.
QString formatHebrew(UDate instant)
{
    std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateInstance(icu::DateFormat::kFull, icu::Locale("he_IL@calendar=hebrew")));
    return format(formatter.get(), instant).value_or(outOfRange);
}

} // namespace

DateTimeResult DateTimeService::compute(const QString& text)
{
    const QString trimmedText = TextTerms::trimmed(text);
    const qsizetype point = trimmedText.indexOf(u'.');
    const QStringView integerPart = QStringView(trimmedText).left(point < 0 ? trimmedText.size() : point);

    DateTimeResult result;
    UDate instant = 0;
    if (isTimestamp(integerPart)) {
        // Seconds as a double, like any decimal parse: 30 digits still give a (huge) finite value,
        // a few hundred overflow to infinity; the range test below refuses both.
        const QByteArray digits = integerPart.toLatin1();
        instant = std::strtod(digits.constData(), nullptr) * 1000.0;
        result.sourceNote = QStringLiteral("Unix timestamp: ") + integerPart.toString();
        if (point >= 0)
            result.sourceNote += QStringLiteral(" (נקודה עשרונית הוסרה)");
    } else {
        instant = icu::Calendar::getNow();
        result.sourceNote = QStringLiteral("עכשיו");
    }

    if (!isRepresentable(instant)) {
        result.localTime = result.utcTime = result.hebrewDate = outOfRange;
        return result;
    }
    result.localTime = formatGregorian(instant, icu::TimeZone::createDefault());
    result.utcTime = formatGregorian(instant, icu::TimeZone::createTimeZone(icu::UnicodeString(u"UTC")));
    result.hebrewDate = formatHebrew(instant);
    return result;
}

} // namespace vorlex
