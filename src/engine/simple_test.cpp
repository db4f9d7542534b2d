#include "engine/simple_test.h"

namespace kavro {

void RunSimpleTestTick(Session& s) { s.form.timer1 = false; }

}  // namespace kavro
