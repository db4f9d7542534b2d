#pragma once
// The evaluation of one run record, and the "Оценка" command.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/run_record.h"
#include "evaluation/heatmap.h"
#include "evaluation/sweep_figures.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"
#include "evaluation/walkforward_view.h"
#include "program/run_history.h"

namespace kavro {

struct Session;

// What the evaluation shows of one record, computed once per record: its
// trades' statistics and equity, its heatmap (a sweep's own passes, or for a
// heatmap cell the sweep it came from) and its walk-forward dashboard.
struct Evaluation {
    std::shared_ptr<const RunRecord> run;          // the record evaluated; null: nothing to evaluate
    std::shared_ptr<const RunRecord> sweep;        // the heatmap's sweep, or null
    std::shared_ptr<const RunRecord> walkForward;  // the run itself when a thorough test, or null
    std::vector<TradeRecord> trades;
    TradeStats stats;
    std::vector<double> equity;  // closed-trade equity, element 0 the starting 0
    SweepAxes axes;              // of the sweep's pass rows
    WalkForwardView windows;     // of the thorough test's windows
    bool complete = true;        // false: the run was stopped or failed half-way
    // The sweep's pass figures and overfitting check, once computed (they replay the sweep).
    std::shared_ptr<const SweepCheck> check;
};
Evaluation Evaluate(const RunHistory& history, std::shared_ptr<const RunRecord> run);

// Computes `e.check` now for `e`'s sweep on the session's quotes and kernel:
// every pass's figures, and with `blocks` the overfitting check.
void CheckSweepOf(Session& s, Evaluation& e, int blocks);

// What a run that is not a sweep says when asked for an overfitting check.
std::string NoSweepToCheck(const RunRecord& run);

// The record numbered `number` when it is held and finished, else the latest finished one.
std::shared_ptr<const RunRecord> ChosenRun(const RunHistory& history, int64_t number);

// Once Ocen has filled the main window's "Оценка" block, it follows each run that finishes.
void NoteFinishedRun(Session& s);

// The "Оценка" block of the main window for the latest finished run.
void FillEvaluationBlock(Session& s);

// The "Оценка" command: with a finished run, fills the main window's "Оценка"
// block (Label16 "B/S" trade counts, Label25 "Просадка", Label17 the maximum
// drawdown) and opens the evaluation window; without one, says there is nothing
// to evaluate yet and changes nothing else.
void OcenCommand(Session& s);

inline constexpr const char* kNothingToEvaluate =
    "Оценивать пока нечего: сначала выполните простое или качественное тестирование";

}  // namespace kavro
