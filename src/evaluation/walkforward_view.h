#pragma once
// The walk-forward dashboard: what each window chose, what that earned going
// forward, and how steady the choices were.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/window_record.h"

namespace kavro {

struct WindowRow {
    size_t number = 0;  // 1-based, in test order
    Date optStart, optEnd, fwdStart, fwdEnd;
    double optBars = 0, fwdBars = 0;  // last - first + 1 (both bars are walked)
    float entryHour = 0, target = 0, stop = 0;
    bool bestFound = false;  // false: the search found nothing, the forward pass kept an earlier setting
    double inSampleTotal = 0, forwardResult = 0;
    // (forwardResult / fwdBars) / (inSampleTotal / optBars); NaN (shown "—") when
    // the search found nothing, inSampleTotal <= 0 or a bar count <= 0.
    double efficiency = 0;
    double cumulativeForward = 0;  // forward results of windows 1..number
};

struct WalkForwardView {
    std::vector<WindowRow> rows;
    size_t windows = 0;
    size_t profitableWindows = 0;  // forward result > 0, every window counted
    size_t searchedNothing = 0;    // bestFound == false
    double profitableShare = 0;    // profitableWindows / windows * 100 (%); 0 without windows
    double totalForward = 0;       // sum of the forward results
    // (sum of forward results / sum of forward bars) / (sum of in-sample totals /
    // sum of optimisation bars), over the windows whose search found a setting and
    // whose bar counts are > 0; NaN when there are none or that in-sample sum is <= 0.
    double overallEfficiency = 0;
    size_t efficiencyWindows = 0;  // windows in those sums
};

WalkForwardView BuildWalkForwardView(std::span<const WindowRecord> windows);

}  // namespace kavro
