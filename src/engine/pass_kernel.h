#pragma once
// Sweep and optimisation passes computed from openings and exits instead of bar by bar.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/strategy_rules.h"
#include "quotes/quote_store.h"

namespace kavro {

// The order in which a pass adds its bar results to the running total.
enum class ProfitOrder {
    TotalFirst,  // total + buy + sell (the test pass)
    BuyFirst,    // (buy + total) + sell (the optimisation pass)
};

// One setting of a pass that writes no journal.
struct KernelSetting {
    float entryHour = 0;
    float tp = 0, tpi = 0;                // take-profit and stop-loss distances, price units
    float winAmount = 0, lossAmount = 0;  // money result of a winner and of a loser
};

struct KernelResult {
    float profit = 0;
    int64_t opened = 0, closed = 0, wins = 0, losses = 0;
    // How the bar loop would leave each side: open with its entry price, or flat.
    bool buyOpen = false, sellOpen = false;
    float buyEntryPrice = 0, sellEntryPrice = 0;
    bool buyTouched = false, sellTouched = false;  // the side opened at least once
};

// Reusable buffers of one thread.
struct KernelScratch {
    std::vector<std::pair<int32_t, float>> buyEvents, sellEvents;
};

// A pass without a journal, computed from its openings and exits instead of
// bar by bar. Between an opening and its exit nothing happens to that side,
// and the exit is the first bar at or after the opening whose high or low
// reaches a level: found by range-maximum and range-minimum tables, memoised
// per opening bar and distance. Gives exactly the bar loop's result.
class PassKernel {
  public:
    // Builds what depends only on the quotes and the day table; cheap when
    // neither changed since the last call.
    void prepare(const QuoteStore& q, const DayMatchTable& table);

    // True when the pass over from..to needs nothing the kernel lacks: the bars
    // lie within the capacity, and those above the loaded ones cannot signal.
    bool covers(long from, long to) const;

    // Makes room in the exit memo for these distances, so that an opening's
    // exits are found for all of them in one walk.
    void ensureColumns(const std::vector<float>& distances);

    // Fills the exit memo of the openings in from..to for these distances, so
    // that run() only reads afterwards (safe from several threads while the
    // distances number at most kMaxColumns).
    void precompute(const std::vector<float>& distances, long from, long to);

    // The pass over bars from..to (from <= to, covers() true). With `memo` the
    // exits come from the exit memo (filled as needed); without it each exit is
    // searched on the spot and nothing is written, so any number of distances
    // can run from several threads.
    KernelResult run(const KernelSetting& k, long from, long to, ProfitOrder order, KernelScratch& scratch,
                     bool memo = true);

    static constexpr int32_t kNever = INT32_MAX;
    // Distances whose exits are kept at once.
    static constexpr size_t kMaxColumns = 64;

  private:
    struct Column {
        std::vector<int32_t> up, down;  // per signal bar: first bar reaching entry + d / entry - d
    };
    Column& column(float distance);
    int32_t upHit(Column& c, int32_t signal);
    int32_t downHit(Column& c, int32_t signal);
    void fillRow(int32_t signal);
    int32_t directUp(int32_t bar, float e, float d) const;
    int32_t directDown(int32_t bar, float e, float d) const;
    int32_t firstHighAtLeast(long from, float h) const;
    int32_t firstLowAtMost(long from, float l) const;
    template <typename Skip>
    int32_t firstPassing(const std::vector<float>& bars, const std::vector<std::vector<float>>& blocks,
                         long from, Skip skip) const;

    const QuoteStore* q_ = nullptr;
    uint64_t generation_ = ~0ull, tableStamp_ = ~0ull;
    long capacity_ = 0;
    bool quietBeyond_ = false;
    // Highs and lows of the loaded bars 0..HourBarCount (a price of 0 or less as
    // the value that never reaches a level), and sparse tables of their maxima
    // and minima over blocks of kBlock bars, for exits far from their opening.
    static constexpr long kBlock = 64;
    std::vector<float> highs_, lows_;
    std::vector<std::vector<float>> blockHighMax_, blockLowMin_;
    std::vector<int32_t> signalOf_;  // bar -> signal index, -1 if none
    std::vector<int32_t> signalBars_;
    std::map<float, std::vector<int32_t>> buyBars_, sellBars_;  // by hour
    std::map<float, std::unique_ptr<Column>> columns_;
    struct Pending {
        float level;
        int32_t* slot;
    };
    std::vector<Pending> rowUp_, rowDown_;  // fillRow's buffers
};

}  // namespace kavro
