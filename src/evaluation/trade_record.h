#pragma once
// The trades an evaluation reads: one record per journal row, dates parsed once.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/trade_journal.h"
#include "platform/dates.h"

namespace kavro {

struct TradeRecord {
    TradeSide side = TradeSide::None;
    Date entryDate, exitDate;  // invalid when the journal has no date or an unreadable one
    std::optional<float> entryPrice, exitPrice;
    float profit = 0.0f;

    // The date a trade counts on for months and drawdown: the exit date, or the
    // entry date for a trade closed without one (the end of a walk-forward window).
    Date date() const { return exitDate.valid() ? exitDate : entryDate; }
};

// Rows 1..closedCount of the journal, in RIPOT1 order. A negative count gives no
// trades; a count beyond the rows the journal holds stops at its last row, since
// rows never written hold no trade.
std::vector<TradeRecord> TradesFromJournal(const TradeJournal& journal, int64_t closedCount);
// The same from rows already taken out of a journal (a run's kept trades), in their order.
std::vector<TradeRecord> TradesFromRows(std::span<const JournalRow> rows);

// A date text as the evaluation reads it: exactly eight digits yyyymmdd naming a
// real calendar day (years 100..9999). Anything else is no date.
bool ReadDateText(std::string_view text, Date& out);


}  // namespace kavro
