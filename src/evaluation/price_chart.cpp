#include "evaluation/price_chart.h"

#include <algorithm>

#include "engine/strategy_rules.h"
#include "engine/trade_extent.h"

namespace kavro {

namespace {

uint64_t KeyOf(const DateText& t) {
    uint64_t k = 0;
    // Big-endian, so keys order like the texts.
    for (size_t i = 0; i < 8; ++i) k = (k << 8) | static_cast<unsigned char>(t.chars[i]);
    return k;
}

PriceRange RangeOf(const QuoteStore::Ohlc& c) {
    PriceRange r;
    // A candle without prices (an empty slot) has no range.
    if (c[QuoteStore::Low] > 0 && c[QuoteStore::High] >= c[QuoteStore::Low]) {
        r.low = c[QuoteStore::Low];
        r.high = c[QuoteStore::High];
    }
    return r;
}

}  // namespace

std::string TradePictureFile(size_t number) {
    return "trade-" + std::to_string(number) + ".png";
}

void RangeIndex::build(std::span<const QuoteStore::Ohlc> candles) {
    candles_ = candles;
    levels_.clear();
    size_t below = candles.size();
    for (size_t block = kFan; block <= candles.size(); block *= kFan) {
        std::vector<PriceRange> level((candles.size() + block - 1) / block);
        for (size_t b = 0; b < level.size(); ++b) {
            // Each block is kFan blocks of the level below (or kFan candles).
            for (size_t k = b * kFan; k < std::min(below, (b + 1) * kFan); ++k)
                level[b].add(levels_.empty() ? candle(k) : levels_.back()[k]);
        }
        below = level.size();
        levels_.push_back(std::move(level));
    }
}

PriceRange RangeIndex::candle(size_t i) const {
    return RangeOf(candles_[i]);
}

PriceRange RangeIndex::range(size_t from, size_t to) const {
    PriceRange r;
    to = std::min(to, candles_.size());
    size_t i = from;
    while (i < to) {
        // The largest aligned block that starts at i and ends by `to`.
        size_t size = 1;
        size_t level = 0;
        while (level < levels_.size() && i % (size * kFan) == 0 && i + size * kFan <= to) {
            size *= kFan;
            ++level;
        }
        r.add(level == 0 ? candle(i) : levels_[level - 1][i / size]);
        i += size;
    }
    return r;
}

std::shared_ptr<const PriceChart> PriceChart::Build(const QuoteStore& q, const RunRecord& record,
                                                    std::span<const TradeRecord> trades,
                                                    Timeframe timeframe) {
    if (!HoldsQuotesOf(q, record)) return nullptr;
    auto c = std::make_shared<PriceChart>();
    c->q_ = &q;
    c->generation_ = q.generation;
    c->timeframe_ = timeframe;
    c->pair_ = record.settings.pair;
    const bool hourly = timeframe == Timeframe::Hourly;
    const size_t count = static_cast<size_t>(hourly ? q.hourBarCount : q.dayBarCount);
    if (count == 0) return nullptr;
    // Slot 0 holds no bar: candle i is bar (or day) i + 1.
    c->candles_ = std::span<const QuoteStore::Ohlc>(hourly ? q.hourOhlc : q.dayOhlc).subspan(1, count);
    c->index_.build(c->candles_);

    c->dates_.reserve(static_cast<size_t>(q.dayBarCount));
    for (int d = 1; d <= q.dayBarCount; ++d)
        c->dates_.emplace_back(KeyOf(q.dayDate[static_cast<size_t>(d)]), d);
    std::sort(c->dates_.begin(), c->dates_.end());
    if (hourly) {
        for (size_t b = 1; b <= count; ++b)
            if (b == 1 || !(q.hourDate[b] == q.hourDate[b - 1]))
                c->runs_.push_back({b - 1, static_cast<int32_t>(c->dayOfDate(q.hourDate[b]))});
    }

    // The run's interval, in candles.
    if (hourly) {
        auto candleOf = [&](double bar) {
            return static_cast<size_t>(std::clamp(bar - 1, 0.0, static_cast<double>(count - 1)));
        };
        c->first_ = candleOf(std::floor(record.firstBar));
        // LastBar is one past the end the pickers chose.
        c->last_ = std::max(c->first_, candleOf(std::floor(record.lastBar) - 1));
    } else {
        c->first_ = 0;
        c->last_ = count - 1;
        const auto text = [&](size_t i) { return q.dayDate[i + 1].view(); };
        if (record.firstDate.length > 0)
            while (c->first_ + 1 < count && text(c->first_) < record.firstDate.view()) ++c->first_;
        if (record.lastDate.length > 0)
            while (c->last_ > c->first_ && text(c->last_) > record.lastDate.view()) --c->last_;
    }
    c->placeTrades(trades);
    // A walk-forward window may trade past the interval: Home shows every trade.
    if (!c->trades_.empty()) {
        c->first_ = std::min(c->first_, c->trades_.front().entry);
        c->last_ = std::max(c->last_, c->trades_.back().exit);
    }
    return c;
}

long PriceChart::dayOfDate(const DateText& date) const {
    const uint64_t key = KeyOf(date);
    auto after = std::upper_bound(dates_.begin(), dates_.end(), std::pair<uint64_t, int32_t>{key, INT32_MAX});
    if (after == dates_.begin() || std::prev(after)->first != key) return 0;
    // Texts that differ only in length share a key: the day must hold the very text.
    const long day = std::prev(after)->second;
    return q_->dayDate[static_cast<size_t>(day)] == date ? day : 0;
}

long PriceChart::dayOfCandle(size_t i) const {
    if (timeframe_ == Timeframe::Daily) return static_cast<long>(i) + 1;
    auto it = std::upper_bound(runs_.begin(), runs_.end(), i,
                               [](size_t candle, const DayRun& r) { return candle < r.first; });
    return it == runs_.begin() ? 0 : std::prev(it)->day;
}

size_t PriceChart::candleOfBar(long bar) const {
    if (timeframe_ == Timeframe::Hourly) return static_cast<size_t>(bar - 1);
    const long day = dayOfDate(q_->hourDate[static_cast<size_t>(bar)]);
    return day > 0 ? static_cast<size_t>(day - 1) : size();
}

size_t PriceChart::exitCandleOfBar(long bar) const {
    if (timeframe_ == Timeframe::Hourly) return static_cast<size_t>(bar - 1);
    // A day the daily quotes lack ends on the last day before it, so exits never run past later trades.
    const uint64_t key = KeyOf(q_->hourDate[static_cast<size_t>(bar)]);
    auto after = std::upper_bound(dates_.begin(), dates_.end(), std::pair<uint64_t, int32_t>{key, INT32_MAX});
    return after == dates_.begin() ? 0 : static_cast<size_t>(std::prev(after)->second - 1);
}

void PriceChart::placeTrades(std::span<const TradeRecord> trades) {
    const long bars = q_->hourBarCount;
    for (size_t k = 0; k < trades.size(); ++k) {
        const TradeRecord& t = trades[k];
        if (t.entryBar < 1 || t.entryBar > bars || !t.entryPrice || t.side == TradeSide::None) continue;
        ChartTrade c;
        c.number = k + 1;
        c.side = t.side;
        c.entry = candleOfBar(static_cast<long>(t.entryBar));
        if (c.entry >= size()) continue;
        // A walk-forward window may end past the loaded bars: the trade runs to the last one.
        const long exitBar =
            std::clamp<long>(static_cast<long>(t.exitBar), static_cast<long>(t.entryBar), bars);
        c.exit = std::max(c.entry, std::min(exitCandleOfBar(exitBar), size() - 1));
        c.entryPrice = *t.entryPrice;
        c.exitPrice = t.exitPrice;
        c.profit = t.profit;
        const float sign = t.side == TradeSide::Buy ? 1.0f : -1.0f;
        if (t.takeProfit > 0) c.takeProfit = c.entryPrice + sign * t.takeProfit;
        if (t.stopLoss > 0) c.stopLoss = c.entryPrice - sign * t.stopLoss;
        trades_.push_back(c);
    }
}

PriceRange PriceChart::range(size_t from, size_t to) const {
    return index_.range(from, std::min(to, size()));
}

Date PriceChart::date(size_t i) const {
    Date d;
    const DateText& t = timeframe_ == Timeframe::Hourly ? q_->hourDate[i + 1] : q_->dayDate[i + 1];
    ReadDateText(t.view(), d);
    return d;
}

int PriceChart::hour(size_t i) const {
    if (timeframe_ == Timeframe::Daily) return -1;
    const float h = q_->hourOfBar[i + 1];
    return h >= 0 && h <= 23 && h == std::floor(h) ? static_cast<int>(h) : -1;
}

CandleDay PriceChart::day(size_t i) const {
    CandleDay c;
    const long d = dayOfCandle(i);
    if (d < 1 || d > q_->dayBarCount) return c;
    c.known = true;
    c.average = q_->average200(static_cast<size_t>(d));
    c.stochastic = q_->stochastic(static_cast<size_t>(d));
    const BarDay b = EvaluateDay(*q_, DayMatch{d, true});
    c.buy = b.buy;
    c.sell = b.sell;
    return c;
}

const ChartTrade* PriceChart::trade(size_t number) const {
    auto it = std::lower_bound(trades_.begin(), trades_.end(), number,
                               [](const ChartTrade& t, size_t n) { return t.number < n; });
    return it != trades_.end() && it->number == number ? &*it : nullptr;
}

std::pair<size_t, size_t> PriceChart::tradesBetween(double from, double to) const {
    // Entries and exits both come in the order of time, so the trades in sight are one stretch.
    auto begin = std::lower_bound(trades_.begin(), trades_.end(), from, [](const ChartTrade& t, double c) {
        return static_cast<double>(t.exit) + 1 < c;
    });
    auto end = std::upper_bound(begin, trades_.end(), to, [](double c, const ChartTrade& t) {
        return c < static_cast<double>(t.entry);
    });
    return {static_cast<size_t>(begin - trades_.begin()), static_cast<size_t>(end - trades_.begin())};
}

void PriceView::fit(double from, double to, double width, size_t count) {
    if (width <= 0) return;
    first = from;
    perPixel = std::max(1.0, to - from + 1) / width;
    clamp(width, count);
}

void PriceView::zoomAt(double x, double factor, double width, size_t count) {
    if (!(factor > 0) || width <= 0) return;
    const double anchor = candleAt(x);
    perPixel /= factor;
    clamp(width, count);
    first = anchor - x * perPixel;
    clamp(width, count);
}

void PriceView::pan(double pixels, double width, size_t count) {
    first += pixels * perPixel;
    clamp(width, count);
}

void PriceView::centreOn(double from, double to, double width, size_t count) {
    if (width <= 0) return;
    const double span = std::max(1.0, to - from + 1);
    // The trade and some bars either side: at most 80 % of the width.
    if (span > 0.8 * width * perPixel) perPixel = span / (0.8 * width);
    clamp(width, count);
    first = (from + to + 1) / 2 - width * perPixel / 2;
    clamp(width, count);
}

void PriceView::clamp(double width, size_t count) {
    if (width <= 0) return;
    const double most = std::max(1.0 / kMostPixelsPerCandle, static_cast<double>(count) / width * 1.05);
    if (!(perPixel >= 1.0 / kMostPixelsPerCandle)) perPixel = 1.0 / kMostPixelsPerCandle;
    if (perPixel > most) perPixel = most;
    const double visible = width * perPixel;
    // Half a screen of nothing at either end at most.
    const double lo = -visible / 2, hi = static_cast<double>(count) - visible / 2;
    if (!std::isfinite(first)) first = 0;
    first = std::clamp(first, lo, std::max(lo, hi));
}

}  // namespace kavro
