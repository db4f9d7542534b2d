#include "walkforward/fast_search.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <thread>
#include <vector>

#include "engine/pass_kernel.h"
#include "platform/parallel.h"
#include "walkforward/pass_bar.h"
#include "walkforward/search_order.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

namespace {

// Bars a window's passes walk: from its start to its end, stopping early at LastBar.
struct WindowBars {
    long from = 0, to = 0;
    float windowEnd = 0;  // SearchWindowEnd
    float endBar = 0;     // CurrentBar after each pass
};

// Walks the pass's own 32-bit bar counter once to find the bars it visits. The
// kernel needs them to be consecutive bars; a fractional start also needs dates
// that one day each holds, since only their day does not depend on the start.
bool WindowRange(const RunEnv& e, double windowOffset, WindowBars& w) {
    const RunState& r = e.run;
    const QuoteStore& q = e.store;
    w.windowEnd = static_cast<float>(windowOffset + static_cast<double>(r.firstBar) +
                                     e.settings.read().optimisationMonths * kBarsPerMonth);
    float c = static_cast<float>(windowOffset + static_cast<double>(r.firstBar));
    if (!(c <= w.windowEnd) || !(w.windowEnd - c <= static_cast<float>(q.hourCapacity))) return false;
    const bool whole = c == std::floor(c);
    bool first = true;
    long prev = 0;
    for (;;) {
        long i = 0;
        if (!ToIndex(c, 0, q.hourCapacity, i)) return false;
        if (first)
            w.from = i;
        else if (i != prev + 1)
            return false;
        first = false;
        prev = i;
        if (c == r.lastBar) break;
        const float next = c + 1.0f;
        if (next == c) return false;
        c = next;
        if (!(c <= w.windowEnd)) break;
    }
    w.to = prev;
    w.endBar = c;
    return whole || r.dayTable.barsWithSharedDay(w.from, w.to) == 0;
}

// Every distance the window's loops will hand the passes, in price units, repeats included.
bool WindowDistances(const RunEnv& e, const NumberReading& savedTarget, std::vector<float>& distances) {
    const Settings& v = e.run.s;
    if (!savedTarget.readable) return false;
    const float stopEnd = savedTarget.single;
    auto add = [&](float points) {
        distances.push_back(static_cast<float>(static_cast<double>(points) * v.U));
    };
    try {
        float counter = 0;
        CountedLoop(counter, v.TP1, v.SL1, -v.ST1, [&] { add(counter); });
        CountedLoop(counter, v.SL1, stopEnd, v.ST1, [&] { add(counter); });
    } catch (const PassFault&) {
        return false;  // the loops themselves will report it
    }
    return true;
}

// Settings handed over by the search loops, run and recorded a chunk at a time.
class ChunkedSearch {
  public:
    ChunkedSearch(const RunEnv& e, const WindowBars& w, bool memo, double windowCount, double pointValue,
                  double tradeCost)
        : s_(e),
          r_(e.run),
          w_(w),
          memo_(memo),
          windowCount_(windowCount),
          pointValue_(pointValue),
          tradeCost_(tradeCost) {}

    void add() {
        const Settings& v = r_.s;
        const float ppu = r_.pointsPerUnit;
        settings_.push_back({v.TPI1, v.TP1, r_.entryHour});
        kernel_.push_back(MakeKernelSetting(r_.entryHour, v.TP, v.TPI, tradeCost_, pointValue_, ppu));
        if (settings_.size() == kChunk) flush();
    }

