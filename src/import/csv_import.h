#pragma once
// Imports quote CSVs: recognises the layout, checks every line, folds minute bars into hours and writes
// the hourly and the daily quote file in the program's layout. Plain data in, a result out and no shared
// state, so it can run on a worker thread; cancelled through its progress.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "import/bar_time.h"
#include "import/import_text.h"
#include "platform/dates.h"
#include "quotes/quote_store.h"

namespace kavro {

inline constexpr int kMaxShiftHours = 48;

struct ImportOptions {
    std::string csvPath;
    std::string dailyCsvPath;  // "": the daily file is built from the hourly bars
    Pair pair = Pair::EUR;
    // Whole hours added to every time of the CSV (times with a zone are put into UTC first) before its bars
    // are folded into hours and days, so dates move with it; -48..48. A daily CSV's dates stay as written:
    // its bars are whole days already.
    int shiftHours = 0;
    // Which of day and month comes first in dates with the year last (both CSVs); FromFile decides by the
    // dates themselves.
    DateOrder dateOrder = DateOrder::FromFile;
    std::string outHourly, outDaily;
};

// A gap of more than three days: the dates of the bars on either side of it.
struct ImportGap {
    Date from, to;
};

struct ImportReport {
    std::string format;                // Format: the CSV's layout (see csv_layout.h)
    std::string dailyFormat;           // DailyFormat: the daily CSV's layout; "" when built from the hours
    int spacingMinutes = 0;            // SpacingMinutes: of the CSV's bars
    int shiftHours = 0;                // ShiftHours
    std::string dateOrder;             // DateOrder: of the CSV's dates, "ymd", "dmy", "mdy" or "unix"
    int64_t barsIn = 0;                // BarsIn: bars read from the CSV
    int64_t hourlyBarsOut = 0;         // HourlyBarsOut
    int64_t dailyBarsIn = 0;           // DailyBarsIn: bars read from the daily CSV; 0 without one
    int64_t dailyBarsOut = 0;          // DailyBarsOut
    Date firstDate, lastDate;          // FirstDate, LastDate: of the hourly bars written
    int64_t gaps = 0;                  // Gaps: of more than three days between hourly bars
    std::vector<ImportGap> firstGaps;  // the first five of them
    int64_t weekendBars = 0;           // WeekendBars: hourly bars on Saturdays or Sundays
    int64_t dailyGaps = 0;             // DailyGaps: the same for the daily bars written
    std::vector<ImportGap> firstDailyGaps;
    int64_t dailyWeekendBars = 0;         // DailyWeekendBars
    std::vector<ImportWarning> warnings;  // for the user, one line each (WarningText)
};

// The report as Name=value pairs in a fixed order, each warning as a "Warning" pair; dates as yyyy-mm-dd.
std::vector<std::pair<std::string, std::string>> ReportFields(const ImportReport& report);

class ImportProgress {
  public:
    virtual ~ImportProgress() = default;
    // Bytes of the CSV files read so far and in all; called from the importing thread every few thousand
    // lines. Returning false cancels the import.
    virtual bool advanced(uint64_t bytesDone, uint64_t bytesTotal) = 0;
};

struct ImportResult {
    bool ok = false;
    std::string message;  // why the import was refused or failed; "" when ok
    ImportReport report;  // complete when ok
};

// Imports options.csvPath (and dailyCsvPath) into outHourly and outDaily, replacing files there only when
// the import succeeds. A refused, failed or cancelled import leaves no output and no temporary file.
// Never throws.
ImportResult ImportCsv(const ImportOptions& options, ImportProgress* progress = nullptr);

struct ImportOutputs {
    std::string hourly, daily;
};
// NAME_H1.PRN and NAME_D1.PRN beside the CSV, NAME being the CSV's file name without its extension.
ImportOutputs DefaultImportOutputs(const std::string& csvPath);

}  // namespace kavro
