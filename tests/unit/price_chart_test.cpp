// The price chart's model: block ranges against a plain scan, what a candle's day
// says, where trades land in hourly and daily candles, and the view's zoom and pan.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"
#include "evaluation/price_chart.h"
#include "evaluation/random.h"

namespace kavro::testing {
namespace {

TEST(RangeIndex, EverySpanAgreesWithAPlainScan) {
    Xoshiro256 rng(3);
    std::vector<QuoteStore::Ohlc> candles(5000);
    for (size_t i = 0; i < candles.size(); ++i) {
        const float low = 1.0f + static_cast<float>(rng.below(1000)) * 1e-4f;
        const float high = low + static_cast<float>(rng.below(50)) * 1e-4f;
        candles[i] = {low, high, low, high};
        // Empty slots (no prices) belong to no range.
        if (i % 617 == 5) candles[i] = {};
    }
    RangeIndex index;
    index.build(candles);
    auto scan = [&](size_t from, size_t to) {
        PriceRange r;
        for (size_t i = from; i < std::min(to, candles.size()); ++i)
            if (candles[i][QuoteStore::Low] > 0)
                r.add({candles[i][QuoteStore::Low], candles[i][QuoteStore::High]});
        return r;
    };
    std::vector<std::pair<size_t, size_t>> spans = {{0, 5000}, {0, 1},     {5, 6},
                                                    {7, 7},    {63, 4097}, {4999, 9000}};
    for (int k = 0; k < 500; ++k) {
        const size_t a = rng.below(5000), b = a + rng.below(5001 - a);
        spans.emplace_back(a, b);
    }
    for (const auto& [from, to] : spans) {
        SCOPED_TRACE(std::to_string(from) + ".." + std::to_string(to));
        const PriceRange got = index.range(from, to), want = scan(from, to);
        EXPECT_EQ(got.empty(), want.empty());
        if (!want.empty()) {
            EXPECT_EQ(got.low, want.low);
            EXPECT_EQ(got.high, want.high);
        }
    }
    EXPECT_TRUE(index.range(5, 6).empty());
}

// 300 quiet days, hourly bars on days 281..285 (24 a day, flat at 1.1), a buy
// day 282 and a sell day 284; the record of a run over all of them.
class PriceChartModel : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDaysWithHours(285);
        MakeBuyDay(282);
        MakeSellDay(284);
        record.hourly = session.store.hourSet;
        record.daily = session.store.daySet;
        record.settings.pair = Pair::EUR;
        record.firstBar = 25;
        record.lastBar = 97;  // one past the end: bars 25..96, days 282..284
        record.firstDate = session.store.hourDate[25];
        record.lastDate = session.store.hourDate[96];
    }
    TradeRecord Trade(TradeSide side, int entryBar, int exitBar) const {
        TradeRecord t;
        t.side = side;
        t.entryBar = entryBar;
        t.exitBar = exitBar;
        t.entryPrice = 1.1f;
        t.exitPrice = side == TradeSide::Buy ? 1.11f : 1.09f;
        t.profit = 949;
        t.takeProfit = 0.01f;
        t.stopLoss = 0.002f;
        return t;
    }
    RunRecord record;
};

TEST_F(PriceChartModel, HourlyCandlesKnowTheirDayAndItsSignals) {
    const auto chart = PriceChart::Build(session.store, record, {}, Timeframe::Hourly);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->size(), 120u);
    EXPECT_EQ(chart->intervalFirst(), 24u);
    EXPECT_EQ(chart->intervalLast(), 95u);
    EXPECT_EQ(chart->hour(BarOf(283, 7) - 1), 7);
    EXPECT_EQ(chart->date(BarOf(283, 7) - 1), (Date{2020, 10, 10}));
    struct Case {
        int day;
        bool buy, sell;
    };
    for (const Case c :
         {Case{281, false, false}, Case{282, true, false}, Case{283, false, false}, Case{284, false, true}}) {
        SCOPED_TRACE(c.day);
        const CandleDay d = chart->day(BarOf(c.day, 10) - 1);
        EXPECT_TRUE(d.known);
        EXPECT_EQ(d.buy, c.buy);
        EXPECT_EQ(d.sell, c.sell);
        EXPECT_EQ(d.stochastic, session.store.dayStochastic[c.day]);
    }
    // A candle whose date the daily file lacks reads no day, hence no signal.
    session.store.hourDate[BarOf(285, 3)] = DateText::from("19990101");
    ++session.store.generation;
    EXPECT_FALSE(chart->current(session.store));
    const auto again = PriceChart::Build(session.store, record, {}, Timeframe::Hourly);
    EXPECT_FALSE(again->day(BarOf(285, 3) - 1).known);
    EXPECT_TRUE(again->day(BarOf(285, 4) - 1).known);
}

