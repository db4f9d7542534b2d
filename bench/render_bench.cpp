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

#include "evaluation/random.h"
#include "evaluation/render/evaluation_render.h"

using namespace kavro;

namespace {

void Time(const char* what, int runs, const std::function<void()>& f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s min %8.2f ms   median %8.2f ms   (%d runs)\n", what, ms.front(), ms[ms.size() / 2],
                runs);
}

// The full sweep's order with a plateau of good settings around hour 9.
std::vector<PassRow> Sweep() {
    std::vector<PassRow> rows;
    rows.reserve(24 * 460 * 453);
    Xoshiro256 rng(7);
    for (int tp = 460; tp >= 1; --tp)
        for (int hour = 0; hour < 24; ++hour)
            for (int sl = 1; sl <= 453; ++sl) {
                const double plateau =
                    std::exp(-std::pow((tp - 200) / 90.0, 2) - std::pow((sl - 150) / 120.0, 2) -
                             std::pow((hour - 9) / 5.0, 2));
                rows.push_back({static_cast<float>(hour), static_cast<float>(tp * 5),
                                static_cast<float>(sl * 5),
                                static_cast<float>(std::round(3000 * plateau - 1200 + rng.below(600)))});
            }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const auto sweep = Sweep();
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
    Time("TP x SL heatmap, cells image built, 1200x800", 20, [&] { paint(g1, nullptr); });
    const QImage cells = HeatmapCells(g1);
    Time("TP x SL heatmap, cells image kept (mouse-over)", 20, [&] { paint(g1, &cells); });
    Time("hour x TP heatmap, 1200x800", 20, [&] { paint(g2, nullptr); });
    Time("grid and picture from the pass rows (axes, grid, paint)", 5, [&] {
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
    Time("equity of 100,000 trades, 1200x800", 20, [&] {
        target.fill(Qt::white);
        QPainter p(&target);
        PaintEquity(p, QRectF(0, 0, 1200, 800), equity, dd);
    });
    std::vector<double> profits(10000);
    for (double& v : profits) v = rng.below(100) < 40 ? 60.0 : -35.0;
    const MonteCarloResult mc = RunMonteCarlo(profits);
    Time("Monte Carlo histogram, 1200x800", 20, [&] {
        target.fill(Qt::white);
        QPainter p(&target);
        PaintMonteCarlo(p, QRectF(0, 0, 1200, 800), mc.resampled.finalResult, QStringLiteral("Итог"), 0.1);
    });
    return 0;
}
