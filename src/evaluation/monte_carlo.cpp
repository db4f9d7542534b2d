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

constexpr int kFanPoints = 100;

// The index of the nearest rank ceil(percent / 100 * n), at least rank 1, among n > 0 values.
size_t RankIndex(size_t n, double percent) {
    double rank = std::ceil(percent / 100.0 * static_cast<double>(n));
    if (!(rank >= 1)) rank = 1;
    if (rank > static_cast<double>(n)) rank = static_cast<double>(n);
    return static_cast<size_t>(rank) - 1;
}
constexpr size_t kFanBudget = size_t{256} << 20;

// What one method's runs leave, each run in its own slots.
struct Outcomes {
    std::vector<double> finals, drawdowns;
    std::vector<uint8_t> ruined;
    std::vector<double> fan;  // point-major: the runs' equity at fan point j from j * runs
    Outcomes(size_t runs, size_t points) : finals(runs), drawdowns(runs), ruined(runs), fan(runs * points) {}
};

// Final result and maximum drawdown of one sequence, walked as the trade
// statistics walk the journal (equity and peak start at 0), and its lowest
// equity after a trade: the balance plus the equity is monotone in the equity,
// so the run reached the ruin line exactly when its lowest point did. The
// untouched balance before the first trade is no such point.
struct Walk {
    double equity = 0, peak = 0, drawdown = 0, low = INFINITY;
    void add(double p) {
        equity += p;
        low = std::min(low, equity);
        if (equity > peak) {
            peak = equity;
        } else if (peak - equity > drawdown) {
            drawdown = peak - equity;
        }
    }
};

// Where a run leaves what it found: its own slot of each list.
struct RunSlot {
    Outcomes& o;
    size_t run;
    double balance, ruinLine;
    void take(const Walk& w) const {
        o.finals[run] = w.equity;
        o.drawdowns[run] = w.drawdown;
        o.ruined[run] = balance + w.low <= ruinLine;
    }
};

// Walks trades 0..n-1 of a run a fan segment at a time, `next(i)` giving trade
// i, and notes the equity at each of the fan's trade numbers.
template <typename Next>
void WalkRun(size_t n, const std::vector<int64_t>& fanTrades, const RunSlot& slot, Next next) {
    Walk w;
    size_t i = 0;
    double* fan = slot.o.fan.data() + slot.run;
    const size_t stride = slot.o.finals.size();
    for (size_t j = 1; j < fanTrades.size(); ++j) {
        for (const size_t end = static_cast<size_t>(fanTrades[j]); i < end; ++i) w.add(next(i));
        fan[j * stride] = w.equity;
    }
    for (; i < n; ++i) w.add(next(i));
    slot.take(w);
}

void ShuffledRun(const std::vector<double>& profits, std::vector<double>& scratch, Xoshiro256& rng,
                 const std::vector<int64_t>& fanTrades, const RunSlot& slot) {
    scratch = profits;
    const size_t n = scratch.size();
    // Fisher-Yates from the front: after step i, element i is settled and can be walked at once.
    WalkRun(n, fanTrades, slot, [&](size_t i) {
        if (i + 1 < n) std::swap(scratch[i], scratch[i + static_cast<size_t>(rng.below(n - i))]);
        return scratch[i];
    });
}

void ResampledRun(const std::vector<double>& profits, Xoshiro256& rng, const std::vector<int64_t>& fanTrades,
                  const RunSlot& slot) {
    const size_t n = profits.size();
    WalkRun(n, fanTrades, slot, [&](size_t) { return profits[static_cast<size_t>(rng.below(n))]; });
}

