#include "evaluation/walkforward_view.h"

#include <cmath>
#include <limits>

namespace kavro {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

double Bars(double first, double last) {
    const double n = last - first + 1;
    return std::isfinite(n) ? n : 0.0;
}

double Finite(double v) {
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace

WalkForwardView BuildWalkForwardView(std::span<const WindowRecord> windows) {
    WalkForwardView v;
    v.windows = windows.size();
    double fwdSum = 0, fwdBarSum = 0, isSum = 0, optBarSum = 0;
    for (size_t i = 0; i < windows.size(); ++i) {
        const WindowRecord& w = windows[i];
        WindowRow r;
        r.number = i + 1;
        r.optStart = w.optStart;
        r.optEnd = w.optEnd;
        r.fwdStart = w.fwdStart;
        r.fwdEnd = w.fwdEnd;
        r.optBars = Bars(w.optFirstBar, w.optLastBar);
        r.fwdBars = Bars(w.fwdFirstBar, w.fwdLastBar);
        r.entryHour = w.entryHour;
        r.target = w.target;
        r.stop = w.stop;
        r.bestFound = w.bestFound;
        // A damaged figure must not turn every total after it into NaN.
        r.inSampleTotal = Finite(w.inSampleTotal);
        r.forwardResult = Finite(w.forwardResult);
        v.totalForward += r.forwardResult;
        r.cumulativeForward = v.totalForward;
        if (r.forwardResult > 0) ++v.profitableWindows;
        if (!r.bestFound) ++v.searchedNothing;
        // A window that found nothing traded an earlier window's setting: its
        // in-sample total says nothing about that setting.
        const bool counted = r.bestFound && r.optBars > 0 && r.fwdBars > 0;
        r.efficiency = counted && r.inSampleTotal > 0
                           ? (r.forwardResult / r.fwdBars) / (r.inSampleTotal / r.optBars)
                           : kUndefined;
        if (counted) {
            fwdSum += r.forwardResult;
            fwdBarSum += r.fwdBars;
            isSum += r.inSampleTotal;
            optBarSum += r.optBars;
            ++v.efficiencyWindows;
        }
        v.rows.push_back(r);
    }
    v.profitableShare =
        v.windows > 0 ? 100.0 * static_cast<double>(v.profitableWindows) / static_cast<double>(v.windows)
                      : 0.0;
    v.overallEfficiency =
        v.efficiencyWindows > 0 && isSum > 0 ? (fwdSum / fwdBarSum) / (isSum / optBarSum) : kUndefined;
    return v;
}

}  // namespace kavro
