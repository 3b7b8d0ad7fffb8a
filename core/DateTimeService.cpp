#include "DateTimeService.h"

#include "TextTerms.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <QByteArray>
#include <QMutex>

#include <cstdlib>
#include <memory>

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

// Making a he_IL formatter costs about a millisecond, so they are made once and kept; only the zones
// change from call to call.
struct Formatters {
    std::unique_ptr<icu::DateFormat> local; // Gregorian, full date, medium time
    std::unique_ptr<icu::DateFormat> utc;
    std::unique_ptr<icu::DateFormat> hebrew; // Hebrew calendar, full date, no time
    std::unique_ptr<icu::Calendar> range;    // refuses instants the library cannot hold

    Formatters()
    {
        const icu::Locale locale("he_IL");
        local.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kFull, icu::DateFormat::kMedium, locale));
        utc.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kFull, icu::DateFormat::kMedium, locale));
        if (utc)
            utc->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString(u"UTC")));
        hebrew.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, icu::Locale("he_IL@calendar=hebrew")));
        UErrorCode status = U_ZERO_ERROR;
        range.reset(icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            range.reset();
        else
            range->setLenient(false);
    }

    // The library's own range: a calendar that is not lenient refuses what it cannot hold.
    bool isRepresentable(UDate instant)
    {
        if (!range)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        range->setTime(instant, status);
        return U_SUCCESS(status);
    }
};

QString format(icu::DateFormat* formatter, UDate instant)
{
    if (formatter == nullptr)
        return {}; // ICU without locale data: nothing to show
    icu::UnicodeString text;
    formatter->format(instant, text);
    return fromUnicode(text);
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

    // The system zone is read again on every call: it may change while the program runs.
    const std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    icu::UnicodeString zoneId;
    result.timeZone = fromUnicode(zone->getID(zoneId));

    // ICU formatters must not be used by two threads at once: callers on different threads take turns.
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    static Formatters cached;
    if (!cached.isRepresentable(instant)) {
        result.localTime = result.utcTime = result.hebrewDate = outOfRange;
        return result;
    }
    // The Hebrew date is that of the local day.
    for (icu::DateFormat* formatter : {cached.local.get(), cached.hebrew.get()}) {
        if (formatter != nullptr)
            formatter->setTimeZone(*zone);
    }
    result.localTime = format(cached.local.get(), instant);
    result.utcTime = format(cached.utc.get(), instant);
    result.hebrewDate = format(cached.hebrew.get(), instant);
    return result;
}

} // namespace vorlex
