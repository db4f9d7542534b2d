#pragma once
// Everything the test engine keeps between commands, passes and runs.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/pass_kernel.h"
#include "engine/run_record.h"
#include "engine/strategy_rules.h"
#include "engine/trade_journal.h"

namespace kavro {

// The distances captured by Start and Kach, which the sweeps then run their
// loops on: in points (TP1, SL1, ST1, the stop under test TPI1) and in price
// units (TP, SL, ST, TPI), each a product with the point size U stored as 32-bit.
struct Settings {
    float U = 0;
    float TP = 0, SL = 0, ST = 0;
    float TP1 = 0, SL1 = 0, ST1 = 0;
    float TPI = 0, TPI1 = 0;

    // The take-profit, stop-loss and step in points for `pair`, and in price units.
    void capture(Pair pair, double tp, double sl, double st);
};

// The best setting of a thorough test's search; it outlives windows and runs.
struct BestSetting {
    float entryHour = 0;
    float target = 0, stop = 0;              // price units
    float targetPoints = 0, stopPoints = 0;  // points
};

// Everything the test engine keeps between commands, passes and runs.
struct RunState {
    Settings s;

    float firstBar = 0, lastBar = 0;  // the test interval
    float entryHour = 0, lastEntryHour = 0, entryHourSpan = 0;
    float progressMax = 0;
    float currentBar = 0;
    float passProfit = 0;
    float pointsPerUnit = 0;
    float remainingSeconds = 0;
    float passStartTime = 0, passEndTime = 0;
    float searchWindowEnd = 0;

    // Program lifetime counters, and the same counted within the current run.
    int64_t passesStarted = 0, passesDone = 0;
    int64_t runPassesStarted = 0, runPassesDone = 0;

    std::optional<float> bestTotal;  // empty until the first update; compares as 0
    BestSetting best;
    int64_t bestUpdates = 0;  // times a pass became the best setting, since start-up

    Position pos;
    int64_t openedTradeCount = 0, closedTradeCount = 0;
    int64_t winCount = 0, lossCount = 0;
    int64_t forwardOpenedCount = 0;
    float forwardEquity = 0;

    TradeJournal journal;
    bool journaled = false;  // the last pass wrote the journal (a sweep pass does not)
    PassRow passRow;         // row `passesDone` of the pass table
    DayMatchTable dayTable;  // the day search of every bar, for the current store and LastBar
    PassKernel kernel;       // sweep passes without a bar loop
    KernelScratch scratch;
    bool fastPasses = true;  // off: every pass walks its bars (the reference)

    // Set by Stop; a running test halts at its next yield.
    bool stopRequested = false;
};

// Makes room in a record for the rows a run is expected to keep, so that
// keeping them costs 16 bytes a pass.
void ReserveRows(RunRecord& record, double expectedRows);
// Ends a record still running: how the run ended, and the journal's trades as they stand.
void FinishRecord(RunRecord& record, const RunState& r, RunEnd end, const std::string& failure = {});

}  // namespace kavro
