#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "evaluation/heatmap.h"
#include "evaluation/sweep_figures.h"

namespace kavro {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A small recorded sweep in pass order: hours 0, 9 and 10, take-profits 20 and 30,
// stop-losses 10 and 15. Hour 9 never ran TP 30 / SL 15; TP 20 / SL 15 ran twice
// there; passes 2 and 4 tie for the best total; the hour-0 rows are written once as
// minus zero; rows with a value that is not a number are left out.
const std::vector<PassRow> kSweep = {
    {9, 20, 10, 5},      // 0
    {9, 20, 15, -3},     // 1
    {9, 30, 10, 12},     // 2
    {10, 20, 10, 12},    // 3 <- best: ties with 2, later
    {10, 20, 15, 0},     // 4
    {10, 30, 10, -8},    // 5
    {10, 30, 15, 7},     // 6
    {9, 20, 15, 5},      // 7: the same setting as 1 again, and a tie with 0 in the hour grid
    {kNaN, 20, 10, 99},  // 8
    {10, 40, 10, kNaN},  // 9
    {-0.0f, 20, 10, 1},  // 10
    {0.0f, 30, 10, 2},   // 11
};

// Cells row by row from the bottom (y = 0) up; NaN where nothing ran.
void ExpectCells(const HeatGrid& g, const std::vector<float>& cells) {
    ASSERT_EQ(g.cells.size(), cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        if (std::isnan(cells[i]))
            EXPECT_TRUE(std::isnan(g.cells[i])) << "cell " << i;
        else
            EXPECT_EQ(g.cells[i], cells[i]) << "cell " << i;
        EXPECT_EQ(g.passes[i] < 0, std::isnan(cells[i])) << "cell " << i;
    }
}

TEST(Heatmap, AxesAreTheSortedDistinctValues) {
    const SweepAxes a = AxesOf(kSweep);
    EXPECT_EQ(a.hours, (std::vector<float>{0, 9, 10}));
    EXPECT_FALSE(std::signbit(a.hours[0]));
    EXPECT_EQ(a.targets, (std::vector<float>{20, 30}));
    EXPECT_EQ(a.stops, (std::vector<float>{10, 15}));
    EXPECT_EQ(a.bestPass, 3u);
}

TEST(Heatmap, BestPassIsTheHighestTotalTiesToTheLater) {
    EXPECT_EQ(BestPass(kSweep), 3u);
    EXPECT_EQ(BestPass(std::vector<PassRow>{{1, 2, 3, -5}, {1, 2, 4, -5}, {1, 2, 5, -7}}), 1u);
    EXPECT_FALSE(BestPass({}).has_value());
    EXPECT_FALSE(BestPass(std::vector<PassRow>{{kNaN, 1, 1, 1}}).has_value());
}

TEST(Heatmap, TargetStopGridDefaultsToTheBestPassHour) {
    const HeatGrid g = TargetStopGrid(kSweep);
    EXPECT_EQ(g.kind, GridKind::TargetStop);
    EXPECT_EQ(g.hour, 10);
    EXPECT_EQ(g.xValues, (std::vector<float>{20, 30}));
    EXPECT_EQ(g.yValues, (std::vector<float>{10, 15}));
    ExpectCells(g, {12, -8, 0, 7});
    ASSERT_TRUE(g.hasBest);
    EXPECT_EQ(g.bestX, 0u);
    EXPECT_EQ(g.bestY, 0u);
    EXPECT_EQ(g.bestValue, 12);
    EXPECT_EQ(g.minValue, -8);
    EXPECT_EQ(g.maxValue, 12);
    EXPECT_EQ(g.runCells, 4u);
}

TEST(Heatmap, TargetStopGridOfAnotherHourLeavesCellsNeverRunEmpty) {
    const HeatGrid g = TargetStopGrid(kSweep, AxesOf(kSweep), 9);
    // TP 20 / SL 15 ran twice (-3, then 5): the better stands.
    ExpectCells(g, {5, 12, 5, kNaN});
    EXPECT_EQ(g.passes[2], 7);
    EXPECT_EQ(g.bestX, 1u);
    EXPECT_EQ(g.bestY, 0u);
    EXPECT_EQ(g.runCells, 3u);
    EXPECT_EQ(g.minValue, 5);

    // Both zeros are one hour.
    const HeatGrid zero = TargetStopGrid(kSweep, AxesOf(kSweep), 0.0f);
    ExpectCells(zero, {1, 2, kNaN, kNaN});
    EXPECT_EQ(TargetStopGrid(kSweep, AxesOf(kSweep), -0.0f).cells[0], 1);
    // An hour the sweep never ran: every cell empty, no best.
    const HeatGrid none = TargetStopGrid(kSweep, AxesOf(kSweep), 5);
    ExpectCells(none, {kNaN, kNaN, kNaN, kNaN});
    EXPECT_FALSE(none.hasBest);
}

TEST(Heatmap, HourTargetGridHoldsTheBestStopPerCell) {
    const HeatGrid g = HourTargetGrid(kSweep);
    EXPECT_EQ(g.kind, GridKind::HourTarget);
    EXPECT_EQ(g.xValues, (std::vector<float>{0, 9, 10}));
    EXPECT_EQ(g.yValues, (std::vector<float>{20, 30}));
    ExpectCells(g, {1, 5, 12, 2, 12, 7});
    // Hour 9, TP 20: 5 with SL 10 (pass 0) and 5 with SL 15 (pass 7): the later pass's stop.
    EXPECT_EQ(g.stops[1], 15);
    EXPECT_EQ(g.passes[1], 7);
    EXPECT_EQ(g.stops[2], 10);
    EXPECT_EQ(g.stops[5], 15);
    // 12 at hour 9 / TP 30 (pass 2) and at hour 10 / TP 20 (pass 3): the later pass.
    EXPECT_EQ(g.bestX, 2u);
    EXPECT_EQ(g.bestY, 0u);
    EXPECT_EQ(g.minValue, 1);
    EXPECT_EQ(g.maxValue, 12);
}

TEST(Heatmap, CellLookupGivesTheSettingToRun) {
    const HeatGrid hours = HourTargetGrid(kSweep);
    const auto c = CellAt(hours, 1, 0);
    ASSERT_TRUE(c.has_value());
    EXPECT_TRUE(c->ran);
    EXPECT_EQ(c->value, 5);
    EXPECT_EQ(c->setting.entryHour, 9);
    EXPECT_EQ(c->setting.target, 20);
    EXPECT_EQ(c->setting.stop, 15);
    EXPECT_EQ(c->pass, 7);
    EXPECT_FALSE(CellAt(hours, 3, 0).has_value());
    EXPECT_FALSE(CellAt(hours, 0, 2).has_value());

    const HeatGrid nine = TargetStopGrid(kSweep, AxesOf(kSweep), 9);
    const auto empty = CellAt(nine, 1, 1);
    ASSERT_TRUE(empty.has_value());
    EXPECT_FALSE(empty->ran);
    EXPECT_EQ(empty->pass, -1);
    // A cell never run still names its setting, so it can be run.
    EXPECT_EQ(empty->setting.entryHour, 9);
    EXPECT_EQ(empty->setting.target, 30);
    EXPECT_EQ(empty->setting.stop, 15);
}

TEST(Heatmap, AFigureColoursTheSameCellsAndTheBestStaysTheBestResult) {
    // The trades of each pass; pass 5 of its figure not known.
    std::vector<PassFigures> figures(kSweep.size());
    for (size_t i = 0; i < figures.size(); ++i) {
        figures[i].trades = static_cast<int64_t>(10 + i);
        figures[i].profitFactor = i == 2 ? INFINITY : 0.5 * static_cast<double>(i);
    }
    std::vector<float> trades = FigureValues(HeatFigure::Trades, kSweep, figures);
    trades[5] = kNaN;
    EXPECT_EQ(trades[3], 13);
    EXPECT_EQ(FigureValues(HeatFigure::ProfitFactor, kSweep, figures)[2], INFINITY);
    EXPECT_EQ(FigureValues(HeatFigure::Net, kSweep, {})[6], 7);
    EXPECT_TRUE(std::isnan(FigureValues(HeatFigure::Sharpe, kSweep, {})[0]));  // figures not known

    const HeatGrid net = TargetStopGrid(kSweep, AxesOf(kSweep), 10);
    const HeatGrid g = ShowFigure(net, HeatFigure::Trades, trades);
    EXPECT_EQ(g.figure, HeatFigure::Trades);
    EXPECT_EQ(g.passes, net.passes);
    EXPECT_EQ(g.results, net.cells);
    // Hour 10: TP 20 / SL 10 pass 3, TP 30 / SL 10 pass 5 (not known), TP 20 / SL 15 pass 4, TP 30 / SL 15
    // pass 6.
    EXPECT_EQ(g.cells[0], 13);
    EXPECT_EQ(g.cells[2], 14);
    EXPECT_EQ(g.cells[3], 16);
    EXPECT_TRUE(std::isnan(g.cells[1]));
    EXPECT_EQ(g.passes[1], 5);  // run, its figure not known: grey, but still the pass
    EXPECT_EQ(g.minValue, 13);
    EXPECT_EQ(g.maxValue, 16);
    EXPECT_EQ(g.bestX, net.bestX);
    EXPECT_EQ(g.bestY, net.bestY);
    EXPECT_EQ(g.bestValue, 13);
    // A cell names its result and shows its figure.
    const auto cell = CellAt(g, 0, 0);
    EXPECT_EQ(cell->value, 13);
    EXPECT_EQ(cell->setting.total, 12);
    // Shown once only: a figure's grid is never taken for results.
    EXPECT_EQ(ShowFigure(g, HeatFigure::Sharpe, trades).figure, HeatFigure::Trades);
}

TEST(Heatmap, OnePassAndNoPass) {
    const std::vector<PassRow> one = {{7, 50, 25, -12}};
    for (const HeatGrid& g : {TargetStopGrid(one), HourTargetGrid(one)}) {
        ExpectCells(g, {-12});
        EXPECT_TRUE(g.hasBest);
        EXPECT_EQ(g.minValue, -12);
        EXPECT_EQ(g.maxValue, -12);
    }
    for (const HeatGrid& g : {TargetStopGrid({}), HourTargetGrid({})}) {
        EXPECT_TRUE(g.empty());
        EXPECT_FALSE(g.hasBest);
        EXPECT_FALSE(CellAt(g, 0, 0).has_value());
    }
}

TEST(Heatmap, ASweepTooWideForAGridIsRefusedNotAllocated) {
    // 2,100 distinct take-profits and stop-losses: 4.4 million cells for 2,100 passes.
    std::vector<PassRow> rows;
    for (int i = 0; i < 2100; ++i) rows.push_back({1, static_cast<float>(i), static_cast<float>(i), 1});
    const HeatGrid g = TargetStopGrid(rows);
    EXPECT_TRUE(g.tooLarge);
    EXPECT_TRUE(g.empty());
    EXPECT_FALSE(g.hasBest);
    EXPECT_FALSE(CellAt(g, 0, 0).has_value());
    EXPECT_FALSE(HourTargetGrid(rows).tooLarge);
}

}  // namespace
}  // namespace kavro
