#include "import/bar_series.h"

#include <algorithm>
#include <numeric>

namespace kavro {

namespace {

constexpr int64_t kHour = 60;

int64_t MinuteOfDay(BarMinute t) {
    return t - FloorDiv(t, kMinutesPerDay) * kMinutesPerDay;
}

// Steps of one spacing that make a run long enough to show the spacing has changed: an hour's worth.
int64_t RunNeeded(int64_t step) {
    return std::max<int64_t>(12, kHour / step);
}

void Merge(PriceBar& into, const PriceBar& bar) {
    into.high = std::max(into.high, bar.high);
    into.low = std::min(into.low, bar.low);
    into.close = bar.close;
}

}  // namespace

bool HourBuilder::refuse(ImportFaultKind kind, int64_t line, int64_t value, int64_t other, BarMinute time) {
    fault_.kind = kind;
    fault_.line = line;
    fault_.value = value;
    fault_.other = other;
    fault_.time = time;
    return false;
}

bool HourBuilder::add(const TimedBar& bar) {
    if (haveLast_ && bar.time <= lastTime_) {
        return refuse(bar.time == lastTime_ ? ImportFaultKind::SameTime : ImportFaultKind::EarlierTime,
                      bar.line);
    }
    haveLast_ = true;
    lastTime_ = bar.time;
    if (spacing_ != 0) return place(bar);
    pending_.push_back(bar);
    return pending_.size() < static_cast<size_t>(kSettleBars) || settle();
}

bool HourBuilder::settle() {
    int64_t divisor = 0, line = pending_.front().line;
    for (size_t i = 1; i < pending_.size(); ++i) {
        const int64_t d = std::gcd(divisor, pending_[i].time - pending_[i - 1].time);
        if (d != divisor) line = pending_[i].line;
        divisor = d;
    }
    // One bar alone: the coarsest spacing its own minute allows.
    if (divisor == 0) divisor = std::gcd(kHour, MinuteOfDay(pending_.front().time) % kHour);
    if (divisor > kHour) return refuse(ImportFaultKind::CoarserThanHour, line, divisor);
    if (kHour % divisor != 0) return refuse(ImportFaultKind::SpacingNotInHour, line, divisor);
    spacing_ = divisor;
    std::vector<TimedBar> bars;
    bars.swap(pending_);
    for (const TimedBar& bar : bars) {
        if (!place(bar)) return false;
    }
    return true;
}

bool HourBuilder::place(const TimedBar& bar) {
    const int64_t minute = MinuteOfDay(bar.time);
    if (minute % spacing_ != 0) return refuse(ImportFaultKind::OffGrid, bar.line, spacing_, 0, bar.time);
    if (haveHour_) {
        const int64_t step = bar.time - runTime_;
        if (step == runStep_) {
            ++runLength_;
        } else {
            runStep_ = step;
            runLength_ = 1;
            runLine_ = bar.line;
        }
        if (runStep_ > spacing_ && runStep_ <= kHour && runLength_ >= RunNeeded(runStep_) &&
            (kHour % runStep_ != 0 || minute % runStep_ != 0)) {
            return refuse(ImportFaultKind::SpacingChanged, runLine_, spacing_, runStep_);
        }
    }
    runTime_ = bar.time;

    const BarMinute hour = FloorDiv(bar.time, kHour) * kHour;
    if (haveHour_ && hour == hourStart_) {
        Merge(hour_, bar.prices);
        return true;
    }
    if (haveHour_) hours_.take(hourStart_, hour_);
    haveHour_ = true;
    hourStart_ = hour;
    hour_ = bar.prices;
    return true;
}

bool HourBuilder::finish() {
    if (spacing_ == 0 && !pending_.empty() && !settle()) return false;
    if (haveHour_) hours_.take(hourStart_, hour_);
    haveHour_ = false;
    return true;
}

void DayBuilder::take(BarMinute start, const PriceBar& bar) {
    const int64_t day = FloorDiv(start, kMinutesPerDay);
    if (haveDay_ && day == day_) {
        Merge(bar_, bar);
        return;
    }
    if (haveDay_) days_.take(day_ * kMinutesPerDay, bar_);
    haveDay_ = true;
    day_ = day;
    bar_ = bar;
}

void DayBuilder::finish() {
    if (haveDay_) days_.take(day_ * kMinutesPerDay, bar_);
    haveDay_ = false;
}

bool DailyCheck::add(const TimedBar& bar) {
    const int64_t day = FloorDiv(bar.time, kMinutesPerDay);
    if (have_) {
        if (bar.time == lastTime_) return fault_ = {ImportFaultKind::SameTime, bar.line}, false;
        if (day == lastDay_) return fault_ = {ImportFaultKind::SameDate, bar.line}, false;
        if (day < lastDay_) return fault_ = {ImportFaultKind::EarlierTime, bar.line}, false;
        if (!judged_) {
            const int64_t d = std::gcd(divisor_, day - lastDay_);
            if (d != divisor_) divisorLine_ = bar.line;
            divisor_ = d;
            if (++steps_ >= HourBuilder::kSettleBars - 1 && !judge()) return false;
        }
    }
    have_ = true;
    lastTime_ = bar.time;
    lastDay_ = day;
    return true;
}

bool DailyCheck::judge() {
    judged_ = true;
    if (steps_ > 5 && divisor_ > 1) {
        fault_ = {ImportFaultKind::CoarserThanDay, divisorLine_};
        fault_.value = divisor_;
        return false;
    }
    return true;
}

bool DailyCheck::finish() {
    return judged_ || judge();
}

bool FlatDays::add(PriceUnits high, PriceUnits low) {
    if (high == low && run_ > 0 && high == price_) {
        ++run_;
    } else {
        run_ = high == low ? 1 : 0;
        price_ = high;
    }
    return run_ < kDays;
}

void BarCounts::add(BarMinute start) {
    if (bars > 0 && start - last > 3 * kMinutesPerDay) {
        if (static_cast<int>(firstGaps.size()) < kListedGaps) firstGaps.push_back({last, start});
        ++gaps;
    }
    if (bars == 0) first = start;
    last = start;
    ++bars;
    if (WeekdayOfDays(FloorDiv(start, kMinutesPerDay)) >= 6) ++weekendBars;
}

}  // namespace kavro
