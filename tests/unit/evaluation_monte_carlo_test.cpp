#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "evaluation/monte_carlo.h"
#include "evaluation/random.h"
#include "evaluation_fixture.h"

namespace kavro {
namespace {

// Twelve trades that sum to 85; the pinned figures below were worked out by a
// separate implementation of the same generator, draw and walk.
const std::vector<double> kProfits = {120, -80, 45, -60, 200, -150, 30, -20, 90, -110, 60, -40};

MonteCarloOptions Options(int runs, uint64_t seed, int threads) {
    MonteCarloOptions o;
    o.runs = runs;
    o.seed = seed;
    o.threads = threads;
    return o;
}

TEST(Random, SplitMixAndXoshiroGiveTheirPublishedStreams) {
    SplitMix64 sm(0);
    EXPECT_EQ(sm.next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(sm.next(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(sm.next(), 0x06C45D188009454Full);
    Xoshiro256 x(42);
    EXPECT_EQ(x.next(), 1546998764402558742ull);
    EXPECT_EQ(x.next(), 6990951692964543102ull);
    EXPECT_EQ(x.next(), 12544586762248559009ull);
}

TEST(Random, BoundedDrawsStayInRangeWithoutBias) {
    Xoshiro256 pinned(7);
    const std::vector<uint64_t> expected = {4, 1, 5, 5, 5, 5, 0, 0, 2, 0, 3, 4};
    for (uint64_t e : expected) EXPECT_EQ(pinned.below(6), e);

    Xoshiro256 x(99);
    std::vector<int> counts(6, 0);
    for (int i = 0; i < 60000; ++i) {
        const uint64_t v = x.below(6);
        ASSERT_LT(v, 6u);
        ++counts[v];
    }
    for (int c : counts) EXPECT_NEAR(c, 10000, 400);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(x.below(1), 0u);
    const uint64_t huge = (uint64_t{1} << 63) + 1;  // rejects almost half the raw draws
    for (int i = 0; i < 100; ++i) EXPECT_LT(x.below(huge), huge);
}

TEST(NearestRank, PicksTheRankAtOrAboveTheShare) {
    std::vector<double> ten(10);
    std::iota(ten.begin(), ten.end(), 1.0);
    EXPECT_EQ(NearestRank(ten, 5), 1);
    EXPECT_EQ(NearestRank(ten, 50), 5);
    EXPECT_EQ(NearestRank(ten, 95), 10);
    EXPECT_EQ(NearestRank(ten, 0), 1);
    EXPECT_EQ(NearestRank(ten, 100), 10);
    std::vector<double> twenty(20);
    std::iota(twenty.begin(), twenty.end(), 1.0);
    EXPECT_EQ(NearestRank(twenty, 5), 1);
    EXPECT_EQ(NearestRank(twenty, 95), 19);
    EXPECT_EQ(NearestRank({7}, 95), 7);
    EXPECT_EQ(NearestRank({}, 50), 0);
}

TEST(MakeHistogram, EqualBinsWithTheLargestValueInTheLast) {
    const Histogram h = MakeHistogram({0, 1, 2, 3, 4}, 4);
    EXPECT_EQ(h.edges, (std::vector<double>{0, 1, 2, 3, 4}));
    EXPECT_EQ(h.counts, (std::vector<int64_t>{1, 1, 1, 2}));
    // One value throughout: a bin one unit wide around it, the value on the inner edge goes right.
    const Histogram one = MakeHistogram({5, 5, 5}, 2);
    EXPECT_EQ(one.edges, (std::vector<double>{4.5, 5, 5.5}));
    EXPECT_EQ(one.counts, (std::vector<int64_t>{0, 3}));
    EXPECT_TRUE(MakeHistogram({}, 40).counts.empty());
    // Bins outside 1..1000 are brought into it.
    EXPECT_EQ(MakeHistogram({1, 2}, 0).counts.size(), 1u);
}

TEST(MonteCarlo, PinnedOnAFixedSeed) {
    const MonteCarloResult r = RunMonteCarlo(kProfits, Options(200, 12345, 1));
    ASSERT_EQ(r.runs, 200);
    EXPECT_EQ(r.trades, 12);
    EXPECT_EQ(r.seed, 12345u);
    // Shuffling keeps the sum: only the path, and so the drawdown, changes.
    EXPECT_EQ(r.shuffled.finalResult.p5, 85);
    EXPECT_EQ(r.shuffled.finalResult.p95, 85);
    EXPECT_EQ(r.shuffled.probabilityBelowZero, 0);
    EXPECT_EQ(r.shuffled.maxDrawdown.p5, 170);
    EXPECT_EQ(r.shuffled.maxDrawdown.p50, 260);
    EXPECT_EQ(r.shuffled.maxDrawdown.p95, 400);
    EXPECT_EQ(r.resampled.finalResult.p5, -545);
    EXPECT_EQ(r.resampled.finalResult.p50, 40);
    EXPECT_EQ(r.resampled.finalResult.p95, 700);
    EXPECT_DOUBLE_EQ(r.resampled.probabilityBelowZero, 0.45);
    EXPECT_EQ(r.resampled.maxDrawdown.p5, 115);
    EXPECT_EQ(r.resampled.maxDrawdown.p50, 270);
    EXPECT_EQ(r.resampled.maxDrawdown.p95, 570);
    const std::vector<double> firstShuffledDd = {250, 220, 260}, firstResampled = {-185, -90, -200},
                              firstResampledDd = {440, 360, 340};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.shuffled.maxDrawdown.values[i], firstShuffledDd[i]);
        EXPECT_EQ(r.resampled.finalResult.values[i], firstResampled[i]);
        EXPECT_EQ(r.resampled.maxDrawdown.values[i], firstResampledDd[i]);
    }
}

TEST(MonteCarlo, SameFiguresWhateverTheThreads) {
    const MonteCarloResult one = RunMonteCarlo(kProfits, Options(1001, 77, 1));
    for (int threads : {2, 3, 8}) {
        SCOPED_TRACE(threads);
        const MonteCarloResult many = RunMonteCarlo(kProfits, Options(1001, 77, threads));
        EXPECT_EQ(many.shuffled.maxDrawdown.values, one.shuffled.maxDrawdown.values);
        EXPECT_EQ(many.resampled.finalResult.values, one.resampled.finalResult.values);
        EXPECT_EQ(many.resampled.maxDrawdown.values, one.resampled.maxDrawdown.values);
        EXPECT_EQ(many.resampled.finalResult.histogram.counts, one.resampled.finalResult.histogram.counts);
        EXPECT_EQ(many.resampled.probabilityBelowZero, one.resampled.probabilityBelowZero);
    }
    // Another seed draws other trades.
    EXPECT_NE(RunMonteCarlo(kProfits, Options(1001, 78, 1)).resampled.finalResult.values,
              one.resampled.finalResult.values);
}

TEST(MonteCarlo, SummariesAgreeWithTheRuns) {
    const MonteCarloResult r = RunMonteCarlo(kProfits, Options(500, 3, 0));
    for (const Distribution* d :
         {&r.resampled.finalResult, &r.resampled.maxDrawdown, &r.shuffled.maxDrawdown}) {
        EXPECT_EQ(std::accumulate(d->histogram.counts.begin(), d->histogram.counts.end(), int64_t{0}), 500);
        EXPECT_EQ(d->histogram.edges.front(), d->min);
        EXPECT_EQ(d->histogram.edges.back(), d->max);
        EXPECT_TRUE(d->min <= d->p5 && d->p5 <= d->p50 && d->p50 <= d->p95 && d->p95 <= d->max);
    }
    // A shuffled run's drawdown is never less than the largest single loss.
    EXPECT_GE(r.shuffled.maxDrawdown.min, 150);
}

TEST(MonteCarlo, ProgressCountsTheRunsAndACancelStopsThem) {
    JobProgress watched;
    MonteCarloOptions o = Options(1001, 5, 2);
    o.progress = &watched;
    const MonteCarloResult done = RunMonteCarlo(kProfits, o);
    EXPECT_EQ(watched.done.load(), 1001);
    EXPECT_FALSE(done.cancelled);
    // Watching changes no figure.
    EXPECT_EQ(done.resampled.finalResult.values,
              RunMonteCarlo(kProfits, Options(1001, 5, 2)).resampled.finalResult.values);

    JobProgress cancelled;
    cancelled.cancel = true;
    o.progress = &cancelled;
    const MonteCarloResult stopped = RunMonteCarlo(kProfits, o);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.empty());
    EXPECT_TRUE(stopped.resampled.finalResult.values.empty());
    EXPECT_EQ(cancelled.done.load(), 0);
}

TEST(MonteCarlo, BadInputGivesAnEmptyOrPlainResult) {
    EXPECT_TRUE(RunMonteCarlo(std::vector<double>{}).empty());
    EXPECT_TRUE(RunMonteCarlo(std::vector<TradeRecord>{}).empty());
    EXPECT_TRUE(RunMonteCarlo(kProfits, Options(0, 1, 1)).empty());
    EXPECT_TRUE(RunMonteCarlo(std::vector<double>{std::nan("")}).empty());

    const MonteCarloResult one = RunMonteCarlo(std::vector<double>{-25}, Options(10, 1, 2));
    EXPECT_EQ(one.resampled.finalResult.p50, -25);
    EXPECT_EQ(one.shuffled.maxDrawdown.p95, 25);
    EXPECT_EQ(one.resampled.probabilityBelowZero, 1);

    const MonteCarloResult trades = RunMonteCarlo(testing::ProfitTrades({10, 10, 10}), Options(10, 1, 2));
    EXPECT_EQ(trades.trades, 3);
    EXPECT_EQ(trades.resampled.finalResult.min, 30);
    EXPECT_EQ(trades.resampled.maxDrawdown.max, 0);
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

MonteCarloOptions Ruin(int runs, double balance, double level) {
    MonteCarloOptions o = Options(runs, 9, 2);
    o.balance = balance;
    o.ruinLevel = level;
    return o;
}

TEST(MonteCarlo, RiskOfRuinCountsRunsThatReachTheLine) {
    // Balance 100, level 50: the line is 50. -50 alone reaches it exactly ("to or below").
    const MonteCarloResult exact = RunMonteCarlo(std::vector<double>{-50}, Ruin(20, 100, 50));
    EXPECT_EQ(exact.shuffled.riskOfRuin, 1);
    EXPECT_EQ(exact.resampled.riskOfRuin, 1);
    EXPECT_EQ(exact.balance, 100);
    EXPECT_EQ(exact.ruinLevel, 50);
    // -60 and -10 at level 80 (line 20): shuffled always ends at 30, above it; resampled
    // is ruined only by drawing -60 twice, a quarter of the runs.
    const MonteCarloResult two = RunMonteCarlo(std::vector<double>{-60, -10}, Ruin(4000, 100, 80));
    EXPECT_EQ(two.shuffled.riskOfRuin, 0);
    EXPECT_NEAR(two.resampled.riskOfRuin, 0.25, 0.03);
    // A run that falls through the line and climbs back is ruined all the same.
    const MonteCarloResult back = RunMonteCarlo(std::vector<double>{-60, 200}, Ruin(2000, 100, 50));
    EXPECT_NEAR(back.shuffled.riskOfRuin, 0.5, 0.05);
    EXPECT_EQ(back.shuffled.finalResult.min, 140);
    // Level 0: the line is the balance itself, reached only by a trade that leaves the
    // equity at or below 0; the balance before the first trade does not count.
    const MonteCarloResult gains = RunMonteCarlo(std::vector<double>{10, 20}, Ruin(50, 100, 0));
    EXPECT_EQ(gains.shuffled.riskOfRuin, 0);
    EXPECT_EQ(gains.resampled.riskOfRuin, 0);
    const MonteCarloResult dip = RunMonteCarlo(std::vector<double>{-10, 30}, Ruin(2000, 100, 0));
    EXPECT_NEAR(dip.shuffled.riskOfRuin, 0.5, 0.05);
}

TEST(MonteCarlo, TheFanFollowsTheRunsTradeByTrade) {
    EXPECT_EQ(FanTrades(5, 10), (std::vector<int64_t>{0, 1, 2, 3, 4, 5}));
    const std::vector<int64_t> hundred = FanTrades(1000, 1000);
    ASSERT_EQ(hundred.size(), 101u);
    EXPECT_EQ(hundred[1], 10);
    EXPECT_EQ(hundred.back(), 1000);
    // A million runs keep the fan within its memory: fewer points, still to the last trade.
    const std::vector<int64_t> many = FanTrades(1000, 1000000);
    EXPECT_EQ(many.size(), 16u);
    EXPECT_EQ(many.back(), 1000);
    EXPECT_EQ(FanTrades(0, 10), (std::vector<int64_t>{0}));

    const MonteCarloResult r = RunMonteCarlo(kProfits, Options(300, 4, 2));
    for (const MonteCarloMethod* m : {&r.shuffled, &r.resampled}) {
        const EquityFan& f = m->fan;
        ASSERT_EQ(f.trades, FanTrades(12, 300));
        ASSERT_EQ(f.p50.size(), 13u);
        EXPECT_EQ(f.p5.front(), 0);
        EXPECT_EQ(f.p95.front(), 0);
        for (size_t j = 0; j < f.trades.size(); ++j)
            EXPECT_TRUE(f.p5[j] <= f.p25[j] && f.p25[j] <= f.p50[j] && f.p50[j] <= f.p75[j] &&
                        f.p75[j] <= f.p95[j])
                << j;
        // At the last trade the fan is the final result's spread.
        EXPECT_EQ(f.p5.back(), m->finalResult.p5);
        EXPECT_EQ(f.p50.back(), m->finalResult.p50);
        EXPECT_EQ(f.p95.back(), m->finalResult.p95);
    }
    // The first trade of a shuffled run is any of the twelve: the fan spans the largest loss and gain.
    EXPECT_EQ(r.shuffled.fan.p5[1], -150);
    EXPECT_EQ(r.shuffled.fan.p95[1], 200);
    EXPECT_EQ(r.shuffled.fan.p50.back(), 85);
}

}  // namespace
}  // namespace kavro
