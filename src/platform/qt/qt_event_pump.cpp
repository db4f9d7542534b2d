#include "platform/qt/qt_event_pump.h"

#include <QCoreApplication>

namespace kavro {

void QtEventPump::yield() {
    if (--countdown_ != 0) return;
    const auto now = SteadyClock::now();
    // Keep clock reads roughly a millisecond apart whatever one call costs, so
    // cheap calls stay cheap and slow ones do not delay the next turn much.
    const auto sinceCheck = now - lastCheck_;
    lastCheck_ = now;
    if (sinceCheck < std::chrono::microseconds(250)) {
        if (stride_ < kMaxStride) stride_ *= 2;
    } else if (sinceCheck > std::chrono::milliseconds(2)) {
        if (stride_ > 1) stride_ /= 2;
    }
    countdown_ = stride_;
    if (now - lastTurn_ >= kInterval) turn(now);
}

void QtEventPump::turn(SteadyClock::time_point now) {
    lastTurn_ = now;
    ++turns_;
    QCoreApplication::processEvents();
    if (afterEvents_) afterEvents_();
}

}  // namespace kavro
