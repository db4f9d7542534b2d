#include "walkforward/thorough_test.h"

namespace kavro {

void StartThoroughTest(Session& s) { (void)s; }
void RunThoroughTestTick(Session& s) { s.form.timer3 = false; }

}  // namespace kavro
