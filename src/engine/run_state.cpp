#include "engine/run_state.h"

namespace kavro {

void Settings::capture(Pair pair, double tp, double sl, double st) {
    U = PointSizeSingle(pair);
    const double u = U;
    TP = static_cast<float>(tp * u);
    SL = static_cast<float>(sl * u);
    ST = static_cast<float>(st * u);
    TP1 = static_cast<float>(tp);
    SL1 = static_cast<float>(sl);
    ST1 = static_cast<float>(st);
}

void ReserveRows(RunRecord& record, double expectedRows) {
    const size_t rows = expectedRows > 0 && expectedRows < 2e8 ? static_cast<size_t>(expectedRows) : 0;
    if (record.kind == RunKind::Thorough)
        record.windows.reserve(rows);
    else
        record.passes.reserve(rows);
}

void FinishRecord(RunRecord& record, const RunState& r, RunEnd end, const std::string& failure) {
    if (record.kind == RunKind::None || record.end != RunEnd::Running) return;
    record.end = end;
    record.failure = failure;
    record.trades.clear();
    // A sweep's passes keep no journal: their trade counts describe no rows.
    record.journaled = r.journaled;
    if (r.journaled)
        for (int64_t i = 1; i <= r.closedTradeCount; ++i)
            record.trades.push_back(r.journal.row(static_cast<size_t>(i)));
    record.wins = r.winCount;
    record.losses = r.lossCount;
}

}  // namespace kavro
