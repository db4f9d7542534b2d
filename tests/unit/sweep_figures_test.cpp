// Every pass's figures after the sweep, from its record: equal to the setting run
// alone, block results that add up to each pass's result, and the refusals when
// the record cannot be replayed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine_fixture.h"
#include "evaluation/sweep_figures.h"
#include "program/evaluation_sources.h"

namespace kavro::testing {
namespace {

// The default sweep (408 passes) over the whole bundled sample.
class SweepFiguresTest : public EngineFixture {
  protected:
    void SetUp() override {
        session.form.check2 = true;
        ASSERT_TRUE(LoadHourlyFile(session, SamplePath("EURUSD_H1.PRN")));
        ASSERT_TRUE(LoadDailyFile(session, SamplePath("EURUSD_D1.PRN")));
        RunSimpleTest();
        sweep = session.history.latest();
        ASSERT_TRUE(sweep && sweep->isSweep());
        ASSERT_EQ(sweep->passes.size(), 408u);
    }

    SweepFigures Figures(int blocks, unsigned threads) {
        FiguresRequest request;
        request.blocks = blocks;
        request.threads = threads;
        SweepFigures f;
        std::string error;
        EXPECT_TRUE(ComputeSweepFigures(
            session.store, *sweep, ReplayTools{session.run.kernel, session.run.dayTable}, request, f, error))
            << error;
        return f;
    }

    // The statistics of pass `i`'s setting run on its own, as a heatmap cell.
    TradeStats RunAlone(size_t i) {
        EXPECT_TRUE(CellCommand(session, *sweep, sweep->passes[i]).started());
        for (int t = 0; t < 50 && session.form.timer1; ++t) Timer1Tick(session);
        const auto cell = session.history.latest();
        EXPECT_EQ(cell->kind, RunKind::Cell);
        EXPECT_EQ(cell->passes.at(0).total, sweep->passes[i].total) << i;
        return Evaluate(session.history, cell).stats;
    }

