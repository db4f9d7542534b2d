#pragma once
// Bar times of CSV fields: dates in the common styles and clock times, as minutes from 1970-01-01 00:00.
#include <cstdint>
#include <string_view>

#include "platform/dates.h"

namespace kavro {

// Minutes from 1970-01-01 00:00, negative before it.
using BarMinute = int64_t;
inline constexpr BarMinute kMinutesPerDay = 1440;

// Years a quote file's yyyymmdd field can hold.
inline constexpr int kFirstYear = 1000;
inline constexpr int kLastYear = 9999;

// Division rounding toward minus infinity, so a time before 1970 falls into its own day and hour.
constexpr int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Days from 1970-01-01 of a calendar date, and the calendar date of a day number.
int64_t DaysFromDate(int year, int month, int day);
Date DateFromDays(int64_t days);
// 1 Monday ... 6 Saturday, 7 Sunday.
int WeekdayOfDays(int64_t days);

// How a CSV column writes its dates.
enum class DateStyle {
    YearFirst,    // yyyy.mm.dd, yyyy-mm-dd or yyyy/mm/dd
    YearLast,     // a.b.yyyy, a/b/yyyy or a-b-yyyy while the order of day and month is not settled: read
                  // day first, else month first (only to recognise a layout; never to read a file's bars)
    DayFirst,     // dd.mm.yyyy, dd/mm/yyyy or dd-mm-yyyy
    MonthFirst,   // mm/dd/yyyy, mm.dd.yyyy or mm-dd-yyyy
    Compact,      // yyyymmdd
    UnixSeconds,  // seconds from 1970-01-01 00:00 UTC, up to 12 digits
    UnixMillis,   // milliseconds, 13 digits
    UnixMicros,   // microseconds, 16 digits
};

// Which of day and month comes first in dates with the year last: settled from the file, or as the user says.
enum class DateOrder { FromFile, DayFirst, MonthFirst };

// The style of the date a field starts with; false when it starts with none. Dates with the year last come
// out YearLast.
bool GuessDateStyle(std::string_view field, DateStyle& style);

enum class TimeFault { None, Date, Time, NotWholeMinute, Year };

// A time as a field writes it.
struct FieldTime {
    BarMinute local = 0;  // the date and the clock as written
    int offset = 0;       // the zone's minutes ahead of UTC ("+01:00": 60); 0 without a zone
    bool hasClock = false;
    BarMinute utc() const { return local - offset; }
};

// Reads a date in `style`, optionally followed (after blanks or a 'T') by a clock time as ReadClock reads
// it; a date alone is midnight. Unix times carry their clock and no zone.
TimeFault ReadDateTime(std::string_view field, DateStyle style, FieldTime& out);

// Reads a clock time as minutes from midnight: hh:mm, hh:mm:ss, hh:mm:ss.fff, hhmm or hhmmss, then
// optionally a zone: 'Z', or "+hh:mm", "+hhmm", "+hh" (or '-'), after "GMT" or "UTC" or alone, with
// blanks before it allowed. A time with seconds other than zero is NotWholeMinute.
TimeFault ReadClock(std::string_view field, int& minuteOfDay, int& offset);

// Whether a field is a clock time rather than a price (it has a colon, or is four or six digits alone).
bool LooksLikeClock(std::string_view field);

// Which order a date with the year last shows: DayFirst when it reads only with the day first (its first
// number is above 12), MonthFirst when only with the month first, YearLast when both or neither.
DateStyle DateOrderShown(std::string_view field);

}  // namespace kavro
