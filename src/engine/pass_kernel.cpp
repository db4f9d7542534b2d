#include "engine/pass_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kavro {

namespace {

constexpr int32_t kUnknown = -1;

// Floats as integers in the same order, so a monotone predicate can be searched by bisection.
int32_t Ordered(float f) {
    int32_t i;
    std::memcpy(&i, &f, 4);
    return i >= 0 ? i : static_cast<int32_t>(0x80000000u - static_cast<uint32_t>(i));
}
float FromOrdered(int32_t i) {
    const int32_t bits = i >= 0 ? i : static_cast<int32_t>(0x80000000u - static_cast<uint32_t>(i));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Smallest x with float(x - e) >= d, by bisection over all floats (for far-off starting points).
float BisectUp(float e, float d) {
    int64_t lo = Ordered(-std::numeric_limits<float>::infinity());
    int64_t hi = Ordered(std::numeric_limits<float>::infinity());
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (FromOrdered(static_cast<int32_t>(mid)) - e >= d)
            hi = mid;
        else
            lo = mid + 1;
    }
    return FromOrdered(static_cast<int32_t>(lo));
}

// Largest y with float(e - y) >= d, by bisection.
float BisectDown(float e, float d) {
    int64_t lo = Ordered(-std::numeric_limits<float>::infinity());
    int64_t hi = Ordered(std::numeric_limits<float>::infinity());
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo + 1) / 2;
        if (e - FromOrdered(static_cast<int32_t>(mid)) >= d)
            lo = mid;
        else
            hi = mid - 1;
    }
    return FromOrdered(static_cast<int32_t>(lo));
}

// The neighbouring floats of a finite x (the ordered integers of adjacent floats differ by 1).
float Above(float x) {
    return FromOrdered(Ordered(x) + 1);
}
float Below(float x) {
    return FromOrdered(Ordered(x) - 1);
}

// Smallest x with float(x - e) >= d (the take-profit test of a buy, the stop test of a sell).
// Rounding is monotone, so x lies next to e + d: walk from there float by float.
float UpLevel(float e, float d) {
    auto holds = [&](float x) { return x - e >= d; };
    float x = e + d;
    if (!std::isfinite(x)) return BisectUp(e, d);
    for (int i = 0; i < 64 && std::isfinite(x); ++i) {
        if (holds(x)) {
            const float below = Below(x);
            if (!holds(below)) return x;
            x = below;
        } else {
            x = Above(x);
        }
    }
    return BisectUp(e, d);
}

// Largest y with float(e - y) >= d (the stop test of a buy, the take-profit test of a sell).
float DownLevel(float e, float d) {
    auto holds = [&](float y) { return e - y >= d; };
    float y = e - d;
    if (!std::isfinite(y)) return BisectDown(e, d);
    for (int i = 0; i < 64 && std::isfinite(y); ++i) {
        if (holds(y)) {
            const float above = Above(y);
            if (!holds(above)) return y;
            y = above;
        } else {
            y = Below(y);
        }
    }
    return BisectDown(e, d);
}

}  // namespace

