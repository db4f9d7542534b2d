#pragma once
#include "app/session.h"

namespace kavro {

// The Kach command: captures the settings, empties RIPOT and RIPOT1, enables Timer3.
void StartThoroughTest(Session& s);
// One tick of Timer3: the whole walk-forward run.
void RunThoroughTestTick(Session& s);

}  // namespace kavro
