#include "evaluation/trade_record.h"

#include <cstdio>

#include "platform/dates.h"

namespace kavro {

bool ReadDateText(std::string_view text, Date& out) {
    if (text.size() != 8) return false;
    int parts[3] = {0, 0, 0};
    const size_t widths[3] = {4, 2, 2};
    size_t at = 0;
    for (int k = 0; k < 3; ++k) {
        for (size_t i = 0; i < widths[k]; ++i, ++at) {
            const char c = text[at];
            if (c < '0' || c > '9') return false;
            parts[k] = parts[k] * 10 + (c - '0');
        }
    }
    const int y = parts[0], m = parts[1], d = parts[2];
    // No rolling over: "20211332" is a damaged text, not February 2022.
    if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    out = Date{y, m, d};
    return true;
}

namespace {

TradeRecord RecordOf(const JournalRow& row) {
    TradeRecord t;
    t.side = row.side;
    t.profit = row.profit;
    t.entryPrice = row.entryPrice;
    t.exitPrice = row.exitPrice;
    if (row.entryDate) ReadDateText(row.entryDate->view(), t.entryDate);
    if (row.exitDate) ReadDateText(row.exitDate->view(), t.exitDate);
    t.entryBar = row.entryBar;
    t.exitBar = row.exitBar;
    t.takeProfit = row.takeProfit;
    t.stopLoss = row.stopLoss;
    return t;
}

}  // namespace

std::vector<TradeRecord> TradesFromJournal(const TradeJournal& journal, int64_t closedCount) {
    std::vector<TradeRecord> trades;
    if (closedCount <= 0 || journal.size() < 2) return trades;
    const int64_t held = static_cast<int64_t>(journal.size()) - 1;
    const int64_t count = closedCount < held ? closedCount : held;
    trades.reserve(static_cast<size_t>(count));
    for (int64_t i = 1; i <= count; ++i) trades.push_back(RecordOf(journal.row(static_cast<size_t>(i))));
    return trades;
}

std::vector<TradeRecord> TradesFromRows(std::span<const JournalRow> rows,
                                        std::span<const TradeExtent> extents) {
    std::vector<TradeRecord> trades;
    trades.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        TradeRecord t = RecordOf(rows[i]);
        // Extents that do not match the rows one for one describe nothing.
        if (extents.size() == rows.size()) {
            const TradeExtent& x = extents[i];
            t.entryHour = x.entryHour;
            t.exitHour = x.exitHour;
            t.maePoints = x.maePoints;
            t.mfePoints = x.mfePoints;
        }
        trades.push_back(t);
    }
    return trades;
}

std::optional<int64_t> TradeRecord::durationHours() const {
    if (!entryDate.valid() || !exitDate.valid() || entryHour < 0 || exitHour < 0) return std::nullopt;
    const int64_t hours = (DaysFromDate(exitDate) - DaysFromDate(entryDate)) * 24 + (exitHour - entryHour);
    if (hours < 0) return std::nullopt;
    return hours;
}

std::string TimeText(const Date& d, int hour) {
    if (!d.valid() || hour < 0 || hour > 23) return {};
    char time[16];
    std::snprintf(time, sizeof time, " %02d:00", hour);
    return IsoDate(d) + time;
}

}  // namespace kavro
