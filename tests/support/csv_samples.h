#pragma once
// Quote CSVs made from quote files of the program's layout, in each layout the import reads. Minute and
// five-minute layouts split every hour consistently, so folding them back gives the hour's exact prices.
// No test framework here: the fuzz seed maker uses it too.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kavro::testing {

// One line of a quote file as text.
struct PrnBar {
    int year = 0, month = 0, day = 0, hour = 0;
    std::string open, high, low, close;
};

// The lines of a quote file without their CR LF, at most `limit` of them (0: all).
inline std::vector<std::string> ReadPrnLines(const std::string& path, size_t limit = 0) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size() && (limit == 0 || lines.size() < limit);) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Lines joined as a quote file writes them.
inline std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

// The fields of hourly ("yyyymmdd hh:00  o,h,l,c,") or daily ("yyyymmdd   o,h,l,c,") lines.
inline std::vector<PrnBar> ParsePrn(const std::vector<std::string>& lines, bool hourly) {
    std::vector<PrnBar> bars;
    for (const auto& l : lines) {
        PrnBar b;
        b.year = std::stoi(l.substr(0, 4));
        b.month = std::stoi(l.substr(4, 2));
        b.day = std::stoi(l.substr(6, 2));
        b.hour = hourly ? std::stoi(l.substr(9, 2)) : 0;
        std::string* fields[4] = {&b.open, &b.high, &b.low, &b.close};
        size_t pos = hourly ? 16 : 11;
        for (auto* f : fields) {
            const size_t comma = l.find(',', pos);
            *f = l.substr(pos, comma - pos);
            pos = comma + 1;
        }
        bars.push_back(b);
    }
    return bars;
}

inline bool SampleLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
inline int SampleMonthDays(int year, int month) {
    static const int kMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kMonth[month - 1] + (month == 2 && SampleLeap(year) ? 1 : 0);
}

// Days from 1970-01-01, counted the long way so it does not share code with the import.
inline int64_t SampleDays(int year, int month, int day) {
    int64_t days = 0;
    for (int y = 1970; y < year; ++y) days += SampleLeap(y) ? 366 : 365;
    for (int m = 1; m < month; ++m) days += SampleMonthDays(year, m);
    return days + day - 1;
}

// A minute from 1970-01-01 00:00 (not before) as date and clock, the long way as well.
struct Civil {
    int year, month, day, hour, minute;
};
inline Civil CivilOf(int64_t minute) {
    int64_t days = minute / 1440;
    int year = 1970, month = 1;
    for (; days >= (SampleLeap(year) ? 366 : 365); ++year) days -= SampleLeap(year) ? 366 : 365;
    for (; days >= SampleMonthDays(year, month); ++month) days -= SampleMonthDays(year, month);
    const int m = static_cast<int>(minute % 1440);
    return {year, month, static_cast<int>(days) + 1, m / 60, m % 60};
}

// One bar of a CSV: its start (hour and minute within the sample bar's day) and prices as text.
struct CsvRow {
    const PrnBar* from;
    int minute;  // minutes after the sample bar's hour
    std::string open, high, low, close;
};

// Splits each hour into 60/step bars: the first reaches the high, the last the low and the close, those
// between close at the hour's prices in turn, so the hour folds back to exactly its open, high, low and
// close. Bars in `skipFrom` <= minute < `skipTo` are left out (missing bars inside the hour).
inline std::vector<CsvRow> SplitHours(const std::vector<PrnBar>& bars, int step, int skipFrom = -1,
                                      int skipTo = -1) {
    std::vector<CsvRow> rows;
    const int n = 60 / step;
    auto value = [](const std::string& s) { return std::stod(s); };
    for (const PrnBar& b : bars) {
        if (n == 1) {
            rows.push_back({&b, 0, b.open, b.high, b.low, b.close});
            continue;
        }
        std::string prev = b.open;
        for (int k = 0; k < n; ++k) {
            const std::string* path[3] = {&b.open, &b.high, &b.low};
            const std::string close = k == n - 1 ? b.close : *path[k % 3];
            const std::string& hi = value(prev) >= value(close) ? prev : close;
            const std::string& lo = value(prev) <= value(close) ? prev : close;
            CsvRow r{&b, k * step, prev, k == 0 ? b.high : hi, k == n - 1 ? b.low : lo, close};
            prev = close;
            if (k * step >= skipFrom && k * step < skipTo) continue;
            rows.push_back(r);
        }
    }
    return rows;
}

inline std::string Two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

inline std::string Four(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", v);
    return buf;
}