void PassKernel::prepare(const QuoteStore& q, const DayMatchTable& table) {
    if (q_ == &q && generation_ == q.generation && tableStamp_ == table.stamp()) return;
    q_ = &q;
    generation_ = q.generation;
    tableStamp_ = table.stamp();
    capacity_ = q.hourCapacity;
    quietBeyond_ = table.quietBeyondData();
    const size_t n = static_cast<size_t>(q.hourBarCount) + 1;

    // A price of 0 or less never counts, so it enters the tables as the value that never reaches a level.
    highs_.resize(n);
    lows_.resize(n);
    for (size_t b = 0; b < n; ++b) {
        const float h = q.hourOhlc[b][QuoteStore::High], l = q.hourOhlc[b][QuoteStore::Low];
        highs_[b] = h > 0 ? h : -std::numeric_limits<float>::infinity();
        lows_[b] = l > 0 ? l : std::numeric_limits<float>::infinity();
    }
    const size_t blocks = (n + kBlock - 1) / kBlock;
    int levels = 1;
    while ((size_t{1} << levels) < blocks) ++levels;
    blockHighMax_.assign(static_cast<size_t>(levels) + 1, {});
    blockLowMin_.assign(static_cast<size_t>(levels) + 1, {});
    blockHighMax_[0].assign(blocks, -std::numeric_limits<float>::infinity());
    blockLowMin_[0].assign(blocks, std::numeric_limits<float>::infinity());
    for (size_t b = 0; b < n; ++b) {
        float& hi = blockHighMax_[0][b / kBlock];
        float& lo = blockLowMin_[0][b / kBlock];
        hi = std::max(hi, highs_[b]);
        lo = std::min(lo, lows_[b]);
    }
    for (int k = 1; k <= levels; ++k) {
        const size_t half = size_t{1} << (k - 1);
        const size_t len = blocks >= (size_t{1} << k) ? blocks - (size_t{1} << k) + 1 : 0;
        auto& hk = blockHighMax_[static_cast<size_t>(k)];
        auto& lk = blockLowMin_[static_cast<size_t>(k)];
        const auto& hp = blockHighMax_[static_cast<size_t>(k) - 1];
        const auto& lp = blockLowMin_[static_cast<size_t>(k) - 1];
        hk.resize(len);
        lk.resize(len);
        for (size_t b = 0; b < len; ++b) {
            hk[b] = std::max(hp[b], hp[b + half]);
            lk[b] = std::min(lp[b], lp[b + half]);
        }
    }

    signalOf_.assign(n, -1);
    signalBars_.clear();
    buyBars_.clear();
    sellBars_.clear();
    for (size_t b = 0; b < n; ++b) {
        const BarDay d = table.at(static_cast<long>(b));
        if (!(d.buy || d.sell)) continue;
        signalOf_[b] = static_cast<int32_t>(signalBars_.size());
        signalBars_.push_back(static_cast<int32_t>(b));
        const float hour = q.hourOfBar[b];
        if (d.buy) buyBars_[hour].push_back(static_cast<int32_t>(b));
        if (d.sell) sellBars_[hour].push_back(static_cast<int32_t>(b));
    }
    columns_.clear();
}

bool PassKernel::covers(long from, long to) const {
    if (q_ == nullptr || from < 0 || to > capacity_ || from > to) return false;
    return to < static_cast<long>(highs_.size()) || quietBeyond_;
}

// First index at or after `from` whose value passes: blocks of growing size are
// skipped while none of their entries passes (exits are mostly near their
// opening, so the small blocks near it decide), then the last block is halved.
template <typename Skip>
long FirstPassingIn(const std::vector<std::vector<float>>& table, long from, Skip skip) {
    const long n = static_cast<long>(table[0].size());
    const int levels = static_cast<int>(table.size()) - 1;
    long i = from;
    int k = 0;
    while (k <= levels && i + (1L << k) <= n && skip(table[static_cast<size_t>(k)][static_cast<size_t>(i)])) {
        i += 1L << k;
        if (k < levels) ++k;
    }
    for (; k >= 0; --k) {
        const long len = 1L << k;
        if (i + len <= n && skip(table[static_cast<size_t>(k)][static_cast<size_t>(i)])) i += len;
    }
    return i;
}

template <typename Skip>
int32_t PassKernel::firstPassing(const std::vector<float>& bars,
                                 const std::vector<std::vector<float>>& blocks, long from, Skip skip) const {
    const long n = static_cast<long>(bars.size());
    // The rest of the first block bar by bar, then whole blocks, then bars again.
    long b = from;
    for (const long end = std::min(n, (from / kBlock + 1) * kBlock); b < end; ++b)
        if (!skip(bars[static_cast<size_t>(b)])) return static_cast<int32_t>(b);
    if (b >= n) return kNever;
    const long block = FirstPassingIn(blocks, b / kBlock, skip);
    for (b = block * kBlock; b < n && b < (block + 1) * kBlock; ++b)
        if (!skip(bars[static_cast<size_t>(b)])) return static_cast<int32_t>(b);
    return kNever;
}

int32_t PassKernel::firstHighAtLeast(long from, float h) const {
    return firstPassing(highs_, blockHighMax_, from, [h](float v) { return v < h; });
}

int32_t PassKernel::firstLowAtMost(long from, float l) const {
    return firstPassing(lows_, blockLowMin_, from, [l](float v) { return v > l; });
}