    // Runs and records what is pending; then lets the window breathe.
    void flush() {
        if (settings_.empty()) return;
        results_.resize(settings_.size());
        size_t first = 0;
        if (r_.runPassesStarted == 0) {
            // The run's first pass alone, timed for the estimate.
            startTime_ = s_.clock.secondsSinceMidnight();
            results_[0] = runOne(0, r_.scratch);
            firstEndTime_ = s_.clock.secondsSinceMidnight();
            first = 1;
        }
        // The rest over up to eight cores, when there are passes enough to be worth the threads.
        const size_t count = settings_.size() - first;
        const unsigned threads =
            count >= 64 ? std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)) : 1u;
        ForEachChunk(count, threads, [&](size_t a, size_t b) {
            KernelScratch sc;
            for (size_t i = first + a; i < first + b; ++i) results_[i] = runOne(i, sc);
        });
        record();
        settings_.clear();
        kernel_.clear();
        s_.pump.yield();
        CheckStop(s_);
    }

    // The state the last pass leaves, as its end would; false when no pass ran.
    bool finish() {
        if (!any_) return false;
        Position& pos = r_.pos;
        pos.buyOpen = last_.buyOpen ? 1.0f : 0.0f;
        pos.sellOpen = last_.sellOpen ? 1.0f : 0.0f;
        r_.passProfit = last_.profit;
        r_.searchWindowEnd = w_.windowEnd;
        r_.currentBar = w_.endBar;
        r_.passStartTime = startTime_;
        r_.passEndTime = s_.clock.secondsSinceMidnight();
        s_.observer.passRecorded(r_.passRow);
        if (bestChanged_)
            s_.observer.bestChanged(
                PassRow{r_.best.entryHour, r_.best.targetPoints, r_.best.stopPoints, *r_.bestTotal});
        return true;
    }

  private:
    static constexpr size_t kChunk = size_t{1} << 15;

    struct Recorded {
        float tpi1, tp1, entryHour;
    };

    KernelResult runOne(size_t i, KernelScratch& sc) {
        return r_.kernel.run(kernel_[i], w_.from, w_.to, ProfitOrder::BuyFirst, sc, memo_);
    }

    void record() {
        Position& pos = r_.pos;
        for (size_t i = 0; i < settings_.size(); ++i) {
            const Recorded& k = settings_[i];
            const KernelResult& kr = results_[i];
            ++r_.passesStarted;
            ++r_.runPassesStarted;
            if (kr.buyTouched) pos.buyEntryPrice = kr.buyEntryPrice;
            if (kr.sellTouched) pos.sellEntryPrice = kr.sellEntryPrice;
            if (r_.runPassesStarted == 1) {
                const double estimate = windowCount_ * (static_cast<double>(r_.progressMax) *
                                                        static_cast<double>(firstEndTime_ - startTime_));
                r_.remainingSeconds = std::isfinite(estimate) && std::fabs(estimate) <= FLT_MAX
                                          ? static_cast<float>(estimate)
                                          : 0.0f;
                s_.observer.countdownStarted();
            }
            ++r_.passesDone;
            ++r_.runPassesDone;
            r_.passRow = PassRow{k.entryHour, k.tp1, k.tpi1, kr.profit};
            bestChanged_ |= TakeAsBest(r_, r_.passRow);
        }
        last_ = results_[settings_.size() - 1];
        any_ = true;
    }

    RunEnv s_;
    RunState& r_;
    const WindowBars& w_;
    bool memo_;
    double windowCount_;
    double pointValue_ = 0, tradeCost_ = 0;
    std::vector<Recorded> settings_;
    std::vector<KernelSetting> kernel_;
    std::vector<KernelResult> results_;
    KernelResult last_;
    bool any_ = false, bestChanged_ = false;
    float startTime_ = 0, firstEndTime_ = 0;
};

}  // namespace

bool FastSearchWindow(const RunEnv& e, const NumberReading& savedTarget, double windowOffset,
                      double windowCount) {
    RunState& r = e.run;
    if (!r.fastPasses) return false;
    // Commands given during the run take effect here, between windows.
    e.pump.yield();
    CheckStop(e);
    r.dayTable.prepare(e.store, r.lastBar);
    WindowBars w;
    if (!WindowRange(e, windowOffset, w)) return false;
    r.kernel.prepare(e.store, r.dayTable);
    if (!r.kernel.covers(w.from, w.to)) return false;
    std::vector<float> distances;
    if (!WindowDistances(e, savedTarget, distances) || distances.empty()) return false;

    const RunSettings s = e.settings.read();
    const float ppu = static_cast<float>(1.0 / PointSize(s.pair));
    const float savedPpu = r.pointsPerUnit, savedMax = r.progressMax;
    r.pointsPerUnit = ppu;
    const double pointValue = s.pointValue, tradeCost = s.tradeCost;
    try {
        EstimateSearchPasses(e, s, static_cast<float>(static_cast<double>(r.s.ST1) * r.s.U));
        // A money result that overflows faults the bar loop's pass only when a trade closes.
        for (float d : distances) {
            WinnerResult(d, tradeCost, pointValue, ppu);
            LoserResult(d, pointValue, ppu);
        }
    } catch (const PassFault&) {
        r.pointsPerUnit = savedPpu;
        r.progressMax = savedMax;
        return false;
    }
    // Build the exit plans first, so that the passes only read them from any thread.
    const bool memo = r.kernel.precompute(distances, w.from, w.to);

    ChunkedSearch search(e, w, memo, windowCount, pointValue, tradeCost);
    try {
        ForEachSetting(e, savedTarget, [&] { search.add(); });
        search.flush();
    } catch (const PassFault&) {
        // The loops stopped where the passes one by one would have: record what came before.
        search.flush();
        search.finish();
        throw;
    }
    if (!search.finish()) {
        // No setting at all: nothing a pass would have touched changes.
        r.pointsPerUnit = savedPpu;
        r.progressMax = savedMax;
    }
    return true;
}

}  // namespace kavro
