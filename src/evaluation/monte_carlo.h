#pragma once
// Monte Carlo of a run's trades: how the final result and the maximum drawdown
// spread when the order of the trades is luck (shuffled) or the trades themselves
// are (resampled with replacement).
#include <cstdint>
#include <span>
#include <vector>

#include "evaluation/trade_record.h"
#include "platform/job_progress.h"

namespace kavro {

struct MonteCarloOptions {
    int runs = 1000;                  // 1..1,000,000
    uint64_t seed = 1;                // same seed, same figures
    double balance = 10000;           // the money a run starts with, for the risk of ruin
    double ruinLevel = 50;            // % of the balance whose loss is ruin
    int bins = 40;                    // histogram bins, 1..1000
    int threads = 0;                  // 0: every core; the figures do not depend on it
    JobProgress* progress = nullptr;  // counts the runs; cancels; null: nobody watches
};

// Equal-width bins from the smallest to the largest value; a value on an inner
// edge falls in the bin to its right, the largest value in the last bin.
struct Histogram {
    std::vector<double> edges;    // bins + 1 edges, ascending
    std::vector<int64_t> counts;  // runs per bin
};

struct Distribution {
    std::vector<double> values;  // one per run, by run index
    Histogram histogram;
    double p5 = 0, p50 = 0, p95 = 0;  // nearest rank on the sorted runs
    double min = 0, max = 0, mean = 0;
};

// The equity by trade number over the runs: at each of `trades` (0 first, the
// last trade last) the 5, 25, 50, 75 and 95 % points of the runs' equity.
struct EquityFan {
    std::vector<int64_t> trades;
    std::vector<double> p5, p25, p50, p75, p95;
};

struct MonteCarloMethod {
    Distribution finalResult;         // sum of the run's profits
    Distribution maxDrawdown;         // money, >= 0, as in the trade statistics
    double probabilityBelowZero = 0;  // share of runs (0..1) whose final result is < 0
    // Share of runs whose balance plus running equity falls to or below
    // balance x (1 - level / 100) after any trade.
    double riskOfRuin = 0;
    EquityFan fan;
};

struct MonteCarloResult {
    int runs = 0;  // 0 when there was nothing to run
    uint64_t seed = 0;
    int64_t trades = 0;
    double balance = 0, ruinLevel = 0;  // as asked, for the risk of ruin
    MonteCarloMethod shuffled;          // the same trades in a random order (Fisher-Yates)
    MonteCarloMethod resampled;         // as many trades drawn with replacement
    bool cancelled = false;             // stopped through its progress: no figures
    bool empty() const { return runs == 0; }
};

// Runs both methods on the profits (trades whose profit is not a number are left
// out). No trades, or a cancel through the progress, gives an empty result.
MonteCarloResult RunMonteCarlo(std::span<const TradeRecord> trades, const MonteCarloOptions& options = {});
MonteCarloResult RunMonteCarlo(std::span<const double> profits, const MonteCarloOptions& options = {});

// The nearest-rank percentile of ascending values: the value of rank
// ceil(p / 100 * n), at least rank 1. 0 for no values.
double NearestRank(const std::vector<double>& sorted, double percent);

// Histogram of `values` in `bins` equal bins (a single value gets a bin one unit wide around it).
Histogram MakeHistogram(const std::vector<double>& values, int bins);

// The trade numbers the fan is taken at for `trades` trades and `runs` runs:
// 0, then up to 100 more evenly spread to the last trade, fewer when the runs'
// equity at each would take more than 256 MB.
std::vector<int64_t> FanTrades(int64_t trades, int runs);

}  // namespace kavro
