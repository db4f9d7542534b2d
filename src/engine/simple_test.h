#pragma once
// The simple test's driver: single settings, sweeps and full sweeps.
#include "engine/run_checks.h"
#include "engine/run_env.h"

namespace kavro {

// The Start command's part in the engine: checks the settings' values (the
// program layer has checked that every field reads), counts the passes, empties
// RIPOT and, when all is well, captures the settings for the run. A refused
// start changes nothing.
RunStart StartSimpleTest(const RunEnv& e);

// One tick of the simple test (Timer1): a whole sweep, or one pass of a
// single-setting run. A stop or a fault ends the run; its record says how.
void RunSimpleTestTick(const RunEnv& e);

}  // namespace kavro
