#pragma once
// Sweep and optimisation passes computed from openings and exits instead of bar by bar.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
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

// A kernel setting with the money results of its winner and its loser; throws
// PassFault when one of them overflows.
KernelSetting MakeKernelSetting(float entryHour, float tp, float tpi, double tradeCost, double pointValue,
                                float pointsPerUnit);

// Bars from..to of a pass; empty when to < from.
struct BarSpan {
    long from = 0, to = -1;
};
// The bars first..last when both are whole numbers, in order, within 0..capacity:
// the only intervals the kernel can run. Nothing otherwise.
std::optional<BarSpan> WholeBarSpan(float first, float last, long capacity);

// One close of a kernel pass: its bar, its money result, its side and the bar
// its position was opened on.
struct KernelClose {
    int32_t bar = 0;
    float amount = 0;
    TradeSide side = TradeSide::Buy;
    int32_t entryBar = 0;
    friend bool operator==(const KernelClose&, const KernelClose&) = default;
};

struct KernelResult {
    float profit = 0;
    int64_t opened = 0, closed = 0, wins = 0, losses = 0;
    // How the bar loop would leave each side: open with its entry price, or flat.
    bool buyOpen = false, sellOpen = false;
    float buyEntryPrice = 0, sellEntryPrice = 0;
    bool buyTouched = false, sellTouched = false;  // the side opened at least once
    // The pass's closes in booking order (bar by bar, the buy side first) when its
    // scratch keeps them; they live in the scratch until its next pass.
    std::span<const KernelClose> closes;
};

// Reusable buffers of one thread.
struct KernelScratch {
    // Set to have every pass list its closes in its result.
    bool keepCloses = false;
    std::vector<KernelClose> buyCloses, sellCloses, closes;
    // Where the last pass found its hour and distances: the next pass mostly asks for the same.
    size_t hourAt = 0, tpAt = 0, slAt = 0;
};

// A pass without a journal, computed from its openings and exits instead of
// bar by bar. Between an opening and its exit nothing happens to that side,
// and the exit is the first bar at or after the opening whose high or low
// reaches a level. Exits are kept per interval, hour and distance in an exit
// plan: for each signal bar of the hour, the bar where each distance is first
// reached and the next signal bar after it, so that a pass only hops from
// opening to opening. Gives exactly the bar loop's result.
class PassKernel {
  public:
    // Builds what depends only on the quotes and the day table; cheap when
    // neither changed since the last call.
    void prepare(const QuoteStore& q, const DayMatchTable& table);

    // True when the pass over from..to needs nothing the kernel lacks: the bars
    // lie within the capacity, and those above the loaded ones cannot signal.
    bool covers(long from, long to) const;

    // Makes the exit plans hold these distances, so that they are built once for
    // all of them. False, changing nothing, when they are more than kMaxColumns
    // once repeats are left out.
    bool ensureColumns(const std::vector<float>& distances);

    // Builds the exit plans of every hour for the interval from..to and these
    // distances, so that run() on them only reads afterwards (safe from several
    // threads). False, having built nothing, when the plans would not fit in
    // kPlanBudget: then the passes must run without `memo`.
    bool precompute(const std::vector<float>& distances, long from, long to);

    // The pass over bars from..to (from <= to, covers() true). With `memo` the
    // exits come from the exit plans (built as needed); without it each exit is
    // searched on the spot and nothing is written, so any number of distances
    // can run from several threads.
    KernelResult run(const KernelSetting& k, long from, long to, ProfitOrder order, KernelScratch& scratch,
                     bool memo = true);

    // Bytes the exit plans hold now.
    size_t heldBytes() const;
    // Plans of one hour built so far, for benchmarks and tests.
    size_t plansBuilt() const { return plansBuilt_; }

    static constexpr int32_t kNever = INT32_MAX;

    // Distances the exit plans hold at once.
    static constexpr size_t kMaxColumns = 4096;
    // Bytes the exit plans may take; beyond it the passes search their exits directly.
    static constexpr size_t kPlanBudget = size_t{48} << 20;

