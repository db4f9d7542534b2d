// The evaluation on synthetic runs of the sizes users reach: statistics of 100,000
// trades, Monte Carlo of 1,000 runs x 10,000 trades, the heatmap grids and
// passes.csv of a 5-million-pass sweep. Usage: evaluation_bench
#include <filesystem>
#include <thread>

#include "bench_util.h"
#include "evaluation/export.h"
#include "evaluation/heatmap.h"
#include "evaluation/monte_carlo.h"
#include "evaluation/random.h"
#include "evaluation/trade_stats.h"
#include "synthetic_sweep.h"

using namespace kavro;

namespace {

// Whole-money trades a day apart, a little more won than lost.
std::vector<TradeRecord> Trades(size_t n) {
    std::vector<TradeRecord> trades(n);
    Xoshiro256 rng(2024);
    Date day{2000, 1, 3};
    for (size_t i = 0; i < n; ++i) {
        TradeRecord& t = trades[i];
        t.side = rng.below(2) ? TradeSide::Buy : TradeSide::Sell;
        t.profit = static_cast<float>(static_cast<int64_t>(rng.below(401)) - 190);
        t.entryDate = day;
        DateFromParts(day.year, day.month, day.day + 1 + static_cast<long>(rng.below(3)), day);
        t.exitDate = day;
        t.entryPrice = 1.1f;
        t.exitPrice = 1.1f;
    }
    return trades;
}

}  // namespace

int main() {
    std::printf("cores: %u\n", std::thread::hardware_concurrency());
    const auto trades = Trades(100000);
    TradeStats stats;
    bench::Time("statistics, 100,000 trades", 20, [&] { stats = ComputeTradeStats(trades); });
    std::printf("  net %.0f, drawdown %.0f, months %zu\n", stats.netResult, stats.maxDrawdown.money,
                stats.months.size());

    const std::vector<TradeRecord> tenThousand(trades.begin(), trades.begin() + 10000);
    MonteCarloResult mc;
    bench::Time("Monte Carlo, 1,000 runs x 10,000 trades, all cores", 10,
                [&] { mc = RunMonteCarlo(tenThousand); });
    MonteCarloOptions one;
    one.threads = 1;
    bench::Time("Monte Carlo, 1,000 runs x 10,000 trades, 1 thread", 5,
                [&] { mc = RunMonteCarlo(tenThousand, one); });
    std::printf("  resampled final p5 %.0f p50 %.0f p95 %.0f, P(<0) %.3f\n", mc.resampled.finalResult.p5,
                mc.resampled.finalResult.p50, mc.resampled.finalResult.p95,
                mc.resampled.probabilityBelowZero);

    const auto sweep = bench::SyntheticSweep(false);
    std::printf("sweep: %zu passes, %zu bytes a pass\n", sweep.size(), sizeof(PassRow));
    SweepAxes axes;
    bench::Time("sweep axes, 5M passes", 10, [&] { axes = AxesOf(sweep); });
    HeatGrid g1, g2;
    bench::Time("TP x SL grid of the best hour, 5M passes", 10, [&] { g1 = TargetStopGrid(sweep, axes, 9); });
    bench::Time("hour x TP grid, 5M passes", 10, [&] { g2 = HourTargetGrid(sweep, axes); });
    bench::Time("both grids from nothing (axes, best pass, grids)", 5, [&] {
        g1 = TargetStopGrid(sweep);
        g2 = HourTargetGrid(sweep, AxesOf(sweep));
    });
    std::printf("  grids %zux%zu and %zux%zu, best %g at hour %g\n", g1.width(), g1.height(), g2.width(),
                g2.height(), g1.bestValue, g1.hour);

    const std::string dir = std::filesystem::temp_directory_path() / "kavro-evaluation-bench";
    EvaluationExport data;
    data.passes = sweep;
    std::string error;
    bench::Time("export with passes.csv of 5M passes", 5, [&] {
        if (!ExportEvaluation(dir, data, error)) std::printf("  export failed: %s\n", error.c_str());
    });
    std::printf("  passes.csv %ju bytes\n",
                static_cast<uintmax_t>(std::filesystem::file_size(dir + "/passes.csv")));
    std::filesystem::remove_all(dir);
    return 0;
}
