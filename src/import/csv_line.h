#pragma once
// One line of a quote CSV: its fields, and the bar they describe under a known layout.
#include <string>
#include <string_view>

#include "import/bar_time.h"
#include "import/import_fault.h"
#include "import/price_field.h"

namespace kavro {

// A layout never needs more columns than this.
inline constexpr int kMaxCsvColumns = 64;

// Where a CSV keeps the date, the time and the four prices, and how it writes them.
struct CsvLayout {
    const char* format = "";  // the report's name of the layout
    char delimiter = ',';
    bool header = false;
    bool decimalComma = false;  // prices may have a decimal comma (never in comma-separated files)
    DateStyle dateStyle = DateStyle::YearFirst;
    int dateColumn = 0;
    int timeColumn = -1;  // -1: a time, if any, stands in the date column
    int open = 1, high = 2, low = 3, close = 4;
    int columnsNeeded = 5;
    std::string adjustedClose;  // the header's name of an adjusted close read as the close; "" when none
};

// A bar as a line gives it.
struct CsvBar {
    BarMinute time = 0;  // as written
    int offset = 0;      // of the zone written with it (see FieldTime)
    PriceUnits open = 0, high = 0, low = 0, close = 0;
};

// Splits a line at `delimiter` into at most `maxFields` fields, each without the blanks and the double
// quotes around it; returns how many it found. The rest of a longer line is not looked at.
int SplitCsvFields(std::string_view line, char delimiter, std::string_view* fields, int maxFields);

// Reads the bar of a data line. On a fault only the kind and `price` are set.
ImportFault ReadCsvLine(std::string_view line, const CsvLayout& layout, CsvBar& bar);

}  // namespace kavro
