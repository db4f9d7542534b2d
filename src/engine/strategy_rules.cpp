#include "engine/strategy_rules.h"

#include <algorithm>
#include <cstring>

#include "platform/numbers.h"

namespace kavro {

namespace {

// Start of the day search: the quotient is formed in 32 bits, the counter is 32-bit.
float SearchStart(const QuoteStore& q, float lastBar, float currentBar) {
    const float quotient = (lastBar - currentBar) / 23.0f;
    return static_cast<float>(static_cast<double>(q.dayBarCount) - static_cast<double>(quotient) - 200.0);
}

bool ToDay(double counter, long& day) {
    return ToIndex(counter, 0, QuoteStore::kDayCapacity, day);
}

}  // namespace

DayMatch SearchDayLiteral(const QuoteStore& q, float lastBar, float currentBar) {
    DayMatch m;
    // The bar's date comes from the bar number rounded, like every index.
    long bar = 0;
    if (!ToIndex(currentBar, 0, QuoteStore::kHourCapacity, bar)) {
        m.fault = true;
        return m;
    }
    const DateText& date = q.hourDate[static_cast<size_t>(bar)];
    float counter = SearchStart(q, lastBar, currentBar);
    const float end = static_cast<float>(q.dayBarCount);
    long day = 0;
    while (counter <= end) {
        if (!ToDay(counter, day)) {
            m.fault = true;
            return m;
        }
        if (q.dayDate[static_cast<size_t>(day)] == date) {
            m.day = day;
            m.matched = true;
            return m;
        }
        counter += 1.0f;
    }
    if (!ToDay(counter, day)) {
        m.fault = true;
        return m;
    }
    m.day = day;
    return m;
}

BarDay EvaluateDay(const QuoteStore& q, const DayMatch& m) {
    BarDay b;
    b.day = static_cast<int32_t>(m.day);
    // Every condition reads day j and day j - 1, so both must exist.
    if (m.fault || m.day < 1 || m.day > QuoteStore::kDayCapacity) {
        b.fault = true;
        return b;
    }
    const size_t j = static_cast<size_t>(m.day);
    const float rise = q.dayAverage200[j] - q.dayAverage200[j - 1];
    const float fall = q.dayAverage200[j - 1] - q.dayAverage200[j];
    b.buy = m.matched && rise > kAverageThreshold && q.dayStochastic[j - 1] > q.dayStochastic[j];
    b.sell = m.matched && fall > kAverageThreshold && q.dayStochastic[j] > q.dayStochastic[j - 1];
    return b;
}

uint64_t DayMatchTable::KeyOf(const DateText& t) {
    // Eight bytes hold the text; the length goes into the key through a
    // separate comparison of equal keys, so pack it into unused high bits
    // only when shorter texts could collide with longer ones.
    uint64_t k = 0;
    std::memcpy(&k, t.chars.data(), 8);
    // Texts shorter than 8 are zero-padded; mix in the length to keep "ab" and "ab\0" apart.
    return k ^ (static_cast<uint64_t>(t.length) * 0x9E3779B97F4A7C15ull);
}

void DayMatchTable::buildIndex(const QuoteStore& q) {
    index_.clear();
    index_.reserve(static_cast<size_t>(q.dayBarCount) + 1);
    // Day 0 is an empty text that an empty hourly date matches too.
    for (int d = 0; d <= q.dayBarCount; ++d) index_.push_back({KeyOf(q.dayDate[d]), d});
    std::sort(index_.begin(), index_.end());
}

DayMatch DayMatchTable::search(const QuoteStore& q, float lastBar, long bar) const {
    DayMatch m;
    const float start = SearchStart(q, lastBar, static_cast<float>(bar));
    const float end = static_cast<float>(q.dayBarCount);
    long first = 0;
    if (!(start <= end)) {
        // The loop never runs: the index is the start itself.
        if (!ToDay(start, first)) m.fault = true;
        m.day = first;
        return m;
    }
    if (!ToDay(start, first)) {
        m.fault = true;
        return m;
    }
    // The counter keeps the fraction of its start, so it visits first, first + 1, ...
    const long steps =
        static_cast<long>(std::floor(static_cast<double>(end) - static_cast<double>(start))) + 1;
    const long last = first + steps - 1;
    const DateText& date = q.hourDate[static_cast<size_t>(bar)];
    const uint64_t key = KeyOf(date);
    auto it = std::lower_bound(index_.begin(), index_.end(), Entry{key, static_cast<int32_t>(first)});
    for (; it != index_.end() && it->key == key && it->day <= last; ++it) {
        if (q.dayDate[static_cast<size_t>(it->day)] == date) {
            m.day = it->day;
            m.matched = true;
            return m;
        }
    }
    long after = 0;
    if (!ToDay(static_cast<double>(start) + static_cast<double>(steps), after)) {
        m.fault = true;
        return m;
    }
    m.day = after;
    return m;
}

void DayMatchTable::prepare(const QuoteStore& q, float lastBar) {
    if (valid_ && generation_ == q.generation && lastBar_ == lastBar && dayCount_ == q.dayBarCount) return;
    buildIndex(q);
    bars_.resize(QuoteStore::kHourCapacity + 1);
    for (long b = 0; b <= QuoteStore::kHourCapacity; ++b)
        bars_[static_cast<size_t>(b)] = EvaluateDay(q, search(q, lastBar, b));
    generation_ = q.generation;
    lastBar_ = lastBar;
    dayCount_ = q.dayBarCount;
    valid_ = true;
    ++stamp_;
}

float WinnerResult(float tp, double tradeCost, double pointValue, float pointsPerUnit) {
    const double r =
        std::floor((static_cast<double>(tp) - tradeCost) * pointValue * static_cast<double>(pointsPerUnit));
    if (!std::isfinite(r) || std::fabs(r) > 3.0e38) throw PassFault{kFaultOverflow};
    return static_cast<float>(r);
}

float LoserResult(float tpi, double pointValue, float pointsPerUnit) {
    const double r = std::floor(-static_cast<double>(tpi) * pointValue * static_cast<double>(pointsPerUnit));
    if (!std::isfinite(r) || std::fabs(r) > 3.0e38) throw PassFault{kFaultOverflow};
    return static_cast<float>(r);
}

}  // namespace kavro
