#pragma once
// Calendar dates: building, keys, short and ISO forms.
#include <cstdint>
#include <string>

#include "platform/locale.h"

namespace kavro {

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool valid() const { return year > 0; }
    friend bool operator==(const Date&, const Date&) = default;
    friend auto operator<=>(const Date&, const Date&) = default;
};

// Calendar date from parts; months and days outside their range roll over
// (month 13 is January of the next year, day 0 the last day of the previous
// month). Returns false when the result lies outside the years 100..9999.
bool DateFromParts(long year, long month, long day, Date& out);

// The eight-character key yyyymmdd.
std::string DateKey(const Date& d);

// The date in the locale's short date form; an invalid date gives "".
std::string ShortDate(const Date& d, const Locale& locale);

// ISO form yyyy-mm-dd.
std::string IsoDate(const Date& d);
// Parses yyyy-mm-dd; false on any other text or an impossible date.
bool ParseIsoDate(const std::string& text, Date& out);

int DaysInMonth(int year, int month);

// Division rounding toward minus infinity, so a time before 1970 falls into its own day and hour.
constexpr int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Days from 1970-01-01 of a calendar date (negative before it), and the calendar
// date of a day number: the one calendar arithmetic every part of the program uses.
int64_t DaysFromDate(int year, int month, int day);
inline int64_t DaysFromDate(const Date& d) {
    return DaysFromDate(d.year, d.month, d.day);
}
Date DateFromDays(int64_t days);
// 1 Monday ... 6 Saturday, 7 Sunday.
int WeekdayOfDays(int64_t days);

}  // namespace kavro
