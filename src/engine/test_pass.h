#pragma once
// The test pass of the simple test, and the pass-end steps the other passes share.
#include "engine/run_env.h"

namespace kavro {

// One pass of the strategy over FirstBar..LastBar for one setting (stop and
// take-profit in price units, step, and the two distances in points, which are
// only recorded). Records the pass row, the labels, a RIPOT line and the best
// result. Throws PassFault or PassStopped; then nothing of the pass is recorded.
void RunTestPass(const RunEnv& e, float& tpi, float& tp, float& st, float& tpi1, float& tp1);

// Appends one line to a report file; a line that cannot be written ends the
// pass with a PassFault that names the file and the cause.
void AppendReportLine(const std::string& path, std::string_view line);
// Empties a report file before a run; false, with the message to show, when it cannot.
bool EmptyReportFile(const std::string& path, std::string& message);

// Throws PassStopped when Stop was pressed; called after every yield.
void CheckStop(const RunEnv& e);

// Takes a kernel pass's counts, result and positions into the run state.
void ApplyKernelResult(RunState& r, const KernelResult& kr);

}  // namespace kavro
