// What "Оценка" reads: one run record (the latest by default) with the heatmap of
// its sweep, the main window's "Оценка" block, and a heatmap cell run as a run of its own.
#include <gtest/gtest.h>

#include <array>

#include "engine_fixture.h"
#include "program/evaluation_sources.h"

namespace kavro::testing {
namespace {

class EvaluationSourcesTest : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDaysWithHours(290);
        MakeBuyDay(283);
        SetBar(BarOf(283, 15), 1.1f, 1.1102f, 1.1f);  // target
        MakeSellDay(285);
        SetInterval(1, session.store.hourBarCount);
        session.form.check2 = true;
    }
};

TEST_F(EvaluationSourcesTest, OcenFillsTheBlockAndItFollowsLaterRuns) {
    RunSimpleTest();  // the default sweep
    const std::shared_ptr<const RunRecord> sweep = session.history.latest();
    ASSERT_TRUE(sweep);
    EXPECT_EQ(sweep->number, 1);
    const Evaluation first = Evaluate(session.history, sweep);
    EXPECT_EQ(first.sweep, sweep);
    EXPECT_FALSE(first.walkForward);
    ToolbarButton(session, "Ocen");
    EXPECT_EQ(shell.evaluations, 1);
    EXPECT_EQ(session.form.label16, "0/0");  // a sweep keeps no trades
    EXPECT_EQ(session.form.label25, "Просадка");

    // Hour 11 as a heatmap cell: the buy of day 283 wins, the sell of day 285 stays open.
    const FormState before = session.form;
    const uint64_t serial = session.history.serial();
    ASSERT_TRUE(CellCommand(session, *sweep, PassRow{11, 100, 20, 0}).started());
    // The cell borrows the sweep's interval: no other run starts until it ends.
    const std::array<float, 2> borrowed{session.run.firstBar, session.run.lastBar};
    for (auto command : {StartCommand, KachCommand}) {
        const RunStart r = command(session);
        EXPECT_FALSE(r.started());
        EXPECT_EQ(r.message, kCellRunning);
        EXPECT_EQ(session.run.firstBar, borrowed[0]);
        EXPECT_EQ(session.run.lastBar, borrowed[1]);
    }
    for (int i = 0; i < 5 && session.form.timer1; ++i) Timer1Tick(session);
    // The window's fields are as they were; the cell is a run of its own.
    EXPECT_EQ(session.form.text6, before.text6);
    EXPECT_EQ(session.form.text4, before.text4);
    EXPECT_EQ(session.form.text2, before.text2);
    EXPECT_GT(session.history.serial(), serial);
    const auto cell = session.history.latest();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->kind, RunKind::Cell);
    EXPECT_EQ(cell->number, 2);
    EXPECT_EQ(cell->parent, 1);
    EXPECT_EQ(cell->fields.text4, "11");
    EXPECT_EQ(cell->passes.size(), 1u);
    EXPECT_EQ(session.form.label16, "1/0");  // the block follows the new run
    const Evaluation e = Evaluate(session.history, cell);
    EXPECT_EQ(e.stats.trades, 1);
    EXPECT_EQ(e.stats.netResult, 949);
    // The cell's heatmap is the sweep it came from.
    EXPECT_EQ(e.sweep, sweep);
    EXPECT_EQ(e.axes.hours.size(), 24u);
    EXPECT_EQ(session.history.latestSweep(), sweep);
}

}  // namespace
}  // namespace kavro::testing
