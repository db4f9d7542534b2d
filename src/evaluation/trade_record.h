#pragma once
// The trades an evaluation reads: one record per journal row, dates parsed once.
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_record.h"
#include "platform/dates.h"

namespace kavro {

struct TradeRecord {
    TradeSide side = TradeSide::None;
    Date entryDate, exitDate;  // invalid when the journal has no date or an unreadable one
    std::optional<float> entryPrice, exitPrice;
    float profit = 0.0f;
    // What the quotes said when the run ended (see TradeExtent): hours -1 and
    // excursions NaN when not known; the bars 0 when not known.
    int entryHour = -1, exitHour = -1;
    float maePoints = NAN, mfePoints = NAN;
    int64_t entryBar = 0, exitBar = 0;
    float takeProfit = 0, stopLoss = 0;  // the distances it was opened with, price units

    // The date a trade counts on for months and drawdown: the exit date, or the
    // entry date for a trade closed without one (the end of a walk-forward window).
    Date date() const { return exitDate.valid() ? exitDate : entryDate; }
    // Hours from entry to exit: both dates and hours known and the exit not before the entry.
    std::optional<int64_t> durationHours() const;
};

// "yyyy-mm-dd hh:mm" of a date and an hour of day; "" when either is not known.
std::string TimeText(const Date& d, int hour);

// Rows 1..closedCount of the journal, in RIPOT1 order. A negative count gives no
// trades; a count beyond the rows the journal holds stops at its last row, since
// rows never written hold no trade.
std::vector<TradeRecord> TradesFromJournal(const TradeJournal& journal, int64_t closedCount);
// The same from rows already taken out of a journal (a run's kept trades), in
// their order, with the extents measured for them (none: not known).
std::vector<TradeRecord> TradesFromRows(std::span<const JournalRow> rows,
                                        std::span<const TradeExtent> extents = {});

// A date text as the evaluation reads it: exactly eight digits yyyymmdd naming a
// real calendar day (years 100..9999). Anything else is no date.
bool ReadDateText(std::string_view text, Date& out);

}  // namespace kavro
