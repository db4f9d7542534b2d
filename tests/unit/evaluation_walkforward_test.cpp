#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "evaluation/walkforward_view.h"

namespace kavro {
namespace {

WindowRecord Window(double optFirst, double optLast, double fwdFirst, double fwdLast, bool found,
                    float inSample, float forward, float hour = 9, float tp = 60, float sl = 30) {
    WindowRecord w;
    w.optFirstBar = optFirst;
    w.optLastBar = optLast;
    w.fwdFirstBar = fwdFirst;
    w.fwdLastBar = fwdLast;
    w.optStart = Date{2020, 1, 1};
    w.optEnd = Date{2020, 3, 31};
    w.fwdStart = Date{2020, 4, 1};
    w.fwdEnd = Date{2020, 4, 30};
    w.entryHour = hour;
    w.target = tp;
    w.stop = sl;
    w.bestFound = found;
    w.inSampleTotal = inSample;
    w.forwardResult = forward;
    return w;
}

// Four windows of 1,000 search bars and 250 forward bars: a good one, one whose
// best total is 0, one that found nothing (and still earned), and a strong one.
std::vector<WindowRecord> RecordedTest() {
    return {
        Window(1, 1000, 1001, 1250, true, 400, 50, 9, 60, 30),
        Window(251, 1250, 1251, 1500, true, 0, -20, 10, 70, 30),
        Window(501, 1500, 1501, 1750, false, -30, 30, 10, 70, 30),
        Window(751, 1750, 1751, 2000, true, 200, 100, 14, 40, 20),
    };
}

TEST(WalkForwardView, RowsByHand) {
    const WalkForwardView v = BuildWalkForwardView(RecordedTest());
    ASSERT_EQ(v.rows.size(), 4u);
    struct Row {
        double efficiency;  // NaN: undefined
        double cumulative;
    };
    // (50 / 250) / (400 / 1000); 0 in-sample; found nothing; (100 / 250) / (200 / 1000).
    const Row expected[] = {{0.5, 50}, {NAN, 30}, {NAN, 60}, {2.0, 160}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const WindowRow& r = v.rows[i];
        EXPECT_EQ(r.number, i + 1);
        EXPECT_EQ(r.optBars, 1000);
        EXPECT_EQ(r.fwdBars, 250);
        if (std::isnan(expected[i].efficiency))
            EXPECT_TRUE(std::isnan(r.efficiency));
        else
            EXPECT_DOUBLE_EQ(r.efficiency, expected[i].efficiency);
        EXPECT_DOUBLE_EQ(r.cumulativeForward, expected[i].cumulative);
    }
    EXPECT_EQ(v.rows[3].entryHour, 14);
    EXPECT_EQ(v.rows[3].target, 40);
    EXPECT_EQ(v.rows[3].stop, 20);
    EXPECT_FALSE(v.rows[2].bestFound);
    EXPECT_EQ(v.rows[2].fwdStart, (Date{2020, 4, 1}));
}

TEST(WalkForwardView, TotalsByHand) {
    const WalkForwardView v = BuildWalkForwardView(RecordedTest());
    EXPECT_EQ(v.windows, 4u);
    EXPECT_EQ(v.profitableWindows, 3u);
    EXPECT_DOUBLE_EQ(v.profitableShare, 75);
    EXPECT_EQ(v.searchedNothing, 1u);
    EXPECT_DOUBLE_EQ(v.totalForward, 160);
    // Windows 1, 2 and 4: (130 / 750) / (600 / 3000); window 3 traded an earlier setting.
    EXPECT_EQ(v.efficiencyWindows, 3u);
    EXPECT_DOUBLE_EQ(v.overallEfficiency, (130.0 / 750) / (600.0 / 3000));
}

TEST(WalkForwardView, WindowsThatAllSearchedNothing) {
    const WalkForwardView v = BuildWalkForwardView(std::vector<WindowRecord>{
        Window(1, 100, 101, 150, false, -5, -10), Window(51, 150, 151, 200, false, -5, 0)});
    EXPECT_EQ(v.windows, 2u);
    EXPECT_EQ(v.searchedNothing, 2u);
    EXPECT_EQ(v.profitableWindows, 0u);
    EXPECT_EQ(v.profitableShare, 0);
    EXPECT_TRUE(std::isnan(v.overallEfficiency));
    EXPECT_TRUE(std::isnan(v.rows[0].efficiency));
    EXPECT_DOUBLE_EQ(v.rows[1].cumulativeForward, -10);
}

TEST(WalkForwardView, NoWindowsAndDamagedRecords) {
    const WalkForwardView none = BuildWalkForwardView({});
    EXPECT_EQ(none.windows, 0u);
    EXPECT_EQ(none.profitableShare, 0);
    EXPECT_TRUE(std::isnan(none.overallEfficiency));

    // Bars that run backwards and a forward result that is not a number.
    const WalkForwardView bad = BuildWalkForwardView(std::vector<WindowRecord>{
        Window(100, 1, 101, 150, true, 50, 10), Window(1, 100, 101, 150, true, 50, NAN)});
    EXPECT_TRUE(std::isnan(bad.rows[0].efficiency));
    EXPECT_EQ(bad.rows[1].forwardResult, 0);
    EXPECT_DOUBLE_EQ(bad.totalForward, 10);
    EXPECT_DOUBLE_EQ(bad.rows[1].efficiency, 0);
    EXPECT_EQ(bad.efficiencyWindows, 1u);
}

}  // namespace
}  // namespace kavro
