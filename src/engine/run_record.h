#pragma once
// What a run leaves behind: where it came from, what it was given and what it produced.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_fields.h"
#include "engine/run_settings.h"
#include "engine/trade_journal.h"
#include "engine/window_record.h"
#include "quotes/quote_store.h"

namespace kavro {

// A sweep keeps every pass row: they must stay this small.
static_assert(sizeof(PassRow) == 16, "a kept pass row costs 16 bytes");

enum class RunKind {
    None,
    Single,    // the simple test with step 0: one setting, its trades in the journal
    Sweep,     // the simple test with a step: one pass row per setting
    Thorough,  // the walk-forward test
    Cell,      // one setting of a sweep run on its own, fields untouched
};
enum class RunEnd { Running, Done, Stopped, Failed };

const char* KindName(RunKind kind);  // "single", "sweep", "thorough", "cell"

// A field typed over while a run ran, and where the run first read the new text.
struct SettingsChange {
    std::string field;  // the field's caption ("TP", "Шаг", ...)
    std::string before, after;
    int64_t pass = 0;    // passes the run had finished when it read the new text
    int64_t window = 0;  // windows it had finished (thorough test)
};

// One trade of a record as the quotes showed it, measured when the run ended:
// what the journal row cannot say once the quotes have been replaced.
struct TradeExtent {
    int8_t entryHour = -1, exitHour = -1;    // hours of day of the entry and exit bars; -1: not known
    float maePoints = NAN, mfePoints = NAN;  // largest move against and in favour, points; NaN: not known
};

// Everything known of one run: its number and kind, when it started, the quotes
// and settings it started with and every change during it, its pass rows,
// windows and trades, and how it ended. Later readers (the evaluation, the
// export, the runs list) read only this.
struct RunRecord {
    int64_t number = 0;
    RunKind kind = RunKind::None;
    RunEnd end = RunEnd::Running;
    std::string failure;    // the message of a run that failed
    std::string startTime;  // yyyy-mm-dd hh:mm:ss
    int64_t parent = 0;     // a cell: the number of the sweep it came from

    QuoteSet hourly, daily;
    SettingFields fields;  // the fields as typed when the run started
    RunSettings settings;  // the same, read
    std::vector<SettingsChange> changes;
    float firstBar = 0, lastBar = 0;
    DateText firstDate, lastDate;  // of bars FirstBar and LastBar - 1 (LastBar is one past the end)
    long barsWithoutDay = 0;       // bars of the interval whose date no daily bar has
    double expectedPasses = 0;     // passes the run was counted to take before it started

    std::vector<PassRow> passes;        // every pass of a simple test, in order (16 bytes each)
    std::vector<WindowRecord> windows;  // every window of a thorough test
    std::vector<JournalRow> trades;     // journal rows 1..ClosedTradeCount when the run ended
    std::vector<TradeExtent> extents;   // one per trade, or none when the quotes were not held
    bool journaled = false;             // its passes kept a trade journal (a sweep's do not)
    int64_t wins = 0, losses = 0;       // the win and loss counts that go with them

    bool finished() const { return kind != RunKind::None && end != RunEnd::Running; }
    bool isSweep() const { return kind == RunKind::Sweep; }
    // Bytes the record's rows take, for the history's budget.
    size_t rowBytes() const;
};

}  // namespace kavro
