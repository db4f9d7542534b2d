#include <gtest/gtest.h>

#include <random>

#include "chart_fixture.h"

namespace kavro::testing {
namespace {

// The oscillator written out plainly: every window scanned trade by trade.
void ReferenceOscillator(ChartState& st, const TradeJournal& journal, int64_t n, double p) {
    for (auto* v : {&st.oscEquity, &st.oscHigh, &st.oscLow, &st.oscRaw, &st.oscK, &st.oscD}) v->resize(n + 1);
    float sum = 0;
    for (int64_t j = 1; j <= n; ++j) st.oscEquity[j] = sum = sum + journal.row(j).profit;
    for (int64_t t = 1; t <= n; ++t) {
        st.oscHigh[t] = st.oscLow[t] = st.oscEquity[t];
        if (t < p) continue;
        for (int64_t j = 1; j <= p; ++j) {
            st.oscHigh[t] = std::max(st.oscHigh[t], st.oscEquity[t - j]);
            st.oscLow[t] = std::min(st.oscLow[t], st.oscEquity[t - j]);
        }
        const float range = st.oscHigh[t] - st.oscLow[t];
        st.oscRaw[t] = range == 0 ? 0.0f : (st.oscEquity[t] - st.oscLow[t]) / range * 100.0f;
    }
    for (int64_t t = 4; t <= n; ++t)
        st.oscK[t] = (st.oscRaw[t - 2] + st.oscRaw[t - 1] + st.oscRaw[t - 3]) / 3.0f;
    for (int64_t t = 4; t <= n; ++t) st.oscD[t] = (st.oscK[t - 2] + st.oscK[t - 1] + st.oscK[t - 3]) / 3.0f;
}

class ChartOscillatorTest : public ::testing::Test, protected ChartSession {
  protected:
    std::vector<SurfaceLine> click(std::optional<std::string> answer) {
        dialogs.inputAnswers.push_back(std::move(answer));
        m.oscillatorClick();
        return m.takeSurfaceLines();
    }
    ChartModel m{s};
};

TEST_F(ChartOscillatorTest, SeriesMatchAPlainScanForAnyPeriod) {
    std::mt19937 gen(7);
    const float results[] = {949, -301, 0, 1949, -51, 448.5f, -1000, 12.25f};
    std::vector<float> r;
    for (int i = 0; i < 400; ++i) r.push_back(results[gen() % 8]);
    trades(r);
    for (double p : {0.5, 1.0, 3.0, 12.0, 12.5, 57.0, 400.0, 401.0}) {
        ChartState fast, plain;
        ComputeOscillator(fast, s.run.journal, 400, p);
        ReferenceOscillator(plain, s.run.journal, 400, p);
        for (auto series : {&ChartState::oscEquity, &ChartState::oscHigh, &ChartState::oscLow,
                            &ChartState::oscRaw, &ChartState::oscK, &ChartState::oscD})
            EXPECT_EQ(fast.*series, plain.*series) << p;
    }
    // The window at trade 12 reaches the 0 before trade 1: equity 10 .. 110, then 55.
    std::vector<float> rising(30, 10.0f);
    rising[11] = -55;
    trades(rising);
    ComputeOscillator(s.chart, s.run.journal, 30, 12);
    EXPECT_EQ(s.chart.oscRaw[11], 0);
    EXPECT_EQ(s.chart.oscRaw[12], 50);
}

TEST_F(ChartOscillatorTest, ClickErasesThenDrawsBothCurvesFromThePeriodOn) {
    alternating(30);
    OpenModel(m);
    auto lines = click("12");
    EXPECT_EQ(dialogs.lastPrompt, kOscPrompt);
    EXPECT_EQ(s.chart.per, "12");
    ASSERT_EQ(lines.size(), 60u + 19u + 19u);
    // The erase walks the stored (zero) values from the pen's first place.
    EXPECT_EQ(lines[0].colour, kColourWindow);
    EXPECT_EQ(lines[0].x1, 0);
    EXPECT_EQ(lines[59].x2, 3000);
    EXPECT_EQ(lines[59].y2, 5200);
    // %K: the pen is put on bar 12's left edge first; %D likewise.
    EXPECT_EQ(lines[60], (SurfaceLine{1200, lines[60].y1, 1200, 5200 - 8 * s.chart.oscK[12], kColourRed}));
    EXPECT_EQ(lines[61].x2, 1300);
    EXPECT_EQ(lines[79].x1, 1200);
    EXPECT_EQ(lines[79].y1, 5200 - 8 * s.chart.oscD[12]);
    EXPECT_EQ(lines[79].colour, kColourBlue);
    const uint32_t colours[] = {kColourBlack, kColourGreen, kColourBlack, kColourGreen, kColourBlack};
    for (int g = 0; g < 5; ++g)
        EXPECT_EQ(m.guides()[g],
                  (ChartLine{1, 6000 - kGuideOffsets[g], 7824, 6000 - kGuideOffsets[g], colours[g], true}));

    // After a pan the erase walks the old %K at the new positions, from the last %D point.
    const std::vector<float> oldK = s.chart.oscK, oldRaw = s.chart.oscRaw;
    m.keyDown(kKeyLeft, 0);
    const auto again = click("12.5");
    EXPECT_EQ(again[0].x1, 3000);
    EXPECT_EQ(again[0].x2, -900);
    EXPECT_EQ(again[29].y2, 5200 - 8 * oldK[30]);
    // No trade equals 12.5: %K starts from where the erase ended, %D from where %K ended.
    ASSERT_EQ(again.size(), 60u + 18u + 18u);
    EXPECT_EQ(again[60].x1, again[59].x2);
    EXPECT_EQ(again[60].x2, 300);
    EXPECT_EQ(again[78].y1, again[77].y2);
    // Raw values below the new period stay from the first click.
    EXPECT_EQ(s.chart.oscRaw[12], oldRaw[12]);
}

TEST_F(ChartOscillatorTest, CancelOrAPeriodOfZeroOrLessChangesNothing) {
    alternating(30);
    OpenModel(m);
    click("12");
    const std::vector<float> k = s.chart.oscK;
    for (auto a : {std::optional<std::string>(), std::optional<std::string>("0"),
                   std::optional<std::string>(" -3"), std::optional<std::string>("abc")}) {
        EXPECT_TRUE(click(a).empty());
        EXPECT_TRUE(m.guides()[2].visible);
    }
    EXPECT_EQ(s.chart.per, "12");
    EXPECT_EQ(s.chart.oscK, k);
}

TEST_F(ChartOscillatorTest, FlatWindowsAndLongJournalsStillDraw) {
    trades(std::vector<float>(20, 0.0f));
    OpenModel(m);
    EXPECT_EQ(click("5").size(), 40u + 16u + 16u);
    EXPECT_EQ(s.chart.oscRaw[20], 0);

    alternating(1500);
    EXPECT_EQ(click("1200").size(), 3000u + 301u + 301u);
    EXPECT_NE(s.chart.oscRaw[1500], 0);
    EXPECT_EQ(click("1501").size(), 3000u);  // longer than the journal: erase only
    EXPECT_TRUE(m.guides()[0].visible);
}

}  // namespace
}  // namespace kavro::testing
