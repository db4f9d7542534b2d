#include "engine/strategy_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/dates.h"

namespace kavro {
namespace {

// The fast day table must agree with the literal counter search on every bar,
// whatever the dates: missing days, duplicated days from two daily files, short
// or empty date texts, and LastBar before, inside or beyond the hourly data.
TEST(DayMatchTable, AgreesWithLiteralSearchOnRandomStores) {
    std::mt19937 rng(20210402);
    const std::vector<std::string> pool = {"20200101", "20200102", "20200103", "20200106", "20200107",
                                           "20200108", "2020010",  "",         "20200109", "20200110"};
    for (int round = 0; round < 60; ++round) {
        auto q = std::make_unique<QuoteStore>();
        q->dayBarCount = std::uniform_int_distribution<int>(0, 700)(rng);
        for (int d = 1; d <= q->dayBarCount; ++d) q->dayDate[d] = DateText::from(pool[rng() % pool.size()]);
        q->hourBarCount = std::uniform_int_distribution<int>(1, 400)(rng);
        for (int b = 1; b <= q->hourBarCount; ++b) q->hourDate[b] = DateText::from(pool[rng() % pool.size()]);
        const float lastBar =
            static_cast<float>(std::uniform_int_distribution<int>(-30, q->hourBarCount + 80)(rng));
        DayMatchTable table;
        table.prepare(*q, lastBar);
        for (long bar = 0; bar <= q->hourBarCount + 60; ++bar) {
            const DayMatch lit = SearchDayLiteral(*q, lastBar, static_cast<float>(bar));
            const DayMatch fast = table.search(*q, lastBar, bar);
            ASSERT_EQ(lit.fault, fast.fault) << "round " << round << " bar " << bar;
            if (lit.fault) continue;
            ASSERT_EQ(lit.day, fast.day) << "round " << round << " bar " << bar << " last " << lastBar;
            ASSERT_EQ(lit.matched, fast.matched) << "round " << round << " bar " << bar;
        }
    }
}

TEST(DayMatchTable, SearchStartsFromTheEndOfTheDailyData) {
    auto q = std::make_unique<QuoteStore>();
    // 400 days, each date once; the bar's date is day 150's.
    for (int d = 1; d <= 400; ++d) {
        Date date;
        DateFromParts(2000, 1, d, date);
        q->dayDate[d] = DateText::from(DateKey(date));
    }
    q->dayBarCount = 400;
    q->hourBarCount = 100;
    for (int b = 1; b <= 100; ++b) q->hourDate[b] = q->dayDate[150];
    // Bar 100 of LastBar 100: start 400 - 0 - 200 = 200, past day 150: no match,
    // the index ends one past the last day tried.
    DayMatch m = SearchDayLiteral(*q, 100, 100);
    EXPECT_FALSE(m.matched);
    EXPECT_EQ(m.day, 401);
    // With LastBar 2400 the start is 400 - 2300/23 - 200 = 100: day 150 is found.
    m = SearchDayLiteral(*q, 2400, 100);
    EXPECT_TRUE(m.matched);
    EXPECT_EQ(m.day, 150);
    // The quotient keeps a fraction: 400 - 2301/23 - 200 = 99.96 rounds to 100.
    m = SearchDayLiteral(*q, 2401, 100);
    EXPECT_EQ(m.day, 150);
    // No daily data: the first counter value is below 0.
    q->dayBarCount = 0;
    EXPECT_TRUE(SearchDayLiteral(*q, 100, 100).fault);
}

TEST(DayMatchTable, SignalsNeedBothDaysAndTheStrictThreshold) {
    auto q = std::make_unique<QuoteStore>();
    q->dayBarCount = 3;
    q->dayAverage200[1] = 1.0f;
    q->dayAverage200[2] = 1.0f + 0.0002f;
    q->dayStochastic[1] = 60;
    q->dayStochastic[2] = 40;
    BarDay b = EvaluateDay(*q, DayMatch{2, true, false});
    EXPECT_TRUE(b.buy);
    EXPECT_FALSE(b.sell);
    // A date mismatch cancels the signal, the figures alone do not open.
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, false, false}).buy);
    // A rise of exactly the threshold does not count; equal stochastics do not either.
    q->dayAverage200[2] = 0.00003f;
    q->dayAverage200[1] = 0.0f;
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, true, false}).buy);
    q->dayAverage200[2] = std::nextafter(0.00003f, 1.0f);
    EXPECT_TRUE(EvaluateDay(*q, DayMatch{2, true, false}).buy);
    q->dayStochastic[2] = 60;
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, true, false}).buy);
    // Day 0 has no day before it: reading it is a fault.
    EXPECT_TRUE(EvaluateDay(*q, DayMatch{0, true, false}).fault);
    EXPECT_TRUE(EvaluateDay(*q, DayMatch{20001, false, false}).fault);
}

TEST(MoneyResults, FloorOfTheDoubleProductOfSingleDistances) {
    const float u = 0.0001f;
    const float tp100 = static_cast<float>(100.0 * u);
    const float sl20 = static_cast<float>(20.0 * u);
    const float sl30 = static_cast<float>(30.0 * u);
    EXPECT_EQ(WinnerResult(tp100, 0.0005, 10, 10000), 949.0f);
    EXPECT_EQ(LoserResult(sl20, 10, 10000), -200.0f);
    EXPECT_EQ(LoserResult(sl30, 10, 10000), -301.0f);
    // A stop formed by 32-bit division of points lies just above 0.002.
    EXPECT_EQ(LoserResult(20.0f / 10000.0f, 10, 10000), -201.0f);
    // The cost is taken from winners only; a zero target with the default cost loses 50.
    EXPECT_EQ(WinnerResult(0.0f, 0.0005, 10, 10000), -50.0f);
    EXPECT_THROW(WinnerResult(tp100, 0, 1e300, 10000), PassFault);
}

}  // namespace
}  // namespace kavro
