#include "import/csv_layout.h"

#include <algorithm>

#include "import/import_text.h"

namespace kavro {

namespace {

enum Role { kOpen, kHigh, kLow, kClose, kDate, kTime, kDateTime, kRoles };

// Letters and digits of a column name, lower case: "<TICKVOL>" -> "tickvol", "Gmt time" -> "gmttime".
std::string NormalName(std::string_view name) {
    std::string n;
    for (const char c : name) {
        if (c >= 'A' && c <= 'Z') {
            n += static_cast<char>(c - 'A' + 'a');
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            n += c;
        }
    }
    return n;
}

bool Has(const std::string& n, std::string_view part) {
    return n.find(part) != std::string::npos;
}

bool IsPriceName(const std::string& n, std::string_view word) {
    // "bidopen", "openbid", "openprice"; never a time column such as "open time".
    const bool starts = n.rfind(word, 0) == 0;
    const bool ends = n.size() >= word.size() && n.compare(n.size() - word.size(), word.size(), word) == 0;
    return (starts || ends) && !Has(n, "time") && !Has(n, "date");
}

bool Exact(Role r, const std::string& n) {
    switch (r) {
        case kOpen:
            return n == "open";
        case kHigh:
            return n == "high";
        case kLow:
            return n == "low";
        case kClose:
            return n == "close";
        case kDate:
            return n == "date" || n == "day" || n == "dtyyyymmdd";
        case kTime:
            return n == "time";
        case kDateTime:
            return n == "datetime" || n == "timestamp" || n == "gmttime" || n == "utctime" ||
                   n == "localtime" || n == "unix" || n == "epoch" || n == "dt" || n == "ts";
        default:
            return false;
    }
}

bool Loose(Role r, const std::string& n) {
    switch (r) {
        case kOpen:
            return IsPriceName(n, "open");
        case kHigh:
            return IsPriceName(n, "high");
        case kLow:
            return IsPriceName(n, "low");
        case kClose:
            return IsPriceName(n, "close");
        case kDate:
            return Has(n, "date") && !Has(n, "time");
        case kTime:
            return Has(n, "time") && !Has(n, "date");
        case kDateTime:
            return Has(n, "date") && Has(n, "time");
        default:
            return false;
    }
}

bool StartsWithDigit(std::string_view field) {
    return !field.empty() && field[0] >= '0' && field[0] <= '9';
}

}  // namespace

bool IsHeaderLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '"')) ++i;
    return !StartsWithDigit(line.substr(i));
}

char GuessDelimiter(std::string_view line) {
    for (const char d : {'\t', ';', ','}) {
        if (std::count(line.begin(), line.end(), d) >= 4) return d;
    }
    return '\0';
}