PassKernel::Column& PassKernel::column(float distance) {
    // Only a missing column changes the map; once filled, lookups are safe from any thread.
    auto found = columns_.find(distance);
    if (found != columns_.end()) return *found->second;
    auto& slot = columns_[distance];
    if (!slot) {
        slot = std::make_unique<Column>();
        slot->up.assign(signalBars_.size(), kUnknown);
        slot->down.assign(signalBars_.size(), kUnknown);
    }
    return *slot;
}

int32_t PassKernel::upHit(Column& c, int32_t signal) {
    int32_t hit = c.up[static_cast<size_t>(signal)];
    if (hit == kUnknown) {
        fillRow(signal);
        hit = c.up[static_cast<size_t>(signal)];
    }
    return hit;
}

int32_t PassKernel::downHit(Column& c, int32_t signal) {
    int32_t hit = c.down[static_cast<size_t>(signal)];
    if (hit == kUnknown) {
        fillRow(signal);
        hit = c.down[static_cast<size_t>(signal)];
    }
    return hit;
}

void PassKernel::fillRow(int32_t signal) {
    // Every distance's two exits of one opening, in one walk over the bars after it:
    // the levels are ordered, so each bar settles the nearest levels it reaches.
    const long bar = signalBars_[static_cast<size_t>(signal)];
    const float e = q_->hourOhlc[static_cast<size_t>(bar)][QuoteStore::Open];
    rowUp_.clear();
    rowDown_.clear();
    for (auto& [d, col] : columns_) {
        int32_t& up = col->up[static_cast<size_t>(signal)];
        int32_t& down = col->down[static_cast<size_t>(signal)];
        if (up == kUnknown) rowUp_.push_back({UpLevel(e, d), &up});
        if (down == kUnknown) {
            const float level = DownLevel(e, d);
            // A low of 0 or less never counts, so a level at or below 0 is never reached.
            if (level > 0)
                rowDown_.push_back({level, &down});
            else
                down = kNever;
        }
    }
    std::sort(rowUp_.begin(), rowUp_.end(),
              [](const Pending& a, const Pending& b) { return a.level < b.level; });
    std::sort(rowDown_.begin(), rowDown_.end(),
              [](const Pending& a, const Pending& b) { return a.level > b.level; });
    constexpr long kWalk = 512;
    const long end = std::min<long>(static_cast<long>(highs_.size()), bar + kWalk);
    const std::vector<float>& highs = highs_;
    const std::vector<float>& lows = lows_;
    size_t u = 0, d = 0;
    for (long c = bar; c < end && (u < rowUp_.size() || d < rowDown_.size()); ++c) {
        const float high = highs[static_cast<size_t>(c)], low = lows[static_cast<size_t>(c)];
        while (u < rowUp_.size() && high >= rowUp_[u].level) *rowUp_[u++].slot = static_cast<int32_t>(c);
        while (d < rowDown_.size() && low <= rowDown_[d].level) *rowDown_[d++].slot = static_cast<int32_t>(c);
    }
    // What the walk did not settle lies beyond it: the range tables find it.
    for (; u < rowUp_.size(); ++u) *rowUp_[u].slot = firstHighAtLeast(end, rowUp_[u].level);
    for (; d < rowDown_.size(); ++d) *rowDown_[d].slot = firstLowAtMost(end, rowDown_[d].level);
}

void PassKernel::ensureColumns(const std::vector<float>& distances) {
    size_t missing = 0;
    for (float d : distances) missing += columns_.count(d) == 0 ? 1 : 0;
    if (missing == 0) return;
    // A very fine grid would fill memory with exits: start the memo afresh instead.
    if (columns_.size() + missing > kMaxColumns) columns_.clear();
    for (float d : distances) column(d);
}

void PassKernel::precompute(const std::vector<float>& distances, long from, long to) {
    ensureColumns(distances);
    auto first = std::lower_bound(signalBars_.begin(), signalBars_.end(), static_cast<int32_t>(from));
    auto last = std::upper_bound(signalBars_.begin(), signalBars_.end(), static_cast<int32_t>(to));
    for (auto it = first; it != last; ++it) {
        const auto s = static_cast<int32_t>(it - signalBars_.begin());
        // One column is enough to tell: a row is filled for every column at once.
        for (auto& [d, col] : columns_) {
            if (col->up[static_cast<size_t>(s)] == kUnknown ||
                col->down[static_cast<size_t>(s)] == kUnknown) {
                fillRow(s);
                break;
            }
        }
    }
}

