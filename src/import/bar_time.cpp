#include "import/bar_time.h"

namespace kavro {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A forward reader over one field.
struct Cursor {
    const char* p;
    const char* end;

    explicit Cursor(std::string_view s) : p(s.data()), end(s.data() + s.size()) {
        while (p < end && IsBlank(*p)) ++p;
        while (end > p && IsBlank(end[-1])) --end;
    }
    bool done() const { return p == end; }
    char peek() const { return p < end ? *p : '\0'; }
    bool take(char c) {
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    // minDigits to maxDigits (at most 18) digits as a number; false with fewer.
    bool number(int minDigits, int maxDigits, int64_t& out) {
        int n = 0;
        int64_t v = 0;
        while (n < maxDigits && p < end && IsDigit(*p)) {
            v = v * 10 + (*p++ - '0');
            ++n;
        }
        out = v;
        return n >= minDigits;
    }
    int digitsAhead() const {
        int n = 0;
        while (p + n < end && IsDigit(p[n])) ++n;
        return n;
    }
};

TimeFault CheckDate(int64_t y, int64_t m, int64_t d) {
    if (m < 1 || m > 12 || d < 1) return TimeFault::Date;
    if (y < kFirstYear || y > kLastYear) return TimeFault::Year;
    if (d > DaysInMonth(static_cast<int>(y), static_cast<int>(m))) return TimeFault::Date;
    return TimeFault::None;
}

// A zone after a clock time: 'Z', or an offset "+hh:mm", "+hhmm" or "+hh" (or '-'), after "GMT" or "UTC"
// or alone; "GMT" and "UTC" alone are UTC too. Nothing at all is no zone.
TimeFault ReadZoneAt(Cursor& c, int& offset) {
    offset = 0;
    while (IsBlank(c.peek())) ++c.p;
    if (c.done()) return TimeFault::None;
    if (c.take('Z')) return c.done() ? TimeFault::None : TimeFault::Time;
    for (const std::string_view name : {"GMT", "UTC"}) {
        if (static_cast<size_t>(c.end - c.p) >= name.size() && std::string_view(c.p, name.size()) == name) {
            c.p += name.size();
            if (c.done()) return TimeFault::None;
            break;
        }
    }
    const char sign = c.peek();
    if (!c.take('+') && !c.take('-')) return TimeFault::Time;
    int64_t h = 0, m = 0;
    const int digits = c.digitsAhead();
    if (digits == 1 || digits == 2) {
        c.number(1, 2, h);
        if (c.take(':') && !c.number(2, 2, m)) return TimeFault::Time;
    } else if (digits == 4) {
        c.number(2, 2, h);
        c.number(2, 2, m);
    } else {
        return TimeFault::Time;
    }
    if (!c.done() || h > 23 || m > 59) return TimeFault::Time;
    offset = static_cast<int>((sign == '-' ? -1 : 1) * (h * 60 + m));
    return TimeFault::None;
}

TimeFault ReadClockAt(Cursor& c, int& minuteOfDay, int& offset) {
    int64_t h = 0, m = 0, s = 0;
    bool fractionZero = true;
    const int lead = c.digitsAhead();
    if (lead >= 1 && lead <= 2 && c.p + lead < c.end && c.p[lead] == ':') {
        c.number(1, 2, h);
        c.take(':');
        if (!c.number(2, 2, m)) return TimeFault::Time;
        if (c.take(':')) {
            if (!c.number(2, 2, s)) return TimeFault::Time;
            if (c.take('.')) {
                if (c.digitsAhead() == 0) return TimeFault::Time;
                while (!c.done() && IsDigit(c.peek())) fractionZero &= *c.p++ == '0';
            }
        }
    } else if (lead == 4) {
        c.number(2, 2, h);
        c.number(2, 2, m);
    } else if (lead == 6) {
        c.number(2, 2, h);
        c.number(2, 2, m);
        c.number(2, 2, s);
    } else {
        return TimeFault::Time;
    }
    if (const TimeFault f = ReadZoneAt(c, offset); f != TimeFault::None) return f;
    if (h > 23 || m > 59 || s > 59) return TimeFault::Time;
    if (s != 0 || !fractionZero) return TimeFault::NotWholeMinute;
    minuteOfDay = static_cast<int>(h * 60 + m);
    return TimeFault::None;
}

// Unix time in units of which `perMinute` make a minute, at most `digits` digits.
TimeFault ReadUnixAt(Cursor& c, int digits, int64_t perMinute, FieldTime& out) {
    int64_t units = 0;
    if (!c.number(1, digits, units) || !c.done()) return TimeFault::Date;
    if (DateFromDays(FloorDiv(units, perMinute * kMinutesPerDay)).year > kLastYear) return TimeFault::Year;
    if (units % perMinute != 0) return TimeFault::NotWholeMinute;
    out = FieldTime{units / perMinute, 0, true};
    return TimeFault::None;
}

bool IsDateSeparator(char c) {
    return c == '.' || c == '-' || c == '/';
}

}  // namespace

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

bool GuessDateStyle(std::string_view field, DateStyle& style) {
    Cursor c(field);
    const int n = c.digitsAhead();
    const char next = c.p + n < c.end ? c.p[n] : '\0';
    if (n == 4 && IsDateSeparator(next)) {
        style = DateStyle::YearFirst;
    } else if ((n == 1 || n == 2) && IsDateSeparator(next)) {
        style = DateStyle::YearLast;
    } else if (n == 8 && (next == '\0' || next == ' ' || next == 'T')) {
        style = DateStyle::Compact;
    } else if (n >= 1 && n <= 12 && next == '\0') {
        style = DateStyle::UnixSeconds;
    } else if (n == 13 && next == '\0') {
        style = DateStyle::UnixMillis;
    } else if (n == 16 && next == '\0') {
        style = DateStyle::UnixMicros;
    } else {
        return false;
    }
    return true;
}

TimeFault ReadDateTime(std::string_view field, DateStyle style, FieldTime& out) {
    Cursor c(field);
    int64_t y = 0, m = 0, d = 0;
    switch (style) {
        case DateStyle::YearFirst: {
            if (!c.number(4, 4, y)) return TimeFault::Date;
            const char sep = c.peek();
            if (!IsDateSeparator(sep)) return TimeFault::Date;
            c.take(sep);
            if (!c.number(1, 2, m) || !c.take(sep) || !c.number(1, 2, d)) return TimeFault::Date;
            break;
        }
        case DateStyle::YearLast: {
            const TimeFault f = ReadDateTime(field, DateStyle::DayFirst, out);
            return f == TimeFault::Date ? ReadDateTime(field, DateStyle::MonthFirst, out) : f;
        }
        case DateStyle::DayFirst:
        case DateStyle::MonthFirst: {
            int64_t a = 0, b = 0;
            if (!c.number(1, 2, a)) return TimeFault::Date;
            const char sep = c.peek();
            if (!IsDateSeparator(sep)) return TimeFault::Date;
            c.take(sep);
            if (!c.number(1, 2, b) || !c.take(sep) || !c.number(4, 4, y)) return TimeFault::Date;
            d = style == DateStyle::DayFirst ? a : b;
            m = style == DateStyle::DayFirst ? b : a;
            break;
        }
        case DateStyle::Compact: {
            int64_t v = 0;
            if (!c.number(8, 8, v)) return TimeFault::Date;
            y = v / 10000;
            m = v / 100 % 100;
            d = v % 100;
            break;
        }
        case DateStyle::UnixSeconds:
            return ReadUnixAt(c, 12, 60, out);
        case DateStyle::UnixMillis:
            return ReadUnixAt(c, 13, 60 * 1000, out);
        case DateStyle::UnixMicros:
            return ReadUnixAt(c, 16, 60 * 1000 * 1000, out);
    }
    if (c.p < c.end && IsDigit(*c.p)) return TimeFault::Date;
    if (const TimeFault f = CheckDate(y, m, d); f != TimeFault::None) return f;
    int minuteOfDay = 0, offset = 0;
    const bool hasClock = !c.done();
    if (hasClock) {
        if (!c.take('T')) {
            if (!IsBlank(c.peek())) return TimeFault::Date;
            while (IsBlank(c.peek())) ++c.p;
        }
        if (const TimeFault f = ReadClockAt(c, minuteOfDay, offset); f != TimeFault::None) return f;
    }
    out.local = DaysFromDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)) * kMinutesPerDay +
                minuteOfDay;
    out.offset = offset;
    out.hasClock = hasClock;
    return TimeFault::None;
}

TimeFault ReadClock(std::string_view field, int& minuteOfDay, int& offset) {
    Cursor c(field);
    return ReadClockAt(c, minuteOfDay, offset);
}

bool LooksLikeClock(std::string_view field) {
    Cursor c(field);
    bool colon = false, digitsOnly = true;
    for (const char* p = c.p; p < c.end; ++p) {
        colon |= *p == ':';
        digitsOnly &= IsDigit(*p);
    }
    int minute = 0, offset = 0;
    const auto length = c.end - c.p;
    return (colon || (digitsOnly && (length == 4 || length == 6))) &&
           ReadClock(field, minute, offset) != TimeFault::Time;
}

DateStyle DateOrderShown(std::string_view field) {
    // A fault after the date (its time, its year) still means the date read in that order.
    FieldTime t;
    const bool dayFirst = ReadDateTime(field, DateStyle::DayFirst, t) != TimeFault::Date;
    const bool monthFirst = ReadDateTime(field, DateStyle::MonthFirst, t) != TimeFault::Date;
    if (dayFirst == monthFirst) return DateStyle::YearLast;
    return dayFirst ? DateStyle::DayFirst : DateStyle::MonthFirst;
}

}  // namespace kavro
