#include <cfloat>
#include <cmath>

#include "platform/numbers.h"
#include "walkforward/pass_bar.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

// Expected passes of one window: h * n * n, the range signed. Never shown, but
// its faults end the pass like any other.
void EstimateSearchPasses(const RunEnv& e, const RunSettings& s, float st) {
    RunState& r = e.run;
    if (s.skipPassEstimate) return;
    const float divisor = st * r.pointsPerUnit;
    if (divisor == 0.0f || !std::isfinite(divisor)) throw PassFault{kFaultOverflow};
    const double n = Int(1.0 + (s.takeProfit.leading - s.stopLoss.leading) / static_cast<double>(divisor));
    const double h = s.oneHourEstimate ? 1.0 : s.lastHour.leading - s.firstHour.leading + 1.0;
    const double passes = h * n * n;
    if (!std::isfinite(passes) || std::fabs(passes) > FLT_MAX) throw PassFault{kFaultOverflow};
    r.progressMax = static_cast<float>(passes);
}

namespace {

// The bar loop; throws PassFault or PassStopped.
void SearchBars(const RunEnv& e, float& tpi, float& tp, float& st, double windowOffset) {
    const RunSettings s = e.settings.read();
    RunState& r = e.run;
    Position& pos = r.pos;

    const double pointSize = PointSize(s.pair);
    ++r.passesStarted;
    ++r.runPassesStarted;
    r.pointsPerUnit = static_cast<float>(1.0 / pointSize);
    EstimateSearchPasses(e, s, st);
    pos.buyOpen = pos.sellOpen = 0;
    r.passProfit = 0;
    const double pointValue = s.pointValue;
    const double tradeCost = s.tradeCost;
    r.passStartTime = e.clock.secondsSinceMidnight();
    r.searchWindowEnd = static_cast<float>(windowOffset + static_cast<double>(r.firstBar) +
                                           s.optimisationMonths * kBarsPerMonth);
    const float windowEnd = r.searchWindowEnd;
    r.currentBar = static_cast<float>(windowOffset + static_cast<double>(r.firstBar));
    const float ppu = r.pointsPerUnit;

    // This pass's own bar results: the simple test's pair stays untouched.
    float buyBar = 0, sellBar = 0;
    while (r.currentBar <= windowEnd) {
        const PassBar b = ReadPassBar(e, r.currentBar);
        const bool hourMatches = b.hour == r.entryHour;

        // An opening only moves the position: no counter, no journal.
        ApplyBarRules(
            pos, b.day.buy && hourMatches, b.day.sell && hourMatches, b.open, b.high, b.low, tp, tpi,
            [](TradeSide) {},
            [&](TradeSide side, bool win, float) {
                (side == TradeSide::Buy ? buyBar : sellBar) =
                    win ? WinnerResult(tp, tradeCost, pointValue, ppu) : LoserResult(tpi, pointValue, ppu);
            });

        r.passProfit = static_cast<float>((static_cast<double>(buyBar) + r.passProfit) + sellBar);
        buyBar = sellBar = 0;
        if (r.currentBar == r.lastBar) break;
        r.currentBar += 1.0f;
    }
    // Read once: the clock is far dearer than a bar.
    r.passEndTime = e.clock.secondsSinceMidnight();
}

}  // namespace

void RunSearchPass(const RunEnv& e, float& tpi, float& tp, float& st, float& tpi1, float& tp1,
                   double& windowOffset, double& windowCount) {
    RunState& r = e.run;
    try {
        SearchBars(e, tpi, tp, st, windowOffset);
    } catch (const PassFault&) {
        return;  // the pass ends quietly and records nothing
    }

    if (r.runPassesStarted == 1) {
        const double estimate = windowCount * (static_cast<double>(r.progressMax) *
                                               static_cast<double>(r.passEndTime - r.passStartTime));
        r.remainingSeconds =
            std::isfinite(estimate) && std::fabs(estimate) <= FLT_MAX ? static_cast<float>(estimate) : 0.0f;
        e.observer.countdownStarted();
    }
    ++r.passesDone;
    ++r.runPassesDone;
    const PassRow row{r.entryHour, tp1, tpi1, r.passProfit};
    r.passRow = row;
    e.observer.passRecorded(row);
    if (TakeAsBest(r, row)) e.observer.bestChanged(row);
}

bool TakeAsBest(RunState& r, const PassRow& row) {
    // A tie replaces the best: the later setting in search order wins.
    if (!(row.total >= r.bestTotal.value_or(0.0f))) return false;
    r.bestTotal = row.total;
    BestSetting& b = r.best;
    b.target = row.target / r.pointsPerUnit;
    b.stop = row.stop / r.pointsPerUnit;
    b.targetPoints = row.target;
    b.stopPoints = row.stop;
    b.entryHour = row.entryHour;
    ++r.bestUpdates;
    return true;
}

}  // namespace kavro
