#include "evaluation/heatmap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "evaluation/sweep_figures.h"

namespace kavro {

namespace {

constexpr float kNotRun = std::numeric_limits<float>::quiet_NaN();

bool Usable(const PassRow& r) {
    return std::isfinite(r.entryHour) && std::isfinite(r.target) && std::isfinite(r.stop) &&
           std::isfinite(r.total);
}

// Float bits as a key, minus zero folded into zero so both land in one column.
uint32_t KeyOf(float v) {
    return v == 0.0f ? 0u : std::bit_cast<uint32_t>(v);
}

// Open-addressing table from a value's key to a number: a sweep has a few hundred
// distinct values per column but millions of rows, so lookups must be cheap.
class ValueTable {
  public:
    explicit ValueTable(size_t expected = 16) { rehash(std::bit_ceil(std::max<size_t>(16, expected * 2))); }

    // The number stored for `key`, or -1.
    int64_t find(uint32_t key) const {
        for (uint32_t s = slot(key);; s = (s + 1) & mask_) {
            if (keys_[s] == key) return numbers_[s];
            if (keys_[s] == kEmpty) return -1;
        }
    }
    // Stores key -> number unless the key is there already; true when added.
    bool insert(uint32_t key, int64_t number) {
        for (uint32_t s = slot(key);; s = (s + 1) & mask_) {
            if (keys_[s] == key) return false;
            if (keys_[s] == kEmpty) {
                keys_[s] = key;
                numbers_[s] = static_cast<int32_t>(number);
                if (++count_ * 2 > keys_.size()) rehash(keys_.size() * 2);
                return true;
            }
        }
    }

  private:
    // The bits of a NaN: never a key, since rows holding one are left out.
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    // Fibonacci hashing: the high bits of the product, where every key bit has a say
    // (whole numbers as floats end in zero bits).
    uint32_t slot(uint32_t key) const { return (key * 0x9E3779B1u) >> shift_; }

    void rehash(size_t size) {
        std::vector<uint32_t> keys = std::move(keys_);
        std::vector<int32_t> numbers = std::move(numbers_);
        keys_.assign(size, kEmpty);
        numbers_.assign(size, -1);
        mask_ = static_cast<uint32_t>(size - 1);
        shift_ = 32 - std::countr_zero(size);
        count_ = 0;
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != kEmpty) insert(keys[i], numbers[i]);
    }
    std::vector<uint32_t> keys_;
    std::vector<int32_t> numbers_;
    uint32_t mask_ = 0;
    int shift_ = 28;
    size_t count_ = 0;
};

// Distinct values of one column, consecutive repeats skipped before hashing
// (a sweep changes its outer columns rarely).
class DistinctValues {
  public:
    void add(float v) {
        const uint32_t key = KeyOf(v);
        if (seen_ && key == last_) return;
        seen_ = true;
        last_ = key;
        if (table_.insert(key, 0)) values_.push_back(v == 0.0f ? 0.0f : v);
    }
    std::vector<float> sorted() {
        std::sort(values_.begin(), values_.end());
        return values_;
    }

  private:
    ValueTable table_;
    std::vector<float> values_;
    bool seen_ = false;
    uint32_t last_ = 0;
};

// Column index of a value on an axis, remembering the last lookup.
class AxisIndex {
  public:
    explicit AxisIndex(const std::vector<float>& axis) : table_(axis.size()) {
        for (size_t i = 0; i < axis.size(); ++i) table_.insert(KeyOf(axis[i]), static_cast<int64_t>(i));
    }
    int64_t operator()(float v) {
        const uint32_t key = KeyOf(v);
        if (key != lastKey_ || lastIndex_ < -1) {
            lastKey_ = key;
            lastIndex_ = table_.find(key);
        }
        return lastIndex_;
    }

  private:
    ValueTable table_;
    uint32_t lastKey_ = 0;
    int64_t lastIndex_ = -2;
};

HeatGrid EmptyGrid(GridKind kind, const std::vector<float>& xs, const std::vector<float>& ys) {
    HeatGrid g;
    g.kind = kind;
    g.xValues = xs;
    g.yValues = ys;
    if (!xs.empty() && ys.size() > kMaxGridCells / xs.size()) {
        g.tooLarge = true;
        return g;
    }
    const size_t n = xs.size() * ys.size();
    // Below every finite total until a pass lands; Finish turns what is left into NaN.
    g.cells.assign(n, -std::numeric_limits<float>::infinity());
    g.stops.assign(n, kNotRun);
    g.passes.assign(n, -1);
    return g;
}

// A pass's result into a cell: the best stands, ties to the later pass (rows come in pass order).
void Place(HeatGrid& g, size_t cell, const PassRow& r, size_t pass) {
    if (r.total >= g.cells[cell]) {
        g.cells[cell] = r.total;
        g.stops[cell] = r.stop;
        g.passes[cell] = static_cast<int64_t>(pass);
    }
}

void Finish(HeatGrid& g) {
    for (size_t i = 0; i < g.cells.size(); ++i) {
        if (g.passes[i] < 0) {
            g.cells[i] = kNotRun;
            continue;
        }
        const float v = g.cells[i];
        if (g.runCells == 0) {
            g.minValue = g.maxValue = v;
        } else {
            g.minValue = std::min(g.minValue, v);
            g.maxValue = std::max(g.maxValue, v);
        }
        ++g.runCells;
        const size_t best = g.bestY * g.width() + g.bestX;
        if (!g.hasBest || v > g.bestValue || (v == g.bestValue && g.passes[i] > g.passes[best])) {
            g.hasBest = true;
            g.bestX = i % g.width();
            g.bestY = i / g.width();
            g.bestValue = v;
        }
    }
}

}  // namespace

