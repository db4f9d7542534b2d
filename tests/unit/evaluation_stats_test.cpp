#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "evaluation/number_text.h"
#include "evaluation/trade_stats.h"
#include "evaluation_fixture.h"
#include "support/test_support.h"

namespace kavro {
namespace {

using testing::JournalTrade;
using testing::MakeJournal;
using testing::MakeTrades;
using testing::ProfitTrades;
using testing::WorkedJournal;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ReadDateText, TakesOnlyEightDigitsOfARealDay) {
    struct Case {
        const char* text;
        bool ok;
        Date date;
    };
    const std::vector<Case> cases = {
        {"20200229", true, {2020, 2, 29}},
        {"01000101", true, {100, 1, 1}},
        {"99991231", true, {9999, 12, 31}},
        {"20210229", false, {}},
        {"20201301", false, {}},
        {"20200100", false, {}},
        {"00991231", false, {}},
        {"2020013A", false, {}},
        {"2020-1-1", false, {}},
        {"2020010", false, {}},
        {"", false, {}},
        {" 2020010", false, {}},
    };
    for (const auto& c : cases) {
        Date d{1, 1, 1};
        EXPECT_EQ(ReadDateText(c.text, d), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(d, c.date) << c.text;
        }
    }
}

TEST(DaysFromDate, CountsCalendarDays) {
    EXPECT_EQ(DaysFromDate(Date{1970, 1, 1}), 0);
    EXPECT_EQ(DaysFromDate(Date{2000, 3, 1}), 11017);
    EXPECT_EQ(DaysFromDate(Date{2020, 1, 1}), 18262);
    EXPECT_EQ(DaysFromDate(Date{2020, 3, 1}) - DaysFromDate(Date{2020, 2, 28}), 2);
    EXPECT_EQ(DaysFromDate(Date{2021, 3, 1}) - DaysFromDate(Date{2021, 2, 28}), 1);
    EXPECT_EQ(DaysFromDate(Date{1969, 12, 31}), -1);
}

TEST(TradesFromJournal, PairsEachRowsEntryAndExitUpToTheClosedCount) {
    const auto trades = MakeTrades(WorkedJournal());
    ASSERT_EQ(trades.size(), 6u);
    EXPECT_EQ(trades[0].side, TradeSide::Buy);
    EXPECT_EQ(trades[0].entryDate, (Date{2020, 1, 2}));
    EXPECT_EQ(trades[0].exitDate, (Date{2020, 1, 3}));
    EXPECT_EQ(trades[0].entryPrice, 1.1f);
    EXPECT_EQ(trades[0].exitPrice, 1.2f);
    EXPECT_EQ(trades[1].profit, -50.0f);
    // Closed at a window's end: a profit but no exit; it counts on its entry date.
    EXPECT_FALSE(trades[5].exitDate.valid());
    EXPECT_FALSE(trades[5].exitPrice.has_value());
    EXPECT_EQ(trades[5].date(), (Date{2020, 3, 20}));

    const TradeJournal j = MakeJournal(WorkedJournal());
    EXPECT_TRUE(TradesFromJournal(j, 0).empty());
    EXPECT_TRUE(TradesFromJournal(j, -5).empty());
    EXPECT_TRUE(TradesFromJournal(TradeJournal{}, 3).empty());
    EXPECT_EQ(TradesFromJournal(j, 2).size(), 2u);
    // A count beyond the rows held stops there instead of inventing millions of empty trades.
    EXPECT_EQ(TradesFromJournal(j, int64_t{1} << 40).size(), j.size() - 1);
}

TEST(TradeStats, WorkedJournalByHand) {
    const TradeStats s = ComputeTradeStats(MakeTrades(WorkedJournal()));
    EXPECT_EQ(s.trades, 6);
    EXPECT_EQ(s.buyTrades, 3);
    EXPECT_EQ(s.sellTrades, 3);
    EXPECT_EQ(s.wins, 2);
    EXPECT_EQ(s.losses, 3);
    EXPECT_DOUBLE_EQ(s.netResult, 180);
    EXPECT_DOUBLE_EQ(s.grossProfit, 300);
    EXPECT_DOUBLE_EQ(s.grossLoss, -120);
    EXPECT_DOUBLE_EQ(s.profitFactor, 2.5);
    EXPECT_DOUBLE_EQ(s.winRate, 100.0 * 2 / 6);
    EXPECT_DOUBLE_EQ(s.buyWinRate, 100.0 * 2 / 3);
    EXPECT_DOUBLE_EQ(s.sellWinRate, 0);
    EXPECT_DOUBLE_EQ(s.averageWin, 150);
    EXPECT_DOUBLE_EQ(s.averageLoss, -40);
    EXPECT_DOUBLE_EQ(s.averageTrade, 30);
    EXPECT_DOUBLE_EQ(s.largestWin, 200);
    EXPECT_DOUBLE_EQ(s.largestLoss, -50);
    EXPECT_EQ(s.maxConsecutiveWins, 1);
    EXPECT_EQ(s.maxConsecutiveLosses, 2);
    // From 100 after trade 1 down to 20 after trade 3.
    EXPECT_DOUBLE_EQ(s.maxDrawdown.money, 80);
    EXPECT_EQ(s.maxDrawdown.peakTrade, 1);
    EXPECT_EQ(s.maxDrawdown.troughTrade, 3);
    EXPECT_EQ(s.maxDrawdown.start, (Date{2020, 1, 3}));
    EXPECT_EQ(s.maxDrawdown.end, (Date{2020, 1, 15}));
    EXPECT_DOUBLE_EQ(s.recoveryFactor, 180.0 / 80.0);
    // Monthly 20, 0, 160: mean 60, squared deviations 1600 + 3600 + 10000 over 2.
    EXPECT_DOUBLE_EQ(s.sharpeMonthly, 60 / std::sqrt(15200.0 / 2) * std::sqrt(12.0));
    // Trades: mean 30, squared deviations 4900 + 6400 + 3600 + 28900 + 900 + 4900 over 5.
    EXPECT_DOUBLE_EQ(s.sqn, std::sqrt(6.0) * 30 / std::sqrt(49600.0 / 5));
    // 1 + 2 + 5 + 1 + 1 days over the five trades with both dates.
    EXPECT_DOUBLE_EQ(s.averageTradeDays, 2.0);
    EXPECT_EQ(s.timedTrades, 5);
    EXPECT_EQ(s.undatedTrades, 0);
}

TEST(TradeStats, MonthTableKeepsEmptyMonths) {
    const TradeStats s = ComputeTradeStats(MakeTrades(WorkedJournal()));
    ASSERT_EQ(s.months.size(), 3u);
    const int expectedMonth[] = {1, 2, 3};
    const double expectedResult[] = {20, 0, 160};
    const int64_t expectedTrades[] = {3, 0, 3};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(s.months[i].year, 2020);
        EXPECT_EQ(s.months[i].month, expectedMonth[i]);
        EXPECT_DOUBLE_EQ(s.months[i].result, expectedResult[i]);
        EXPECT_EQ(s.months[i].trades, expectedTrades[i]);
    }
    EXPECT_EQ(s.bestMonth, 2);
    EXPECT_EQ(s.worstMonth, 1);
}