TEST_F(PriceChartModel, TradesLandOnTheirCandlesWithTheirLevels) {
    const std::vector<TradeRecord> trades = {
        Trade(TradeSide::Buy, BarOf(282, 10), BarOf(283, 4)),
        Trade(TradeSide::Buy, 0, 0),                   // where it was made is not known: not drawn
        Trade(TradeSide::Sell, BarOf(284, 10), 9999),  // its window ran past the loaded bars
    };
    const auto hourly = PriceChart::Build(session.store, record, trades, Timeframe::Hourly);
    ASSERT_EQ(hourly->trades().size(), 2u);
    const ChartTrade* buy = hourly->trade(1);
    ASSERT_TRUE(buy);
    EXPECT_EQ(buy->entry, static_cast<size_t>(BarOf(282, 10) - 1));
    EXPECT_EQ(buy->exit, static_cast<size_t>(BarOf(283, 4) - 1));
    EXPECT_EQ(buy->takeProfit, 1.1f + 0.01f);
    EXPECT_EQ(buy->stopLoss, 1.1f - 0.002f);
    EXPECT_FALSE(hourly->trade(2));
    const ChartTrade* sell = hourly->trade(3);
    ASSERT_TRUE(sell);
    EXPECT_EQ(sell->exit, hourly->size() - 1);
    EXPECT_EQ(sell->takeProfit, 1.1f - 0.01f);
    EXPECT_EQ(sell->stopLoss, 1.1f + 0.002f);
    // Home shows every trade, even past the interval.
    EXPECT_EQ(hourly->intervalLast(), hourly->size() - 1);
    // The trades in sight of a view are one stretch.
    EXPECT_EQ(hourly->tradesBetween(0, 20), (std::pair<size_t, size_t>{0, 0}));
    EXPECT_EQ(hourly->tradesBetween(30, 60), (std::pair<size_t, size_t>{0, 1}));
    EXPECT_EQ(hourly->tradesBetween(60, 90), (std::pair<size_t, size_t>{1, 2}));
    EXPECT_EQ(hourly->tradesBetween(100, 119), (std::pair<size_t, size_t>{1, 2}));

    // Daily candles: a trade on the days of its bars, the interval by its dates.
    const auto daily = PriceChart::Build(session.store, record, trades, Timeframe::Daily);
    ASSERT_TRUE(daily);
    EXPECT_EQ(daily->size(), 300u);
    EXPECT_EQ(daily->intervalFirst(), 281u);
    EXPECT_EQ(daily->trade(1)->entry, 281u);
    EXPECT_EQ(daily->trade(1)->exit, 282u);
    EXPECT_EQ(daily->hour(281), -1);
    EXPECT_TRUE(daily->day(281).buy);

    // An exit on a date the daily quotes lack ends on the day before, not at the chart's end.
    session.store.dayDate[283] = session.store.dayDate[282];
    const auto gap = PriceChart::Build(session.store, record, trades, Timeframe::Daily);
    EXPECT_EQ(gap->trade(1)->exit, 282u);
    EXPECT_EQ(gap->tradesBetween(200, 290), (std::pair<size_t, size_t>{0, 2}));
}

TEST_F(PriceChartModel, NoChartOfQuotesThatWereReplaced) {
    session.store.daySet.digest = 42;
    EXPECT_FALSE(PriceChart::Build(session.store, record, {}, Timeframe::Hourly));
    session.store.daySet.digest = record.daily.digest;
    session.store.hourSet.bars = 7;
    EXPECT_FALSE(PriceChart::Build(session.store, record, {}, Timeframe::Daily));
}

TEST(PriceView, ZoomKeepsThePointerOnItsCandleAndPanStaysNearTheChart) {
    const size_t count = 10000;
    const double width = 1000;
    PriceView v;
    v.fit(0, 9999, width, count);
    EXPECT_DOUBLE_EQ(v.first, 0);
    EXPECT_DOUBLE_EQ(v.perPixel, 10);
    for (const double x : {0.0, 250.0, 999.0}) {
        PriceView z = v;
        const double before = z.candleAt(x);
        z.zoomAt(x, 1.25, width, count);
        EXPECT_DOUBLE_EQ(z.perPixel, 8);
        EXPECT_NEAR(z.candleAt(x), before, 1e-9);
    }
    // Never closer than 40 pixels a candle, never further out than the whole chart.
    PriceView in = v;
    for (int i = 0; i < 100; ++i) in.zoomAt(500, 2, width, count);
    EXPECT_DOUBLE_EQ(in.perPixel, 1.0 / PriceView::kMostPixelsPerCandle);
    PriceView out = v;
    for (int i = 0; i < 100; ++i) out.zoomAt(500, 0.5, width, count);
    EXPECT_NEAR(out.perPixel, 10 * 1.05, 1e-9);
    // Panned: by pixels times the zoom, and at most half a screen past either end.
    PriceView p = v;
    p.zoomAt(0, 10, width, count);
    p.pan(100, width, count);
    EXPECT_DOUBLE_EQ(p.first, 100);
    p.pan(1e9, width, count);
    EXPECT_DOUBLE_EQ(p.first, 10000 - 500);
    p.pan(-1e9, width, count);
    EXPECT_DOUBLE_EQ(p.first, -500);
    // Centred on a trade of candles 5000..5009, zoomed out only if it did not fit.
    p.centreOn(5000, 5009, width, count);
    EXPECT_DOUBLE_EQ(p.perPixel, 1);
    EXPECT_DOUBLE_EQ(p.candleAt(500), 5005);
    p.centreOn(2000, 4999, width, count);
    EXPECT_DOUBLE_EQ(p.perPixel, 3000 / 800.0);
    EXPECT_DOUBLE_EQ(p.candleAt(500), 3500);
}

}  // namespace
}  // namespace kavro::testing