    std::shared_ptr<const RunRecord> sweep;
};

TEST_F(SweepFiguresTest, EveryFigureEqualsThatSettingRunAlone) {
    const SweepFigures f = Figures(0, 2);
    ASSERT_EQ(f.passes.size(), 408u);
    ASSERT_TRUE(f.bestPass);
    std::vector<size_t> sample = {0, 407, *f.bestPass};
    for (size_t i = 5; i < 408; i += 29) sample.push_back(i);
    for (size_t i : sample) {
        const PassFigures& p = f.passes[i];
        const TradeStats s = RunAlone(i);
        EXPECT_GT(s.trades, 0) << i;
        EXPECT_EQ(p.trades, s.trades) << i;
        EXPECT_EQ(p.wins, s.wins) << i;
        EXPECT_EQ(p.losses, s.losses) << i;
        EXPECT_EQ(p.netResult, s.netResult) << i;
        EXPECT_EQ(p.grossProfit, s.grossProfit) << i;
        EXPECT_EQ(p.grossLoss, s.grossLoss) << i;
        EXPECT_EQ(p.profitFactor, s.profitFactor) << i;
        EXPECT_EQ(p.maxDrawdown, s.maxDrawdown.money) << i;
        EXPECT_EQ(p.recoveryFactor, s.recoveryFactor) << i;
        EXPECT_EQ(p.sharpeMonthly, s.sharpeMonthly) << i;
        if (i == *f.bestPass) {
            ASSERT_EQ(f.bestMonthly.size(), s.months.size());
            for (size_t m = 0; m < s.months.size(); ++m) EXPECT_EQ(f.bestMonthly[m], s.months[m].result) << m;
        }
    }
}

TEST_F(SweepFiguresTest, BlocksAddUpToEachPassAndNeitherThreadsNorKernelChangeAnything) {
    const SweepFigures f = Figures(16, 2);
    ASSERT_EQ(f.blocks.passes, 408u);
    ASSERT_EQ(f.blocks.blocks, 16u);
    for (size_t p = 0; p < 408; ++p) {
        double sum = 0;
        for (size_t b = 0; b < 16; ++b) sum += f.blocks.at(p, b);
        const double total = sweep->passes[p].total;
        // Up to the rounding of the pass's 32-bit running total.
        EXPECT_NEAR(sum, total, 1e-6 * std::max(1.0, std::fabs(total))) << p;
        EXPECT_EQ(f.passes[p].netResult, sum) << p;
    }
    // Each block starts where the cut says, dated by its first bar.
    const long first = static_cast<long>(sweep->firstBar), last = static_cast<long>(sweep->lastBar);
    const std::vector<long> starts = BlockStarts(first, last, 16);
    ASSERT_EQ(f.blockStarts.size(), 16u);
    for (size_t b = 0; b < 16; ++b) {
        Date d;
        ReadDateText(session.store.hourDateAt(static_cast<size_t>(starts[b])).view(), d);
        EXPECT_EQ(f.blockStarts[b], d) << b;
    }
    Date firstDate;
    ASSERT_TRUE(ReadDateText(sweep->firstDate.view(), firstDate));
    EXPECT_EQ(f.blockStarts[0], firstDate);

    const SweepFigures one = Figures(16, 1);
    EXPECT_EQ(one.blocks.cells, f.blocks.cells);
    FiguresRequest request{16, 3, nullptr};
    SweepFigures fresh;
    std::string error;
    ASSERT_TRUE(ComputeSweepFigures(session.store, *sweep, request, fresh, error)) << error;
    EXPECT_EQ(fresh.blocks.cells, f.blocks.cells);
    for (size_t p = 0; p < 408; ++p) EXPECT_EQ(fresh.passes[p].sharpeMonthly, f.passes[p].sharpeMonthly);
}

TEST_F(SweepFiguresTest, TheOverfitReportOfTheSample) {
    const SweepFigures f = Figures(16, 0);
    const OverfitReport r = ReportOverfit(f, sweep->passes);
    EXPECT_EQ(r.cscv.combinations, 12870);
    ASSERT_EQ(r.cscv.logits.size(), 12870u);
    int64_t left = 0;
    for (size_t i = 0; i < r.logitHistogram.counts.size() / 2; ++i) left += r.logitHistogram.counts[i];
    EXPECT_EQ(static_cast<double>(left) / 12870, r.cscv.pbo);
    const PassRow& best = sweep->passes[*f.bestPass];
    EXPECT_EQ(r.bestRow.total, best.total);
    EXPECT_EQ(r.bestRow.entryHour, best.entryHour);
    EXPECT_EQ(r.bestRow.target, best.target);
    EXPECT_EQ(r.bestRow.stop, best.stop);
    EXPECT_EQ(r.deflated.trials, 408);
    EXPECT_EQ(r.deflated.months, static_cast<int64_t>(f.bestMonthly.size()));
    EXPECT_EQ(r.deflated.sharpe, f.passes[*f.bestPass].sharpeMonthly / std::sqrt(12.0));
    ASSERT_TRUE(r.deflated.dsr);
    EXPECT_GE(*r.deflated.dsr, 0);
    EXPECT_LE(*r.deflated.dsr, 1);
}

TEST_F(SweepFiguresTest, ARecordThatCannotBeReplayedSaysWhy) {
    auto refusal = [&](const RunRecord& r, JobProgress* progress = nullptr) {
        FiguresRequest request{16, 1, progress};
        SweepFigures f;
        std::string error;
        EXPECT_FALSE(ComputeSweepFigures(session.store, r, request, f, error));
        EXPECT_TRUE(f.passes.empty());
        return error;
    };
    RunRecord replaced = *sweep;
    replaced.hourly.digest ^= 1;
    EXPECT_NE(refusal(replaced).find("котировки заменены"), std::string::npos);

    RunRecord typedOver = *sweep;
    typedOver.passes[7].total += 1;
    typedOver.changes.push_back({"Стоимость пункта", "10", "11", 7, 0});
    const std::string differs = refusal(typedOver);
    EXPECT_NE(differs.find("проход 8 "), std::string::npos) << differs;
    EXPECT_NE(differs.find("поля меняли по ходу запуска"), std::string::npos) << differs;

    RunRecord fractional = *sweep;
    fractional.lastBar += 0.5f;
    EXPECT_NE(refusal(fractional).find("не из целых баров"), std::string::npos);

    JobProgress cancelled;
    cancelled.cancel = true;
    EXPECT_EQ(refusal(*sweep, &cancelled), kReplayCancelled);
}

// With two threads the second half (passes 205..408) meets its differing pass at
// once while the first is held up on its first pass: the earlier one is still named.
TEST_F(SweepFiguresTest, AReplayOnSeveralThreadsNamesTheEarliestDifferingPass) {
    RunRecord typedOver = *sweep;
    typedOver.passes[150].total += 1;
    typedOver.passes[204].total += 1;
    const ReplayVisitors slowStart = [] {
        return [](size_t pass, std::span<const KernelClose>) {
            if (pass == 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        };
    };
    std::string error;
    EXPECT_FALSE(ReplaySweep(session.store, typedOver, {session.run.kernel, session.run.dayTable}, slowStart,
                             error, 2));
    EXPECT_NE(error.find("проход 151 "), std::string::npos) << error;
}

TEST_F(SweepFiguresTest, TheCheckRefusesWhatWouldTakeTooLongAndSkipsWhatHasNothingToRank) {
    EXPECT_EQ(SweepCheckRefusal(408, 16), "");
    EXPECT_EQ(SweepCheckRefusal(kMaxFigurePasses, 0), "");
    EXPECT_NE(SweepCheckRefusal(kMaxFigurePasses + 1, 0).find("до 2000000 проходов"), std::string::npos);
    EXPECT_NE(SweepCheckRefusal(408, 5).find("чётным"), std::string::npos);
    // 100,000 passes x 184,756 splits x 20 blocks is beyond the work allowed; 16 blocks are not.
    EXPECT_NE(SweepCheckRefusal(100000, 20).find("уменьшите число блоков"), std::string::npos);
    EXPECT_EQ(SweepCheckRefusal(100000, 16), "");

    FiguresRequest request{16, 2, nullptr};
    const SweepCheck full =
        CheckSweep(session.store, *sweep, {session.run.kernel, session.run.dayTable}, request);
    ASSERT_TRUE(full.ok) << full.error;
    ASSERT_TRUE(full.overfit);
    EXPECT_EQ(full.overfit->cscv.combinations, 12870);
    EXPECT_EQ(full.figures.passes.size(), 408u);
    // One pass ranks nothing: its figures, and no check.
    RunRecord one = *sweep;
    one.passes.resize(1);
    const SweepCheck single =
        CheckSweep(session.store, one, {session.run.kernel, session.run.dayTable}, request);
    EXPECT_TRUE(single.ok);
    EXPECT_FALSE(single.overfit);
    EXPECT_EQ(single.figures.passes.size(), 1u);
    // A cancel through the progress leaves nothing half done.
    JobProgress cancelled;
    cancelled.cancel = true;
    request.progress = &cancelled;
    const SweepCheck stopped =
        CheckSweep(session.store, *sweep, {session.run.kernel, session.run.dayTable}, request);
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.error, kReplayCancelled);
}

TEST(BlockCut, BlocksAreContiguousAndCoverTheInterval) {
    // n = 10 bars, 4 blocks: floor(b * 10 / 4) = 0, 2, 5, 7.
    EXPECT_EQ(BlockStarts(1, 10, 4), (std::vector<long>{1, 3, 6, 8}));
    // Fewer bars than blocks: some blocks hold no bar.
    EXPECT_EQ(BlockStarts(5, 7, 4), (std::vector<long>{5, 5, 6, 7}));
    EXPECT_TRUE(BlockStarts(5, 4, 4).empty());
    for (int s : {2, 4, 16, 20}) EXPECT_TRUE(ValidBlockCount(s)) << s;
    for (int s : {0, 1, 3, 15, 22, -2}) EXPECT_FALSE(ValidBlockCount(s)) << s;
}

}  // namespace
}  // namespace kavro::testing
