#pragma once
// The strategy: the day match, the signals, the exits and the money results.
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

inline constexpr const char* kFaultBarIndex = "Номер часового бара выходит за пределы хранилища котировок";
inline constexpr const char* kFaultOverflow =
    "Переполнение при вычислении результата сделки: проверьте поля \"Условия\"";

// The day search of one hourly bar: the day index it leaves and whether that
// day's date is the bar's date.
struct DayMatch {
    long day = 0;
    bool matched = false;
};

// The day search as written, with the one change that lets every bar find its
// day: a 32-bit counter from DayBarCount - (LastBar - CurrentBar) / 23 - 200
// up to DayBarCount in steps of 1 compares the rounded counter's date text with
// the bar's (an index below 1 reads nothing); when it ends without a match but
// the daily store holds the date, the day is the highest index holding it;
// otherwise the day is the counter after its last step, unmatched. Never
// faults. Slow: the reference the fast table is checked against.
DayMatch SearchDayLiteral(const QuoteStore& q, float lastBar, float currentBar, const DateText& date);

// What a bar's day says to the two signals, given the bar's day search.
struct BarDay {
    int32_t day = 0;    // day index the search left
    bool buy = false;   // same date, average rose by more than the threshold, stochastic fell
    bool sell = false;  // same date, average fell by more than the threshold, stochastic rose
};

// Signal conditions 1 to 3 of both sides for the day a search found.
BarDay EvaluateDay(const QuoteStore& q, const DayMatch& m);

// The day search of every loaded bar for one store state and one LastBar,
// found through a sorted date index instead of a scan.
class DayMatchTable {
  public:
    // Rebuilds when the store or LastBar changed since the last call.
    void prepare(const QuoteStore& q, float lastBar);
    // The day of bar `bar` (0..capacity); bars above the loaded ones are searched on the spot.
    BarDay at(long bar) const {
        return static_cast<size_t>(bar) < bars_.size() ? bars_[static_cast<size_t>(bar)] : beyond(bar);
    }
    // The fast search for any bar number, whole or not (what at() holds, before the signals).
    DayMatch search(const QuoteStore& q, float lastBar, float currentBar) const;
    // Loaded bars among first..last (whole numbers) whose date no daily bar has.
    long barsWithoutDay(long first, long last) const { return countIn(withoutDay_, first, last); }
    // Loaded bars among first..last whose date several daily bars share: only
    // their day may depend on where the search starts.
    long barsWithSharedDay(long first, long last) const { return countIn(sharedDay_, first, last); }
    // True when no bar above the loaded ones can give a signal (no daily bar has an empty date).
    bool quietBeyondData() const { return !emptyDateHeld_; }
    // Changes whenever the table is rebuilt.
    uint64_t stamp() const { return stamp_; }

  private:
    struct Key {
        uint64_t chars;
        uint8_t length;
        auto operator<=>(const Key&) const = default;
    };
    struct Entry {
        Key key;
        int32_t day;
        auto operator<=>(const Entry&) const = default;
    };
    static Key KeyOf(const DateText& t);
    BarDay beyond(long bar) const;
    long countIn(const std::vector<int32_t>& prefix, long first, long last) const;

    const QuoteStore* q_ = nullptr;
    std::vector<Entry> index_;                     // (date, day) of days 1..DayBarCount, sorted
    std::vector<BarDay> bars_;                     // bars 0..HourBarCount
    std::vector<int32_t> withoutDay_, sharedDay_;  // prefix counts over bars 0..HourBarCount
    bool emptyDateHeld_ = false;
    uint64_t generation_ = ~0ull;
    float lastBar_ = -1.0f;
    bool valid_ = false;
    uint64_t stamp_ = 0;
};

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
