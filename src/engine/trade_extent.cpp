#include "engine/trade_extent.h"

#include <algorithm>
#include <cmath>

namespace kavro {

namespace {

bool SameSet(const QuoteSet& a, const QuoteSet& b) {
    return a.digest == b.digest && a.bars == b.bars && a.pair == b.pair;
}

int8_t HourOf(const QuoteStore& q, long bar) {
    const float h = q.hourOf(static_cast<size_t>(bar));
    return h >= 0 && h <= 23 && h == std::floor(h) ? static_cast<int8_t>(h) : int8_t{-1};
}

// Prices held as 32-bit floats give differences like 53.00045 points: a tenth
// of a point is as fine as five-digit quotes go.
float Points(double move, double pointSize) {
    return static_cast<float>(std::round(std::max(0.0, move) / pointSize * 10) / 10);
}

}  // namespace

bool HoldsQuotesOf(const QuoteStore& store, const RunRecord& record) {
    return SameSet(store.hourSet, record.hourly) && SameSet(store.daySet, record.daily);
}

std::vector<TradeExtent> MeasureTrades(const QuoteStore& q, std::span<const JournalRow> rows, Pair pair) {
    std::vector<TradeExtent> out(rows.size());
    const double pointSize = PointSize(pair);
    for (size_t i = 0; i < rows.size(); ++i) {
        const JournalRow& row = rows[i];
        TradeExtent& x = out[i];
        const long first = row.entryBar, last = std::min<long>(row.exitBar, q.hourBarCount);
        if (first < 1 || first > q.hourBarCount) continue;
        x.entryHour = HourOf(q, first);
        if (row.exitDate && row.exitBar >= first && row.exitBar <= q.hourBarCount)
            x.exitHour = HourOf(q, row.exitBar);
        if (!row.entryPrice || last < first || row.side == TradeSide::None) continue;
        float high = 0, low = 0;
        bool any = false;
        for (long b = first; b <= last; ++b) {
            const QuoteStore::Ohlc& bar = q.hourBar(static_cast<size_t>(b));
            // An empty bar (no prices) moves nothing, as it trades nothing.
            if (!(bar[QuoteStore::High] > 0) || !(bar[QuoteStore::Low] > 0)) continue;
            high = any ? std::max(high, bar[QuoteStore::High]) : bar[QuoteStore::High];
            low = any ? std::min(low, bar[QuoteStore::Low]) : bar[QuoteStore::Low];
            any = true;
        }
        if (!any) continue;
        const double entry = *row.entryPrice;
        const bool buy = row.side == TradeSide::Buy;
        x.mfePoints = Points(buy ? high - entry : entry - low, pointSize);
        x.maePoints = Points(buy ? entry - low : high - entry, pointSize);
    }
    return out;
}

void MeasureRecordTrades(const QuoteStore& store, RunRecord& record) {
    record.extents.clear();
    if (!HoldsQuotesOf(store, record)) return;
    record.extents = MeasureTrades(store, record.trades, record.settings.pair);
}

}  // namespace kavro
