#include "evaluation/monte_carlo.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>

#include "evaluation/random.h"

namespace kavro {

namespace {

constexpr int kMaxRuns = 1000000;
constexpr int kMaxBins = 1000;
constexpr int kMaxThreads = 64;
// Runs a worker takes at a time; the split never changes a figure, since every
// run has its own stream and writes to its own slot.
constexpr int kChunk = 8;

// Final result and maximum drawdown of one sequence, walked as the trade
// statistics walk the journal (equity and peak start at 0).
struct Walk {
    double equity = 0, peak = 0, drawdown = 0;
    void add(double p) {
        equity += p;
        if (equity > peak)
            peak = equity;
        else if (peak - equity > drawdown)
            drawdown = peak - equity;
    }
};

void ShuffledRun(const std::vector<double>& profits, std::vector<double>& scratch, Xoshiro256& rng,
                 double& final, double& drawdown) {
    scratch = profits;
    const size_t n = scratch.size();
    Walk w;
    // Fisher-Yates from the front: after step i, element i is settled and can be walked at once.
    for (size_t i = 0; i + 1 < n; ++i) {
        const size_t j = i + static_cast<size_t>(rng.below(n - i));
        std::swap(scratch[i], scratch[j]);
        w.add(scratch[i]);
    }
    w.add(scratch[n - 1]);
    final = w.equity;
    drawdown = w.drawdown;
}

void ResampledRun(const std::vector<double>& profits, Xoshiro256& rng, double& final, double& drawdown) {
    const size_t n = profits.size();
    Walk w;
    for (size_t k = 0; k < n; ++k) w.add(profits[static_cast<size_t>(rng.below(n))]);
    final = w.equity;
    drawdown = w.drawdown;
}

Distribution Summarise(std::vector<double> values, int bins) {
    Distribution d;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    d.p5 = NearestRank(sorted, 5);
    d.p50 = NearestRank(sorted, 50);
    d.p95 = NearestRank(sorted, 95);
    if (!sorted.empty()) {
        d.min = sorted.front();
        d.max = sorted.back();
        double sum = 0;
        for (double v : sorted) sum += v;
        d.mean = sum / static_cast<double>(sorted.size());
    }
    d.histogram = MakeHistogram(sorted, bins);
    d.values = std::move(values);
    return d;
}

MonteCarloMethod MakeMethod(std::vector<double> finals, std::vector<double> drawdowns, int bins) {
    MonteCarloMethod m;
    int64_t below = 0;
    for (double v : finals) below += v < 0;
    m.probabilityBelowZero =
        finals.empty() ? 0.0 : static_cast<double>(below) / static_cast<double>(finals.size());
    m.finalResult = Summarise(std::move(finals), bins);
    m.maxDrawdown = Summarise(std::move(drawdowns), bins);
    return m;
}

}  // namespace

double NearestRank(const std::vector<double>& sorted, double percent) {
    if (sorted.empty()) return 0.0;
    const double n = static_cast<double>(sorted.size());
    double rank = std::ceil(percent / 100.0 * n);
    if (!(rank >= 1)) rank = 1;
    if (rank > n) rank = n;
    return sorted[static_cast<size_t>(rank) - 1];
}

Histogram MakeHistogram(const std::vector<double>& values, int bins) {
    Histogram h;
    if (values.empty()) return h;
    bins = std::clamp(bins, 1, kMaxBins);
    double lo = values[0], hi = values[0];
    for (double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (!(hi > lo)) {
        lo -= 0.5;
        hi += 0.5;
    }
    h.edges.resize(static_cast<size_t>(bins) + 1);
    for (int i = 0; i <= bins; ++i) h.edges[static_cast<size_t>(i)] = lo + (hi - lo) * i / bins;
    h.edges.back() = hi;
    h.counts.assign(static_cast<size_t>(bins), 0);
    const double width = (hi - lo) / bins;
    for (double v : values) {
        long i = static_cast<long>(std::floor((v - lo) / width));
        i = std::clamp(i, 0L, static_cast<long>(bins) - 1);
        // Division rounding must not move a value across an edge.
        while (i + 1 < bins && v >= h.edges[static_cast<size_t>(i) + 1]) ++i;
        while (i > 0 && v < h.edges[static_cast<size_t>(i)]) --i;
        ++h.counts[static_cast<size_t>(i)];
    }
    return h;
}

MonteCarloResult RunMonteCarlo(std::span<const TradeRecord> trades, const MonteCarloOptions& options) {
    std::vector<double> profits;
    profits.reserve(trades.size());
    for (const TradeRecord& t : trades)
        if (std::isfinite(t.profit)) profits.push_back(t.profit);
    return RunMonteCarlo(profits, options);
}

MonteCarloResult RunMonteCarlo(std::span<const double> input, const MonteCarloOptions& options) {
    MonteCarloResult result;
    std::vector<double> profits;
    profits.reserve(input.size());
    for (double p : input)
        if (std::isfinite(p)) profits.push_back(p);
    if (profits.empty() || options.runs < 1) return result;
    const int runs = std::min(options.runs, kMaxRuns);
    const int bins = std::clamp(options.bins, 1, kMaxBins);
    result.runs = runs;
    result.seed = options.seed;
    result.trades = static_cast<int64_t>(profits.size());

    std::vector<double> shuffledFinal(runs), shuffledDd(runs), resampledFinal(runs), resampledDd(runs);
    const int chunks = (runs + kChunk - 1) / kChunk;
    int threads =
        options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, std::min(kMaxThreads, chunks));
    std::vector<std::vector<double>> scratch(static_cast<size_t>(threads));
    for (auto& s : scratch) s.reserve(profits.size());

    std::atomic<int> nextChunk{0};
    MonteCarloProgress* progress = options.progress;
    auto work = [&](std::vector<double>& buffer) {
        for (int c; (c = nextChunk.fetch_add(1)) < chunks;) {
            if (progress && progress->cancel.load(std::memory_order_relaxed)) break;
            const int end = std::min(runs, (c + 1) * kChunk);
            for (int r = c * kChunk; r < end; ++r) {
                const size_t i = static_cast<size_t>(r);
                Xoshiro256 shuffleRng(RunSeed(options.seed, 2 * static_cast<uint64_t>(r)));
                ShuffledRun(profits, buffer, shuffleRng, shuffledFinal[i], shuffledDd[i]);
                Xoshiro256 resampleRng(RunSeed(options.seed, 2 * static_cast<uint64_t>(r) + 1));
                ResampledRun(profits, resampleRng, resampledFinal[i], resampledDd[i]);
            }
            if (progress) progress->done.fetch_add(end - c * kChunk, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(work, std::ref(scratch[static_cast<size_t>(t)]));
        } catch (const std::system_error&) {
            break;  // a thread that cannot start leaves its share to the others
        }
    }
    work(scratch[0]);
    for (auto& t : pool) t.join();
    if (progress && progress->cancel.load()) {
        MonteCarloResult cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }

    result.shuffled = MakeMethod(std::move(shuffledFinal), std::move(shuffledDd), bins);
    result.resampled = MakeMethod(std::move(resampledFinal), std::move(resampledDd), bins);
    return result;
}

}  // namespace kavro
