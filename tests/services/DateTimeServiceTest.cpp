#include "DateTimeService.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <ctime>
#include <optional>

using namespace vorlex;

TEST(DateTimeService, ReadsTimestampsInTheSystemZone)
{
    std::optional<test::EnvGuard> tz;
    const char* israel = "Asia/Jerusalem";
    const QString epoch = "יום חמישי, 1 בינואר 1970 בשעה ";
    const QString tevet = "יום חמישי, כ״ג בטבת תש״ל | Unix timestamp: ";
    const QString point = " (נקודה עשרונית הוסרה)";
    const QString outOfRange = "מחוץ לטווח | מחוץ לטווח | מחוץ לטווח | Unix timestamp: ";
    // The zone changes between rows, as it may while the program runs.
    const std::tuple<const char*, QString, QString> cases[] = {
        {israel, "\u2003 0059.99.1",
         epoch + "2:00:59 | " + epoch + "0:00:59 | " + tevet + "0059" + point}, // not rounded
        {israel, "1720047600", // summer time: the local day, Gregorian and Hebrew, is the next one
         "יום חמישי, 4 ביולי 2024 בשעה 2:00:00 | יום רביעי, 3 ביולי 2024 בשעה 23:00:00 | "
         "יום חמישי, כ״ח בסיוון תשפ״ד | Unix timestamp: 1720047600"},
        {"America/New_York", "1705357800", // the next day in Israel
         "יום שני, 15 בינואר 2024 בשעה 17:30:00 | יום שני, 15 בינואר 2024 בשעה 22:30:00 | "
         "יום שני, ה׳ בשבט תשפ״ד | Unix timestamp: 1705357800"},
        {israel, "-" + QString(400, u'9') + ".5", outOfRange + "-" + QString(400, u'9') + point}, // beyond a double
    };
    for (const auto& [zone, text, expected] : cases) {
        tz.emplace("TZ", zone); // ICU keeps its default zone until told to read it again
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
        const DateTimeResult r = DateTimeService::compute(text);
        EXPECT_EQ(
            QStringList({r.timeZone, r.localTime, r.utcTime, r.hebrewDate, r.sourceNote}).join(" | ").toStdString(),
            (zone + (" | " + expected)).toStdString());
    }
}

TEST(DateTimeService, TextThatIsNoTimestampShowsNow)
{
    for (const char* text : {"", " \t\n", "abc", "1,000", "+5", "5-", "--5", ".5", "1-2", "1e5", "0x10", "٣", "１２",
                             "- 5", "\u200B5", "5\uFEFF", "\u180E5", "5\x1C", "5\x7F"}) // no blanks either
        EXPECT_EQ(DateTimeService::compute(text).sourceNote.toStdString(), "עכשיו") << text;
}
