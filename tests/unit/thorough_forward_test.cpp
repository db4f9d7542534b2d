// The forward pass: booking into the journal, the end-of-window close, bars
// beyond the data and beyond the store, and a journal longer than the store.
#include "thorough_fixture.h"
#include "walkforward/pass_bar.h"
#include "walkforward/thorough_report.h"
#include "walkforward/walkforward_passes.h"

namespace kavro::testing {
namespace {

class ForwardPass : public ThoroughFixture {
  protected:
    void SetUp() override {
        ThoroughFixture::SetUp();
        BuildStore(400, 100);  // bars 1..2400, days 301..400
        s().run.firstBar = 1;
        s().run.lastBar = 2400;
        s().run.s.ST = 5;
    }
    // The best setting as the search leaves it: distances are points / 10000 in 32 bits.
    void Forward(float from, float hour, float targetPoints, float stopPoints) {
        RunState& r = s().run;
        r.searchWindowEnd = from;
        r.best = BestSetting{hour, targetPoints / 10000.0f, stopPoints / 10000.0f, targetPoints, stopPoints};
        double offset = 0;
        StartForwardPass(s().env(record), r.best.stop, r.best.target, r.s.ST, r.best.stopPoints,
                         r.best.targetPoints, offset, r.best.entryHour);
    }
    DateText DateAt(long bar) const { return session->store.hourDate[bar]; }
    RunRecord record;
};

TEST_F(ForwardPass, BooksEveryCloseIntoJournalResultAndEquity) {
    BuyDay(62);
    SetBar(BarOf(63, 5), 1.0f, 1.0101f, 1.0f);  // take-profit
    BuyDay(66);
    SetBar(BarOf(67, 3), 1.0f, 1.0f, 0.9979f);  // stop-loss
    SellDay(70);
    SetBar(BarOf(70, 15), 1.0f, 1.0f, 0.9899f);  // sell take-profit
    Forward(1441, 10, 100, 20);

    const RunState& r = s().run;
    // A 20-point stop is slightly above 0.002 in 32 bits: the loss books -201.
    EXPECT_EQ(r.passProfit, 949 - 201 + 949);
    EXPECT_EQ(r.forwardEquity, 1697);
    EXPECT_EQ(r.s.ST, 0);
    EXPECT_EQ(r.forwardOpenedCount, 3);
    EXPECT_EQ(r.closedTradeCount, 3);
    EXPECT_EQ(r.winCount, 2);
    EXPECT_EQ(r.lossCount, 1);
    EXPECT_EQ(r.currentBar, 1922);

    const TradeJournal& j = r.journal;
    EXPECT_EQ(j.row(1).side, TradeSide::Buy);
    EXPECT_EQ(j.row(1).entryDate, DateAt(BarOf(62, 10)));
    EXPECT_EQ(j.row(1).entryPrice, 1.0f);
    EXPECT_EQ(j.row(1).profit, 949);
    EXPECT_EQ(j.row(1).exitDate, DateAt(BarOf(63, 5)));
    EXPECT_EQ(j.row(1).exitPrice, 1.01f);
    EXPECT_EQ(j.row(1).equity, 949);
    EXPECT_EQ(j.row(2).profit, -201);
    EXPECT_EQ(j.row(2).exitPrice, 1.0f - 20.0f / 10000.0f);
    EXPECT_EQ(j.row(2).equity, 748);
    EXPECT_EQ(j.row(3).side, TradeSide::Sell);
    EXPECT_EQ(j.row(3).exitDate, DateAt(BarOf(70, 15)));
    EXPECT_EQ(j.row(3).exitPrice, 0.99f);
    EXPECT_EQ(j.row(3).equity, 1697);
    // Where each trade was made, and the levels it was opened with, for the price chart.
    EXPECT_EQ(j.row(1).entryBar, BarOf(62, 10));
    EXPECT_EQ(j.row(1).exitBar, BarOf(63, 5));
    EXPECT_EQ(j.row(3).entryBar, BarOf(70, 10));
    EXPECT_EQ(j.row(3).exitBar, BarOf(70, 15));
    EXPECT_EQ(j.row(1).takeProfit, 100.0f / 10000.0f);
    EXPECT_EQ(j.row(1).stopLoss, 20.0f / 10000.0f);

    const PassRow& row = r.passRow;
    EXPECT_EQ(row.entryHour, 10);
    EXPECT_EQ(row.target, 100);
    EXPECT_EQ(row.stop, 20);
    EXPECT_EQ(row.total, 1697);
    EXPECT_EQ(s().form.label18, "Время");  // the forward pass leaves it alone
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ForwardPass, OpenPositionsCloseAtTheLastMatchedDaysCloseWithoutCost) {
    BuyDay(75);
    SellDay(78);
    // The window's last bar, 1921, is hour 0 of hourly day 80.
    s().store.dayOhlc[DayOf(80)][QuoteStore::Close] = 1.005f;
    Forward(1441, 10, 100, 20);

    const RunState& r = s().run;
    EXPECT_EQ(r.closedTradeCount, 2);
    EXPECT_EQ(r.passProfit, 499 - 500);
    EXPECT_EQ(r.winCount, 0);
    EXPECT_EQ(r.lossCount, 0);
    EXPECT_EQ(r.pos.buyOpen, 0);
    EXPECT_EQ(r.pos.sellOpen, 0);
    const TradeJournal& j = r.journal;
    EXPECT_EQ(j.row(1).profit, 499);
    EXPECT_EQ(j.row(2).profit, -500);
    EXPECT_FALSE(j.row(1).exitDate.has_value());
    EXPECT_FALSE(j.row(1).exitPrice.has_value());
    // Closed at the window's end: both ran to its last bar.
    EXPECT_EQ(j.row(1).exitBar, 1921);
    EXPECT_EQ(j.row(2).exitBar, 1921);
    // Both closes book under the latest opened trade: the sell's row.
    EXPECT_FALSE(j.row(1).equity.has_value());
    EXPECT_EQ(j.row(2).equity, -1);
}

// Beyond the data no day matches; the search ends one step past day 400, at
// 400 plus the fraction of its start, which rounds to day 400 or to the empty day 401.
TEST_F(ForwardPass, PositionOpenBeyondTheDataIsDroppedOnTheEmptyDay) {
    BuyDay(90);
    Forward(2001, 10, 100, 20);  // bars 2001..2481; the data ends at 2400; 401 is empty
    const RunState& r = s().run;
    EXPECT_EQ(r.currentBar, 2482);
    EXPECT_EQ(r.forwardOpenedCount, 1);
    EXPECT_EQ(r.closedTradeCount, 0);
    EXPECT_EQ(r.passProfit, 0);
    EXPECT_EQ(r.journal.row(1).entryDate, DateAt(BarOf(90, 10)));
    EXPECT_EQ(r.journal.row(1).profit, 0);
    EXPECT_EQ(r.passRow.total, 0);
}

TEST_F(ForwardPass, PositionOpenBeyondTheDataClosesAtTheLastDayWhenTheSearchRoundsToIt) {
    BuyDay(90);
    s().store.dayOhlc[400][QuoteStore::Close] = 1.005f;
    Forward(2000, 10, 100, 20);  // last bar 2480: the search ends at 400.48
    EXPECT_EQ(s().run.closedTradeCount, 1);
    EXPECT_EQ(s().run.passProfit, 499);
}

TEST_F(ForwardPass, SearchStartingPastTheLastDayClosesAtThatDay) {
    BuyDay(95);
    s().store.dayOhlc[400][QuoteStore::Close] = 1.005f;
    s().form.text8 = "10";
    // The last bar, 7005, lies 4605 bars past LastBar: its search starts at day 400.2
    // and never runs, leaving day 400, the last loaded one.
    Forward(2205, 10, 100, 20);
    const RunState& r = s().run;
    EXPECT_EQ(r.currentBar, 7006);
    EXPECT_EQ(r.closedTradeCount, 1);
    EXPECT_EQ(r.passProfit, 499);
}

TEST_F(ForwardPass, BarBeyondTheStoreEndsThePassQuietly) {
    s().store = QuoteStore(80000, 20000);
    BuildStore(400, 100);
    const auto doneBefore = s().run.passesDone;
    Forward(79990, 10, 100, 20);
    EXPECT_EQ(s().run.currentBar, 80001);
    EXPECT_EQ(s().run.passesDone, doneBefore);
    EXPECT_EQ(s().run.passesStarted, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ForwardPass, JournalGrowsPastTheHourlyBarCount) {
    RunState& r = s().run;
    r.forwardOpenedCount = r.closedTradeCount = 2410;  // beyond HourBarCount (2400)
    BuyDay(62);
    SetBar(BarOf(63, 5), 1.0f, 1.0101f, 1.0f);
    Forward(1441, 10, 100, 20);
    EXPECT_EQ(r.passesDone, 1);
    EXPECT_EQ(r.journal.row(2411).side, TradeSide::Buy);
    EXPECT_EQ(r.journal.row(2411).profit, 949);
    EXPECT_EQ(r.journal.row(2411).equity, 949);
}

TEST_F(ForwardPass, ZeroBestSettingClosesEveryTradeOnItsEntryBar) {
    BuyDay(62);
    Forward(1441, 0, 0, 0);
    const RunState& r = s().run;
    EXPECT_EQ(r.closedTradeCount, 1);
    EXPECT_EQ(r.journal.row(1).profit, -50);
    EXPECT_EQ(r.journal.row(1).exitDate, DateAt(BarOf(62, 0)));
    EXPECT_EQ(r.winCount, 1);
}

// Windows moved by a fractional number of bars search from a fractional bar number.
TEST_F(ForwardPass, FractionalBarsSearchFromTheirOwnNumber) {
    BuyDay(62);
    RunState& r = s().run;
    r.dayTable.prepare(s().store, r.lastBar);
    const QuoteStore& q = s().store;
    auto literal = [&](float at) {
        long bar = 0;
        ToIndex(at, 0, q.hourCapacity, bar);
        return EvaluateDay(q, SearchDayLiteral(q, r.lastBar, at, q.hourDateAt(static_cast<size_t>(bar))));
    };
    for (long b : {1L, 100L, BarOf(62, 10), 2400L, 2401L, 2480L, 2481L, 7005L}) {
        const BarDay lit = literal(static_cast<float>(b));
        const BarDay table = r.dayTable.at(b);
        EXPECT_EQ(lit.day, table.day) << b;
        EXPECT_EQ(lit.buy, table.buy) << b;
    }
    EXPECT_TRUE(literal(BarOf(62, 10) + 0.3f).buy);
    // Bar 2411.5 reads bar 2412's empty date, but its search ends at 400.5, which rounds
    // to day 400; bar 2412's own search ends at 400.52, day 401.
    EXPECT_EQ(literal(2411.5f).day, 400);
    EXPECT_EQ(r.dayTable.at(2412).day, 401);
}

TEST_F(ForwardPass, WindowDatesOfBarsWithoutADateAreEmpty) {
    const QuoteStore& q = s().store;
    const Locale c;
    EXPECT_EQ(WindowDate(q, 5, c), "28.10.2019");  // day 301 of 2019
    EXPECT_EQ(WindowDate(q, 2401, c), "");         // beyond the data
    EXPECT_EQ(WindowDate(q, 80001, c), "");        // beyond the store
    EXPECT_EQ(WindowDate(q, -3, c), "");
    Locale us;
    ASSERT_TRUE(Locale::fromName("en_US", us));
    EXPECT_EQ(WindowDate(q, 5, us), "10/28/2019");
}

}  // namespace
}  // namespace kavro::testing
