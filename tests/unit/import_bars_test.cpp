// Folding bars into hours and days, the spacing rules, the time shift and the report's counts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "import/bar_series.h"
#include "unit/import_fixture.h"

namespace kavro::testing {
namespace {

// A price bar from prices in pips (1e-4).
PriceBar Pips(int64_t o, int64_t h, int64_t l, int64_t c) {
    return {o * 10000, h * 10000, l * 10000, c * 10000};
}

struct Recorder : BarSink {
    std::vector<std::pair<BarMinute, PriceBar>> bars;
    void take(BarMinute start, const PriceBar& bar) override { bars.emplace_back(start, bar); }
};

void ExpectBar(const std::pair<BarMinute, PriceBar>& got, BarMinute start, const PriceBar& want) {
    EXPECT_EQ(got.first, start);
    EXPECT_EQ((std::vector<PriceUnits>{got.second.open, got.second.high, got.second.low, got.second.close}),
              (std::vector<PriceUnits>{want.open, want.high, want.low, want.close}));
}

const BarMinute kDay = DaysFromDate(2021, 1, 4) * kMinutesPerDay;

TEST(ImportHours, FoldMinuteBarsIntoTheHourTheyStartIn) {
    Recorder hours;
    HourBuilder builder(hours);
    const std::vector<std::pair<int, PriceBar>> minutes = {
        {600, Pips(100, 105, 99, 101)}, {601, Pips(101, 110, 100, 108)}, {630, Pips(108, 108, 95, 97)},
        {659, Pips(97, 99, 96, 98)},    {665, Pips(98, 98, 98, 98)},
    };
    int64_t line = 0;
    for (const auto& [minute, bar] : minutes) ASSERT_TRUE(builder.add({kDay + minute, bar, ++line}));
    ASSERT_TRUE(builder.finish());
    EXPECT_EQ(builder.spacing(), 1);
    ASSERT_EQ(hours.bars.size(), 2u);
    ExpectBar(hours.bars[0], kDay + 600, Pips(100, 110, 95, 98));
    ExpectBar(hours.bars[1], kDay + 660, Pips(98, 98, 98, 98));
}

TEST(ImportHours, SpacingRules) {
    auto steps = [](std::vector<BarMinute> head, BarMinute from, BarMinute step, int count) {
        for (int k = 0; k < count; ++k) head.push_back(from + k * step);
        return head;
    };
    std::vector<BarMinute> minuteThenOdd = steps({}, 0, 1, 30), minuteThenAligned = steps({}, 0, 1, 30),
                           minuteThenHalfHours = steps({}, 0, 1, 60), long5 = steps({}, 0, 5, 1100);
    minuteThenOdd = steps(minuteThenOdd, 31, 5, 16);
    minuteThenAligned = steps(minuteThenAligned, 30, 5, 20);
    minuteThenHalfHours = steps(minuteThenHalfHours, 90, 60, 14);
    long5.push_back(5 * 1099 + 3);
    struct Case {
        const char* what;
        std::vector<BarMinute> times;
        int spacing;  // when accepted
        ImportFaultKind fault;
        int64_t line, value;
    };
    using K = ImportFaultKind;
    const std::vector<Case> cases = {
        {"minutes with gaps", {0, 1, 2, 3, 5, 8}, 1, K::None, 0, 0},
        {"five minutes with gaps", {0, 5, 10, 20, 35}, 5, K::None, 0, 0},
        {"hours with gaps", {0, 60, 120, 240}, 60, K::None, 0, 0},
        {"one bar on the half hour", {30}, 30, K::None, 0, 0},
        {"coarser aligned bars later", minuteThenAligned, 1, K::None, 0, 0},
        {"days", {0, 1440, 2880}, 0, K::CoarserThanHour, 2, 1440},
        {"four hours", {0, 240, 480}, 0, K::CoarserThanHour, 2, 240},
        {"seven minutes", {0, 7, 14, 21}, 0, K::SpacingNotInHour, 2, 7},
        {"forty-five minutes", {0, 45, 90}, 0, K::SpacingNotInHour, 2, 45},
        {"off the grid", {3, 8, 13, 18}, 0, K::OffGrid, 1, 5},
        {"off the grid after settling", long5, 0, K::OffGrid, 1101, 5},
        {"minutes then odd five minutes", minuteThenOdd, 0, K::SpacingChanged, 32, 1},
        {"minutes then hours on the half hour", minuteThenHalfHours, 0, K::SpacingChanged, 62, 1},
        {"a repeated time", {0, 1, 1}, 0, K::SameTime, 3, 0},
        {"a time going back", {0, 2, 1}, 0, K::EarlierTime, 3, 0},
    };
    for (const auto& c : cases) {
        Recorder hours;
        HourBuilder builder(hours);
        bool ok = true;
        for (size_t i = 0; i < c.times.size() && ok; ++i) {
            ok = builder.add({kDay + c.times[i], Pips(1, 1, 1, 1), static_cast<int64_t>(i + 1)});
        }
        ok = ok && builder.finish();
        EXPECT_EQ(ok, c.fault == K::None) << c.what;
        EXPECT_EQ(builder.fault().kind, c.fault) << c.what;
        if (ok) {
            EXPECT_EQ(builder.spacing(), c.spacing) << c.what;
        } else {
            EXPECT_EQ(builder.fault().line, c.line) << c.what;
            EXPECT_EQ(builder.fault().value, c.value) << c.what;
        }
    }
}

TEST(ImportDays, OneBarPerCalendarDateFromTheHours) {
    Recorder days;
    DayBuilder builder(days);
    builder.take(kDay + 22 * 60, Pips(100, 104, 99, 103));
    builder.take(kDay + 23 * 60, Pips(103, 106, 101, 102));
    builder.take(kDay + 1440, Pips(102, 102, 90, 95));
    builder.take(kDay + 3 * 1440 + 60, Pips(95, 96, 94, 96));
    builder.finish();
    ASSERT_EQ(days.bars.size(), 3u);
    ExpectBar(days.bars[0], kDay, Pips(100, 106, 99, 102));
    ExpectBar(days.bars[1], kDay + 1440, Pips(102, 102, 90, 95));
    ExpectBar(days.bars[2], kDay + 3 * 1440, Pips(95, 96, 94, 96));
}

TEST(ImportDays, TwentyFourFlatDaysInARowAreRefused) {
    FlatDays flat;
    for (int d = 0; d < 23; ++d) EXPECT_TRUE(flat.add(5, 5));
    EXPECT_TRUE(flat.add(6, 6));  // another price starts a new run
    for (int d = 0; d < 22; ++d) EXPECT_TRUE(flat.add(6, 6));
    EXPECT_TRUE(flat.add(7, 6));  // a day that moves ends it
    for (int d = 0; d < 23; ++d) EXPECT_TRUE(flat.add(6, 6));
    EXPECT_FALSE(flat.add(6, 6));
}

TEST(ImportCounts, GapsOverThreeDaysAndWeekendBars) {
    BarCounts counts;
    const BarMinute fri = DaysFromDate(2021, 1, 8) * kMinutesPerDay;
    for (const BarMinute t : {fri + 23 * 60, fri + 2 * 1440 + 22 * 60, fri + 2 * 1440 + 23 * 60,  // Sunday
                              fri + 3 * 1440 + 23 * 60, fri + 6 * 1440 + 23 * 60,  // 72 hours apart: no gap
                              fri + 10 * 1440}) {                                  // 73 hours later
        counts.add(t);
    }
    EXPECT_EQ(counts.bars, 6);
    EXPECT_EQ(counts.weekendBars, 2);
    ASSERT_EQ(counts.gaps, 1);
    EXPECT_EQ(counts.firstGaps[0].from, fri + 6 * 1440 + 23 * 60);
    EXPECT_EQ(counts.firstGaps[0].to, fri + 10 * 1440);
    EXPECT_EQ(counts.first, fri + 23 * 60);
    EXPECT_EQ(counts.last, fri + 10 * 1440);
}

TEST_F(ImportTest, TheShiftMovesTimesAndDatesBeforeHoursAndDaysAreBuilt) {
    const std::string csv =
        "2021.01.04,21:58,1.1000,1.1010,1.0990,1.1005,1\n"
        "2021.01.04,21:59,1.1005,1.1020,1.1000,1.1010,1\n"
        "2021.01.04,23:00,1.1010,1.1030,1.1000,1.1020,1\n"
        "2021.01.05,00:00,1.1020,1.1025,1.0980,1.0990,1\n";
    struct Case {
        int shift;
        std::string hourly, daily;
        Date first;
        int64_t weekendBars;
    };
    const std::vector<Case> cases = {
        {0,
         "20210104 21:00  1.1000,1.1020,1.0990,1.1010,\r\n20210104 23:00  1.1010,1.1030,1.1000,1.1020,\r\n"
         "20210105 00:00  1.1020,1.1025,1.0980,1.0990,\r\n",
         "20210104   1.1000,1.1030,1.0990,1.1020,\r\n20210105   1.1020,1.1025,1.0980,1.0990,\r\n",
         {2021, 1, 4},
         0},
        {2,
         "20210104 23:00  1.1000,1.1020,1.0990,1.1010,\r\n20210105 01:00  1.1010,1.1030,1.1000,1.1020,\r\n"
         "20210105 02:00  1.1020,1.1025,1.0980,1.0990,\r\n",
         "20210104   1.1000,1.1020,1.0990,1.1010,\r\n20210105   1.1010,1.1030,1.0980,1.0990,\r\n",
         {2021, 1, 4},
         0},
        {-22,
         "20210103 23:00  1.1000,1.1020,1.0990,1.1010,\r\n20210104 01:00  1.1010,1.1030,1.1000,1.1020,\r\n"
         "20210104 02:00  1.1020,1.1025,1.0980,1.0990,\r\n",
         "20210103   1.1000,1.1020,1.0990,1.1010,\r\n20210104   1.1010,1.1030,1.0980,1.0990,\r\n",
         {2021, 1, 3},
         1},
    };
    for (const auto& c : cases) {
        const ImportResult r = run(csv, Pair::EUR, c.shift);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(hourly(), c.hourly) << c.shift;
        EXPECT_EQ(daily(), c.daily) << c.shift;
        EXPECT_EQ(r.report.firstDate, c.first) << c.shift;
        EXPECT_EQ(r.report.shiftHours, c.shift);
        EXPECT_EQ(r.report.weekendBars, c.weekendBars) << c.shift;
    }
    for (const int shift : {kMaxShiftHours + 1, -kMaxShiftHours - 1}) {
        const ImportResult r = run(csv, Pair::EUR, shift);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "Сдвиг времени должен быть от -48 до 48 часов");
    }
}

TEST_F(ImportTest, ReportsGapsAndWeekendBarsWithoutRefusing) {
    std::string csv = "Date,Time,Open,High,Low,Close\n";
    // Thursday 2020-12-24 to Monday 2020-12-28, five days to a Saturday, then a gap before every date.
    for (const char* date : {"2020-12-24", "2020-12-28", "2021-01-02", "2021-01-11", "2021-01-18",
                             "2021-01-25", "2021-02-01", "2021-02-08", "2021-02-15"}) {
        csv += std::string(date) + ",10:00,1.2,1.3,1.1,1.2\n" + date + ",11:00,1.2,1.3,1.1,1.2\n";
    }
    const ImportResult r = run(csv);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.report.gaps, 8);
    ASSERT_EQ(r.report.firstGaps.size(), 5u);
    EXPECT_EQ(r.report.firstGaps[0].from, (Date{2020, 12, 24}));
    EXPECT_EQ(r.report.firstGaps[0].to, (Date{2020, 12, 28}));
    EXPECT_EQ(r.report.weekendBars, 2);
    EXPECT_EQ(r.report.dailyGaps, 8);
    EXPECT_EQ(r.report.dailyWeekendBars, 1);
    ASSERT_GE(r.report.warnings.size(), 7u);
    EXPECT_EQ(WarningText(r.report.warnings[0], IsoDate),
              "Пропуск в часовых котировках больше трёх дней: с 2020-12-24 по 2020-12-28");
    EXPECT_EQ(WarningText(r.report.warnings[5], IsoDate),
              "Ещё пропусков в часовых котировках больше трёх дней: 3");
    EXPECT_EQ(WarningText(r.report.warnings[6], IsoDate),
              "Баров в субботу или воскресенье в часовых котировках: 2");
    const auto fields = ReportFields(r.report);
    std::map<std::string, std::string> kv(fields.begin(), fields.end());
    EXPECT_EQ(kv["GapList"].substr(0, 22), "2020-12-24..2020-12-28");
    EXPECT_EQ(kv["WeekendBars"], "2");
    EXPECT_EQ(kv["FirstDate"], "2020-12-24");
    EXPECT_EQ(kv["LastDate"], "2021-02-15");
    EXPECT_EQ(kv["SpacingMinutes"], "60");
    EXPECT_EQ(kv["DateOrder"], "ymd");
}

}  // namespace
}  // namespace kavro::testing
