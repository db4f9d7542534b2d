#pragma once
// The latest test run's results as plain data that outlives the run.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_fields.h"
#include "engine/trade_journal.h"
#include "engine/window_record.h"

namespace kavro {

// A sweep keeps every pass row: they must stay this small.
static_assert(sizeof(PassRow) == 16, "a kept pass row costs 16 bytes");

enum class RunKind { None, Simple, Thorough };
enum class RunEnd { Running, Done, Stopped, Failed };

// What a run leaves for later readers (the evaluation, the export), so that
// they never read form fields or the engine's working state.
struct RunResults {
    RunKind kind = RunKind::None;
    RunEnd end = RunEnd::Running;
    std::string failure;        // the message of a run that failed
    SettingFields fields;       // the settings fields as the run was started with
    float firstBar = 0, lastBar = 0;

    std::vector<PassRow> passes;        // every pass of a simple test, in order (16 bytes each)
    std::vector<WindowRecord> windows;  // every window of a thorough test
    std::vector<JournalRow> trades;     // journal rows 1..ClosedTradeCount when the run ended
    bool journaled = false;             // its passes kept a trade journal (a sweep's do not)
    int64_t wins = 0, losses = 0;       // the win and loss counts that go with them

    bool finished() const { return kind != RunKind::None && end != RunEnd::Running; }
};

}  // namespace kavro