// The fan's points from the runs' equity at each of its trade numbers: each
// rank found by selection in the part above the one before, not by a sort.
EquityFan MakeFan(const std::vector<int64_t>& trades, std::vector<double>& values, size_t runs) {
    EquityFan f;
    f.trades = trades;
    std::vector<double>* points[] = {&f.p5, &f.p25, &f.p50, &f.p75, &f.p95};
    const double percents[] = {5, 25, 50, 75, 95};
    for (size_t j = 0; j < trades.size(); ++j) {
        double* first = values.data() + j * runs;
        double* from = first;
        for (size_t k = 0; k < 5; ++k) {
            double* at = first + RankIndex(runs, percents[k]);
            std::nth_element(from, at, first + runs);
            points[k]->push_back(*at);
            from = at;
        }
    }
    return f;
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

MonteCarloMethod MakeMethod(Outcomes o, const std::vector<int64_t>& fanTrades, int bins) {
    MonteCarloMethod m;
    const size_t runs = o.finals.size();
    int64_t below = 0, ruined = 0;
    for (double v : o.finals) below += v < 0;
    for (uint8_t r : o.ruined) ruined += r;
    m.probabilityBelowZero = runs == 0 ? 0.0 : static_cast<double>(below) / static_cast<double>(runs);
    m.riskOfRuin = runs == 0 ? 0.0 : static_cast<double>(ruined) / static_cast<double>(runs);
    m.fan = MakeFan(fanTrades, o.fan, runs);
    m.finalResult = Summarise(std::move(o.finals), bins);
    m.maxDrawdown = Summarise(std::move(o.drawdowns), bins);
    return m;
}

}  // namespace

double NearestRank(const std::vector<double>& sorted, double percent) {
    if (sorted.empty()) return 0.0;
    return sorted[RankIndex(sorted.size(), percent)];
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

std::vector<int64_t> FanTrades(int64_t trades, int runs) {
    std::vector<int64_t> out = {0};
    if (trades <= 0 || runs <= 0) return out;
    // Two methods' equity, 8 bytes each, per run and point.
    const int64_t affordable =
        std::max<int64_t>(1, static_cast<int64_t>(kFanBudget / (16 * static_cast<size_t>(runs))) - 1);
    const int64_t points = std::min<int64_t>({trades, kFanPoints, affordable});
    for (int64_t j = 1; j <= points; ++j) out.push_back(j * trades / points);
    return out;
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
    result.balance = options.balance;
    result.ruinLevel = options.ruinLevel;
    const double ruinLine = options.balance * (1 - options.ruinLevel / 100);

    const std::vector<int64_t> fanTrades = FanTrades(result.trades, runs);
    const size_t points = fanTrades.size(), count = static_cast<size_t>(runs);
    Outcomes shuffled(count, points), resampled(count, points);
    const int chunks = (runs + kChunk - 1) / kChunk;
    int threads =
        options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, std::min(kMaxThreads, chunks));
    std::vector<std::vector<double>> scratch(static_cast<size_t>(threads));
    for (auto& s : scratch) s.reserve(profits.size());

    std::atomic<int> nextChunk{0};
    JobProgress* progress = options.progress;
    auto work = [&](std::vector<double>& buffer) {
        for (int c; (c = nextChunk.fetch_add(1)) < chunks;) {
            if (progress && progress->cancel.load(std::memory_order_relaxed)) break;
            const int end = std::min(runs, (c + 1) * kChunk);
            for (int r = c * kChunk; r < end; ++r) {
                const size_t i = static_cast<size_t>(r);
                Xoshiro256 shuffleRng(RunSeed(options.seed, 2 * static_cast<uint64_t>(r)));
                ShuffledRun(profits, buffer, shuffleRng, fanTrades,
                            RunSlot{shuffled, i, options.balance, ruinLine});
                Xoshiro256 resampleRng(RunSeed(options.seed, 2 * static_cast<uint64_t>(r) + 1));
                ResampledRun(profits, resampleRng, fanTrades,
                             RunSlot{resampled, i, options.balance, ruinLine});
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

    result.shuffled = MakeMethod(std::move(shuffled), fanTrades, bins);
    result.resampled = MakeMethod(std::move(resampled), fanTrades, bins);
    return result;
}

}  // namespace kavro
