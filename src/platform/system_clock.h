#pragma once
// The machine's clock as a port.
#include "platform/ports.h"

namespace kavro {

// The machine's local clock.
class SystemClock : public Clock {
  public:
    float secondsSinceMidnight() override;
    Date today() override;
};

}  // namespace kavro
