#pragma once
#include <vector>

#include "app/session.h"

namespace kavro {

// One setting of a window's search, as the search loops hand it to a pass.
struct SearchSetting {
    float tpi, tp, st, tpi1, tp1, entryHour;
};

// Runs every optimisation pass of one window through the pass kernel, spread
// over the machine's cores, then records them in search order exactly as the
// passes one by one would (pass rows, labels, best setting with ties to the
// later one, the run's first time estimate). Returns false, having changed
// nothing, when the window needs the bar loop: bars with a day-search fault or
// outside the store, fractional bar numbers, a faulting pass estimate or an
// overflowing money result.
bool FastSearchWindow(Session& s, const std::vector<SearchSetting>& settings, double windowOffset,
                      double windowCount);

}  // namespace kavro
