#pragma once
// What a long job on other threads shares with whoever waits for it.
#include <atomic>
#include <cstdint>

namespace kavro {

// The units of work done so far, and a flag that stops the units still to come.
struct JobProgress {
    std::atomic<int64_t> done{0};
    std::atomic<bool> cancel{false};
};

}  // namespace kavro