TEST(TradeStats, MonthTableCrossesTheYearAndIgnoresUndatedTrades) {
    const auto trades = MakeTrades({
        {TradeSide::Buy, "20191130", "20191201", 10},
        {TradeSide::Sell, "garbage!", "20201345", 7},  // no usable date: in the totals, not the months
        {TradeSide::Buy, "20200131", "20200203", -4},
    });
    const TradeStats s = ComputeTradeStats(trades);
    ASSERT_EQ(s.months.size(), 3u);
    EXPECT_EQ(s.months[0].year, 2019);
    EXPECT_EQ(s.months[0].month, 12);
    EXPECT_EQ(s.months[1].year, 2020);
    EXPECT_EQ(s.months[1].month, 1);
    EXPECT_DOUBLE_EQ(s.months[1].result, 0);
    EXPECT_EQ(s.months[2].month, 2);
    EXPECT_DOUBLE_EQ(s.months[2].result, -4);
    EXPECT_EQ(s.undatedTrades, 1);
    EXPECT_DOUBLE_EQ(s.netResult, 13);
    EXPECT_EQ(s.timedTrades, 2);
    EXPECT_DOUBLE_EQ(s.averageTradeDays, (1 + 3) / 2.0);
}

// The figures that change between the bad-input cases; the rest follow from them.
struct Expected {
    const char* name;
    std::vector<float> profits;
    int64_t wins, losses;
    double net, grossLoss, profitFactor, winRate, recovery, drawdown;
    int64_t runWins, runLosses;
    double sqn;
};

