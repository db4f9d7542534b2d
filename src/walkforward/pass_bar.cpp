#include "walkforward/pass_bar.h"

namespace kavro {

BarDay FractionalBarDay(const QuoteStore& q, float lastBar, float currentBar, long bar) {
    // The search as written: a 32-bit counter from DayBarCount - (LastBar - CurrentBar) / 23 - 200
    // up to DayBarCount, comparing the rounded counter's date with the bar's.
    const float quotient = (lastBar - currentBar) / 23.0f;
    float counter =
        static_cast<float>(static_cast<double>(q.dayBarCount) - static_cast<double>(quotient) - 200.0);
    const float end = static_cast<float>(q.dayBarCount);
    const DateText& date = q.hourDate[static_cast<size_t>(bar)];
    DayMatch m;
    long day = 0;
    for (;;) {
        const bool inLoop = counter <= end;
        if (!ToIndex(counter, 0, QuoteStore::kDayCapacity, day)) {
            m.fault = true;
            break;
        }
        m.day = day;
        if (!inLoop) break;
        if (q.dayDate[static_cast<size_t>(day)] == date) {
            m.matched = true;
            break;
        }
        const float next = counter + 1.0f;
        // Far beyond the store the counter stops moving; the index is then out of range anyway.
        if (next == counter) {
            m.fault = true;
            break;
        }
        counter = next;
    }
    return EvaluateDay(q, m);
}

}  // namespace kavro
