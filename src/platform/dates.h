#pragma once
// Calendar dates: building, keys, short and ISO forms.
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

}  // namespace kavro
