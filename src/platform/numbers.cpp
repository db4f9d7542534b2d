#include "platform/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kavro {

namespace {

bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Converts a clean "[-]digits[.digits][e[+-]digits]" text; overflow keeps the sign.
double ParseClean(const std::string& clean) {
    if (clean.empty()) return 0.0;
    double value = 0.0;
    auto res = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars leaves value untouched. The place of the first significant digit plus the
        // exponent tells huge from tiny: a long "0.000...1" has no exponent and is still tiny.
        const bool negative = clean[0] == '-';
        const size_t begin = negative ? 1 : 0;
        const size_t e = std::min(clean.find_first_of("eE"), clean.size());
        const std::string_view mantissa(clean.data() + begin, e - begin);
        const size_t point = std::min(mantissa.find('.'), mantissa.size());
        const size_t first = mantissa.find_first_of("123456789");
        if (first == std::string_view::npos) return negative ? -0.0 : 0.0;
        long long magnitude = first < point ? static_cast<long long>(point - first) - 1
                                            : -static_cast<long long>(first - point);
        long long exponent = 0;
        size_t k = e + 1;
        const bool expNegative = k < clean.size() && clean[k] == '-';
        if (k < clean.size() && (clean[k] == '-' || clean[k] == '+')) ++k;
        for (; k < clean.size() && exponent < 1000000000; ++k) exponent = exponent * 10 + (clean[k] - '0');
        magnitude += expNegative ? -exponent : exponent;
        if (magnitude < 0) return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    if (res.ec != std::errc()) return 0.0;
    return value;
}

std::string FormatWith(double value, int digits, char decimal) {
    if (value == 0.0) return "0";
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, value);
    std::string out(buf);
    if (decimal != '.') {
        for (char& c : out)
            if (c == '.') c = decimal;
    }
    return out;
}

}  // namespace

double Val(std::string_view text) {
    std::string clean;
    size_t i = 0;
    const size_t n = text.size();
    auto skip = [&] {
        while (i < n && IsSkipped(text[i])) ++i;
    };
    skip();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') clean.push_back('-');
        ++i;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsSkipped(c)) continue;
        if (IsDigit(c)) {
            clean.push_back(c);
            sawDigit = true;
        } else if (c == '.' && !sawPoint) {
            clean.push_back('.');
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit) return 0.0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        // An exponent counts only when digits follow it.
        size_t j = i + 1;
        std::string exp = "e";
        while (j < n && IsSkipped(text[j])) ++j;
        if (j < n && (text[j] == '+' || text[j] == '-')) exp.push_back(text[j++]);
        bool expDigit = false;
        for (; j < n; ++j) {
            if (IsSkipped(text[j])) continue;
            if (!IsDigit(text[j])) break;
            exp.push_back(text[j]);
            expDigit = true;
        }
        if (expDigit) clean += exp;
    }
    if (clean.back() == '.') clean.pop_back();
    if (clean == "-") return 0.0;
    return ParseClean(clean);
}

bool ToSingle(std::string_view text, const Locale& locale, float& out) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    std::string clean;
    size_t i = b;
    if (i < e && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') clean.push_back('-');
        ++i;
    }
    bool sawDigit = false, sawPoint = false;
    for (; i < e; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            clean.push_back(c);
            sawDigit = true;
        } else if (c == locale.decimalSeparator && !sawPoint) {
            clean.push_back('.');
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit) return false;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        clean.push_back('e');
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-')) clean.push_back(text[i++]);
        bool expDigit = false;
        for (; i < e && IsDigit(text[i]); ++i) {
            clean.push_back(text[i]);
            expDigit = true;
        }
        if (!expDigit) return false;
    }
    if (i != e) return false;
    float value = 0.0f;
    auto res = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (res.ec != std::errc() || res.ptr != clean.data() + clean.size()) return false;
    if (!std::isfinite(value)) return false;
    out = value;
    return true;
}

std::string FormatGeneral(float value, const Locale& locale) {
    return FormatWith(static_cast<double>(value), 7, locale.decimalSeparator);
}

std::string FormatGeneral(double value, const Locale& locale) {
    return FormatWith(value, 15, locale.decimalSeparator);
}

bool IsPlainNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t i = 0, n = text.size();
    while (i < n && blank(text[i])) ++i;
    while (n > i && blank(text[n - 1])) --n;
    auto digit = [&](size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (digit(i)) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    return i == n;
}

bool ValueInPoints(std::string_view text, const Locale& locale, double& out) {
    float single = 0.0f;
    if (!ToSingle(text, locale, single)) return false;
    out = Val(FormatGeneral(single, locale));
    return true;
}

std::string PrintNumber(float value) {
    const Locale c;
    std::string digits = FormatGeneral(std::fabs(value), c);
    return (value < 0 ? "-" : " ") + digits + " ";
}

std::string PrintNumber(double value) {
    const Locale c;
    std::string digits = FormatGeneral(std::fabs(value), c);
    return (value < 0 ? "-" : " ") + digits + " ";
}

double RoundHalfEven(double x) {
    return std::nearbyint(x);
}

double Int(double x) {
    return std::floor(x);
}

bool ToIndex(double x, long lo, long hi, long& out) {
    if (!std::isfinite(x)) return false;
    const double r = RoundHalfEven(x);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return false;
    out = static_cast<long>(r);
    return true;
}

}  // namespace kavro
