#pragma once
// Which CSV layout a quote file uses, told by its header or, without one, by its first line.
#include <string>
#include <string_view>

#include "import/csv_line.h"

namespace kavro {

// The report's names of the layouts.
inline constexpr const char* kPlatformExport = "platform-export";  // 2021.01.04,00:00,o,h,l,c,vol (no header)
inline constexpr const char* kPlatformExportTab = "platform-export-tab";  // <DATE>\t<TIME>\t<OPEN>... header
inline constexpr const char* kMinuteArchive = "minute-archive";   // 20210103 170000;o;h;l;c;vol (no header)
inline constexpr const char* kGmtTimeHeader = "gmt-time-header";  // Gmt time,Open,... with dd.mm.yyyy times
inline constexpr const char* kNamedColumns = "named-columns";     // any other header naming the columns
inline constexpr const char* kPlainColumns = "plain-columns";     // no header: date[,time],o,h,l,c,...

// Whether a line is a header rather than data: its first field does not start with a digit.
bool IsHeaderLine(std::string_view line);

// The delimiter of a line: the first of tab, ';' and ',' that splits it into at least five fields; '\0'
// when none does.
char GuessDelimiter(std::string_view line);

// Reads a header: the delimiter and the columns of the date, the time and the four prices, named in any
// order and letter case, with or without <>. False when a column is missing; `missing` then lists them
// (it stays empty when the line names no column at all).
bool ReadHeader(std::string_view header, CsvLayout& layout, std::string& missing);

// The layout of a file without a header, from its first line: a date (with or without a time), an
// optional time column, then open, high, low and close. False when the line is no such line.
bool ReadPlainLayout(std::string_view line, CsvLayout& layout);

// Settles the date style from the first data line, and the layout's name. False when that line's date
// is in no known style. Dates with the year last stay YearLast: their order needs the whole column.
bool SettleDateStyle(std::string_view firstData, CsvLayout& layout);

// The order of day and month the date of a data line shows (see DateOrderShown); YearLast when it shows
// none or the line has no date column.
DateStyle DateOrderOfLine(std::string_view line, const CsvLayout& layout);

}  // namespace kavro
