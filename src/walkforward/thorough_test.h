#pragma once
// The thorough test's driver: Kach and the walk-forward windows.
#include "engine/run_env.h"

namespace kavro {

// The Kach command: empties RIPOT and RIPOT1, refuses unreadable settings and a
// search without a setting, captures the settings, starts the trade journal afresh
// and enables Timer3.
void StartThoroughTest(const RunEnv& e);
// One tick of Timer3: the whole walk-forward run. A stop or a refusal ends the run
// with its timers off; a fault inside a pass ends only that pass.
void RunThoroughTestTick(const RunEnv& e);

// Number of walk-forward windows over `barSpan` = LastBar - FirstBar bars with
// optimisation and forward windows of optLen * 480 and fwdLen * 480 bars: the
// quotient rounded up (below 1 means no window runs).
double ThoroughWindowCount(double barSpan, double optLen, double fwdLen);
// The window count of the current interval and window lengths (Text7, Text8).
double RunWindowCount(const RunEnv& e);

}  // namespace kavro