  private:
    // A bar's high or low and the next bar that beats it.
    struct Record {
        float value = 0;
        int32_t next = kNever;
    };
    // Plans are written whole before they are read: their storage is not cleared first.
    template <typename T>
    struct Uncleared : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = Uncleared<U>;
        };
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
    };
    template <typename T>
    using Cells = std::vector<T, Uncleared<T>>;
    // The signal bars of one side at one hour within the plan's interval, and per
    // distance (column) and signal bar the exit as (bar - from) << shift | index of
    // the next signal bar after it; an exit after `to` reads as to - from + 1.
    struct SidePlan {
        Cells<float> entries;
        Cells<uint32_t> narrow;  // used when bars and indices fit in 32 bits
        Cells<uint64_t> wide;
        int shift = 0;
        size_t first = 0, count = 0;  // the signal bars first..first + count - 1 of the hour's list
    };
    struct HourPlan {
        bool built = false;
        SidePlan side[2];  // buy, sell
    };
    struct SideState {
        int64_t opened = 0, closed = 0, wins = 0;
        bool open = false, touched = false;
        float entry = 0;
    };
    template <typename Cell>
    void fillPlan(SidePlan& p, Cells<Cell>& cells, const std::vector<int32_t>& bars);
    template <typename Cell>
    void fillExits(Cell* upCells, Cell* downCells, size_t stride, const int32_t* bars, size_t i, size_t m,
                   float e, int shift) const;
    template <bool kKeep, typename Cell>
    SideState walkPlan(const SidePlan& p, const Cells<Cell>& cells, size_t tp, size_t sl, bool buy,
                       const KernelSetting& k, const int32_t* bars, std::vector<KernelClose>* closes) const;
    void prefetchColumns(const SidePlan& p, size_t tp, size_t sl, bool buy) const;
    SideState walkDirect(const std::vector<int32_t>& bars, long from, long to, bool buy,
                         const KernelSetting& k, std::vector<KernelClose>* closes) const;
    SideState walkSide(const HourPlan* plan, int side, size_t hour, size_t tp, size_t sl, long from, long to,
                       const KernelSetting& k, std::vector<KernelClose>* closes) const;
    const HourPlan* planFor(size_t hour, long from, long to, const KernelSetting& k, KernelScratch& scratch);
    bool useDistances(const std::vector<float>& distances);
    size_t planBytes(size_t hour, long from, long to) const;
    void buildHour(size_t hour);
    void resetPlans(long from, long to);
    void dropPlans();
    bool findDistance(float d, size_t& at) const;
    bool findHour(float hour, size_t& at) const;
    // Whether a bar's high (kUp) or low reaches the level of distance d from entry e,
    // exactly as the strategy's tests decide.
    template <bool kUp>
    static bool Reaches(float v, float e, float d) {
        return kUp ? v - e >= d : e - v >= d;
    }
    template <bool kUp>
    int32_t exitFrom(int32_t bar, float e, float d, long to) const;
    template <bool kUp>
    int32_t firstReaching(long from, float e, float d) const;

    const QuoteStore* q_ = nullptr;
    uint64_t generation_ = ~0ull, tableStamp_ = ~0ull;
    long capacity_ = 0;
    bool quietBeyond_ = false;
    // Highs (ups_) and lows (downs_) of the loaded bars 0..HourBarCount, a price of
    // 0 or less as the value that never reaches a level, each with the next bar
    // whose high is higher (low is lower): the first bar at or after an opening
    // that reaches a level is on this chain of records. Sparse tables of their
    // maxima and minima over blocks of kBlock bars serve exits far from their opening.
    static constexpr long kBlock = 64;
    std::vector<Record> ups_, downs_;
    std::vector<std::vector<float>> blockHighMax_, blockLowMin_;
    std::vector<float> hours_;                              // hours with a signal bar, sorted
    std::vector<std::vector<int32_t>> buyBars_, sellBars_;  // per hour, the signal bars

    std::vector<float> distances_;  // sorted, distinct
    long planFrom_ = 0, planTo_ = -1;
    std::vector<HourPlan> plans_;  // per hour, for planFrom_..planTo_
    size_t plansBuilt_ = 0;
};

}  // namespace kavro
