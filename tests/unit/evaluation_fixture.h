#pragma once
// Small hand-made journals and trade lists for the evaluation tests.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/trade_journal.h"
#include "evaluation/trade_record.h"

namespace kavro::testing {

// One journal row as a test writes it: empty texts leave the date cells empty.
struct JournalTrade {
    TradeSide side;
    std::string entryDate;
    std::string exitDate;
    float profit;
    std::optional<float> entryPrice = 1.1f;
    std::optional<float> exitPrice = 1.2f;
};

inline TradeJournal MakeJournal(const std::vector<JournalTrade>& trades) {
    TradeJournal j;
    for (size_t i = 0; i < trades.size(); ++i) {
        const JournalTrade& t = trades[i];
        JournalRow& row = j.at(i + 1);
        row.side = t.side;
        row.profit = t.profit;
        if (!t.entryDate.empty()) row.entryDate = DateText::from(t.entryDate);
        row.entryPrice = t.entryPrice;
        if (!t.exitDate.empty()) {
            row.exitDate = DateText::from(t.exitDate);
            row.exitPrice = t.exitPrice;
        }
    }
    return j;
}

inline std::vector<TradeRecord> MakeTrades(const std::vector<JournalTrade>& trades) {
    return TradesFromJournal(MakeJournal(trades), static_cast<int64_t>(trades.size()));
}

// Trades with only profits, alternately bought and sold, one a day from 2020-01-01.
inline std::vector<TradeRecord> ProfitTrades(const std::vector<float>& profits) {
    std::vector<TradeRecord> trades;
    for (size_t i = 0; i < profits.size(); ++i) {
        TradeRecord t;
        t.side = i % 2 == 0 ? TradeSide::Buy : TradeSide::Sell;
        t.profit = profits[i];
        t.entryDate = Date{2020, 1, 1};
        t.exitDate = Date{2020, 1, 1};
        trades.push_back(t);
    }
    return trades;
}

// The journal the statistics tests work through by hand (README.md has its figures):
// equity 0, 100, 50, 20, 220, 220, 180; January +20, February empty, March +160.
inline std::vector<JournalTrade> WorkedJournal() {
    return {
        {TradeSide::Buy, "20200102", "20200103", 100}, {TradeSide::Sell, "20200106", "20200108", -50},
        {TradeSide::Buy, "20200110", "20200115", -30}, {TradeSide::Buy, "20200301", "20200302", 200},
        {TradeSide::Sell, "20200305", "20200306", 0},  {TradeSide::Sell, "20200320", "", -40},
    };
}

}  // namespace kavro::testing
