#pragma once
// The runs the evaluation reads, and the "Оценка" command.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/run_results.h"
#include "evaluation/heatmap.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"
#include "evaluation/walkforward_view.h"

namespace kavro {

struct Session;

// The finished runs the evaluation shows: the latest of any kind (its trades give
// the statistics and the Monte Carlo), the latest sweep of more than one pass
// (the heatmap) and the latest thorough test (the dashboard). A later run of
// another kind leaves the others as they are, so running a heatmap cell as a
// single setting keeps the heatmap.
struct EvaluationSources {
    std::shared_ptr<const RunResults> latest, sweep, walkForward;
    uint64_t serial = 0;  // changes whenever one of them does
};

// What the evaluation shows, computed once per change of the sources.
struct Evaluation {
    std::shared_ptr<const RunResults> latest, sweep, walkForward;
    std::vector<TradeRecord> trades;  // the latest run's trades
    TradeStats stats;
    std::vector<double> equity;  // closed-trade equity, element 0 the starting 0
    SweepAxes axes;              // of the sweep's pass rows
    WalkForwardView windows;     // of the thorough test's windows
    bool complete = true;        // false: the latest run was stopped or failed half-way
};
Evaluation Evaluate(const EvaluationSources& sources);

// Takes a run that has just finished into the sources; true when they changed.
// Once Ocen has filled the main window's "Оценка" block, it follows each new run.
bool NoteFinishedRun(Session& s);

// The "Оценка" block of the main window for the latest finished run.
void FillEvaluationBlock(Session& s);

// The "Оценка" command: with a finished run, fills the main window's "Оценка"
// block (Label16 "B/S" trade counts, Label25 "Просадка", Label17 the maximum
// drawdown) and opens the evaluation window; without one, says there is nothing
// to evaluate yet and changes nothing else.
void OcenCommand(Session& s);

// Runs one setting of a sweep (a heatmap cell) as a single-setting pass: the
// fields take the setting (and the sweep's pair and money fields), then Start
// runs as if pressed.
void RunSettingCommand(Session& s, const PassRow& setting);

inline constexpr const char* kNothingToEvaluate =
    "Оценивать пока нечего: сначала выполните простое или качественное тестирование";

}  // namespace kavro
