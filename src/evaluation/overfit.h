#pragma once
// Is the best setting luck: the probability of backtest overfitting and the deflated Sharpe ratio.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "evaluation/monte_carlo.h"

namespace kavro {

// Every pass's result split into S contiguous blocks of the run's interval:
// row p, column b is pass p's result in block b (64-bit sums in trade order).
struct BlockResults {
    size_t passes = 0, blocks = 0;
    std::vector<double> cells;  // passes x blocks, row by row

    double at(size_t pass, size_t block) const { return cells[pass * blocks + block]; }
};

// Combinatorially symmetric cross-validation over the block results: for every
// way to pick S/2 blocks as in-sample, the pass best in-sample (ties: the later
// pass), its out-of-sample rank among all passes (ties at their mid-rank, 1 the
// worst), ω = rank / (N + 1) and the logit λ = ln(ω / (1 − ω)).
struct OverfitResult {
    size_t blocks = 0;
    int64_t combinations = 0;
    double pbo = 0;                // share of splits with λ <= 0
    double probabilityOfLoss = 0;  // share of splits where the chosen pass loses out-of-sample
    double degradationSlope = 0, degradationIntercept = 0;  // out-of-sample on in-sample, least squares
    std::vector<double> logits;                             // one per split, in split order
    std::vector<double> inSample, outOfSample;              // the chosen pass's results, one per split
};

// Splits are taken in lexicographic order of their in-sample block sets. S must
// be even, 2..20; with fewer than two passes nothing is ranked (combinations 0).
// Runs on `threads` threads (0: every core); the result does not depend on it.
// `progress` counts splits; a cancel through it gives an empty result.
OverfitResult ComputeOverfit(const BlockResults& results, unsigned threads = 0,
                             JobProgress* progress = nullptr);

// The logits in `bins` (even) equal bins over [-m, m], m the largest |λ| (1
// when all are 0), so that 0 is the middle edge: a bin left of it holds
// (lo, hi], one right of it [lo, hi), and the left half counts exactly the
// splits PBO counts as overfit.
Histogram LogitHistogram(const std::vector<double>& logits, int bins = 20);

// The number of ways to choose k of n.
int64_t Choose(int n, int k);

// The standard normal distribution function and its inverse (p in (0, 1)).
double NormalCdf(double x);
double NormalQuantile(double p);

// The deflated Sharpe ratio of the best pass among `trials`, from its monthly
// results: SR its monthly Sharpe / √12 (per month), γ₃ and γ₄ the skewness and
// (non-excess) kurtosis of its monthly results (population moments), V the
// sample variance of every pass's SR.
struct DeflatedSharpe {
    double sharpe = 0;          // SR per month
    int64_t trials = 0;         // N
    double sharpeVariance = 0;  // V
    double skewness = 0, kurtosis = 0;
    int64_t months = 0;            // T
    double expectedMaxSharpe = 0;  // SR₀
    std::optional<double> dsr;     // empty when N < 2, T < 2 or the root's argument <= 0
};
// `bestMonthly`: the best pass's monthly results; `passSharpes`: every pass's SR
// (a pass without trades has 0); `bestSharpe`: the best pass's SR.
DeflatedSharpe ComputeDeflatedSharpe(std::span<const double> bestMonthly, double bestSharpe,
                                     std::span<const double> passSharpes);

}  // namespace kavro
