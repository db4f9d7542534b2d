#pragma once
// One hourly bar as the walk-forward passes read it.
#include "engine/run_env.h"
#include "engine/strategy_rules.h"
#include "engine/test_pass.h"
#include "platform/numbers.h"

namespace kavro {

// What a pass reads of one hourly bar.
struct PassBar {
    long index = 0;
    BarDay day;
    float open = 0, high = 0, low = 0, hour = 0;
};

// Reads bar `currentBar` the way every pass does: bounds check, day search,
// one yield, the Stop check, then the day search's own fault.
inline PassBar ReadPassBar(const RunEnv& e, float currentBar) {
    PassBar b;
    const QuoteStore& q = e.store;
    // Whole bar numbers in range skip the general rounding: this runs for every bar of every pass.
    const bool whole = currentBar >= 0 && currentBar <= static_cast<float>(q.hourCapacity) &&
                       static_cast<float>(static_cast<long>(currentBar)) == currentBar;
    if (whole)
        b.index = static_cast<long>(currentBar);
    else if (!ToIndex(currentBar, 0, q.hourCapacity, b.index))
        throw PassFault{kFaultBarIndex};
    e.run.dayTable.prepare(q, e.run.lastBar);
    // Windows moved by a fractional number of bars search from their own bar number.
    b.day = whole ? e.run.dayTable.at(b.index)
                  : EvaluateDay(q, e.run.dayTable.search(q, e.run.lastBar, currentBar));
    e.pump.yield();
    CheckStop(e);
    const size_t i = static_cast<size_t>(b.index);
    const auto& ohlc = q.hourBar(i);
    b.open = ohlc[QuoteStore::Open];
    b.high = ohlc[QuoteStore::High];
    b.low = ohlc[QuoteStore::Low];
    b.hour = q.hourOf(i);
    return b;
}

}  // namespace kavro
