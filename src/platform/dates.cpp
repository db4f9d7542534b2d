#include "platform/dates.h"

#include <cstdio>
#include <string>

namespace kavro {

namespace {
bool IsLeap(long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
}  // namespace

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && IsLeap(year)) return 29;
    return kDays[(month - 1) % 12];
}

bool DateFromParts(long year, long month, long day, Date& out) {
    // Whole years out of the month first, then walk the days month by month.
    if (year < -100000 || year > 100000 || month < -1200000 || month > 1200000) return false;
    long m0 = month - 1;
    long y = year + (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12));
    long m = m0 - (y - year) * 12 + 1;
    if (y < 1 || y > 9999) return false;
    // Bound the walk: |day| beyond a few centuries of days is out of range anyway.
    if (day > 3700000 || day < -3700000) return false;
    long d = day;
    while (d < 1) {
        if (--m < 1) {
            m = 12;
            if (--y < 1) return false;
        }
        d += DaysInMonth(static_cast<int>(y), static_cast<int>(m));
    }
    while (d > DaysInMonth(static_cast<int>(y), static_cast<int>(m))) {
        d -= DaysInMonth(static_cast<int>(y), static_cast<int>(m));
        if (++m > 12) {
            m = 1;
            if (++y > 9999) return false;
        }
    }
    if (y < 100) return false;
    out = Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
    return true;
}

std::string DateKey(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
    return buf;
}

std::string IsoDate(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

bool ParseIsoDate(const std::string& text, Date& out) {
    // Digits only where digits belong: sscanf alone would take blanks and signs.
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    const int y = std::stoi(text.substr(0, 4)), m = std::stoi(text.substr(5, 2)),
              d = std::stoi(text.substr(8, 2));
    if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    out = Date{y, m, d};
    return true;
}

std::string ShortDate(const Date& d, const Locale& locale) {
    if (!d.valid()) return "";
    std::string out;
    const std::string& p = locale.shortDatePattern;
    char buf[16];
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        size_t run = 1;
        while (i + run < p.size() && p[i + run] == c) ++run;
        if (c == 'd') {
            std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", d.day);
            out += buf;
        } else if (c == 'M') {
            std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", d.month);
            out += buf;
        } else if (c == 'y') {
            if (run >= 3)
                std::snprintf(buf, sizeof buf, "%04d", d.year);
            else
                std::snprintf(buf, sizeof buf, "%02d", d.year % 100);
            out += buf;
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

int64_t DaysFromDate(int year, int month, int day) {
    // Days from civil, counting years from March so the leap day comes last.
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date DateFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

int WeekdayOfDays(int64_t days) {
    // 1970-01-01 was a Thursday.
    return static_cast<int>(days + 3 - FloorDiv(days + 3, 7) * 7) + 1;
}

}  // namespace kavro
