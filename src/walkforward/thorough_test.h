#pragma once
// The thorough test's driver: Kach and the walk-forward windows.
#include "engine/run_checks.h"
#include "engine/run_env.h"

namespace kavro {

// The Kach command's part in the engine: checks the settings' values (the
// program layer has checked that every field reads), refuses a search without a
// setting, counts the run, empties RIPOT and RIPOT1 and, when all is well,
// captures the settings and starts the trade journal afresh. A refused start
// changes nothing.
RunStart StartThoroughTest(const RunEnv& e);
// One tick of Timer3: the whole walk-forward run. A stop or a fault ends the run
// (its record says how); a fault inside a pass ends only that pass.
void RunThoroughTestTick(const RunEnv& e);

// Number of walk-forward windows over `barSpan` = LastBar - FirstBar bars with
// optimisation and forward windows of optLen and fwdLen months: the quotient
// rounded up (below 1 means no window runs).
double ThoroughWindowCount(double barSpan, double optLen, double fwdLen);

}  // namespace kavro
