#include "walkforward/fast_search.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <system_error>
#include <thread>

#include "engine/pass_kernel.h"
#include "platform/numbers.h"
#include "walkforward/pass_bar.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

namespace {

bool Whole(float x) {
    return x == std::floor(x);
}

// Bars a window's passes walk: from its start to its end, stopping early at LastBar.
struct WindowBars {
    long from = 0, to = 0;
    float windowEnd = 0;  // SearchWindowEnd
    float endBar = 0;     // CurrentBar after each pass
};

bool WindowRange(const Session& s, double windowOffset, WindowBars& w) {
    const RunState& r = s.run;
    w.windowEnd =
        static_cast<float>(windowOffset + static_cast<double>(r.firstBar) + Val(s.form.text7) * 480.0);
    const float start = static_cast<float>(windowOffset + static_cast<double>(r.firstBar));
    if (!Whole(start) || !Whole(w.windowEnd) || !Whole(r.lastBar) || !(start <= w.windowEnd)) return false;
    if (start < 0 || w.windowEnd > static_cast<float>(QuoteStore::kHourCapacity)) return false;
    w.from = static_cast<long>(start);
    if (r.lastBar >= start && r.lastBar <= w.windowEnd) {
        w.to = static_cast<long>(r.lastBar);
        w.endBar = r.lastBar;
    } else {
        w.to = static_cast<long>(w.windowEnd);
        w.endBar = w.windowEnd + 1.0f;
    }
    return true;
}

}  // namespace

bool FastSearchWindow(Session& s, const std::vector<SearchSetting>& settings, double windowOffset,
                      double windowCount) {
    FormState& f = s.form;
    RunState& r = s.run;
    if (!r.fastPasses || settings.empty()) return false;
    // The step in price units feeds only the estimate; it is the same for a whole window.
    for (const SearchSetting& k : settings)
        if (k.st != settings.front().st) return false;
    WindowBars w;
    if (!WindowRange(s, windowOffset, w)) return false;
    r.dayTable.prepare(s.store, r.lastBar);
    r.kernel.prepare(s.store, r.dayTable);
    if (!r.kernel.covers(w.from, w.to)) return false;

    const float ppu = static_cast<float>(1.0 / PointSize(f.pair));
    const float savedPpu = r.pointsPerUnit, savedMax = r.progressMax;
    auto giveUp = [&] {
        r.pointsPerUnit = savedPpu;
        r.progressMax = savedMax;
        return false;
    };
    r.pointsPerUnit = ppu;
    const double pointValue = Val(f.text11), tradeCost = Val(f.text13);
    std::vector<KernelSetting> ks(settings.size());
    std::vector<float> distances;
    try {
        EstimateSearchPasses(s, settings.front().st);
        for (size_t i = 0; i < settings.size(); ++i) {
            const SearchSetting& k = settings[i];
            ks[i] = KernelSetting{k.entryHour, k.tp, k.tpi, WinnerResult(k.tp, tradeCost, pointValue, ppu),
                                  LoserResult(k.tpi, pointValue, ppu)};
            distances.push_back(k.tp);
            distances.push_back(k.tpi);
        }
    } catch (const PassFault&) {
        return giveUp();
    }
    std::sort(distances.begin(), distances.end());
    distances.erase(std::unique(distances.begin(), distances.end()), distances.end());
    // So fine a grid is left to the bar loop rather than to an exit memo without bounds.
    if (distances.size() > PassKernel::kMaxColumns) return giveUp();
    // Fill the kernel's memo first: afterwards the passes only read it, from any thread.
    r.kernel.precompute(distances, w.from, w.to);

    std::vector<KernelResult> results(settings.size());
    const float startTime = s.clock.secondsSinceMidnight();
    results[0] = r.kernel.run(ks[0], w.from, w.to, ProfitOrder::BuyFirst, r.scratch);
    const float firstEndTime = s.clock.secondsSinceMidnight();
    // Settings 1.. in contiguous chunks, one per core; a chunk whose thread cannot
    // start is done here.
    auto runRange = [&](size_t a, size_t b, KernelScratch& scratch) {
        for (size_t i = a; i < b; ++i)
            results[i] = r.kernel.run(ks[i], w.from, w.to, ProfitOrder::BuyFirst, scratch);
    };
    const size_t rest = settings.size() - 1;
    const unsigned threads =
        rest >= 64 ? std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)) : 1u;
    const size_t chunk = (rest + threads - 1) / threads;
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        const size_t a = 1 + t * chunk, b = std::min(settings.size(), a + chunk);
        if (a >= b) break;
        try {
            pool.emplace_back([&runRange, a, b] {
                KernelScratch scratch;
                runRange(a, b, scratch);
            });
        } catch (const std::system_error&) {
            runRange(a, b, r.scratch);
        }
    }
    runRange(1, std::min(settings.size(), 1 + chunk), r.scratch);
    for (auto& t : pool) t.join();

    // Record the passes in search order, as each pass's end would have.
    Position& pos = r.pos;
    bool bestChanged = false;
    for (size_t i = 0; i < settings.size(); ++i) {
        const SearchSetting& k = settings[i];
        const KernelResult& kr = results[i];
        ++r.passesStarted;
        ++r.runPassesStarted;
        if (kr.buyTouched) pos.buyEntryPrice = kr.buyEntryPrice;
        if (kr.sellTouched) pos.sellEntryPrice = kr.sellEntryPrice;
        if (r.runPassesStarted == 1) {
            const double estimate = windowCount * (static_cast<double>(r.progressMax) *
                                                   static_cast<double>(firstEndTime - startTime));
            r.remainingSeconds = std::isfinite(estimate) && std::fabs(estimate) <= FLT_MAX
                                     ? static_cast<float>(estimate)
                                     : 0.0f;
            f.timer2 = true;
        }
        ++r.passesDone;
        ++r.runPassesDone;
        bestChanged |= TakeAsBest(r, PassRow{k.entryHour, k.tp1, k.tpi1, kr.profit});
    }
    const SearchSetting& last = settings.back();
    const KernelResult& lastResult = results.back();
    pos.buyOpen = lastResult.buyOpen ? 1.0f : 0.0f;
    pos.sellOpen = lastResult.sellOpen ? 1.0f : 0.0f;
    r.passProfit = lastResult.profit;
    r.passRow = PassRow{last.entryHour, last.tp1, last.tpi1, lastResult.profit};
    r.searchWindowEnd = w.windowEnd;
    r.currentBar = w.endBar;
    r.passStartTime = startTime;
    r.passEndTime = s.clock.secondsSinceMidnight();
    ShowCurrentPass(s, r.passRow);
    if (bestChanged)
        ShowBestPass(s, PassRow{r.best.entryHour, r.best.targetPoints, r.best.stopPoints, *r.bestTotal});
    return true;
}

}  // namespace kavro