int32_t PassKernel::directUp(int32_t bar, float e, float d) const {
    return firstHighAtLeast(bar, UpLevel(e, d));
}

int32_t PassKernel::directDown(int32_t bar, float e, float d) const {
    // A low of 0 or less never counts, so a level at or below 0 is never reached.
    const float level = DownLevel(e, d);
    return level > 0 ? firstLowAtMost(bar, level) : kNever;
}

KernelResult PassKernel::run(const KernelSetting& k, long from, long to, ProfitOrder order,
                             KernelScratch& scratch, bool memo) {
    KernelResult r;
    Column* tpColumn = nullptr;
    Column* slColumn = nullptr;
    if (memo) {
        ensureColumns({k.tp, k.tpi});
        tpColumn = &column(k.tp);
        slColumn = &column(k.tpi);
    }

    // One side: open at each signal bar of the hour while flat, close at the first level reached.
    auto side = [&](const std::map<float, std::vector<int32_t>>& bars, bool buy,
                    std::vector<std::pair<int32_t, float>>& events, bool& open, float& entry, bool& touched) {
        events.clear();
        auto found = bars.find(k.entryHour);
        if (found == bars.end()) return;
        const std::vector<int32_t>& list = found->second;
        auto it = std::lower_bound(list.begin(), list.end(), static_cast<int32_t>(from));
        while (it != list.end() && *it <= to) {
            const int32_t c = *it;
            const float e = q_->hourOhlc[static_cast<size_t>(c)][QuoteStore::Open];
            ++r.opened;
            touched = true;
            open = true;
            entry = e;
            // An entry price of 0 or less never closes.
            if (!(e > 0)) return;
            int32_t tpHit, slHit;
            if (memo) {
                const int32_t s = signalOf_[static_cast<size_t>(c)];
                tpHit = buy ? upHit(*tpColumn, s) : downHit(*tpColumn, s);
                slHit = buy ? downHit(*slColumn, s) : upHit(*slColumn, s);
            } else {
                tpHit = buy ? directUp(c, e, k.tp) : directDown(c, e, k.tp);
                slHit = buy ? directDown(c, e, k.tpi) : directUp(c, e, k.tpi);
            }
            const int32_t exit = std::min(tpHit, slHit);
            if (exit > to) return;
            // The take-profit is tested first, so it wins a bar that reaches both levels.
            const bool win = tpHit <= slHit;
            const float amount = win ? k.winAmount : k.lossAmount;
            ++r.closed;
            ++(win ? r.wins : r.losses);
            events.emplace_back(exit, amount);
            open = false;
            entry = 0;
            // A position closed on a bar cannot reopen on it: the next opening comes later.
            while (it != list.end() && *it <= exit) ++it;
        }
    };
    side(buyBars_, true, scratch.buyEvents, r.buyOpen, r.buyEntryPrice, r.buyTouched);
    side(sellBars_, false, scratch.sellEvents, r.sellOpen, r.sellEntryPrice, r.sellTouched);

    // Add the results bar by bar in the pass's own order, rounding to 32 bits after each bar.
    const auto& b = scratch.buyEvents;
    const auto& s = scratch.sellEvents;
    size_t i = 0, j = 0;
    float total = 0;
    while (i < b.size() || j < s.size()) {
        const int32_t bar = std::min(i < b.size() ? b[i].first : kNever, j < s.size() ? s[j].first : kNever);
        const double buy = (i < b.size() && b[i].first == bar) ? b[i++].second : 0.0;
        const double sell = (j < s.size() && s[j].first == bar) ? s[j++].second : 0.0;
        total = order == ProfitOrder::TotalFirst
                    ? static_cast<float>(static_cast<double>(total) + buy + sell)
                    : static_cast<float>((buy + static_cast<double>(total)) + sell);
    }
    r.profit = total;
    return r;
}

}  // namespace kavro
