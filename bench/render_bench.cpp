// Painting the evaluation's pictures at the sizes users reach: the heatmap of a
// 5-million-pass sweep, the equity of 100,000 trades, a Monte Carlo histogram.
// Usage: QT_QPA_PLATFORM=offscreen render_bench
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_util.h"
#include "evaluation/render/evaluation_render.h"
#include "synthetic_sweep.h"

using namespace kavro;

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const auto sweep = bench::SyntheticSweep(true);
    const SweepAxes axes = AxesOf(sweep);
    const HeatGrid g1 = TargetStopGrid(sweep, axes, sweep[*axes.bestPass].entryHour);
    const HeatGrid g2 = HourTargetGrid(sweep, axes);
    std::printf("sweep %zu passes: grids %zux%zu and %zux%zu\n", sweep.size(), g1.width(), g1.height(),
                g2.width(), g2.height());
    QImage target(1200, 800, QImage::Format_RGB32);
    auto paint = [&](const HeatGrid& g, const QImage* cells) {
        target.fill(Qt::white);
        QPainter p(&target);
        PaintHeatmap(p, QRectF(0, 0, 1200, 800), g, cells, GridCell{10, 10});
    };
    bench::Time("TP x SL heatmap, cells image built, 1200x800", 20, [&] { paint(g1, nullptr); });
    const QImage cells = HeatmapCells(g1);
    bench::Time("TP x SL heatmap, cells image kept (mouse-over)", 20, [&] { paint(g1, &cells); });
    bench::Time("hour x TP heatmap, 1200x800", 20, [&] { paint(g2, nullptr); });
    bench::Time("grid and picture from the pass rows (axes, grid, paint)", 5, [&] {
        const SweepAxes a = AxesOf(sweep);
        paint(TargetStopGrid(sweep, a, sweep[*a.bestPass].entryHour), nullptr);
    });

    std::vector<double> equity(100001);
    Xoshiro256 rng(3);
    for (size_t i = 1; i < equity.size(); ++i)
        equity[i] = equity[i - 1] + (rng.below(100) < 40 ? 60.0 : -35.0);
    Drawdown dd;
    dd.money = 500;
    dd.peakTrade = 1000;
    dd.troughTrade = 2000;
    bench::Time("equity of 100,000 trades, 1200x800", 20, [&] {
        target.fill(Qt::white);
        QPainter p(&target);
        PaintEquity(p, QRectF(0, 0, 1200, 800), equity, dd);
    });
    std::vector<double> profits(10000);
    for (double& v : profits) v = rng.below(100) < 40 ? 60.0 : -35.0;
    const MonteCarloResult mc = RunMonteCarlo(profits);
    bench::Time("Monte Carlo histogram, 1200x800", 20, [&] {
        target.fill(Qt::white);
        QPainter p(&target);
        PaintMonteCarlo(p, QRectF(0, 0, 1200, 800), mc.resampled.finalResult, QStringLiteral("Итог"), 0.1);
    });
    return 0;
}