TEST(TradeStats, EdgeCasesGiveNumbersNeverNaN) {
    const std::vector<Expected> cases = {
        {"no trades", {}, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {"one win", {50}, 1, 0, 50, 0, kInf, 100, kInf, 0, 1, 0, 0},
        {"one loss", {-50}, 0, 1, -50, -50, 0, 0, -1, 50, 0, 1, 0},
        {"all wins", {10, 20}, 2, 0, 30, 0, kInf, 100, kInf, 0, 2, 0, std::sqrt(2.0) * 15 / std::sqrt(50.0)},
        {"all losses",
         {-10, -20},
         0,
         2,
         -30,
         -30,
         0,
         0,
         -1,
         30,
         0,
         2,
         std::sqrt(2.0) * -15 / std::sqrt(50.0)},
        {"all zero", {0, 0, 0}, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {"same result", {5, 5, 5}, 3, 0, 15, 0, kInf, 100, kInf, 0, 3, 0, 0},
        // Equity 5, 10, 10, 15, 14, 13, 12, 12, 11.
        {"zero breaks runs",
         {5, 5, 0, 5, -1, -1, -1, 0, -1},
         3,
         4,
         11,
         -4,
         15.0 / 4,
         100.0 * 3 / 9,
         11.0 / 4,
         4,
         2,
         3,
         std::sqrt(9.0) * (11.0 / 9) /
             std::sqrt((3 * std::pow(5 - 11.0 / 9, 2) + 2 * std::pow(11.0 / 9, 2) +
                        4 * std::pow(-1 - 11.0 / 9, 2)) /
                       8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TradeStats s = ComputeTradeStats(ProfitTrades(c.profits));
        EXPECT_EQ(s.trades, static_cast<int64_t>(c.profits.size()));
        EXPECT_EQ(s.wins, c.wins);
        EXPECT_EQ(s.losses, c.losses);
        EXPECT_DOUBLE_EQ(s.netResult, c.net);
        EXPECT_DOUBLE_EQ(s.grossLoss, c.grossLoss);
        EXPECT_EQ(s.profitFactor, c.profitFactor);
        EXPECT_DOUBLE_EQ(s.winRate, c.winRate);
        EXPECT_EQ(s.recoveryFactor, c.recovery);
        EXPECT_DOUBLE_EQ(s.maxDrawdown.money, c.drawdown);
        EXPECT_EQ(s.maxConsecutiveWins, c.runWins);
        EXPECT_EQ(s.maxConsecutiveLosses, c.runLosses);
        EXPECT_NEAR(s.sqn, c.sqn, 1e-12);
        // One month at most: no deviation to speak of.
        EXPECT_EQ(s.sharpeMonthly, 0);
        for (double v : {s.averageWin, s.averageLoss, s.averageTrade, s.buyWinRate, s.sellWinRate,
                         s.averageTradeDays, s.sharpeMonthly})
            EXPECT_FALSE(std::isnan(v));
    }
}

TEST(TradeStats, DrawdownFromTheStartBeginsAtTheFirstEntry) {
    const auto trades = MakeTrades({
        {TradeSide::Buy, "20200105", "20200107", -10},
        {TradeSide::Sell, "20200108", "20200110", -15},
        {TradeSide::Buy, "20200111", "20200112", 40},
    });
    const Drawdown dd = ComputeTradeStats(trades).maxDrawdown;
    EXPECT_DOUBLE_EQ(dd.money, 25);
    EXPECT_EQ(dd.peakTrade, 0);
    EXPECT_EQ(dd.troughTrade, 2);
    EXPECT_EQ(dd.start, (Date{2020, 1, 5}));
    EXPECT_EQ(dd.end, (Date{2020, 1, 10}));

    // Without an entry date the first trade's own date stands in.
    const auto noEntry = MakeTrades({{TradeSide::Buy, "", "20200107", -10}});
    EXPECT_EQ(ComputeTradeStats(noEntry).maxDrawdown.start, (Date{2020, 1, 7}));
}

TEST(TradeStats, DrawdownStartsAtTheLastTradeOnThePeakAndKeepsTheFirstDeepestFall) {
    // Equity 10, 10, 4, 10, 4: the fall from trade 2 comes first and is as deep as the later one.
    const auto trades = MakeTrades({
        {TradeSide::Buy, "20200101", "20200102", 10},
        {TradeSide::Buy, "20200103", "20200104", 0},
        {TradeSide::Buy, "20200105", "20200106", -6},
        {TradeSide::Buy, "20200107", "20200108", 6},
        {TradeSide::Buy, "20200109", "20200110", -6},
    });
    const Drawdown dd = ComputeTradeStats(trades).maxDrawdown;
    EXPECT_DOUBLE_EQ(dd.money, 6);
    EXPECT_EQ(dd.peakTrade, 2);
    EXPECT_EQ(dd.troughTrade, 3);
    EXPECT_EQ(dd.start, (Date{2020, 1, 4}));
    EXPECT_EQ(dd.end, (Date{2020, 1, 6}));
}

TEST(TradeStats, ProfitsThatAreNotNumbersAreLeftOut) {
    auto trades = ProfitTrades(
        {10, std::numeric_limits<float>::quiet_NaN(), -4, std::numeric_limits<float>::infinity()});
    const TradeStats s = ComputeTradeStats(trades);
    EXPECT_EQ(s.trades, 2);
    EXPECT_EQ(s.skippedTrades, 2);
    EXPECT_DOUBLE_EQ(s.netResult, 6);
    EXPECT_DOUBLE_EQ(s.maxDrawdown.money, 4);
    EXPECT_EQ(s.maxDrawdown.troughTrade, 2);
    EXPECT_EQ(EquityCurve(trades), (std::vector<double>{0, 10, 6}));
}

TEST(EquityCurve, StartsAtZero) {
    EXPECT_EQ(EquityCurve(MakeTrades(WorkedJournal())), (std::vector<double>{0, 100, 50, 20, 220, 220, 180}));
    EXPECT_EQ(EquityCurve({}), (std::vector<double>{0}));
}

TEST(EquityCurve, HoursFollowEachPointAndNeverRunBack) {
    std::vector<TradeRecord> trades = MakeTrades(WorkedJournal());
    trades[0].entryHour = 9;
    trades[0].exitHour = 14;
    trades[3].exitDate = Date{};                                 // no exit date: it counts at its entry
    trades[4].profit = std::numeric_limits<float>::quiet_NaN();  // no point of its own
    const std::vector<double> hours = EquityHours(trades);
    ASSERT_EQ(hours.size(), EquityCurve(trades).size());
    auto at = [](Date d, int hour) { return static_cast<double>(DaysFromDate(d) * 24 + hour); };
    EXPECT_EQ(hours[0], at({2020, 1, 2}, 9));   // the start: the first trade's entry
    EXPECT_EQ(hours[1], at({2020, 1, 3}, 14));  // each trade at its exit
    EXPECT_EQ(hours[2], at({2020, 1, 8}, 0));
    EXPECT_EQ(hours[4], at({2020, 3, 1}, 0));
    EXPECT_EQ(hours[5], at({2020, 3, 20}, 0));  // closed at a window's end: its entry
    EXPECT_TRUE(std::is_sorted(hours.begin(), hours.end()));
    // No dates at all: no time axis.
    std::vector<TradeRecord> undated = ProfitTrades({1, 2});
    for (TradeRecord& t : undated) t.entryDate = t.exitDate = Date{};
    EXPECT_TRUE(EquityHours(undated).empty());
}

TEST(StatsLines, NamesInOrderWithInfinityAsInf) {
    EXPECT_EQ(StatsLines(ComputeTradeStats(ProfitTrades({10, 20}))),
              "Trades=2\nBuyTrades=1\nSellTrades=1\nWins=2\nLosses=0\nNetResult=30\nGrossProfit=30\n"
              "GrossLoss=0\nProfitFactor=inf\nWinRate=100\nAverageTrade=15\nLargestWin=20\nLargestLoss=0\n"
              "MaxConsecutiveWins=2\nMaxConsecutiveLosses=0\nMaxDrawdown=0\nRecoveryFactor=inf\n"
              "SharpeMonthly=0\nSQN=3\n");
    const auto kv = testing::KeyValues(StatsLines(ComputeTradeStats(MakeTrades(WorkedJournal()))));
    EXPECT_EQ(kv.size(), 19u);
    EXPECT_EQ(kv.at("GrossLoss"), "-120");
    EXPECT_EQ(kv.at("ProfitFactor"), "2.5");
    EXPECT_EQ(kv.at("MaxDrawdown"), "80");
    EXPECT_EQ(kv.at("RecoveryFactor"), "2.25");
    EXPECT_DOUBLE_EQ(std::stod(kv.at("WinRate")), 100.0 / 3);
}

TEST(NumberText, MachineFormReadsBackExactly) {
    struct Case {
        double value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {12, "12"},         {-3.5, "-3.5"},  {0.1, "0.1"},   {-0.0, "0"},    {kInf, "inf"},
        {-kInf, "-inf"},    {1e20, "1e+20"}, {-120, "-120"}, {2.25, "2.25"}, {123456789012, "123456789012"},
        {std::nan(""), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
    std::string f;
    AppendNumber(f, 1.1f);  // the float's own shortest text, not the double's
    EXPECT_EQ(f, "1.1");
}

TEST(NumberText, DisplayForm) {
    EXPECT_EQ(DisplayNumber(2.5, 2), "2.50");
    EXPECT_EQ(DisplayNumber(-1234.567, 1), "-1234.6");
    EXPECT_EQ(DisplayNumber(kInf, 2), "∞");
    EXPECT_EQ(DisplayNumber(-kInf, 2), "-∞");
    EXPECT_EQ(DisplayNumber(std::nan(""), 2), "—");
    EXPECT_EQ(DisplayNumber(-0.001, 2), "0.00");
    EXPECT_EQ(DisplayNumber(7, 0), "7");
    EXPECT_EQ(DisplayNumber(1e300, 2).substr(0, 6), "1e+300");
}

}  // namespace
}  // namespace kavro
