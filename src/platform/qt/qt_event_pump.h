#pragma once
// The event pump port on Qt.
#include <chrono>
#include <functional>

#include "platform/ports.h"

namespace kavro {

// Runs the Qt event loop from inside long jobs. A job calls yield() once per
// line or bar, so a call with nothing due must cost next to nothing: the clock
// is read only every few calls, and events are processed at most every ~15 ms.
class QtEventPump final : public EventPump {
  public:
    void yield() override;

    // Called after every turn of the event loop (the window refreshes itself from its state).
    void setAfterEvents(std::function<void()> f) { afterEvents_ = std::move(f); }

    // Turns of the event loop taken so far.
    long long turns() const { return turns_; }

    static constexpr std::chrono::milliseconds kInterval{15};

  private:
    using SteadyClock = std::chrono::steady_clock;
    // Small enough that a job whose calls turn slow is noticed within a few dozen calls.
    static constexpr unsigned kMaxStride = 64;

    void turn(SteadyClock::time_point now);

    unsigned countdown_ = 1;  // calls left before the next clock read
    unsigned stride_ = 1;     // calls between clock reads, adapted to the caller's pace
    SteadyClock::time_point lastCheck_{};
    SteadyClock::time_point lastTurn_{};
    long long turns_ = 0;
    std::function<void()> afterEvents_;
};

}  // namespace kavro