// The layouts the tests write.
enum class CsvKind {
    PlatformExport,       // 2019.01.02,08:00,o,h,l,c,vol  CR LF, hourly
    PlatformExportBlank,  // 2019.01.02 08:00,o,h,l,c,vol  LF, hourly
    PlatformExportTab,    // <DATE>\t<TIME>\t<OPEN>... with hh:mm:ss, LF, hourly
    MinuteArchive,        // 20190102 080000;o;h;l;c;0  LF, one-minute bars with ten missing each hour
    GmtTimeHeader,        // Gmt time,Open,... 02.01.2019 08:00:00.000  CR LF, five-minute bars
    NamedIsoSemicolon,    // BOM, "Timestamp";"Close";"Low";"High";"Open" 2019-01-02T08:00:00Z, decimal comma,
                          // CR LF, fifteen-minute bars
    NamedUnixSeconds,     // time,open,high,low,close with Unix seconds, LF, thirty-minute bars
    NamedDayFirstTab,     // Date\tTime\tHigh\tLow\tOpen\tClose  02.01.2019\t08:00  CR line ends, hourly
    // Layouts of common data tools, their times written in a zone of their own:
    PandasOffsets,      // Datetime,Open,High,Low,Close,Adj Close,Volume  2019-01-02 09:00:00+01:00, the zone
                        // +01:00 from April to October and +00:00 else (so local times repeat at the switch
                        // back), LF, hourly
    LocalTimeGmt8,      // Local time,Open,...  02.01.2019 16:00:00.000 GMT+0800, CR LF, five-minute bars
    MonthFirstSlash,    // time,open,high,low,close,volume  1/2/2019 8:15 (no leading zeros), LF, 15 minutes
    UnixMillisIndexed,  // ,timestamp,open,...  0,1546416000000,..., LF, hourly
    UnixMicros,         // Time (UTC),Open,High,Low,Close  1546416000000000, LF, thirty-minute bars
    DtColumn,           // dt,pair,open,high,low,close,volume  2019-01-02 08:00:00+00:00,EURUSD,..., hourly
};

