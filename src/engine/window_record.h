#pragma once
// A walk-forward window as plain data.
#include "platform/dates.h"

namespace kavro {

// One window of a thorough test as later readers need it (the evaluation, the
// export): where it searched and traded, what it chose and what that earned.
struct WindowRecord {
    // Bar numbers walked: the search from optFirstBar to optLastBar, the forward
    // pass from fwdFirstBar to fwdLastBar (it may reach past the loaded bars).
    double optFirstBar = 0, optLastBar = 0;
    double fwdFirstBar = 0, fwdLastBar = 0;
    // Dates of those bars; invalid where a bar lies beyond the loaded data.
    Date optStart, optEnd, fwdStart, fwdEnd;
    // The setting the forward pass traded (points) and the hour.
    float entryHour = 0, target = 0, stop = 0;
    // False when no pass of this window's search reached 0 or more: the forward
    // pass then traded the setting left by an earlier window.
    bool bestFound = false;
    float inSampleTotal = 0;     // best result of the search (BestTotal before its reset)
    bool forwardTested = true;   // false in real-work mode, which searches only
    float forwardResult = 0;     // the forward pass's result
};

}  // namespace kavro
