// Where trades are made and what the quotes said of them: the journal's bars and
// levels, MAE and MFE on hand-made bars, and quotes replaced before a run ends.
#include <gtest/gtest.h>

#include "engine/trade_extent.h"
#include "engine_fixture.h"
#include "evaluation/trade_record.h"
#include "import/bar_time.h"

namespace kavro::testing {
namespace {

// Bars 1..n of a store from (high, low) pairs, hours from 9 on.
QuoteStore Bars(const std::vector<std::pair<float, float>>& highLow) {
    QuoteStore q;
    for (size_t i = 0; i < highLow.size(); ++i) {
        const int b = q.appendHour();
        const auto [high, low] = highLow[i];
        q.hourOhlc[b] = {low, high, low, high};
        q.hourOfBar[b] = static_cast<float>(9 + i);
        q.hourDate[b] = DateText::from("20200102");
    }
    return q;
}

JournalRow Row(TradeSide side, float entry, int entryBar, int exitBar, bool exitDated = true) {
    JournalRow r;
    r.side = side;
    r.entryPrice = entry;
    r.entryDate = DateText::from("20200102");
    r.entryBar = entryBar;
    r.exitBar = exitBar;
    if (exitDated) r.exitDate = DateText::from("20200102");
    return r;
}

TEST(TradeExtent, ExcursionsRunFromTheEntryBarToTheExitBarBothIncluded) {
    // Bar 3 is outside every trade: its extremes must count for none.
    const QuoteStore q =
        Bars({{1.1010f, 1.0990f}, {1.1040f, 1.0970f}, {1.2000f, 1.0000f}, {1.1005f, 1.0995f}});
    struct Case {
        JournalRow row;
        Pair pair;
        float mae, mfe;
        int entryHour, exitHour;
    };
    const Case cases[] = {
        // A buy over bars 1..2: the highest high 1.1040 is 40 points up, the lowest low 30 down.
        {Row(TradeSide::Buy, 1.1000f, 1, 2), Pair::EUR, 30, 40, 9, 10},
        // The sell mirrors it.
        {Row(TradeSide::Sell, 1.1000f, 1, 2), Pair::EUR, 40, 30, 9, 10},
        // Opened and closed on one bar: that bar alone.
        {Row(TradeSide::Buy, 1.1000f, 1, 1), Pair::EUR, 10, 10, 9, 9},
        // Never below 0: a buy entered below every low had no move against it.
        {Row(TradeSide::Buy, 1.0960f, 2, 2), Pair::EUR, 0, 80, 10, 10},
        // Yen points are a hundredth: the same prices are a hundredth as many points.
        {Row(TradeSide::Buy, 1.1000f, 1, 2), Pair::JPY, 0.3f, 0.4f, 9, 10},
        // Closed at a walk-forward window's end: no exit hour, and it ran to the
        // window's last bar, past the loaded ones (they move nothing).
        {Row(TradeSide::Buy, 1.1000f, 4, 9, false), Pair::EUR, 5, 5, 12, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(SideText(c.row.side)) + " bars " + std::to_string(c.row.entryBar) + ".." +
                     std::to_string(c.row.exitBar));
        const std::vector<TradeExtent> x = MeasureTrades(q, std::vector<JournalRow>{c.row}, c.pair);
        ASSERT_EQ(x.size(), 1u);
        EXPECT_FLOAT_EQ(x[0].maePoints, c.mae);
        EXPECT_FLOAT_EQ(x[0].mfePoints, c.mfe);
        EXPECT_EQ(x[0].entryHour, c.entryHour);
        EXPECT_EQ(x[0].exitHour, c.exitHour);
    }
}

TEST(TradeExtent, WhatCannotBeKnownStaysUnknown) {
    const QuoteStore q = Bars({{1.1010f, 1.0990f}, {0, 0}});
    // No entry bar (a journal row from before bars were kept), an entry past the
    // loaded bars, and a trade over bars without prices only.
    const std::vector<JournalRow> rows = {Row(TradeSide::Buy, 1.1f, 0, 1), Row(TradeSide::Buy, 1.1f, 7, 8),
                                          Row(TradeSide::Sell, 1.1f, 2, 2)};
    const std::vector<TradeExtent> x = MeasureTrades(q, rows, Pair::EUR);
    ASSERT_EQ(x.size(), 3u);
    for (const TradeExtent& e : x) {
        EXPECT_TRUE(std::isnan(e.maePoints));
        EXPECT_TRUE(std::isnan(e.mfePoints));
    }
    EXPECT_EQ(x[0].entryHour, -1);
    EXPECT_EQ(x[2].entryHour, 10);  // the bar is there, only its prices are not
}

// 300 quiet days, hourly bars on days 281..284 flat at 1.1, a buy day 282 and a sell day 283.
class JournalBars : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDaysWithHours(284);
        SetInterval(1, session.store.hourBarCount);
        MakeBuyDay(282);
        MakeSellDay(283);
        SingleSetting("10");
        session.form.text3 = "150";
        session.form.check2 = true;
    }
};

