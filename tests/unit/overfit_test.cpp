// The probability of backtest overfitting on pass matrices with known answers,
// and the deflated Sharpe ratio against a case worked out step by step.
#include "evaluation/overfit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kavro {
namespace {

BlockResults Matrix(size_t passes, size_t blocks, std::vector<double> cells) {
    return BlockResults{passes, blocks, std::move(cells)};
}

// Noise passes, each block a draw of mean 0; `edge` adds to every block of pass `edgePass`.
BlockResults Noise(size_t passes, size_t blocks, uint32_t seed, size_t edgePass = 0, double edge = 0) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> draw(0, 100);
    BlockResults r{passes, blocks, std::vector<double>(passes * blocks)};
    for (size_t p = 0; p < passes; ++p)
        for (size_t b = 0; b < blocks; ++b) r.cells[p * blocks + b] = draw(gen) + (p == edgePass ? edge : 0);
    return r;
}

TEST(Overfit, AFourBlockCaseWorkedByHand) {
    // Splits {0,1} {0,2} {0,3} {1,2} {1,3} {2,3}. In {0,1} passes 0 and 1 tie in-sample at
    // 1: the later, pass 1, is chosen; out-of-sample it ties pass 0 at 0 below pass 2's 2,
    // mid-rank 1.5 of 3, ω = 1.5 / 4, λ = ln(0.6). In {2,3} pass 2 wins in-sample with 2 and
    // is alone last out-of-sample: rank 1, λ = ln(1/3). The four others choose pass 2 and
    // rank it 2.5: λ = ln(0.625 / 0.375).
    const BlockResults r = Matrix(3, 4,
                                  {1, 0, 0, 0,  //
                                   0, 1, 0, 0,  //
                                   0, 0, 1, 1});
    const OverfitResult o = ComputeOverfit(r, 2);
    EXPECT_EQ(o.combinations, 6);
    const double up = std::log(0.625 / 0.375);
    const std::vector<double> logits = {std::log(0.6), up, up, up, up, std::log(1.0 / 3)};
    ASSERT_EQ(o.logits.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(o.logits[i], logits[i]) << i;
    EXPECT_DOUBLE_EQ(o.pbo, 2.0 / 6);
    EXPECT_EQ(o.probabilityOfLoss, 0);
    EXPECT_EQ(o.inSample, (std::vector<double>{1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(o.outOfSample, (std::vector<double>{0, 1, 1, 1, 1, 0}));
    // Out-of-sample on in-sample: slope −0.8, intercept 1.6 by the normal equations.
    EXPECT_NEAR(o.degradationSlope, -0.8, 1e-12);
    EXPECT_NEAR(o.degradationIntercept, 1.6, 1e-12);
}

TEST(Overfit, NoisePassesAreOverfitAboutHalfTheTimeAndAPlantedEdgeAlmostNever) {
    double noise = 0;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const OverfitResult o = ComputeOverfit(Noise(200, 16, seed));
        EXPECT_EQ(o.combinations, 12870);
        noise += o.pbo / 4;
    }
    // The chance value: a best in-sample pass of pure noise ranks above the median half the time.
    EXPECT_NEAR(noise, 0.5, 0.15);

    const OverfitResult edge = ComputeOverfit(Noise(200, 16, 7, 123, 150));
    EXPECT_LT(edge.pbo, 0.02);
    EXPECT_LT(edge.probabilityOfLoss, 0.02);
    EXPECT_GT(edge.degradationSlope, -1);
}

TEST(Overfit, TheThreadsDoNotChangeTheAnswerAndSmallInputsGiveNone) {
    const BlockResults r = Noise(60, 10, 3);
    const OverfitResult one = ComputeOverfit(r, 1), many = ComputeOverfit(r, 7);
    EXPECT_EQ(one.logits, many.logits);
    EXPECT_EQ(one.pbo, many.pbo);
    EXPECT_EQ(one.combinations, Choose(10, 5));
    EXPECT_EQ(ComputeOverfit(Noise(1, 16, 1)).combinations, 0);   // one pass ranks nothing
    EXPECT_EQ(ComputeOverfit(Noise(10, 5, 1)).combinations, 0);   // an odd number of blocks
    EXPECT_EQ(ComputeOverfit(Noise(10, 22, 1)).combinations, 0);  // more than 20
    JobProgress cancelled;
    cancelled.cancel = true;
    EXPECT_EQ(ComputeOverfit(r, 2, &cancelled).combinations, 0);  // cancelled: nothing
    // Every split is counted however the threads share them (252 in chunks of 126, 36, ...).
    for (unsigned threads : {1u, 2u, 7u}) {
        JobProgress watched;
        EXPECT_EQ(ComputeOverfit(r, threads, &watched).combinations, 252);
        EXPECT_EQ(watched.done.load(), 252) << threads;
    }
    const std::pair<std::pair<int, int>, int64_t> choose[] = {
        {{4, 2}, 6}, {{16, 8}, 12870}, {{20, 10}, 184756}, {{2, 1}, 2}, {{5, 7}, 0}};
    for (const auto& [nk, c] : choose) EXPECT_EQ(Choose(nk.first, nk.second), c);
}

TEST(Overfit, TheLogitHistogramPutsZeroOnTheOverfitSide) {
    // m = 1, edges -1 -0.5 0 0.5 1: left of 0 the bins are (lo, hi], right of it [lo, hi).
    const Histogram h = LogitHistogram({-1, 0, 0.5, 1, -0.5, 0.25}, 4);
    EXPECT_EQ(h.edges, (std::vector<double>{-1, -0.5, 0, 0.5, 1}));
    EXPECT_EQ(h.counts, (std::vector<int64_t>{2, 1, 1, 2}));
    // Nothing but zeros: a unit either side, all of them overfit.
    const Histogram zeros = LogitHistogram({0, 0, 0}, 6);
    EXPECT_EQ(zeros.edges.front(), -1);
    EXPECT_EQ(zeros.counts, (std::vector<int64_t>{0, 0, 3, 0, 0, 0}));
    // The noise case: the left half counts exactly the splits PBO counts.
    const OverfitResult o = ComputeOverfit(Noise(50, 8, 5));
    const Histogram n = LogitHistogram(o.logits);
    int64_t left = 0;
    for (size_t i = 0; i < 10; ++i) left += n.counts[i];
    EXPECT_EQ(static_cast<double>(left) / static_cast<double>(o.combinations), o.pbo);
}

TEST(DeflatedSharpeTest, TheNormalQuantileAgreesWithItsTables) {
    const std::pair<double, double> cases[] = {
        {0.975, 1.9599639845400536}, {0.3, -0.5244005127080407}, {1e-10, -6.361340902404056}, {0.5, 0}};
    for (const auto& [p, x] : cases) EXPECT_NEAR(NormalQuantile(p), x, 1e-14) << p;
    for (double p : {1e-300, 1e-6, 0.02425, 0.2, 0.7, 0.97575, 1 - 1e-12})
        EXPECT_NEAR(NormalCdf(NormalQuantile(p)), p, 1e-14 + 1e-12 * p) << p;
}

TEST(DeflatedSharpeTest, AWorkedExample) {
    // Monthly results 120 −40 75 10 −5 200 −60 30: mean 41.25, sample deviation 87.7
    // (Sharpe per month 0.47569145), population skewness 0.66101607 and kurtosis 2.39389069.
    // Six trials' SR (this one, 0.1, −0.2, 0.05, 0.3, 0): sample variance 0.05620220.
    // SR₀ = √V ((1 − γ) Φ⁻¹(1 − 1/6) + γ Φ⁻¹(1 − 1/(6e))) = 0.30822442, and
    // DSR = Φ((SR − SR₀) √7 / √(1 − γ₃ SR + (γ₄ − 1)/4 SR²)) = 0.69384323.
    const std::vector<double> monthly = {120, -40, 75, 10, -5, 200, -60, 30};
    double mean = 0, ss = 0;
    for (double v : monthly) mean += v / 8;
    for (double v : monthly) ss += (v - mean) * (v - mean);
    const double sr = mean / std::sqrt(ss / 7);
    const std::vector<double> trials = {sr, 0.1, -0.2, 0.05, 0.3, 0.0};
    const DeflatedSharpe d = ComputeDeflatedSharpe(monthly, sr, trials);
    EXPECT_NEAR(d.sharpe, 0.4756914501386164, 1e-15);
    EXPECT_EQ(d.trials, 6);
    EXPECT_EQ(d.months, 8);
    EXPECT_NEAR(d.skewness, 0.6610160730807771, 1e-14);
    EXPECT_NEAR(d.kurtosis, 2.39389069382746, 1e-14);
    EXPECT_NEAR(d.sharpeVariance, 0.05620220178685302, 1e-15);
    EXPECT_NEAR(d.expectedMaxSharpe, 0.3082244228800419, 1e-14);
    ASSERT_TRUE(d.dsr);
    EXPECT_NEAR(*d.dsr, 0.6938432277287849, 1e-13);

    // Undefined below two trials or two months.
    EXPECT_FALSE(ComputeDeflatedSharpe(monthly, sr, std::vector<double>{sr}).dsr);
    EXPECT_FALSE(ComputeDeflatedSharpe(std::vector<double>{5}, 0, trials).dsr);
    // Results that never vary: no skewness or kurtosis, SR 0, and the root is 1.
    const DeflatedSharpe flat = ComputeDeflatedSharpe(std::vector<double>{0, 0, 0}, 0, trials);
    EXPECT_TRUE(std::isnan(flat.skewness));
    ASSERT_TRUE(flat.dsr);
    EXPECT_NEAR(*flat.dsr, NormalCdf(-flat.expectedMaxSharpe * std::sqrt(2.0)), 1e-15);
}

}  // namespace
}  // namespace kavro