bool ReadHeader(std::string_view header, CsvLayout& layout, std::string& missing) {
    missing.clear();
    const char delimiter = GuessDelimiter(header);
    std::string_view fields[kMaxCsvColumns];
    const int n = delimiter ? SplitCsvFields(header, delimiter, fields, kMaxCsvColumns) : 0;
    std::string names[kMaxCsvColumns];
    for (int i = 0; i < n; ++i) names[i] = NormalName(fields[i]);

    // Exact names first, so "Close" wins over "Close time"; then looser ones among the columns left.
    int column[kRoles];
    std::fill(std::begin(column), std::end(column), -1);
    bool taken[kMaxCsvColumns] = {};
    for (const auto match : {Exact, Loose}) {
        for (int r = 0; r < kRoles; ++r) {
            for (int i = 0; i < n && column[r] < 0; ++i) {
                if (!taken[i] && match(static_cast<Role>(r), names[i])) {
                    column[r] = i;
                    taken[i] = true;
                }
            }
        }
    }

    CsvLayout l;
    l.delimiter = delimiter ? delimiter : ',';
    l.header = true;
    l.decimalComma = l.delimiter != ',';
    if (column[kDate] >= 0 && column[kTime] >= 0) {
        l.dateColumn = column[kDate];
        l.timeColumn = column[kTime];
    } else {
        // One column for both: a date-and-time name first, then a date alone, then a time alone
        // ("Gmt time", "Time" holding whole timestamps).
        const int one = column[kDateTime] >= 0 ? column[kDateTime]
                        : column[kDate] >= 0   ? column[kDate]
                                               : column[kTime];
        l.dateColumn = one;
        l.timeColumn = -1;
    }
    // A line naming none of the columns is no header at all, rather than one with columns missing.
    if (std::all_of(std::begin(column), std::end(column), [](int c) { return c < 0; })) return false;
    const char* const priceNames[4] = {"Open", "High", "Low", "Close"};
    if (l.dateColumn < 0) missing = "Date";
    for (int k = 0; k < 4; ++k) {
        if (column[kOpen + k] < 0) missing += std::string(missing.empty() ? "" : ", ") + priceNames[k];
    }
    if (!missing.empty()) return false;

    l.open = column[kOpen];
    l.high = column[kHigh];
    l.low = column[kLow];
    l.close = column[kClose];
    l.columnsNeeded = 1 + std::max({l.dateColumn, l.timeColumn, l.open, l.high, l.low, l.close});
    // Without a plain close the loose match may have taken "Adj Close": the user must hear of it.
    if (Has(names[l.close], "adj")) l.adjustedClose = PrintableStart(fields[l.close], 40);
    const bool bracketed = std::all_of(fields, fields + n, [](std::string_view f) {
        return f.empty() || (f.front() == '<' && f.back() == '>');
    });
    if (delimiter == '\t' && bracketed) {
        l.format = kPlatformExportTab;
    } else if (names[0] == "gmttime") {
        l.format = kGmtTimeHeader;
    } else {
        l.format = kNamedColumns;
    }
    layout = l;
    return true;
}

bool ReadPlainLayout(std::string_view line, CsvLayout& layout) {
    const char delimiter = GuessDelimiter(line);
    if (!delimiter) return false;
    std::string_view f[kMaxCsvColumns];
    const int n = SplitCsvFields(line, delimiter, f, kMaxCsvColumns);
    CsvLayout l;
    l.delimiter = delimiter;
    l.decimalComma = delimiter != ',';
    if (!GuessDateStyle(f[0], l.dateStyle)) return false;
    FieldTime time;
    if (ReadDateTime(f[0], l.dateStyle, time) == TimeFault::Date) return false;
    const bool timeColumn = !time.hasClock && n > 1 && LooksLikeClock(f[1]);
    l.timeColumn = timeColumn ? 1 : -1;
    const int first = timeColumn ? 2 : 1;
    if (n < first + 4) return false;
    for (int k = 0; k < 4; ++k) {
        PriceUnits p = 0;
        if (ReadPrice(f[first + k], l.decimalComma, p) == PriceRead::NotNumber) return false;
    }
    l.open = first;
    l.high = first + 1;
    l.low = first + 2;
    l.close = first + 3;
    l.columnsNeeded = first + 4;
    layout = l;
    return true;
}

bool SettleDateStyle(std::string_view firstData, CsvLayout& layout) {
    std::string_view f[kMaxCsvColumns];
    const int n = SplitCsvFields(firstData, layout.delimiter, f, layout.dateColumn + 1);
    if (n <= layout.dateColumn || !GuessDateStyle(f[layout.dateColumn], layout.dateStyle)) return false;
    if (!layout.header) {
        const std::string_view date = f[layout.dateColumn];
        if (layout.delimiter == ',' && layout.dateStyle == DateStyle::YearFirst && date[4] == '.') {
            layout.format = kPlatformExport;
        } else if (layout.delimiter == ';' && layout.dateStyle == DateStyle::Compact &&
                   layout.timeColumn < 0) {
            layout.format = kMinuteArchive;
        } else {
            layout.format = kPlainColumns;
        }
    }
    return true;
}

DateStyle DateOrderOfLine(std::string_view line, const CsvLayout& layout) {
    std::string_view f[kMaxCsvColumns];
    const int n = SplitCsvFields(line, layout.delimiter, f, layout.dateColumn + 1);
    return n > layout.dateColumn ? DateOrderShown(f[layout.dateColumn]) : DateStyle::YearLast;
}

}  // namespace kavro
