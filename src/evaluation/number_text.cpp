#include "evaluation/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace kavro {

namespace {

// Whole values (every money result and distance in practice) skip the
// shortest-form search: a 5-million-row CSV spends its time here.
template <typename T>
bool AppendWhole(std::string& out, T value) {
    if (!(std::fabs(value) < static_cast<T>(1e15)) || std::trunc(value) != value) return false;
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(value));
    out.append(buf, r.ptr);
    return true;
}

template <typename T>
void AppendAny(std::string& out, T value) {
    if (std::isnan(value)) return;
    if (std::isinf(value)) {
        out += value > 0 ? "inf" : "-inf";
        return;
    }
    if (value == 0) {
        out += '0';
        return;
    }
    if (AppendWhole(out, value)) return;
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

}  // namespace

void AppendNumber(std::string& out, double value) {
    AppendAny(out, value);
}

void AppendNumber(std::string& out, float value) {
    AppendAny(out, value);
}

std::string NumberText(double value) {
    std::string s;
    AppendNumber(s, value);
    return s;
}

std::string DisplayNumber(double value, int decimals) {
    if (std::isnan(value)) return "—";
    if (std::isinf(value)) return value > 0 ? "∞" : "-∞";
    if (decimals < 0) decimals = 0;
    if (decimals > 10) decimals = 10;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
        // Beyond what fits 64 characters in fixed form: the exponent form still says it.
        const auto e = std::to_chars(buf, buf + sizeof buf, value);
        return std::string(buf, e.ptr);
    }
    std::string s(buf, r.ptr);
    // A value that rounds to zero shows no sign.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

std::string DigestText(uint64_t digest) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
    return text;
}

}  // namespace kavro
