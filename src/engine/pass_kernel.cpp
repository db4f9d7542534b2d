#include "engine/pass_kernel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

namespace kavro {

namespace {

// Records followed one by one before the block tables take over (a steady trend
// makes long chains of small new highs).
constexpr int kChainSteps = 32;

// While whole-number results (as the money results are) add up to at most this
// in absolute value, every running total is a whole number a float holds
// exactly, and the order of the additions cannot change the result.
constexpr double kExactTotal = 16777216.0;  // 2^24

// Finds x in a sorted list, trying the last place and the one after it first.
[[gnu::always_inline]] inline bool FindSorted(const std::vector<float>& v, float x, size_t& at) {
    if (at < v.size() && v[at] == x) return true;
    if (at + 1 < v.size() && v[at + 1] == x) {
        ++at;
        return true;
    }
    const auto it = std::lower_bound(v.begin(), v.end(), x);
    if (it == v.end() || !(*it == x)) return false;
    at = static_cast<size_t>(it - v.begin());
    return true;
}

// The signal bars of a list within from..to: the first one's index and their count.
std::pair<size_t, size_t> BarsWithin(const std::vector<int32_t>& bars, long from, long to) {
    const auto first = std::lower_bound(bars.begin(), bars.end(), from,
                                        [](int32_t b, long v) { return static_cast<long>(b) < v; });
    const auto last =
        std::upper_bound(first, bars.end(), to, [](long v, int32_t b) { return v < static_cast<long>(b); });
    return {static_cast<size_t>(first - bars.begin()), static_cast<size_t>(last - first)};
}

// The index of the first of bars[0..m) after `bar`, searching on from `next`
// (exits lie mostly within a few signal bars of their opening).
inline size_t NextAfter(const int32_t* bars, size_t next, size_t m, int32_t bar) {
    size_t step = 1;
    while (next < m && bars[next] <= bar) {
        const size_t probe = std::min(m, next + step);
        if (bars[probe - 1] > bar)
            return static_cast<size_t>(std::upper_bound(bars + next, bars + probe, bar) - bars);
        next = probe;
        step *= 2;
    }
    return next;
}

// Whether a plan's cells fit in 32 bits: the exit (up to to - from + 1) above the next index.
bool NarrowCells(size_t count, long from, long to) {
    const int shift = std::bit_width(count);
    return shift < 32 && (static_cast<uint64_t>(to - from + 1) << shift) <= UINT32_MAX;
}

// Adds a pass's closes bar by bar in its order, rounding to 32 bits after each
// bar; lists them in that order into `merged` when given.
float Book(const std::vector<KernelClose>& b, const std::vector<KernelClose>& s, ProfitOrder order,
           std::vector<KernelClose>* merged) {
    size_t i = 0, j = 0;
    float total = 0;
    while (i < b.size() || j < s.size()) {
        const int32_t bar = std::min(i < b.size() ? b[i].bar : PassKernel::kNever,
                                     j < s.size() ? s[j].bar : PassKernel::kNever);
        double buy = 0, sell = 0;
        if (i < b.size() && b[i].bar == bar) {
            buy = b[i].amount;
            if (merged) merged->push_back(b[i]);
            ++i;
        }
        if (j < s.size() && s[j].bar == bar) {
            sell = s[j].amount;
            if (merged) merged->push_back(s[j]);
            ++j;
        }
        total = order == ProfitOrder::TotalFirst
                    ? static_cast<float>(static_cast<double>(total) + buy + sell)
                    : static_cast<float>((buy + static_cast<double>(total)) + sell);
    }
    return total;
}

}  // namespace

KernelSetting MakeKernelSetting(float entryHour, float tp, float tpi, double tradeCost, double pointValue,
                                float pointsPerUnit) {
    return {entryHour, tp, tpi, WinnerResult(tp, tradeCost, pointValue, pointsPerUnit),
            LoserResult(tpi, pointValue, pointsPerUnit)};
}

std::optional<BarSpan> WholeBarSpan(float first, float last, long capacity) {
    // As doubles both sides of the comparison are exact.
    if (!(first <= last) || first != std::floor(first) || last != std::floor(last) || first < 0 ||
        static_cast<double>(last) > static_cast<double>(capacity))
        return std::nullopt;
    return BarSpan{static_cast<long>(first), static_cast<long>(last)};
}

void PassKernel::prepare(const QuoteStore& q, const DayMatchTable& table) {
    if (q_ == &q && generation_ == q.generation && tableStamp_ == table.stamp()) return;
    q_ = &q;
    generation_ = q.generation;
    tableStamp_ = table.stamp();
    capacity_ = q.hourCapacity;
    quietBeyond_ = table.quietBeyondData();
    const size_t n = static_cast<size_t>(q.hourBarCount) + 1;

    // A price of 0 or less never counts, so it enters the tables as the value that never reaches a level.
    ups_.resize(n);
    downs_.resize(n);
    for (size_t b = 0; b < n; ++b) {
        const float h = q.hourOhlc[b][QuoteStore::High], l = q.hourOhlc[b][QuoteStore::Low];
        ups_[b].value = h > 0 ? h : -std::numeric_limits<float>::infinity();
        downs_[b].value = l > 0 ? l : std::numeric_limits<float>::infinity();
    }
    // Per bar the next bar whose value beats it (strictly), by one walk from the end with a stack.
    auto link = [](std::vector<Record>& records, auto beats) {
        std::vector<int32_t> stack;
        for (size_t i = records.size(); i-- > 0;) {
            while (!stack.empty() &&
                   !beats(records[static_cast<size_t>(stack.back())].value, records[i].value))
                stack.pop_back();
            records[i].next = stack.empty() ? kNever : stack.back();
            stack.push_back(static_cast<int32_t>(i));
        }
    };
    link(ups_, std::greater<float>());
    link(downs_, std::less<float>());
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
        hi = std::max(hi, ups_[b].value);
        lo = std::min(lo, downs_[b].value);
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

    // The signal bars by hour; an hour that equals nothing (not a number) never matches.
    std::vector<BarDay> days(n);
    hours_.clear();
    for (size_t b = 0; b < n; ++b) {
        days[b] = table.at(static_cast<long>(b));
        const float hour = q.hourOfBar[b];
        if ((days[b].buy || days[b].sell) && hour == hour) hours_.push_back(hour);
    }
    std::sort(hours_.begin(), hours_.end());
    hours_.erase(std::unique(hours_.begin(), hours_.end()), hours_.end());
    buyBars_.assign(hours_.size(), {});
    sellBars_.assign(hours_.size(), {});
    size_t at = 0;
    for (size_t b = 0; b < n; ++b) {
        if (!(days[b].buy || days[b].sell) || !FindSorted(hours_, q.hourOfBar[b], at)) continue;
        if (days[b].buy) buyBars_[at].push_back(static_cast<int32_t>(b));
        if (days[b].sell) sellBars_[at].push_back(static_cast<int32_t>(b));
    }
    plans_.clear();
    resetPlans(0, -1);
}

bool PassKernel::covers(long from, long to) const {
    if (q_ == nullptr || from < 0 || to > capacity_ || from > to) return false;
    return to < static_cast<long>(ups_.size()) || quietBeyond_;
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

template <bool kUp>
int32_t PassKernel::firstReaching(long from, float e, float d) const {
    const std::vector<Record>& bars = kUp ? ups_ : downs_;
    auto skip = [e, d](float v) { return !Reaches<kUp>(v, e, d); };
    const long n = static_cast<long>(bars.size());
    // The rest of the first block bar by bar, then whole blocks, then bars again.
    long b = from;
    for (const long end = std::min(n, (from / kBlock + 1) * kBlock); b < end; ++b)
        if (!skip(bars[static_cast<size_t>(b)].value)) return static_cast<int32_t>(b);
    if (b >= n) return kNever;
    const long block = FirstPassingIn(kUp ? blockHighMax_ : blockLowMin_, b / kBlock, skip);
    for (b = block * kBlock; b < n && b < (block + 1) * kBlock; ++b)
        if (!skip(bars[static_cast<size_t>(b)].value)) return static_cast<int32_t>(b);
    return kNever;
}

// The first bar from `bar` on (the opening itself or a later record) where the
// level of distance d is reached, or a bar after `to`. Only a new record can be
// the first to reach a level, and the test is monotone in the price, so the
// maxima (minima) of whole blocks may stand for their bars.
template <bool kUp>
int32_t PassKernel::exitFrom(int32_t bar, float e, float d, long to) const {
    const std::vector<Record>& records = kUp ? ups_ : downs_;
    for (int steps = 0; bar <= to; ++steps) {
        const Record& r = records[static_cast<size_t>(bar)];
        if (Reaches<kUp>(r.value, e, d)) return bar;
        if (steps == kChainSteps) return firstReaching<kUp>(bar, e, d);
        bar = r.next;
    }
    return bar;
}

bool PassKernel::findDistance(float d, size_t& at) const {
    return FindSorted(distances_, d, at);
}

bool PassKernel::findHour(float hour, size_t& at) const {
    return FindSorted(hours_, hour, at);
}

bool PassKernel::useDistances(const std::vector<float>& distances) {
    // A distance that is not a number never reaches a level: such passes search directly.
    std::vector<float> wanted;
    for (float d : distances)
        if (d == d) wanted.push_back(d);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.size() > kMaxColumns) return false;
    size_t at = 0;
    const bool held = std::all_of(wanted.begin(), wanted.end(), [&](float d) { return findDistance(d, at); });
    // Plans for a much finer grid than asked for would cost far more to build than they save.
    if (held && distances_.size() <= 2 * wanted.size() + 8) return true;
    distances_ = std::move(wanted);
    resetPlans(planFrom_, planTo_);
    return true;
}

bool PassKernel::ensureColumns(const std::vector<float>& distances) {
    return useDistances(distances);
}

void PassKernel::resetPlans(long from, long to) {
    planFrom_ = from;
    planTo_ = to;
    // The buffers stay, so that the next window's plans reuse them.
    plans_.resize(hours_.size());
    for (HourPlan& p : plans_) p.built = false;
}

void PassKernel::dropPlans() {
    std::vector<HourPlan>().swap(plans_);
    resetPlans(planFrom_, planTo_);
}

size_t PassKernel::heldBytes() const {
    size_t bytes = 0;
    for (const HourPlan& plan : plans_)
        for (const SidePlan& p : plan.side)
            bytes += p.narrow.capacity() * sizeof(uint32_t) + p.wide.capacity() * sizeof(uint64_t) +
                     p.entries.capacity() * sizeof(float);
    return bytes;
}

size_t PassKernel::planBytes(size_t hour, long from, long to) const {
    size_t bytes = 0;
    for (const auto* bars : {&buyBars_[hour], &sellBars_[hour]}) {
        const size_t count = BarsWithin(*bars, from, to).second;
        const size_t cell = NarrowCells(count, from, to) ? sizeof(uint32_t) : sizeof(uint64_t);
        bytes += count * (2 * distances_.size() * cell + sizeof(float));
    }
    return bytes;
}

void PassKernel::buildHour(size_t hour) {
    HourPlan& plan = plans_[hour];
    for (int side = 0; side < 2; ++side) {
        const std::vector<int32_t>& bars = side == 0 ? buyBars_[hour] : sellBars_[hour];
        SidePlan& p = plan.side[side];
        std::tie(p.first, p.count) = BarsWithin(bars, planFrom_, planTo_);
        p.shift = std::bit_width(p.count);
        if (NarrowCells(p.count, planFrom_, planTo_)) {
            Cells<uint64_t>().swap(p.wide);
            fillPlan(p, p.narrow, bars);
        } else {
            Cells<uint32_t>().swap(p.narrow);
            fillPlan(p, p.wide, bars);
        }
    }
    plan.built = true;
    ++plansBuilt_;
}

template <typename Cell>
void PassKernel::fillPlan(SidePlan& p, Cells<Cell>& cells, const std::vector<int32_t>& bars) {
    const size_t m = p.count, columns = distances_.size();
    const long from = planFrom_, to = planTo_;
    const Cell beyond = static_cast<Cell>(static_cast<Cell>(to - from + 1) << p.shift);
    // Exactly the size needed when growing, so that the budget holds what is allocated.
    auto fit = [](auto& v, size_t n) {
        if (v.capacity() < n) {
            std::remove_reference_t<decltype(v)>().swap(v);
            v.reserve(n);
        }
        v.resize(n);
    };
    fit(cells, 2 * columns * m);
    fit(p.entries, m);
    for (size_t i = 0; i < m; ++i) {
        const int32_t bar = bars[p.first + i];
        const float e = q_->hourOhlc[static_cast<size_t>(bar)][QuoteStore::Open];
        p.entries[i] = e;
        Cell* up = cells.data() + i;
        Cell* down = up + columns * m;
        // An entry price of 0 or less never closes.
        if (e > 0) {
            fillExits(up, down, m, bars.data() + p.first, i, m, e, p.shift);
        } else {
            for (size_t k = 0; k < columns; ++k) up[k * m] = down[k * m] = beyond;
        }
    }
}

// One opening's exits for every distance, up and down. The distances rise, so
// their exits do too: one walk along the records after the opening settles every
// level, each record the levels it reaches. Both directions go in time order, and
// once one has settled its last level the other's later exits cannot come first
// in any pass, so they are left as after the interval.
template <typename Cell>
void PassKernel::fillExits(Cell* upCells, Cell* downCells, size_t stride, const int32_t* bars, size_t i,
                           size_t m, float e, int shift) const {
    const size_t columns = distances_.size();
    const float* d = distances_.data();
    const long from = planFrom_, to = planTo_;
    auto cell = [&](int32_t exit, size_t& next) {
        next = NextAfter(bars, next, m, exit);
        return static_cast<Cell>((static_cast<Cell>(exit - from) << shift) | next);
    };
    // Settles the levels the record at `bar` reaches, or moves on along the records.
    auto step = [&]<bool kUp>(int32_t& bar, size_t& k, size_t& next, int& misses, Cell* cells) {
        const Record& r = (kUp ? ups_ : downs_)[static_cast<size_t>(bar)];
        if (Reaches<kUp>(r.value, e, d[k])) {
            const Cell c = cell(bar, next);
            do cells[k++ * stride] = c;
            while (k < columns && Reaches<kUp>(r.value, e, d[k]));
            misses = 0;
        } else if (++misses > kChainSteps) {
            // A long climb of small records: the block tables find the bar that reaches the level.
            bar = firstReaching<kUp>(bar, e, d[k]);
            misses = 0;
            return;
        }
        bar = r.next;
    };
    int32_t up = bars[i], down = bars[i];
    size_t ku = 0, kd = 0, nu = i + 1, nd = i + 1;
    int mu = 0, md = 0;
    while (ku < columns && kd < columns) {
        const int32_t at = std::min(up, down);
        if (at > to) break;
        if (up == at) step.template operator()<true>(up, ku, nu, mu, upCells);
        if (down == at) step.template operator()<false>(down, kd, nd, md, downCells);
    }
    const Cell beyond = static_cast<Cell>(static_cast<Cell>(to - from + 1) << shift);
    for (; ku < columns; ++ku) upCells[ku * stride] = beyond;
    for (; kd < columns; ++kd) downCells[kd * stride] = beyond;
}

template <bool kKeep, typename Cell>
[[gnu::always_inline]] inline PassKernel::SideState PassKernel::walkPlan(
    const SidePlan& p, const Cells<Cell>& cells, size_t tp, size_t sl, bool buy, const KernelSetting& k,
    const int32_t* bars, std::vector<KernelClose>* closes) const {
    const size_t m = p.count, columns = distances_.size();
    const Cell* up = cells.data();
    const Cell* down = up + columns * m;
    const Cell* tpCells = (buy ? up : down) + tp * m;
    const Cell* slCells = (buy ? down : up) + sl * m;
    const Cell beyond = static_cast<Cell>(static_cast<Cell>(planTo_ - planFrom_ + 1) << p.shift);
    const Cell nextMask = static_cast<Cell>((Cell{1} << p.shift) - 1);
    // Only the hop from opening to opening in the loop: it is the whole pass.
    int64_t closed = 0, wins = 0;
    SideState s;
    for (size_t i = 0; i < m;) {
        const Cell target = tpCells[i], stop = slCells[i];
        const Cell exit = std::min(target, stop);
        if (exit >= beyond) {
            s.open = true;
            s.entry = p.entries[i];
            break;
        }
        // The take-profit is tested first, so it wins a bar that reaches both levels.
        wins += target <= stop;
        ++closed;
        if constexpr (kKeep)
            closes->push_back({static_cast<int32_t>(planFrom_ + static_cast<long>(exit >> p.shift)),
                               target <= stop ? k.winAmount : k.lossAmount,
                               buy ? TradeSide::Buy : TradeSide::Sell, bars[i]});
        i = static_cast<size_t>(exit & nextMask);
    }
    s.closed = closed;
    s.wins = wins;
    s.opened = closed + (s.open ? 1 : 0);
    s.touched = s.opened > 0;
    return s;
}

void PassKernel::prefetchColumns(const SidePlan& p, size_t tp, size_t sl, bool buy) const {
    const size_t m = p.count, columns = distances_.size();
    const size_t tpAt = ((buy ? 0 : columns) + tp) * m, slAt = ((buy ? columns : 0) + sl) * m;
    if (p.narrow.empty()) {
        if (p.wide.empty()) return;
        __builtin_prefetch(p.wide.data() + tpAt);
        __builtin_prefetch(p.wide.data() + slAt);
    } else {
        __builtin_prefetch(p.narrow.data() + tpAt);
        __builtin_prefetch(p.narrow.data() + slAt);
    }
}

PassKernel::SideState PassKernel::walkDirect(const std::vector<int32_t>& bars, long from, long to, bool buy,
                                             const KernelSetting& k, std::vector<KernelClose>* closes) const {
    SideState s;
    const auto [first, count] = BarsWithin(bars, from, to);
    const auto end = bars.begin() + static_cast<long>(first + count);
    for (auto it = bars.begin() + static_cast<long>(first); it != end;) {
        const int32_t c = *it;
        const float e = q_->hourOhlc[static_cast<size_t>(c)][QuoteStore::Open];
        ++s.opened;
        s.touched = s.open = true;
        s.entry = e;
        // An entry price of 0 or less never closes.
        if (!(e > 0)) break;
        const int32_t tpHit = buy ? exitFrom<true>(c, e, k.tp, to) : exitFrom<false>(c, e, k.tp, to);
        const int32_t slHit = buy ? exitFrom<false>(c, e, k.tpi, to) : exitFrom<true>(c, e, k.tpi, to);
        const int32_t exit = std::min(tpHit, slHit);
        if (exit > to) break;
        const bool win = tpHit <= slHit;
        s.wins += win;
        ++s.closed;
        if (closes)
            closes->push_back(
                {exit, win ? k.winAmount : k.lossAmount, buy ? TradeSide::Buy : TradeSide::Sell, c});
        s.open = false;
        s.entry = 0;
        // A position closed on a bar cannot reopen on it: the next opening comes later.
        while (it != end && *it <= exit) ++it;
    }
    return s;
}

[[gnu::always_inline]] inline PassKernel::SideState PassKernel::walkSide(
    const HourPlan* plan, int side, size_t hour, size_t tp, size_t sl, long from, long to,
    const KernelSetting& k, std::vector<KernelClose>* closes) const {
    const bool buy = side == 0;
    if (!plan) return walkDirect(buy ? buyBars_[hour] : sellBars_[hour], from, to, buy, k, closes);
    const SidePlan& p = plan->side[side];
    if (closes) {
        const int32_t* bars = (buy ? buyBars_ : sellBars_)[hour].data() + p.first;
        return p.narrow.empty() ? walkPlan<true>(p, p.wide, tp, sl, buy, k, bars, closes)
                                : walkPlan<true>(p, p.narrow, tp, sl, buy, k, bars, closes);
    }
    return p.narrow.empty() ? walkPlan<false>(p, p.wide, tp, sl, buy, k, nullptr, closes)
                            : walkPlan<false>(p, p.narrow, tp, sl, buy, k, nullptr, closes);
}

const PassKernel::HourPlan* PassKernel::planFor(size_t hour, long from, long to, const KernelSetting& k,
                                                KernelScratch& scratch) {
    // Once built, nothing here writes to the kernel: the search's threads only read.
    if (from != planFrom_ || to != planTo_) resetPlans(from, to);
    if (!findDistance(k.tp, scratch.tpAt) || !findDistance(k.tpi, scratch.slAt)) return nullptr;
    if (!plans_[hour].built) {
        const size_t bytes = planBytes(hour, from, to);
        if (bytes > kPlanBudget) return nullptr;
        if (heldBytes() + bytes > kPlanBudget) dropPlans();
        buildHour(hour);
    }
    return &plans_[hour];
}

bool PassKernel::precompute(const std::vector<float>& distances, long from, long to) {
    if (!useDistances(distances)) return false;
    if (from != planFrom_ || to != planTo_) resetPlans(from, to);
    size_t all = 0, missing = 0;
    for (size_t h = 0; h < hours_.size(); ++h) {
        const size_t bytes = planBytes(h, from, to);
        all += bytes;
        if (!plans_[h].built) missing += bytes;
    }
    if (all > kPlanBudget) return false;
    // Buffers kept from other windows may not add up to more than the budget either. Plans
    // built already are counted once, in what is held: a replay right after its sweep keeps them.
    if (heldBytes() + missing > kPlanBudget) dropPlans();
    for (size_t h = 0; h < hours_.size(); ++h)
        if (!plans_[h].built) buildHour(h);
    return true;
}

KernelResult PassKernel::run(const KernelSetting& k, long from, long to, ProfitOrder order,
                             KernelScratch& scratch, bool memo) {
    KernelResult r;
    size_t& hour = scratch.hourAt;
    // No signal bar at this hour: nothing opens.
    if (!findHour(k.entryHour, hour)) return r;
    const HourPlan* plan = nullptr;
    if (memo) {
        // The search's passes find their plan built: only reads on this path.
        const bool ready = from == planFrom_ && to == planTo_ && FindSorted(distances_, k.tp, scratch.tpAt) &&
                           FindSorted(distances_, k.tpi, scratch.slAt) && plans_[hour].built;
        plan = ready ? &plans_[hour] : planFor(hour, from, to, k, scratch);
    }
    // Ask for the four columns at once: their cache misses then overlap instead of
    // coming one after the other along the two walks.
    if (plan)
        for (int side = 0; side < 2; ++side)
            prefetchColumns(plan->side[side], scratch.tpAt, scratch.slAt, side == 0);
    auto walk = [&](int side, std::vector<KernelClose>* closes) {
        if (closes) closes->clear();
        return walkSide(plan, side, hour, scratch.tpAt, scratch.slAt, from, to, k, closes);
    };
    const bool keep = scratch.keepCloses;
    const SideState buy = walk(0, keep ? &scratch.buyCloses : nullptr);
    const SideState sell = walk(1, keep ? &scratch.sellCloses : nullptr);
    r.opened = buy.opened + sell.opened;
    r.closed = buy.closed + sell.closed;
    r.wins = buy.wins + sell.wins;
    r.losses = r.closed - r.wins;
    r.buyOpen = buy.open;
    r.sellOpen = sell.open;
    r.buyEntryPrice = buy.entry;
    r.sellEntryPrice = sell.entry;
    r.buyTouched = buy.touched;
    r.sellTouched = sell.touched;

    const double win = k.winAmount, loss = k.lossAmount;
    const double reach =
        static_cast<double>(r.wins) * std::fabs(win) + static_cast<double>(r.losses) * std::fabs(loss);
    // Within the bound a result that counts is below 2^24, so the casts test it for a whole number.
    auto whole = [](double v) { return v == static_cast<double>(static_cast<int64_t>(v)); };
    if (!keep && reach <= kExactTotal && (r.wins == 0 || whole(win)) && (r.losses == 0 || whole(loss))) {
        r.profit = static_cast<float>(0.0 + static_cast<double>(r.wins) * win +
                                      static_cast<double>(r.losses) * loss);
        return r;
    }
    // Totals a float cannot hold exactly depend on the order: book the closes bar by bar.
    if (!keep) {
        walk(0, &scratch.buyCloses);
        walk(1, &scratch.sellCloses);
    }
    if (keep) scratch.closes.clear();
    r.profit = Book(scratch.buyCloses, scratch.sellCloses, order, keep ? &scratch.closes : nullptr);
    if (keep) r.closes = scratch.closes;
    return r;
}

}  // namespace kavro
