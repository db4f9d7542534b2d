#pragma once
// The simple test's driver: single settings, sweeps and full sweeps.
#include "engine/run_env.h"

namespace kavro {

// One tick of the simple test (Timer1): a whole sweep, or one pass of a
// single-setting run. Stops, faults and refusals end the run with its timers off.
void RunSimpleTestTick(const RunEnv& e);

}  // namespace kavro