TEST_F(JournalBars, APassRecordsEachTradesBarsAndLevelsAndTheRunItsExtents) {
    SetBar(BarOf(282, 12), 1.1f, 1.1030f, 1.0990f);  // the buy's excursion before its target
    SetBar(BarOf(283, 4), 1.1f, 1.1101f, 1.1f);      // its target
    SetBar(BarOf(283, 11), 1.1f, 1.1f, 1.0899f);     // the sell's target
    RunSimpleTest();
    const TradeJournal& j = session.run.journal;
    EXPECT_EQ(j.row(1).entryBar, BarOf(282, 10));
    EXPECT_EQ(j.row(1).exitBar, BarOf(283, 4));
    EXPECT_EQ(j.row(2).entryBar, BarOf(283, 10));
    EXPECT_EQ(j.row(2).exitBar, BarOf(283, 11));
    EXPECT_EQ(j.row(1).takeProfit, session.run.s.TP);
    EXPECT_EQ(j.row(1).stopLoss, session.run.s.TPI);

    const auto record = session.history.latest();
    ASSERT_TRUE(record);
    ASSERT_EQ(record->extents.size(), 2u);
    EXPECT_EQ(record->extents[0].entryHour, 10);
    EXPECT_EQ(record->extents[0].exitHour, 4);
    EXPECT_FLOAT_EQ(record->extents[0].maePoints, 10);
    EXPECT_FLOAT_EQ(record->extents[0].mfePoints, 101);
    EXPECT_FLOAT_EQ(record->extents[1].mfePoints, 101);
    // The evaluation reads them with the rows.
    const std::vector<TradeRecord> trades = TradesFromRows(record->trades, record->extents);
    EXPECT_EQ(trades[0].entryBar, BarOf(282, 10));
    EXPECT_EQ(trades[0].durationHours(), 18);
    EXPECT_EQ(TimeText(trades[1].exitDate, trades[1].exitHour), "2020-10-10 11:00");
}

TEST_F(JournalBars, QuotesReplacedBeforeTheRunEndsLeaveTheExtentsUnknown) {
    SetBar(BarOf(283, 4), 1.1f, 1.1101f, 1.1f);
    // The run records the sets it started on; a load during it changes the store's.
    session.run.stopRequested = false;
    pump.onYield = [&] {
        if (pump.calls == 30) session.store.hourSet.digest ^= 1;
    };
    RunSimpleTest();
    const auto record = session.history.latest();
    ASSERT_TRUE(record);
    EXPECT_FALSE(record->trades.empty());
    EXPECT_TRUE(record->extents.empty());
    EXPECT_FALSE(HoldsQuotesOf(session.store, *record));
    // Rows without extents still evaluate, with nothing made up.
    const std::vector<TradeRecord> trades = TradesFromRows(record->trades, record->extents);
    EXPECT_TRUE(std::isnan(trades[0].maePoints));
    EXPECT_EQ(trades[0].entryHour, -1);
    EXPECT_FALSE(trades[0].durationHours());
}

TEST(TradeTimes, DayNumbersGoBothWays) {
    // The evaluation counts days one way and its time axes read them back the other.
    for (const Date d : {Date{1, 1, 1}, Date{1969, 12, 31}, Date{1970, 1, 1}, Date{2000, 2, 29},
                         Date{2021, 4, 2}, Date{9999, 12, 31}})
        EXPECT_EQ(DateFromDays(DaysFromDate(d)), d);
    EXPECT_EQ(TimeText(Date{2020, 1, 2}, 0), "2020-01-02 00:00");
    EXPECT_EQ(TimeText(Date{2020, 1, 2}, -1), "");
    EXPECT_EQ(TimeText(Date{}, 5), "");
}

}  // namespace
}  // namespace kavro::testing
