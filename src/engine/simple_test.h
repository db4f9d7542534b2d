#pragma once
#include "app/session.h"

namespace kavro {

// One tick of the simple test (Timer1): a whole sweep, or one pass of a
// single-setting run. Stops, faults and refusals end the run with its timers off.
void RunSimpleTestTick(Session& s);

}  // namespace kavro
