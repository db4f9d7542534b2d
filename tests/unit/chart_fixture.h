#pragma once
#include <vector>

#include "program/session.h"
#include "chart/chart_model.h"
#include "platform/headless.h"

namespace kavro::testing {

// A session without windows whose journal the test writes by hand.
struct ChartSession {
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    Session s{Ports{pump, dialogs, clock, shell}, Locale{}, ""};

    // Closed trades 1..n with these results: wins bought, losses sold.
    void trades(const std::vector<float>& results) {
        s.run.journal.clear();
        s.run.journal.at(0).equity = 0.0f;
        for (size_t i = 0; i < results.size(); ++i) {
            JournalRow& row = s.run.journal.at(i + 1);
            row.profit = results[i];
            row.side = results[i] >= 0 ? TradeSide::Buy : TradeSide::Sell;
        }
        s.run.closedTradeCount = static_cast<int64_t>(results.size());
    }
    // n trades alternating a win of `win` and a loss of `loss`.
    void alternating(int n, float win = 500, float loss = -250) {
        std::vector<float> r;
        for (int i = 0; i < n; ++i) r.push_back(i % 2 == 0 ? win : loss);
        trades(r);
    }
};

// The window as created, then as sized by the Graf command (no frame).
inline void OpenModel(ChartModel& m) {
    m.build(kClientWidth);
    m.resize(kGrafWidth, kGrafHeight);
}

}  // namespace kavro::testing
