// The walk-forward windows and the optimisation search: window arithmetic, bar
// ranges, search order, the tie rule, the hour rules, real-work mode, the estimate.
#include <map>
#include <tuple>

#include "thorough_fixture.h"
#include "walkforward/thorough_test.h"

namespace kavro::testing {
namespace {

using ThoroughWindows = ThoroughFixture;

TEST(ThoroughWindowCount, RoundsTheQuotientUp) {
    EXPECT_EQ(ThoroughWindowCount(1920, 3, 1), 1);
    EXPECT_EQ(ThoroughWindowCount(1921, 3, 1), 2);
    EXPECT_EQ(ThoroughWindowCount(2399, 3, 1), 2);  // x = 1.998
    EXPECT_EQ(ThoroughWindowCount(1440, 3, 1), 0);  // no room for a forward window
    EXPECT_EQ(ThoroughWindowCount(1000, 3, 1), 0);  // x = -0.9 rounds up to 0
    EXPECT_EQ(ThoroughWindowCount(1440 + 2 * 960, 3, 2), 2);
    EXPECT_EQ(ThoroughWindowCount(1440 + 2 * 960 + 1, 3, 2), 3);
    EXPECT_EQ(ThoroughWindowCount(500, 0, 1), 2);  // an optimisation window of one bar
}

class WindowRuns : public ThoroughFixture {
  protected:
    void SetUp() override {
        ThoroughFixture::SetUp();
        BuildStore(400, 100);  // bars 1..2400
        FormState& f = s().form;
        f.text2 = f.text3 = "20";  // one setting per window
        f.text4 = f.text5 = "0";
        // The bars of each pass are watched as they are walked.
        s().run.fastPasses = false;
        pump.onYield = [this] {
            const RunState& r = s().run;
            auto it = ranges.find(r.runPassesStarted);
            if (it == ranges.end())
                ranges[r.runPassesStarted] = {r.currentBar, r.currentBar};
            else
                it->second.second = r.currentBar;
        };
    }
    std::map<long long, std::pair<float, float>> ranges;  // first and last bar, by pass number
};

TEST_F(WindowRuns, WorkedExampleSearchesAndForwardTestsTheseBars) {
    s().run.firstBar = 1;
    s().run.lastBar = 2400;
    RunKach();
    using R = std::pair<float, float>;
    const std::map<long long, R> expected = {
        {1, R{1, 1441}}, {2, R{1441, 1921}}, {3, R{481, 1921}}, {4, R{1921, 2401}}};
    EXPECT_EQ(ranges, expected);
    EXPECT_FALSE(s().form.timer3);
    EXPECT_EQ(Lines(s().ripotPath()).size(), 2u);
    EXPECT_EQ(s().form.progressMax, 2);
    EXPECT_EQ(s().form.progressValue, 2);
}

TEST_F(WindowRuns, ExactFitEndsAtLastBarAndOneMoreBarAddsAWindowBeyondIt) {
    s().run.firstBar = 1;
    s().run.lastBar = 1921;  // 1440 + 1 * 480
    RunKach();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[2].second, 1921);

    ranges.clear();
    s().run.lastBar = 1922;
    RunKach();
    ASSERT_EQ(ranges.size(), 4u);
    EXPECT_EQ(ranges[4], std::make_pair(1921.0f, 2401.0f));  // 479 bars past LastBar
}

TEST_F(WindowRuns, NoWindowWhenTheIntervalOnlyHoldsTheOptimisationWindow) {
    s().run.firstBar = 1;
    s().run.lastBar = 1441;
    AppendToFile(s().ripotPath(), "old\r\n");
    RunKach();
    EXPECT_TRUE(ranges.empty());
    EXPECT_FALSE(s().form.timer3);
    // Refused before it started: the earlier report is kept.
    EXPECT_EQ(ReadFile(s().ripotPath()), "old\r\n");
}

TEST_F(WindowRuns, RealWorkSearchStopsAtLastBar) {
    s().run.firstBar = 1;
    s().run.lastBar = 1000;
    s().form.check3 = true;
    RunKach();
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[1], std::make_pair(1.0f, 1000.0f));
    EXPECT_EQ(s().run.currentBar, 1000);
    EXPECT_EQ(s().run.searchWindowEnd, 1441);
}

TEST_F(WindowRuns, ChecksTheStopOfEveryBarAndHaltsTheRun) {
    s().run.firstBar = 1;
    s().run.lastBar = 2400;
    int yields = 0;
    pump.onYield = [&] {
        if (++yields == 3000) ToolbarButton(s(), "Stop");  // inside the second window's search
    };
    RunKach();
    EXPECT_FALSE(s().form.timer3);
    EXPECT_EQ(s().form.label15, kStatusStopped);
    EXPECT_FALSE(s().run.stopRequested);
    EXPECT_EQ(Lines(s().ripotPath()).size(), 1u);  // only the finished window
    EXPECT_EQ(ReadFile(s().ripot1Path()), "");
    EXPECT_EQ(s().run.passesDone, 2);
}

