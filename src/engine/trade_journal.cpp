#include "engine/trade_journal.h"

#include "platform/numbers.h"

namespace kavro {

void TradeJournal::clear() {
    for (auto& r : rows_) r = JournalRow{};
}

JournalRow& TradeJournal::at(size_t row) {
    if (row >= rows_.size()) rows_.resize(row + 1 + row / 2);
    return rows_[row];
}

const JournalRow& TradeJournal::row(size_t row) const {
    static const JournalRow kEmpty;
    return row < rows_.size() ? rows_[row] : kEmpty;
}

const char* SideText(TradeSide side) {
    switch (side) {
        case TradeSide::Buy:
            return "Buy";
        case TradeSide::Sell:
            return "Sell";
        default:
            return "";
    }
}

std::string ReportLine(const PassRow& row) {
    return PrintNumber(row.entryHour) + PrintNumber(row.target) + PrintNumber(row.stop) +
           PrintNumber(row.total) + "\r\n";
}

}  // namespace kavro
