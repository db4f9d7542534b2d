#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/trade_journal.h"
#include "quotes/quote_store.h"

namespace kavro {

// A fault inside a pass (an index outside the store, a division by zero, an
// overflow, an unwritable report). The pass that hits it records nothing.
struct PassFault {
    std::string message;
};
// Stop was pressed: the pass records nothing.
struct PassStopped {};

inline constexpr const char* kFaultDailyHistory =
    "Дневные котировки не доходят до начала выбранного интервала: загрузите файл с дневными котировками "
    "(Открыть - День), начинающийся раньше, или выберите более позднюю начальную дату";
inline constexpr const char* kFaultBarIndex = "Номер часового бара выходит за пределы хранилища котировок";
inline constexpr const char* kFaultOverflow =
    "Переполнение при вычислении результата сделки: проверьте поля \"Условия\"";

// The day search of one hourly bar: the day index it leaves and whether that
// day's date is the bar's date. A fault means an index outside the store.
struct DayMatch {
    long day = 0;
    bool matched = false;
    bool fault = false;
};

// The search exactly as written: a 32-bit counter from
// DayBarCount - (LastBar - CurrentBar) / 23 - 200 up to DayBarCount in steps
// of 1, comparing the rounded counter's date text with the bar's. Slow: used
// for fractional bar numbers, and as the reference the fast table is checked against.
DayMatch SearchDayLiteral(const QuoteStore& q, float lastBar, float currentBar);

// What a bar's day says to the two signals, given the bar's day search.
struct BarDay {
    int32_t day = 0;     // day index the search left
    bool fault = false;  // the search or its day - 1 lies outside the store
    bool buy = false;    // same date, average rose by more than the threshold, stochastic fell
    bool sell = false;   // same date, average fell by more than the threshold, stochastic rose
};

// The day search of every storable bar for one store state and one LastBar,
// found through a sorted date index instead of a scan.
class DayMatchTable {
  public:
    // Rebuilds when the store or LastBar changed since the last call.
    void prepare(const QuoteStore& q, float lastBar);
    // `bar` must lie in 0..kHourCapacity.
    const BarDay& at(long bar) const { return bars_[static_cast<size_t>(bar)]; }
    // The fast search on its own (what at() holds, before the signal conditions).
    DayMatch search(const QuoteStore& q, float lastBar, long bar) const;
    // Changes whenever the table is rebuilt.
    uint64_t stamp() const { return stamp_; }

  private:
    struct Entry {
        uint64_t key;
        int32_t day;
        bool operator<(const Entry& o) const { return key != o.key ? key < o.key : day < o.day; }
    };
    static uint64_t KeyOf(const DateText& t);
    void buildIndex(const QuoteStore& q);

    std::vector<Entry> index_;  // (date key, day) sorted
    std::vector<BarDay> bars_;
    uint64_t generation_ = ~0ull;
    float lastBar_ = -1.0f;
    int dayCount_ = -1;
    bool valid_ = false;
    uint64_t stamp_ = 0;
};

// Signal conditions 1 to 3 of both sides for day j of a bar with date `date`.
BarDay EvaluateDay(const QuoteStore& q, const DayMatch& m);

// Money result of a winner and of a loser: floor of the 64-bit product, stored as 32-bit.
// Non-finite results are faults.
float WinnerResult(float tp, double tradeCost, double pointValue, float pointsPerUnit);
float LoserResult(float tpi, double pointValue, float pointsPerUnit);

// The threshold the average's change must exceed (the 32-bit float nearest 0.00003).
inline constexpr float kAverageThreshold = 0.00003f;

// Open positions of a pass: flags 1 while open, entry prices, and the money
// result of each side's close on the current bar.
struct Position {
    float buyOpen = 0, sellOpen = 0;
    float buyEntryPrice = 0, sellEntryPrice = 0;
    float buyBarProfit = 0, sellBarProfit = 0;
    void clearFlags() { buyBarProfit = sellBarProfit = buyOpen = sellOpen = 0; }
};

// The six tests of one bar in their order: buy opening, buy take-profit, buy
// stop-loss, sell opening, sell take-profit, sell stop-loss. A position can so
// open and close on one bar, the take-profit wins a bar that reaches both levels,
// and a side closed on a bar cannot reopen on it. Differences are 32-bit.
// `opened(side)` runs after an opening; `closed(side, win, exitPrice)` runs
// before the closed side returns to flat.
template <typename Opened, typename Closed>
inline void ApplyBarRules(Position& pos, bool buySignal, bool sellSignal, float open, float high, float low,
                          float tp, float tpi, Opened opened, Closed closed) {
    if (buySignal && pos.buyOpen == 0) {
        pos.buyEntryPrice = open;
        pos.buyOpen += 1;
        opened(TradeSide::Buy);
    }
    auto closeBuy = [&](bool win, float exitPrice) {
        closed(TradeSide::Buy, win, exitPrice);
        pos.buyEntryPrice = 0;
        pos.buyOpen = 0;
    };
    if (pos.buyOpen >= 1 && pos.buyEntryPrice > 0 && high > 0 && high - pos.buyEntryPrice >= tp)
        closeBuy(true, pos.buyEntryPrice + tp);
    if (pos.buyOpen >= 1 && pos.buyEntryPrice > 0 && low > 0 && pos.buyEntryPrice - low >= tpi)
        closeBuy(false, pos.buyEntryPrice - tpi);
    if (sellSignal && pos.sellOpen == 0) {
        pos.sellEntryPrice = open;
        pos.sellOpen += 1;
        opened(TradeSide::Sell);
    }
    auto closeSell = [&](bool win, float exitPrice) {
        closed(TradeSide::Sell, win, exitPrice);
        pos.sellEntryPrice = 0;
        pos.sellOpen = 0;
    };
    if (pos.sellOpen >= 1 && pos.sellEntryPrice > 0 && low > 0 && pos.sellEntryPrice - low >= tp)
        closeSell(true, pos.sellEntryPrice - tp);
    if (pos.sellOpen >= 1 && pos.sellEntryPrice > 0 && high > 0 && high - pos.sellEntryPrice >= tpi)
        closeSell(false, pos.sellEntryPrice + tpi);
}

}  // namespace kavro