class SearchOrder : public ThoroughFixture {
  protected:
    using Setting = std::tuple<float, float, float>;  // take-profit points, hour, stop points
    void SetUp() override {
        ThoroughFixture::SetUp();
        BuildStore(400, 100);
        s().run.firstBar = 1;
        s().run.lastBar = 2400;
        s().form.check3 = true;
        s().form.label1[4] = s().form.label1[5] = s().form.label1[6] = "keep";
        s().form.text10 = "box";
        // The order is watched pass by pass, so every pass walks its bars (the kernel's
        // results are checked against this path elsewhere).
        s().run.fastPasses = false;
        pump.onYield = [this] {
            const RunState& r = s().run;
            if (r.passesStarted != seenPass) {
                seenPass = r.passesStarted;
                order.emplace_back(r.s.TP1, r.entryHour, r.s.TPI1);
                if (r.s.ST == 0) return;  // a forward pass
                EXPECT_EQ(r.s.TP, static_cast<float>(r.s.TP1 * static_cast<double>(0.0001f)));
                EXPECT_EQ(r.s.TPI, static_cast<float>(r.s.TPI1 * static_cast<double>(0.0001f)));
            }
        };
    }
    std::vector<Setting> order;
    long long seenPass = 0;
};

TEST_F(SearchOrder, TakeProfitDownThenHourUpThenStopUpAndTiesGoToTheLater) {
    FormState& f = s().form;
    f.text2 = "30";
    f.text3 = "20";
    f.text4 = "22";
    f.text5 = "23";
    RunKach();
    std::vector<Setting> expected;
    for (float tp : {30.0f, 25.0f, 20.0f})
        for (float h : {22.0f, 23.0f})
            for (float sl : {20.0f, 25.0f, 30.0f}) expected.emplace_back(tp, h, sl);
    EXPECT_EQ(order, expected);
    // No trade anywhere: every pass scores 0 and the last one wins.
    EXPECT_EQ(f.label1[3], "23");
    EXPECT_EQ(f.label1[2], "20");
    EXPECT_EQ(f.label1[1], "30");
    EXPECT_EQ(f.label1[0], "0");
    EXPECT_EQ(s().run.best.targetPoints, 20);
    EXPECT_EQ(s().run.best.stopPoints, 30);
    EXPECT_EQ(s().run.best.target, 20.0f / 10000.0f);
    EXPECT_EQ(s().run.best.stop, 30.0f / 10000.0f);
    // Real-work mode: one window, no forward pass, the "full test" panel untouched.
    EXPECT_EQ(s().run.passesDone, 18);
    EXPECT_FALSE(f.timer3);
    EXPECT_EQ(f.label1[4], "keep");
    EXPECT_EQ(f.label1[5], "keep");
    EXPECT_EQ(f.label1[6], "keep");
    EXPECT_EQ(f.text10, "box");
    EXPECT_EQ(ReadFile(s().ripotPath()), "17.05.2020 23  20  30  0 \r\n");
}

TEST_F(SearchOrder, BestIsTheLastOfTheEqualBestResults) {
    FormState& f = s().form;
    BuyDay(50);
    SetBar(BarOf(50, 10), 1.0f, 1.003f, 1.0f);  // bought and closed at 30 points on the same bar
    f.text2 = "30";
    f.text3 = "20";
    f.text4 = "10";
    f.text5 = "11";
    RunKach();
    EXPECT_EQ(order.size(), 18u);
    // Hour 10 earns 250 with a 30-point target whatever the stop; the last of those wins.
    EXPECT_EQ(f.label1[3], "10");
    EXPECT_EQ(f.label1[2], "30");
    EXPECT_EQ(f.label1[1], "30");
    EXPECT_EQ(f.label1[0], "250");
    // The current-result labels show the last pass: 20 points at hour 11, no trade.
    EXPECT_EQ(f.label6[0], "11");
    EXPECT_EQ(f.label6[1], "20");
    EXPECT_EQ(f.label6[2], "30");
    EXPECT_EQ(f.label6[3], "0");
}

TEST_F(SearchOrder, HourRules) {
    FormState& f = s().form;
    f.text2 = f.text3 = "20";
    auto hours = [&] {
        std::vector<float> h;
        for (const auto& o : order) h.push_back(std::get<1>(o));
        order.clear();
        return h;
    };

    // Hour 24 matches no bar, then the hour wraps to 0 and the sweep goes on from 1.
    f.text4 = "24";
    f.text5 = "23";
    RunKach();
    std::vector<float> expected = {24};
    for (int h = 1; h <= 23; ++h) expected.push_back(static_cast<float>(h));
    EXPECT_EQ(hours(), expected);

    f.text4 = "22";
    f.text5 = "30";  // treated as 23
    RunKach();
    EXPECT_EQ(hours(), (std::vector<float>{22, 23}));
    EXPECT_EQ(s().run.lastEntryHour, 23);

    f.text4 = "15";
    f.text5 = "10";
    RunKach();
    EXPECT_EQ(hours(), (std::vector<float>{15}));
}

TEST_F(SearchOrder, EveryRunEstimatesAfterItsFirstPass) {
    FormState& f = s().form;
    f.text2 = "30";
    f.text3 = "20";
    f.text4 = "10";
    f.text5 = "11";
    clock.step = 2;  // each pass takes two seconds
    RunKach();
    // 1 window x (h = 2) x (n = 3) x (n = 3) passes x 2 seconds.
    EXPECT_EQ(s().run.progressMax, 18);
    EXPECT_EQ(s().run.remainingSeconds, 36);
    EXPECT_TRUE(f.timer2);

    f.timer2 = false;
    s().run.remainingSeconds = 0;
    f.text5 = "0";  // counts one hour whatever Text4 says
    RunKach();
    EXPECT_EQ(s().run.progressMax, 9);
    EXPECT_EQ(s().run.remainingSeconds, 18);
    EXPECT_TRUE(f.timer2);

    f.check3 = false;  // two windows
    f.text5 = "11";
    RunKach();
    EXPECT_EQ(s().run.remainingSeconds, 72);
}

}  // namespace
}  // namespace kavro::testing
