#pragma once
// A sweep's passes run again, each trading as its setting run alone would: every close in order.
#include <functional>
#include <span>
#include <string>

#include "engine/pass_kernel.h"
#include "engine/run_record.h"
#include "platform/job_progress.h"

namespace kavro {

// What a replay computes with. The session's own, right after its sweep, hold
// the sweep's exit plans already; a replay on another thread brings fresh ones.
struct ReplayTools {
    PassKernel& kernel;
    DayMatchTable& table;
};

// Gets one pass's closes in booking order (bar by bar, the buy side first),
// valid until it returns.
using ReplayVisit = std::function<void(size_t pass, std::span<const KernelClose> closes)>;
// Makes the visitor of one thread, which may keep scratch of its own: the
// threads run at once, each with passes of its own.
using ReplayVisitors = std::function<ReplayVisit()>;

// Runs every pass row of `record` (a sweep) again over its interval with the
// settings it started with, on up to `threads` threads (0: one a core), and
// hands each pass's closes to its thread's visitor. False with the reason, in Russian, when
// that cannot give what the sweep traded: the store no longer holds the run's
// quotes, the interval is not whole bars the kernel covers, a money result
// overflows, or a pass's result differs from its row (a field was typed over
// during the run); also when cancelled through `progress`, which counts passes.
bool ReplaySweep(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                 const ReplayVisitors& visitors, std::string& error, unsigned threads = 1,
                 JobProgress* progress = nullptr);

inline constexpr const char* kReplayCancelled = "Расчёт отменён";

}  // namespace kavro
