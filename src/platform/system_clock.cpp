#include "platform/system_clock.h"

#include <chrono>
#include <ctime>

namespace kavro {

float SystemClock::secondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const double frac = duration<double>(now.time_since_epoch()).count() - static_cast<double>(t);
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + frac);
}

Date SystemClock::today() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace kavro