SweepAxes AxesOf(std::span<const PassRow> passes) {
    DistinctValues hours, targets, stops;
    std::optional<size_t> best;
    float bestTotal = -std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < passes.size(); ++i) {
        const PassRow& r = passes[i];
        if (!Usable(r)) continue;
        hours.add(r.entryHour);
        targets.add(r.target);
        stops.add(r.stop);
        if (r.total >= bestTotal) {
            bestTotal = r.total;
            best = i;
        }
    }
    return SweepAxes{hours.sorted(), targets.sorted(), stops.sorted(), best};
}

std::optional<size_t> BestPass(std::span<const PassRow> passes) {
    std::optional<size_t> best;
    float bestTotal = -std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < passes.size(); ++i) {
        if (!Usable(passes[i]) || !(passes[i].total >= bestTotal)) continue;
        bestTotal = passes[i].total;
        best = i;
    }
    return best;
}

HeatGrid TargetStopGrid(std::span<const PassRow> passes, const SweepAxes& axes, float hour) {
    HeatGrid g = EmptyGrid(GridKind::TargetStop, axes.targets, axes.stops);
    g.hour = hour;
    if (g.tooLarge) return g;
    AxisIndex x(axes.targets), y(axes.stops);
    const size_t w = g.width();
    for (size_t i = 0; i < passes.size(); ++i) {
        const PassRow& r = passes[i];
        if (r.entryHour != hour || !Usable(r)) continue;
        const int64_t cx = x(r.target), cy = y(r.stop);
        if (cx < 0 || cy < 0) continue;
        Place(g, static_cast<size_t>(cy) * w + static_cast<size_t>(cx), r, i);
    }
    Finish(g);
    return g;
}

HeatGrid TargetStopGrid(std::span<const PassRow> passes) {
    const SweepAxes axes = AxesOf(passes);
    return TargetStopGrid(passes, axes, axes.bestPass ? passes[*axes.bestPass].entryHour : 0.0f);
}

HeatGrid HourTargetGrid(std::span<const PassRow> passes, const SweepAxes& axes) {
    HeatGrid g = EmptyGrid(GridKind::HourTarget, axes.hours, axes.targets);
    if (g.tooLarge) return g;
    AxisIndex x(axes.hours), y(axes.targets);
    const size_t w = g.width();
    for (size_t i = 0; i < passes.size(); ++i) {
        const PassRow& r = passes[i];
        if (!Usable(r)) continue;
        const int64_t cx = x(r.entryHour), cy = y(r.target);
        if (cx < 0 || cy < 0) continue;
        Place(g, static_cast<size_t>(cy) * w + static_cast<size_t>(cx), r, i);
    }
    Finish(g);
    return g;
}

HeatGrid HourTargetGrid(std::span<const PassRow> passes) {
    return HourTargetGrid(passes, AxesOf(passes));
}

std::optional<HeatCell> CellAt(const HeatGrid& g, size_t x, size_t y) {
    if (g.tooLarge || x >= g.width() || y >= g.height()) return std::nullopt;
    const size_t i = y * g.width() + x;
    HeatCell c;
    c.ran = g.passes[i] >= 0;
    c.value = c.ran ? g.cells[i] : 0.0f;
    c.pass = g.passes[i];
    const float result = !c.ran ? 0.0f : g.results.size() == g.cells.size() ? g.results[i] : c.value;
    if (g.kind == GridKind::TargetStop)
        c.setting = PassRow{g.hour, g.xValues[x], g.yValues[y], result};
    else
        c.setting = PassRow{g.xValues[x], g.yValues[y], c.ran ? g.stops[i] : 0.0f, result};
    return c;
}

std::vector<float> FigureValues(HeatFigure figure, std::span<const PassRow> passes,
                                std::span<const PassFigures> figures) {
    std::vector<float> out(passes.size(), NAN);
    const bool known = figures.size() == passes.size();
    for (size_t i = 0; i < passes.size(); ++i) {
        if (figure == HeatFigure::Net) {
            out[i] = passes[i].total;
            continue;
        }
        if (!known) continue;
        const PassFigures& f = figures[i];
        const double v = figure == HeatFigure::ProfitFactor     ? f.profitFactor
                         : figure == HeatFigure::MaxDrawdown    ? f.maxDrawdown
                         : figure == HeatFigure::RecoveryFactor ? f.recoveryFactor
                         : figure == HeatFigure::Trades         ? static_cast<double>(f.trades)
                                                                : f.sharpeMonthly;
        out[i] = static_cast<float>(v);
    }
    return out;
}

HeatGrid ShowFigure(HeatGrid g, HeatFigure figure, std::span<const float> values) {
    if (g.figure != HeatFigure::Net || figure == HeatFigure::Net) return g;
    g.figure = figure;
    g.results = g.cells;
    bool any = false;
    for (size_t i = 0; i < g.cells.size(); ++i) {
        if (g.passes[i] < 0) continue;
        const size_t pass = static_cast<size_t>(g.passes[i]);
        const float v = pass < values.size() ? values[pass] : NAN;
        g.cells[i] = v;
        if (!std::isfinite(v)) continue;
        g.minValue = any ? std::min(g.minValue, v) : v;
        g.maxValue = any ? std::max(g.maxValue, v) : v;
        any = true;
    }
    if (!any) g.minValue = g.maxValue = 0;
    if (g.hasBest) g.bestValue = g.cells[g.bestY * g.width() + g.bestX];
    return g;
}

}  // namespace kavro
