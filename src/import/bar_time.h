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
    DayFirst,     // dd.mm.yyyy
    Compact,      // yyyymmdd
    UnixSeconds,  // seconds from 1970-01-01 00:00
};

// The style of the date a field starts with; false when it starts with none.
bool GuessDateStyle(std::string_view field, DateStyle& style);

enum class TimeFault { None, Date, Time, NotWholeMinute, Year };

// Reads a date in `style`, optionally followed (after blanks or a 'T') by a clock time as ReadClock reads
// it; a date alone is midnight. `hasClock` tells whether the field carried a time (Unix seconds always do).
TimeFault ReadDateTime(std::string_view field, DateStyle style, BarMinute& out, bool& hasClock);

// Reads a clock time as minutes from midnight: hh:mm, hh:mm:ss, hh:mm:ss.fff, hhmm or hhmmss, blanks
// around and a trailing 'Z' allowed. A time with seconds other than zero is NotWholeMinute.
TimeFault ReadClock(std::string_view field, int& minuteOfDay);

// Whether a field is a clock time rather than a price (it has a colon, or is four or six digits alone).
bool LooksLikeClock(std::string_view field);

}  // namespace kavro