// A CSV of `kind` holding the bars of hourly quote lines.
inline std::string HourlyCsv(const std::vector<PrnBar>& bars, CsvKind kind) {
    std::string out;
    auto minuteOf = [](const CsvRow& r) { return r.from->hour * 60 + r.minute; };
    auto hhmm = [&](const CsvRow& r) { return Two(minuteOf(r) / 60) + ":" + Two(minuteOf(r) % 60); };
    auto comma = [](std::string s) {
        for (char& c : s) c = c == '.' ? ',' : c;
        return s;
    };
    auto utcMinute = [&](const CsvRow& r) {
        return SampleDays(r.from->year, r.from->month, r.from->day) * 1440 + minuteOf(r);
    };
    auto prices = [](const CsvRow& r) { return "," + r.open + "," + r.high + "," + r.low + "," + r.close; };
    switch (kind) {
        case CsvKind::PandasOffsets:
            out = "Datetime,Open,High,Low,Close,Adj Close,Volume\n";
            for (const auto& r : SplitHours(bars, 60)) {
                const int offset = r.from->month >= 4 && r.from->month <= 10 ? 60 : 0;
                const Civil c = CivilOf(utcMinute(r) + offset);  // the clock in the zone
                out += Four(c.year) + "-" + Two(c.month) + "-" + Two(c.day) + " " + Two(c.hour) + ":" +
                       Two(c.minute) + ":00" + (offset ? "+01:00" : "+00:00") + prices(r) + "," + r.close +
                       ",0\n";
            }
            break;
        case CsvKind::LocalTimeGmt8:
            out = "Local time,Open,High,Low,Close,Volume\r\n";
            for (const auto& r : SplitHours(bars, 5)) {
                const Civil c = CivilOf(utcMinute(r) + 8 * 60);
                out += Two(c.day) + "." + Two(c.month) + "." + Four(c.year) + " " + Two(c.hour) + ":" +
                       Two(c.minute) + ":00.000 GMT+0800" + prices(r) + ",0\r\n";
            }
            break;
        case CsvKind::MonthFirstSlash:
            out = "time,open,high,low,close,volume\n";
            for (const auto& r : SplitHours(bars, 15)) {
                const PrnBar& b = *r.from;
                out += std::to_string(b.month) + "/" + std::to_string(b.day) + "/" + Four(b.year) + " " +
                       std::to_string(minuteOf(r) / 60) + ":" + Two(minuteOf(r) % 60) + prices(r) + ",3060\n";
            }
            break;
        case CsvKind::UnixMillisIndexed: {
            out = ",timestamp,open,high,low,close,volume\n";
            int index = 0;
            for (const auto& r : SplitHours(bars, 60)) {
                out += std::to_string(index++) + "," + std::to_string(utcMinute(r) * 60000) + prices(r) +
                       ",3065.4\n";
            }
            break;
        }
        case CsvKind::UnixMicros:
            out = "Time (UTC),Open,High,Low,Close\n";
            for (const auto& r : SplitHours(bars, 30))
                out += std::to_string(utcMinute(r) * 60000000) + prices(r) + "\n";
            break;
        case CsvKind::DtColumn:
            out = "dt,pair,open,high,low,close,volume\n";
            for (const auto& r : SplitHours(bars, 60)) {
                const PrnBar& b = *r.from;
                out += Four(b.year) + "-" + Two(b.month) + "-" + Two(b.day) + " " + hhmm(r) +
                       ":00+00:00,EURUSD" + prices(r) + ",1126\n";
            }
            break;
        case CsvKind::PlatformExport:
        case CsvKind::PlatformExportBlank:
            for (const auto& r : SplitHours(bars, 60)) {
                const PrnBar& b = *r.from;
                out += Four(b.year) + "." + Two(b.month) + "." + Two(b.day) +
                       (kind == CsvKind::PlatformExport ? "," : " ") + hhmm(r) + "," + r.open + "," + r.high +
                       "," + r.low + "," + r.close + ",123" +
                       (kind == CsvKind::PlatformExport ? "\r\n" : "\n");
            }
            break;
        case CsvKind::PlatformExportTab:
            out = "<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>\t<VOL>\t<SPREAD>\n";
            for (const auto& r : SplitHours(bars, 60)) {
                const PrnBar& b = *r.from;
                out += Four(b.year) + "." + Two(b.month) + "." + Two(b.day) + "\t" + hhmm(r) + ":00\t" +
                       r.open + "0\t" + r.high + "0\t" + r.low + "0\t" + r.close + "0\t1234\t0\t7\n";
            }
            break;
        case CsvKind::MinuteArchive:
            for (const auto& r : SplitHours(bars, 1, 40, 50)) {
                const PrnBar& b = *r.from;
                out += Four(b.year) + Two(b.month) + Two(b.day) + " " + Two(minuteOf(r) / 60) +
                       Two(minuteOf(r) % 60) + "00;" + r.open + "00;" + r.high + "00;" + r.low + "00;" +
                       r.close + "00;0\n";
            }
            break;
        case CsvKind::GmtTimeHeader:
            out = "Gmt time,Open,High,Low,Close,Volume\r\n";
            for (const auto& r : SplitHours(bars, 5)) {
                const PrnBar& b = *r.from;
                out += Two(b.day) + "." + Two(b.month) + "." + Four(b.year) + " " + hhmm(r) + ":00.000," +
                       r.open + "," + r.high + "," + r.low + "," + r.close + ",1234.56\r\n";
            }
            break;
        case CsvKind::NamedIsoSemicolon:
            out = "\xEF\xBB\xBF\"Timestamp\";\"Close\";\"Low\";\"High\";\"Open\";\"Volume\"\r\n";
            for (const auto& r : SplitHours(bars, 15)) {
                const PrnBar& b = *r.from;
                out += "\"" + Four(b.year) + "-" + Two(b.month) + "-" + Two(b.day) + "T" + hhmm(r) +
                       ":00Z\";" + comma(r.close) + ";" + comma(r.low) + ";" + comma(r.high) + ";" +
                       comma(r.open) + ";10\r\n";
            }
            break;
        case CsvKind::NamedUnixSeconds:
            out = "time,open,high,low,close\n";
            for (const auto& r : SplitHours(bars, 30)) {
                const PrnBar& b = *r.from;
                const int64_t seconds = (SampleDays(b.year, b.month, b.day) * 1440 + minuteOf(r)) * 60;
                out += std::to_string(seconds) + "," + r.open + "," + r.high + "," + r.low + "," + r.close +
                       "\n";
            }
            break;
        case CsvKind::NamedDayFirstTab:
            out = "Date\tTime\tHigh\tLow\tOpen\tClose\r";
            for (const auto& r : SplitHours(bars, 60)) {
                const PrnBar& b = *r.from;
                out += Two(b.day) + "." + Two(b.month) + "." + Four(b.year) + "\t" + hhmm(r) + "\t" + r.high +
                       "\t" + r.low + "\t" + r.open + "\t" + r.close + "\r";
            }
            break;
    }
    return out;
}

// The layouts of daily CSVs the tests write.
enum class DailyCsvKind {
    PlatformExport,     // 2002.01.01,00:00,o,h,l,c,vol
    PlatformExportTab,  // <DATE>\t<OPEN>\t... without a time column
    NamedIso,           // Date,Open,High,Low,Close  2002-01-01
};

inline std::string DailyCsv(const std::vector<PrnBar>& days, DailyCsvKind kind) {
    std::string out;
    if (kind == DailyCsvKind::PlatformExportTab) out = "<DATE>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>\n";
    if (kind == DailyCsvKind::NamedIso) out = "Date,Open,High,Low,Close\n";
    for (const PrnBar& b : days) {
        switch (kind) {
            case DailyCsvKind::PlatformExport:
                out += Four(b.year) + "." + Two(b.month) + "." + Two(b.day) + ",00:00," + b.open + "," +
                       b.high + "," + b.low + "," + b.close + ",500\r\n";
                break;
            case DailyCsvKind::PlatformExportTab:
                out += Four(b.year) + "." + Two(b.month) + "." + Two(b.day) + "\t" + b.open + "\t" + b.high +
                       "\t" + b.low + "\t" + b.close + "\t500\n";
                break;
            case DailyCsvKind::NamedIso:
                out += Four(b.year) + "-" + Two(b.month) + "-" + Two(b.day) + "," + b.open + "," + b.high +
                       "," + b.low + "," + b.close + "\n";
                break;
        }
    }
    return out;
}

}  // namespace kavro::testing
