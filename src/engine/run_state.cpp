#include "engine/run_state.h"

#include "platform/numbers.h"

namespace kavro {

void Settings::capture(Pair pair, const std::string& pointValueText, const std::string& costText) {
    U = pair == Pair::JPY ? 0.01f : 0.0001f;
    Q = static_cast<float>(Val(pointValueText));
    J = static_cast<float>(Val(costText));
    E = static_cast<float>(1.0 / static_cast<double>(U));
}

void Settings::setDistances(double tp, double sl, double st) {
    const double u = U;
    TP = static_cast<float>(tp * u);
    SL = static_cast<float>(sl * u);
    ST = static_cast<float>(st * u);
    TP1 = static_cast<float>(tp);
    SL1 = static_cast<float>(sl);
    ST1 = static_cast<float>(st);
}

void BeginResults(RunState& r, RunKind kind, const SettingFields& fields, double expectedRows) {
    r.results = std::make_shared<RunResults>();
    RunResults& res = *r.results;
    res.kind = kind;
    res.fields = fields;
    res.firstBar = r.firstBar;
    res.lastBar = r.lastBar;
    const size_t rows = expectedRows > 0 && expectedRows < 2e8 ? static_cast<size_t>(expectedRows) : 0;
    if (kind == RunKind::Simple)
        res.passes.reserve(rows);
    else
        res.windows.reserve(rows);
}

void FinishResults(RunState& r, RunEnd end, const std::string& failure) {
    RunResults& res = *r.results;
    if (res.kind == RunKind::None || res.end != RunEnd::Running) return;
    res.end = end;
    res.failure = failure;
    res.trades.clear();
    // A sweep's passes keep no journal: their trade counts describe no rows.
    res.journaled = r.journaled;
    if (r.journaled)
        for (int64_t i = 1; i <= r.closedTradeCount; ++i)
            res.trades.push_back(r.journal.row(static_cast<size_t>(i)));
    res.wins = r.winCount;
    res.losses = r.lossCount;
}

}  // namespace kavro
