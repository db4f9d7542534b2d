#pragma once
// The trade journal, the pass row and the RIPOT line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quotes/quote_store.h"

namespace kavro {

enum class TradeSide { None, Buy, Sell };

// One journal row. Entry columns are filled by the row's opening, exit
// columns by the close with the same row number; every cell but `profit`
// starts empty.
struct JournalRow {
    std::optional<float> entryPrice;
    std::optional<DateText> entryDate;
    TradeSide side = TradeSide::None;
    float profit = 0.0f;
    std::optional<DateText> exitDate;
    std::optional<float> exitPrice;
    std::optional<float> equity;
    // Where and how the trade was made, for the evaluation only (no report reads
    // them): the bars of its entry and exit (for a close at a walk-forward
    // window's end, the window's last bar), 0 when not known, and the take-profit
    // and stop-loss distances in price units it was opened with.
    int32_t entryBar = 0, exitBar = 0;
    float takeProfit = 0, stopLoss = 0;
};

// The trade journal: rows 1.. for entries and exits, `equity` also in row 0.
// It grows as far as a pass needs; a row never written reads as empty.
class TradeJournal {
  public:
    // Empties every row (only the rows ever written are touched).
    void clear();
    // The row for writing, grown on demand.
    JournalRow& at(size_t row);
    // The row for reading; an empty row beyond what was written.
    const JournalRow& row(size_t row) const;
    // Rows held so far (at least one past the highest row written).
    size_t size() const { return rows_.size(); }

  private:
    std::vector<JournalRow> rows_;
};

const char* SideText(TradeSide side);

// The four pass-table columns of the row just written (earlier rows are never read).
struct PassRow {
    float entryHour = 0.0f;
    float target = 0.0f;
    float stop = 0.0f;
    float total = 0.0f;
};

// The RIPOT line of a pass: the four numbers in the print format, then CR LF.
std::string ReportLine(const PassRow& row);

}  // namespace kavro
