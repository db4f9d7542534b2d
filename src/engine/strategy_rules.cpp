#include "engine/strategy_rules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/numbers.h"

namespace kavro {

namespace {

// Start of the day search: the quotient is formed in 32 bits, the counter is 32-bit.
float SearchStart(const QuoteStore& q, float lastBar, float currentBar) {
    const float quotient = (lastBar - currentBar) / 23.0f;
    return static_cast<float>(static_cast<double>(q.dayBarCount) - static_cast<double>(quotient) - 200.0);
}

// The counter as a day index, rounded like every index; clamped far outside any store.
long RoundedDay(double counter) {
    const double r = RoundHalfEven(counter);
    if (!(r > -1e9)) return -1000000000L;
    if (r > 1e9) return 1000000000L;
    return static_cast<long>(r);
}

}  // namespace

DayMatch SearchDayLiteral(const QuoteStore& q, float lastBar, float currentBar, const DateText& date) {
    float counter = SearchStart(q, lastBar, currentBar);
    const float end = static_cast<float>(q.dayBarCount);
    while (counter <= end) {
        const long day = RoundedDay(counter);
        // An index below 1 reads nothing: the search goes on upward.
        if (day >= 1 && q.dayDateAt(static_cast<size_t>(day)) == date) return {day, true};
        const float next = counter + 1.0f;
        if (next == counter) break;  // a counter this far out no longer moves
        counter = next;
    }
    for (long day = q.dayBarCount; day >= 1; --day)
        if (q.dayDateAt(static_cast<size_t>(day)) == date) return {day, true};
    return {RoundedDay(counter), false};
}

BarDay EvaluateDay(const QuoteStore& q, const DayMatch& m) {
    BarDay b;
    b.day = static_cast<int32_t>(m.day);
    // A found day lies in 1..DayBarCount, so day j - 1 exists too.
    if (!m.matched || m.day < 1 || m.day > q.dayBarCount) return b;
    const size_t j = static_cast<size_t>(m.day);
    const float rise = q.dayAverage200[j] - q.dayAverage200[j - 1];
    const float fall = q.dayAverage200[j - 1] - q.dayAverage200[j];
    b.buy = rise > kAverageThreshold && q.dayStochastic[j - 1] > q.dayStochastic[j];
    b.sell = fall > kAverageThreshold && q.dayStochastic[j] > q.dayStochastic[j - 1];
    return b;
}

DayMatchTable::Key DayMatchTable::KeyOf(const DateText& t) {
    uint64_t k = 0;
    // Big-endian, so keys order like the texts; the length keeps "ab" and "ab\0" apart.
    for (size_t i = 0; i < 8; ++i) k = (k << 8) | static_cast<unsigned char>(t.chars[i]);
    return Key{k, t.length};
}

DayMatch DayMatchTable::search(const QuoteStore& q, float lastBar, float currentBar) const {
    long bar = 0;
    ToIndex(currentBar, 0, q.hourCapacity, bar);
    const Key key = KeyOf(q.hourDateAt(static_cast<size_t>(bar)));
    const float start = SearchStart(q, lastBar, currentBar);
    const float end = static_cast<float>(q.dayBarCount);
    // The counter keeps the fraction of its start, so it visits first, first + 1, ..., last.
    long steps = 0;
    if (start <= end) {
        const long first = RoundedDay(start);
        steps = static_cast<long>(std::floor(static_cast<double>(end) - static_cast<double>(start))) + 1;
        const long last = first + steps - 1;
        auto it = std::lower_bound(index_.begin(), index_.end(),
                                   Entry{key, static_cast<int32_t>(std::clamp(first, 1L, long{INT32_MAX}))});
        if (it != index_.end() && it->key == key && it->day <= last) return {it->day, true};
    }
    // Not where the counter looked: the highest day holding the date, if any.
    auto after = std::upper_bound(index_.begin(), index_.end(), Entry{key, INT32_MAX});
    if (after != index_.begin() && std::prev(after)->key == key) return {std::prev(after)->day, true};
    return {RoundedDay(static_cast<double>(start) + static_cast<double>(steps)), false};
}

BarDay DayMatchTable::beyond(long bar) const {
    if (!q_) return BarDay{};
    return EvaluateDay(*q_, search(*q_, lastBar_, static_cast<float>(bar)));
}

long DayMatchTable::countIn(const std::vector<int32_t>& prefix, long first, long last) const {
    // Only loaded bars count: the prefix has one entry more than the bars it covers.
    const long top = static_cast<long>(prefix.size()) - 2;
    first = std::max(first, 0L);
    last = std::min(last, top);
    if (first > last) return 0;
    return prefix[static_cast<size_t>(last) + 1] - prefix[static_cast<size_t>(first)];
}

void DayMatchTable::prepare(const QuoteStore& q, float lastBar) {
    if (valid_ && q_ == &q && generation_ == q.generation && lastBar_ == lastBar) return;
    q_ = &q;
    index_.clear();
    index_.reserve(static_cast<size_t>(q.dayBarCount));
    emptyDateHeld_ = false;
    for (int d = 1; d <= q.dayBarCount; ++d) {
        index_.push_back({KeyOf(q.dayDate[static_cast<size_t>(d)]), d});
        emptyDateHeld_ = emptyDateHeld_ || q.dayDate[static_cast<size_t>(d)].length == 0;
    }
    std::sort(index_.begin(), index_.end());
    lastBar_ = lastBar;
    const size_t n = static_cast<size_t>(q.hourBarCount) + 1;
    bars_.resize(n);
    withoutDay_.assign(n + 1, 0);
    sharedDay_.assign(n + 1, 0);
    for (size_t b = 0; b < n; ++b) {
        const DayMatch m = search(q, lastBar, static_cast<float>(b));
        bars_[b] = EvaluateDay(q, m);
        // Bar 0 is no loaded bar: it counts in neither sum.
        bool shared = false;
        if (m.matched && b > 0) {
            const Key key = KeyOf(q.hourDate[b]);
            auto lo = std::lower_bound(index_.begin(), index_.end(), Entry{key, 0});
            shared = lo + 1 != index_.end() && (lo + 1)->key == key;
        }
        withoutDay_[b + 1] = withoutDay_[b] + (b > 0 && !m.matched ? 1 : 0);
        sharedDay_[b + 1] = sharedDay_[b] + (shared ? 1 : 0);
    }
    generation_ = q.generation;
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
