#include "DateTimeService.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include <atomic>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vorlex {
namespace {

using test::EnvGuard;

// Pins TZ for the test and makes ICU, which caches its default zone, read it again; undoes both after.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) : tz(std::make_unique<EnvGuard>("TZ", zone)) { refresh(); }
    ~ZoneGuard()
    {
        tz.reset();
        refresh();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    static void refresh()
    {
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
    }
    std::unique_ptr<EnvGuard> tz;
};

const QString decimalNote = QStringLiteral(" (נקודה עשרונית הוסרה)");
const QString now = QStringLiteral("עכשיו");
const QString outOfRange = QStringLiteral("מחוץ לטווח");

struct Case {
    const char* input;
    const char* localTime; // Asia/Jerusalem
    const char* utcTime;
    const char* hebrewDate;
    const char* sourceNote;
};

TEST(DateTimeService, ReadsTimestamps)
{
    ZoneGuard zone("Asia/Jerusalem");
    const Case cases[] = {
        {"0", "יום חמישי, 1 בינואר 1970 בשעה 2:00:00", "יום חמישי, 1 בינואר 1970 בשעה 0:00:00",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 0"},
        {"-60", "יום חמישי, 1 בינואר 1970 בשעה 1:59:00", "יום רביעי, 31 בדצמבר 1969 בשעה 23:59:00",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: -60"},
        {"59.99", "יום חמישי, 1 בינואר 1970 בשעה 2:00:59", "יום חמישי, 1 בינואר 1970 בשעה 0:00:59",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 59 (נקודה עשרונית הוסרה)"},
        {"12.34.56", "יום חמישי, 1 בינואר 1970 בשעה 2:00:12", "יום חמישי, 1 בינואר 1970 בשעה 0:00:12",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 12 (נקודה עשרונית הוסרה)"},
        {"1705276800\n", "יום שני, 15 בינואר 2024 בשעה 2:00:00", "יום שני, 15 בינואר 2024 בשעה 0:00:00",
         "יום שני, ה׳ בשבט תשפ״ד", "Unix timestamp: 1705276800"},
        // Summer time: Jerusalem is three hours ahead, and the local day is already the next one.
        {"\u2003 1720047600\u2028", "יום חמישי, 4 ביולי 2024 בשעה 2:00:00", "יום רביעי, 3 ביולי 2024 בשעה 23:00:00",
         "יום חמישי, כ״ח בסיוון תשפ״ד", "Unix timestamp: 1720047600"},
        {" 007\t", "יום חמישי, 1 בינואר 1970 בשעה 2:00:07", "יום חמישי, 1 בינואר 1970 בשעה 0:00:07",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 007"},
        {"-0", "יום חמישי, 1 בינואר 1970 בשעה 2:00:00", "יום חמישי, 1 בינואר 1970 בשעה 0:00:00",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: -0"},
        {"5.", "יום חמישי, 1 בינואר 1970 בשעה 2:00:05", "יום חמישי, 1 בינואר 1970 בשעה 0:00:05",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 5 (נקודה עשרונית הוסרה)"},
        {"5.x", "יום חמישי, 1 בינואר 1970 בשעה 2:00:05", "יום חמישי, 1 בינואר 1970 בשעה 0:00:05",
         "יום חמישי, כ״ג בטבת תש״ל", "Unix timestamp: 5 (נקודה עשרונית הוסרה)"},
        // Milliseconds are read as seconds: far in the future, but still a date.
        {"1700000000000", "יום שני, 9 בנובמבר 55840 בשעה 0:13:20", "יום ראשון, 8 בנובמבר 55840 בשעה 22:13:20",
         "יום שני, י׳ בניסן נ״ט׳ת״ר", "Unix timestamp: 1700000000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const DateTimeResult result = DateTimeService::compute(QString::fromUtf8(c.input));
        EXPECT_EQ(result.localTime, QString::fromUtf8(c.localTime));
        EXPECT_EQ(result.utcTime, QString::fromUtf8(c.utcTime));
        EXPECT_EQ(result.hebrewDate, QString::fromUtf8(c.hebrewDate));
        EXPECT_EQ(result.sourceNote, QString::fromUtf8(c.sourceNote));
    }
}

TEST(DateTimeService, LocalTimeFollowsTheSystemZone)
{
    const QString text = QStringLiteral("1705357800"); // 2024-01-15 22:30 UTC
    {
        ZoneGuard zone("America/New_York");
        const DateTimeResult result = DateTimeService::compute(text);
        EXPECT_EQ(result.localTime, QStringLiteral("יום שני, 15 בינואר 2024 בשעה 17:30:00"));
        EXPECT_EQ(result.utcTime, QStringLiteral("יום שני, 15 בינואר 2024 בשעה 22:30:00"));
        EXPECT_EQ(result.hebrewDate, QStringLiteral("יום שני, ה׳ בשבט תשפ״ד"));
    }
    {
        ZoneGuard zone("Pacific/Kiritimati"); // UTC+14: already Tuesday
        const DateTimeResult result = DateTimeService::compute(text);
        EXPECT_EQ(result.localTime, QStringLiteral("יום שלישי, 16 בינואר 2024 בשעה 12:30:00"));
        EXPECT_EQ(result.utcTime, QStringLiteral("יום שני, 15 בינואר 2024 בשעה 22:30:00"));
        EXPECT_EQ(result.hebrewDate, QStringLiteral("יום שלישי, ו׳ בשבט תשפ״ד"));
    }
}

// The three texts of the current instant, read twice around the call so a second ticking over between
// them cannot fail the test.
bool isNow(const DateTimeResult& result, const DateTimeResult& before, const DateTimeResult& after)
{
    const auto same = [&](const DateTimeResult& r) {
        return r.localTime == result.localTime && r.utcTime == result.utcTime && r.hebrewDate == result.hebrewDate;
    };
    return same(before) || same(after);
}

TEST(DateTimeService, TextThatIsNoTimestampShowsNow)
{
    ZoneGuard zone("Asia/Jerusalem");
    const char* inputs[] = {"",    " \t\n ", "abc", "1,000", "+5",   "5-", "--5", ".5",  "-",    "1-2",
                            "1e5", "0x10",   "5 6", "٣",     "１２", "5a", "- 5", "-.5", "12 .", "\u200B5"};
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        const QString clock = QString::number(QDateTime::currentSecsSinceEpoch());
        const DateTimeResult before = DateTimeService::compute(clock);
        const DateTimeResult result = DateTimeService::compute(QString::fromUtf8(input));
        const DateTimeResult after = DateTimeService::compute(QString::number(QDateTime::currentSecsSinceEpoch()));
        EXPECT_EQ(result.sourceNote, now);
        EXPECT_TRUE(isNow(result, before, after)) << result.utcTime.toStdString();
    }
}

TEST(DateTimeService, InstantsTheCalendarCannotHoldReadOutOfRange)
{
    ZoneGuard zone("Asia/Jerusalem");
    struct Limit {
        QString input;
        bool representable;
    };
    const Limit limits[] = {
        {QStringLiteral("183882168921600"), true}, // the calendar's last instant
        {QStringLiteral("183882168921601"), false},
        {QStringLiteral("-184303902528000"), true}, // and its first
        {QStringLiteral("-184303902528001"), false},
        {QString(30, u'1'), false},
        {QStringLiteral("-100000000000000000000"), false},
        {QString(400, u'9'), false}, // beyond what a double holds
        {QStringLiteral("-") + QString(400, u'9') + QStringLiteral(".5"), false},
    };
    for (const Limit& limit : limits) {
        SCOPED_TRACE(limit.input.toStdString());
        const DateTimeResult result = DateTimeService::compute(limit.input);
        QString note = QStringLiteral("Unix timestamp: ") + limit.input.section(u'.', 0, 0);
        if (limit.input.contains(u'.'))
            note += decimalNote;
        EXPECT_EQ(result.sourceNote, note);
        if (limit.representable) {
            EXPECT_NE(result.localTime, outOfRange);
            EXPECT_FALSE(result.localTime.isEmpty());
            EXPECT_FALSE(result.utcTime.isEmpty());
            EXPECT_FALSE(result.hebrewDate.isEmpty());
            EXPECT_NE(result.hebrewDate, outOfRange);
        } else {
            EXPECT_EQ(result.localTime, outOfRange);
            EXPECT_EQ(result.utcTime, outOfRange);
            EXPECT_EQ(result.hebrewDate, outOfRange);
        }
    }
}

TEST(DateTimeService, GivesTheSameTextsOnEveryThread)
{
    ZoneGuard zone("Asia/Jerusalem");
    const QStringList inputs{QStringLiteral("0"), QStringLiteral("1705276800"), QStringLiteral("-60.5"),
                             QString(30, u'7')};
    std::vector<DateTimeResult> expected;
    for (const QString& input : inputs)
        expected.push_back(DateTimeService::compute(input));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 25; ++round) {
                for (qsizetype i = 0; i < inputs.size(); ++i) {
                    if (!(DateTimeService::compute(inputs[i]) == expected[size_t(i)]))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// hebcal prints "2024-01-15 ה׳ שְׁבָט תשפ״ד"; the vowel points go, and two month names are spelt with
// the single vav where the calendar library writes two.
QString fromHebcal(QString date)
{
    date.remove(QRegularExpression(QStringLiteral("[\u0591-\u05C7]")));
    date.replace(QStringLiteral("חשון"), QStringLiteral("חשוון"));
    date.replace(QStringLiteral("סיון"), QStringLiteral("סיוון"));
    return date;
}

TEST(DateTimeService, HebrewDatesAgreeWithHebcal)
{
    const QString hebcal = QStandardPaths::findExecutable(QStringLiteral("hebcal"));
    if (hebcal.isEmpty())
        GTEST_SKIP() << "hebcal is not installed";
    ZoneGuard zone("UTC");

    int compared = 0;
    // Common and leap Hebrew years, both Adars, both spellings of the long months, two centuries.
    for (const int year : {1900, 1950, 1999, 2000, 2023, 2024, 2025, 2100}) {
        QProcess process;
        process.start(hebcal, {QStringLiteral("-d"), QStringLiteral("-h"), QStringLiteral("-x"), QStringLiteral("-g"),
                               QStringLiteral("--lang"), QStringLiteral("he"), QString::number(year)});
        ASSERT_TRUE(process.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 365) << year;
        for (qsizetype i = 0; i < lines.size(); i += 3) {
            const QString day = lines[i].section(u' ', 0, 0);
            const QDateTime noon(QDate::fromString(day, Qt::ISODate), QTime(12, 0), QTimeZone::utc());
            ASSERT_TRUE(noon.isValid()) << lines[i].toStdString();
            SCOPED_TRACE(day.toStdString());
            const QString expected = fromHebcal(lines[i].section(u' ', 1));
            const QStringList parts = expected.split(u' ');
            ASSERT_GE(parts.size(), 3);
            // "<day> <month...> <year>" is written "<weekday>, <day> ב<month...> <year>".
            QStringList written = parts;
            written[1].prepend(u'ב');
            const DateTimeResult result = DateTimeService::compute(QString::number(noon.toSecsSinceEpoch()));
            EXPECT_TRUE(result.hebrewDate.endsWith(QStringLiteral(", ") + written.join(u' ')))
                << result.hebrewDate.toStdString() << " vs " << expected.toStdString();
            ++compared;
        }
    }
    EXPECT_GT(compared, 900);
}

} // namespace
} // namespace vorlex
