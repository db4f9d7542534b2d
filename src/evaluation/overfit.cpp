#include "evaluation/overfit.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <numeric>

#include "platform/parallel.h"

namespace kavro {

namespace {

// The Euler-Mascheroni constant, in the expected largest of many Sharpe ratios.
constexpr double kEulerGamma = 0.5772156649015328606;

// The in-sample block sets of S/2 blocks out of S, in lexicographic order, as bit masks.
std::vector<uint32_t> Splits(int s) {
    const int k = s / 2;
    std::vector<int> pick(static_cast<size_t>(k));
    std::iota(pick.begin(), pick.end(), 0);
    std::vector<uint32_t> masks;
    for (;;) {
        uint32_t mask = 0;
        for (int b : pick) mask |= 1u << b;
        masks.push_back(mask);
        int i = k - 1;
        while (i >= 0 && pick[static_cast<size_t>(i)] == s - k + i) --i;
        if (i < 0) break;
        ++pick[static_cast<size_t>(i)];
        for (int j = i + 1; j < k; ++j) pick[static_cast<size_t>(j)] = pick[static_cast<size_t>(j) - 1] + 1;
    }
    return masks;
}

struct SplitOutcome {
    double logit = 0, inSample = 0, outOfSample = 0;
};

// One split: every pass's in-sample and out-of-sample sums in block order, the
// best in-sample pass (the later on ties) and its mid-rank out-of-sample.
SplitOutcome Evaluate(const BlockResults& r, uint32_t mask, std::vector<double>& oos) {
    size_t chosen = 0;
    double bestIs = -INFINITY;
    for (size_t p = 0; p < r.passes; ++p) {
        double is = 0, os = 0;
        for (size_t b = 0; b < r.blocks; ++b) {
            const double v = r.at(p, b);
            if (mask >> b & 1u)
                is += v;
            else
                os += v;
        }
        oos[p] = os;
        if (is >= bestIs) {
            bestIs = is;
            chosen = p;
        }
    }
    const double x = oos[chosen];
    size_t below = 0, equal = 0;
    for (size_t p = 0; p < r.passes; ++p) {
        below += oos[p] < x ? 1 : 0;
        equal += oos[p] == x ? 1 : 0;
    }
    const double rank = static_cast<double>(below) + (static_cast<double>(equal) + 1) / 2;
    const double omega = rank / (static_cast<double>(r.passes) + 1);
    return SplitOutcome{std::log(omega / (1 - omega)), bestIs, x};
}

// Least squares of y on x; NaN when x does not vary.
void Line(const std::vector<double>& x, const std::vector<double>& y, double& slope, double& intercept) {
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
    mx /= n;
    my /= n;
    double sxy = 0, sxx = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    slope = sxx > 0 ? sxy / sxx : NAN;
    intercept = sxx > 0 ? my - slope * mx : NAN;
}

}  // namespace

Histogram LogitHistogram(const std::vector<double>& logits, int bins) {
    Histogram h;
    bins = std::max(2, bins + bins % 2);
    double m = 0;
    for (double v : logits)
        if (std::isfinite(v)) m = std::max(m, std::fabs(v));
    if (!(m > 0)) m = 1;
    const int half = bins / 2;
    h.edges.resize(static_cast<size_t>(bins) + 1);
    for (int i = 0; i <= bins; ++i) h.edges[static_cast<size_t>(i)] = m * (i - half) / half;
    h.counts.assign(static_cast<size_t>(bins), 0);
    const double width = m / half;
    for (double v : logits) {
        if (!std::isfinite(v)) continue;
        long i = std::clamp(static_cast<long>(std::floor((v + m) / width)), 0L, static_cast<long>(bins) - 1);
        auto edge = [&](long k) { return h.edges[static_cast<size_t>(k)]; };
        if (v <= 0) {
            // (lo, hi] on the overfit side; the leftmost bin takes -m too.
            i = std::min(i, static_cast<long>(half) - 1);
            while (i > 0 && v <= edge(i)) --i;
            while (i + 1 < half && v > edge(i + 1)) ++i;
        } else {
            i = std::max(i, static_cast<long>(half));
            while (i + 1 < bins && v >= edge(i + 1)) ++i;
            while (i > half && v < edge(i)) --i;
        }
        ++h.counts[static_cast<size_t>(i)];
    }
    return h;
}

int64_t Choose(int n, int k) {
    if (k < 0 || k > n) return 0;
    int64_t c = 1;
    for (int i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return c;
}

OverfitResult ComputeOverfit(const BlockResults& r, unsigned threads, JobProgress* progress) {
    OverfitResult out;
    out.blocks = r.blocks;
    const int s = static_cast<int>(r.blocks);
    if (r.passes < 2 || s < 2 || s > 20 || s % 2 != 0 || r.cells.size() != r.passes * r.blocks) return out;
    const std::vector<uint32_t> masks = Splits(s);
    const size_t n = masks.size();
    out.combinations = static_cast<int64_t>(n);
    std::vector<SplitOutcome> outcomes(n);
    std::atomic<bool> cancelled{false};
    ForEachChunk(n, threads, [&](size_t from, size_t to) {
        std::vector<double> oos(r.passes);
        for (size_t i = from; i < to; ++i) {
            // A check now and then: one split costs a walk over every pass. Counted
            // from the chunk's start, so that every split of the chunk is counted.
            if (progress && (i - from) % 64 == 0) {
                if (progress->cancel.load(std::memory_order_relaxed)) {
                    cancelled = true;
                    return;
                }
                progress->done.fetch_add(static_cast<int64_t>(std::min<size_t>(64, to - i)),
                                         std::memory_order_relaxed);
            }
            outcomes[i] = Evaluate(r, masks[i], oos);
        }
    });
    if (cancelled) return OverfitResult{};

    size_t overfit = 0, losses = 0;
    for (const SplitOutcome& o : outcomes) {
        out.logits.push_back(o.logit);
        out.inSample.push_back(o.inSample);
        out.outOfSample.push_back(o.outOfSample);
        overfit += o.logit <= 0 ? 1 : 0;
        losses += o.outOfSample < 0 ? 1 : 0;
    }
    out.pbo = static_cast<double>(overfit) / static_cast<double>(n);
    out.probabilityOfLoss = static_cast<double>(losses) / static_cast<double>(n);
    Line(out.inSample, out.outOfSample, out.degradationSlope, out.degradationIntercept);
    return out;
}

double NormalCdf(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

namespace {

// Wichura's algorithm AS 241 (PPND16): a ratio of two polynomials of degree 7 in each of three
// ranges, coefficients from the highest power down.
using Poly7 = std::array<double, 8>;
constexpr Poly7 kCentralNum = {2509.0809287301226727, 33430.575583588128105, 67265.770927008700853,
                               45921.953931549871457, 13731.693765509461125, 1971.5909503065514427,
                               133.14166789178437745, 3.387132872796366608};
constexpr Poly7 kCentralDen = {
    5226.495278852545925,  28729.085735721942674, 39307.89580009271061,  21213.794301586595867,
    5394.1960214247511077, 687.1870074920579083,  42.313330701600911252, 1.0};
constexpr Poly7 kNearNum = {7.7454501427834140764e-4, 0.0227238449892691845833, 0.24178072517745061177,
                            1.27045825245236838258,   3.64784832476320460504,   5.7694972214606914055,
                            4.6303378461565452959,    1.42343711074968357734};
constexpr Poly7 kNearDen = {
    1.05075007164441684324e-9, 5.475938084995344946e-4, 0.0151986665636164571966, 0.14810397642748007459,
    0.68976733498510000455,    1.6763848301838038494,   2.05319162663775882187,   1.0};
constexpr Poly7 kFarNum = {2.01033439929228813265e-7, 2.71155556874348757815e-5, 0.0012426609473880784386,
                           0.026532189526576123093,   0.29656057182850489123,    1.7848265399172913358,
                           5.4637849111641143699,     6.6579046435011037772};
constexpr Poly7 kFarDen = {
    2.04426310338993978564e-15, 1.4215117583164458887e-7, 1.8463183175100546818e-5, 7.868691311456132591e-4,
    0.0148753612908506148525,   0.13692988092273580531,   0.59983220655588793769,   1.0};

// scale · num(r) / den(r), the scale applied before the division as the published algorithm does.
double Ratio(const Poly7& num, const Poly7& den, double r, double scale = 1) {
    double n = 0, d = 0;
    for (size_t i = 0; i < num.size(); ++i) {
        n = n * r + num[i];
        d = d * r + den[i];
    }
    return scale * n / d;
}

}  // namespace

double NormalQuantile(double p) {
    // About 16 digits over the whole range.
    if (!(p > 0 && p < 1)) return p == 0 ? -INFINITY : p == 1 ? INFINITY : NAN;
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) return Ratio(kCentralNum, kCentralDen, 0.180625 - q * q, q);
    const double r = std::sqrt(-std::log(q < 0 ? p : 1 - p));
    const double x = r <= 5 ? Ratio(kNearNum, kNearDen, r - 1.6) : Ratio(kFarNum, kFarDen, r - 5);
    return q < 0 ? -x : x;
}

DeflatedSharpe ComputeDeflatedSharpe(std::span<const double> monthly, double bestSharpe,
                                     std::span<const double> passSharpes) {
    DeflatedSharpe d;
    d.sharpe = bestSharpe;
    d.trials = static_cast<int64_t>(passSharpes.size());
    d.months = static_cast<int64_t>(monthly.size());
    if (d.trials >= 2) {
        const double mean = std::accumulate(passSharpes.begin(), passSharpes.end(), 0.0) / passSharpes.size();
        double ss = 0;
        for (double v : passSharpes) ss += (v - mean) * (v - mean);
        d.sharpeVariance = ss / static_cast<double>(d.trials - 1);
    }
    if (d.months >= 1) {
        const double t = static_cast<double>(d.months);
        const double mean = std::accumulate(monthly.begin(), monthly.end(), 0.0) / t;
        double m2 = 0, m3 = 0, m4 = 0;
        for (double v : monthly) {
            const double e = v - mean;
            m2 += e * e;
            m3 += e * e * e;
            m4 += e * e * e * e;
        }
        m2 /= t;
        m3 /= t;
        m4 /= t;
        // Moments of results that never vary are undefined; they enter nothing then (SR is 0).
        d.skewness = m2 > 0 ? m3 / std::pow(m2, 1.5) : NAN;
        d.kurtosis = m2 > 0 ? m4 / (m2 * m2) : NAN;
    }
    if (d.trials < 2 || d.months < 2) return d;
    const double n = static_cast<double>(d.trials);
    d.expectedMaxSharpe =
        std::sqrt(d.sharpeVariance) * ((1 - kEulerGamma) * NormalQuantile(1 - 1 / n) +
                                       kEulerGamma * NormalQuantile(1 - 1 / (n * std::exp(1.0))));
    const double sr = d.sharpe;
    double root = 1;
    if (sr != 0) root += -d.skewness * sr + (d.kurtosis - 1) / 4 * sr * sr;
    if (!(root > 0)) return d;
    d.dsr = NormalCdf((sr - d.expectedMaxSharpe) * std::sqrt(static_cast<double>(d.months) - 1) /
                      std::sqrt(root));
    return d;
}

}  // namespace kavro
