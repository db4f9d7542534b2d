#pragma once
// The test interval's first and last bar, found in the hourly file.
#include <string>

#include "platform/dates.h"

namespace kavro {

struct LookupResult {
    bool opened = false;  // false: the file could not be opened or read
    bool found = false;   // a line matched the key
    long lineCount = 0;   // lines counted when the scan stopped
};

// Scans the hourly file for the first line of `date`. On a match at line k the
// start bar is k; without one it is the number of lines (an empty file leaves
// lineCount 0, and the caller keeps its earlier start bar).
LookupResult FindStartLine(const std::string& path, const Date& date);

// Scans for the first line of `date` and `hour`; the end bar is lineCount + 1.
LookupResult FindEndLine(const std::string& path, const Date& date, int hour);

inline constexpr const char* kNoTradingStart =
    "В этот день торгов не было,введите другую дату в Начальная дата";
inline constexpr const char* kNoTradingEnd = "В этот день торгов не было,введите другую дату в Конечная дата";

}  // namespace kavro
