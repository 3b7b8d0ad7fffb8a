#pragma once

// Reads a text as a Unix timestamp (or takes the current time) and renders it three ways.

#include <QString>

namespace vorlex {

struct DateTimeResult {
    QString localTime;  // system zone, Gregorian, he_IL, full date and medium time
    QString utcTime;    // the same in UTC
    QString hebrewDate; // Hebrew calendar, he_IL, full date
    QString sourceNote; // "Unix timestamp: ..." or "עכשיו"
    QString timeZone;   // the id of the system zone localTime is in, e.g. "Asia/Jerusalem"
    bool operator==(const DateTimeResult&) const = default;
};

class DateTimeService {
public:
    DateTimeService() = delete;

    // Never fails. Reads the clock and the system time zone (ICU's default zone). Any thread.
    static DateTimeResult compute(const QString& text);
};

} // namespace vorlex
