// What "Оценка" reads: the latest finished run, the latest sweep and the latest
// thorough test, the main window's "Оценка" block, and a heatmap cell run alone.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "program/evaluation_sources.h"

namespace kavro::testing {
namespace {

class EvaluationSourcesTest : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDays(300);
        for (int d = 281; d <= 290; ++d) AddFlatDay(d);
        MakeBuyDay(283);
        session.store.hourOhlc[static_cast<size_t>(2 * 24 + 11 + 5)] = {1.1f, 1.1102f, 1.1f, 1.1f};  // target
        MakeSellDay(285);
        SetInterval(1, session.store.hourBarCount);
        session.form.check2 = true;
    }
};

TEST_F(EvaluationSourcesTest, OcenFillsTheBlockAndItFollowsLaterRuns) {
    RunSimpleTest();  // the default sweep
    const EvaluationSources& src = session.evaluation;
    ASSERT_TRUE(src.latest);
    EXPECT_EQ(src.sweep, src.latest);
    EXPECT_FALSE(src.walkForward);
    ToolbarButton(session, "Ocen");
    EXPECT_EQ(shell.evaluations, 1);
    EXPECT_EQ(session.form.label16, "0/0");  // a sweep keeps no trades
    EXPECT_EQ(session.form.label25, "Просадка");

    // Hour 11 as a single setting: the buy of day 283 wins, the sell of day 285 stays open.
    const uint64_t serial = src.serial;
    RunSettingCommand(session, PassRow{11, 100, 20, 0});
    EXPECT_EQ(session.form.text6, "0");
    EXPECT_EQ(session.form.text4, "11");
    for (int i = 0; i < 5 && session.form.timer1; ++i) Timer1Tick(session);
    EXPECT_GT(src.serial, serial);
    EXPECT_NE(src.latest, src.sweep);  // the sweep stays for the heatmap
    EXPECT_EQ(src.sweep->passes.size(), 408u);
    EXPECT_EQ(src.latest->passes.size(), 1u);
    EXPECT_EQ(session.form.label16, "1/0");  // the block follows the new run
    const Evaluation e = Evaluate(src);
    EXPECT_EQ(e.stats.trades, 1);
    EXPECT_EQ(e.stats.netResult, 949);
    EXPECT_EQ(e.axes.hours.size(), 24u);
}

}  // namespace
}  // namespace kavro::testing
