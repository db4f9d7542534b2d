#include "engine/strategy_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/dates.h"
#include "platform/numbers.h"

namespace kavro {
namespace {

// A store of days and hourly bars with the given date texts, nothing else set.
std::unique_ptr<QuoteStore> DatedStore(const std::vector<std::string>& days,
                                       const std::vector<std::string>& hours) {
    auto q = std::make_unique<QuoteStore>();
    for (const auto& d : days) q->dayDate[static_cast<size_t>(q->appendDay())] = DateText::from(d);
    for (const auto& h : hours) q->hourDate[static_cast<size_t>(q->appendHour())] = DateText::from(h);
    return q;
}

// Date text of day n counted from 2000-01-01 (n = 1).
std::string DayKey(int n) {
    Date date;
    DateFromParts(2000, 1, n, date);
    return DateKey(date);
}

// The fast day table must agree with the literal counter search on every bar,
// whole or not, whatever the dates: missing days, duplicated days from two
// daily files, short or empty date texts, and LastBar before, inside or beyond
// the hourly data.
TEST(DayMatchTable, AgreesWithLiteralSearchOnRandomStores) {
    std::mt19937 rng(20210402);
    const std::vector<std::string> pool = {"20200101", "20200102", "20200103", "20200106", "20200107",
                                           "20200108", "2020010",  "",         "20200109", "20200110"};
    for (int round = 0; round < 60; ++round) {
        std::vector<std::string> days(std::uniform_int_distribution<size_t>(0, 700)(rng));
        for (auto& d : days) d = pool[rng() % pool.size()];
        std::vector<std::string> hours(std::uniform_int_distribution<size_t>(1, 400)(rng));
        // Half the rounds hold every date at most once, as real files do.
        for (auto& h : hours) h = pool[rng() % (round % 2 ? pool.size() : 3)];
        if (round % 2 == 0) days.resize(std::min<size_t>(days.size(), 3));
        auto q = DatedStore(days, hours);
        const float lastBar =
            static_cast<float>(std::uniform_int_distribution<int>(-30, q->hourBarCount + 80)(rng));
        DayMatchTable table;
        table.prepare(*q, lastBar);
        for (long bar = 0; bar <= q->hourBarCount + 60; ++bar) {
            for (float fraction : {0.0f, 0.3f, 0.8f}) {
                const float at = static_cast<float>(bar) + fraction;
                long index = 0;
                ToIndex(at, 0, q->hourCapacity, index);
                const DayMatch lit =
                    SearchDayLiteral(*q, lastBar, at, q->hourDateAt(static_cast<size_t>(index)));
                const DayMatch fast = table.search(*q, lastBar, at);
                ASSERT_EQ(lit.day, fast.day) << "round " << round << " bar " << at << " last " << lastBar;
                ASSERT_EQ(lit.matched, fast.matched) << "round " << round << " bar " << at;
                if (fraction == 0.0f) {
                    ASSERT_EQ(table.at(bar).day, lit.day) << "round " << round;
                }
            }
        }
    }
}

TEST(DayMatchTable, EveryBarFindsTheDayTheDailyFileHolds) {
    std::vector<std::string> days;
    for (int d = 1; d <= 400; ++d) days.push_back(DayKey(d));
    auto q = DatedStore(days, std::vector<std::string>(100, DayKey(150)));
    const DateText date = q->hourDate[1];
    struct Case {
        const char* what;
        float lastBar, bar;
        long day;
        bool matched;
    };
    const std::vector<Case> cases = {
        // Start 400 - 2300/23 - 200 = 100: the counter reaches day 150.
        {"found where the counter looks", 2400, 100, 150, true},
        // Start 400 - 2301/23 - 200 = 99.96 rounds to 100: the same.
        {"fractional start", 2401, 100, 150, true},
        // Start 200, past day 150: the counter misses it, the daily file holds it.
        {"counter starts after the day", 100, 100, 150, true},
        // Start 400 - 20000/23 - 200 = -669.6: indices below 1 read nothing.
        {"start index below 1", 20100, 100, 150, true},
    };
    for (const Case& c : cases) {
        const DayMatch m = SearchDayLiteral(*q, c.lastBar, c.bar, date);
        EXPECT_EQ(m.day, c.day) << c.what;
        EXPECT_EQ(m.matched, c.matched) << c.what;
    }

    // A date the daily file lacks: no match, the index ends one past the last day tried.
    const DayMatch missing = SearchDayLiteral(*q, 100, 100, DateText::from("19990101"));
    EXPECT_FALSE(missing.matched);
    EXPECT_EQ(missing.day, 401);
    // No daily data at all: never a fault, never a match.
    auto empty = DatedStore({}, {DayKey(1)});
    const DayMatch none = SearchDayLiteral(*empty, 100, 1, empty->hourDate[1]);
    EXPECT_FALSE(none.matched);
    EXPECT_FALSE(EvaluateDay(*empty, none).buy);
}

TEST(DayMatchTable, SharedDatesGoToTheFirstDayTheCounterMeetsElseTheHighest) {
    // Days 1..400 once each, then the date of day 50 again as day 300 and day 350.
    std::vector<std::string> days;
    for (int d = 1; d <= 400; ++d) days.push_back(DayKey(d));
    days[299] = days[349] = DayKey(50);
    auto q = DatedStore(days, {DayKey(50)});
    const DateText date = q->hourDate[1];
    // Start 200: the counter meets day 300 first.
    EXPECT_EQ(SearchDayLiteral(*q, 1, 1, date).day, 300);
    // Start 360: it misses all three, so the highest holding the date counts.
    EXPECT_EQ(SearchDayLiteral(*q, 1, 1 + 23 * 160, date).day, 350);
    EXPECT_TRUE(SearchDayLiteral(*q, 1, 1 + 23 * 160, date).matched);

    DayMatchTable table;
    table.prepare(*q, 1);
    EXPECT_EQ(table.barsWithSharedDay(0, 1), 1);
    EXPECT_EQ(table.barsWithoutDay(0, 1), 0);
}

TEST(DayMatchTable, TheIndexLeftByAFailedSearchCountsWhenItHoldsTheDate) {
    // Start 400 - 16/23 - 200 = 199.3: the counter tries days 199..399 and stops at 400.3,
    // which rounds to day 400, the only day with the bar's date.
    std::vector<std::string> days;
    for (int d = 1; d <= 400; ++d) days.push_back(DayKey(d));
    auto q = DatedStore(days, {DayKey(400)});
    const DayMatch m = SearchDayLiteral(*q, 17, 1, q->hourDate[1]);
    EXPECT_TRUE(m.matched);
    EXPECT_EQ(m.day, 400);
}

TEST(DayMatchTable, CountsBarsWhoseDateNoDayHolds) {
    auto q = DatedStore({DayKey(1), DayKey(2)}, {DayKey(1), DayKey(3), DayKey(3), DayKey(2), ""});
    DayMatchTable table;
    table.prepare(*q, 6);
    EXPECT_EQ(table.barsWithoutDay(1, 5), 3);
    EXPECT_EQ(table.barsWithoutDay(2, 3), 2);
    EXPECT_EQ(table.barsWithoutDay(4, 4), 0);
    // Bars beyond the loaded ones and bar 0 are not counted.
    EXPECT_EQ(table.barsWithoutDay(-5, 100), 3);
    EXPECT_EQ(table.barsWithoutDay(5, 1), 0);
    EXPECT_TRUE(table.quietBeyondData());
}

TEST(DayMatchTable, SignalsNeedBothDaysAndTheStrictThreshold) {
    auto q = DatedStore({"20200101", "20200102", "20200103"}, {});
    q->dayAverage200[1] = 1.0f;
    q->dayAverage200[2] = 1.0f + 0.0002f;
    q->dayStochastic[1] = 60;
    q->dayStochastic[2] = 40;
    BarDay b = EvaluateDay(*q, DayMatch{2, true});
    EXPECT_TRUE(b.buy);
    EXPECT_FALSE(b.sell);
    // A date mismatch cancels the signal, the figures alone do not open.
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, false}).buy);
    // A rise of exactly the threshold does not count; equal stochastics do not either.
    q->dayAverage200[2] = 0.00003f;
    q->dayAverage200[1] = 0.0f;
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, true}).buy);
    q->dayAverage200[2] = std::nextafter(0.00003f, 1.0f);
    EXPECT_TRUE(EvaluateDay(*q, DayMatch{2, true}).buy);
    q->dayStochastic[2] = 60;
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{2, true}).buy);
    // An index outside the days never signals and never faults.
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{0, true}).buy);
    EXPECT_FALSE(EvaluateDay(*q, DayMatch{20001, false}).sell);
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
