#pragma once
// The test interval's first and last bar, found in the hourly file.
#include <string>
#include <vector>

#include "platform/dates.h"

namespace kavro {

struct LookupResult {
    bool opened = false;  // false: the file could not be opened or read
    bool found = false;   // a line matched the key
    long lineCount = 0;   // lines counted when the scan stopped
};

// Scans the hourly files, in load order as one file, for the first line of
// `date`. On a match at line k the start bar is k; without one it is the number
// of lines (an empty file leaves lineCount 0, and the caller keeps its earlier
// start bar). Lines count as the store numbers its bars.
LookupResult FindStartLine(const std::vector<std::string>& paths, const Date& date);

// Scans for the first line of `date` and `hour`; the end bar is lineCount + 1.
LookupResult FindEndLine(const std::vector<std::string>& paths, const Date& date, int hour);

inline LookupResult FindStartLine(const std::string& path, const Date& date) {
    return FindStartLine(std::vector<std::string>{path}, date);
}
inline LookupResult FindEndLine(const std::string& path, const Date& date, int hour) {
    return FindEndLine(std::vector<std::string>{path}, date, hour);
}

inline constexpr const char* kNoTradingStart =
    "В этот день торгов не было,введите другую дату в Начальная дата";
inline constexpr const char* kNoTradingEnd = "В этот день торгов не было,введите другую дату в Конечная дата";

}  // namespace kavro
