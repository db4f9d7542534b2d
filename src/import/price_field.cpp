#include "import/price_field.h"

namespace kavro {

namespace {

constexpr int kScaleDigits = 8;
constexpr int kMaxIntegerDigits = 10;

constexpr PriceUnits Pow10(int n) {
    PriceUnits p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

int DigitCount(PriceUnits v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The price rounded to `decimals` places, in units of 10^-decimals.
PriceUnits RoundTo(PriceUnits price, int decimals) {
    const PriceUnits step = Pow10(kScaleDigits - decimals);
    return (price + step / 2) / step;
}

// Decimals FormatPriceField writes for `price`, or -1 when the price does not fit.
int FieldDecimals(PriceUnits price, int width) {
    if (price <= 0 || width < 3 || width > 9) return -1;
    // Rounding may carry into a new integer digit (9.99996 -> 10.000): then one decimal fewer.
    for (int decimals = width - DigitCount(price / kPriceScale) - 1; decimals >= 1; --decimals) {
        const PriceUnits rounded = RoundTo(price, decimals);
        if (rounded == 0) return -1;
        if (DigitCount(rounded / Pow10(decimals)) + 1 + decimals <= width) return decimals;
    }
    return -1;
}

}  // namespace

PriceRead ReadPrice(std::string_view text, bool decimalComma, PriceUnits& out) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    PriceUnits whole = 0, fraction = 0;
    int integerDigits = 0, fractionDigits = 0, digits = 0;
    bool nonZero = false, mark = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            ++digits;
            nonZero |= c != '0';
            if (mark) {
                if (fractionDigits < kScaleDigits) {
                    fraction = fraction * 10 + (c - '0');
                    ++fractionDigits;
                }
            } else {
                if (whole != 0 || c != '0') ++integerDigits;
                if (integerDigits > kMaxIntegerDigits) return PriceRead::TooLarge;
                whole = whole * 10 + (c - '0');
            }
        } else if (!mark && (c == '.' || (decimalComma && c == ','))) {
            mark = true;
        } else {
            return PriceRead::NotNumber;
        }
    }
    if (digits == 0) return PriceRead::NotNumber;
    if (negative || !nonZero) return PriceRead::NotPositive;
    out = whole * kPriceScale + fraction * Pow10(kScaleDigits - fractionDigits);
    return PriceRead::Ok;
}

int PriceFieldWidth(Pair pair) {
    return InfoOf(pair).priceWidth;
}

bool FormatPriceField(PriceUnits price, int width, char* out) {
    const int decimals = FieldDecimals(price, width);
    if (decimals < 0) return false;
    PriceUnits rounded = RoundTo(price, decimals);
    // Right to left: decimals, the period, then the integer digits, which fill the field exactly.
    for (int i = width - 1; i >= 0; --i) {
        if (i == width - 1 - decimals) {
            out[i] = '.';
            continue;
        }
        out[i] = static_cast<char>('0' + rounded % 10);
        rounded /= 10;
    }
    return true;
}

bool PriceFitsField(PriceUnits price, int width) {
    if (width < 3 || width > 9) return false;
    // The largest price that fits rounds to width-2 nines and one decimal nine; the smallest rounds to the
    // last decimal of "0.00...1".
    const PriceUnits above = Pow10(width - 2) * kPriceScale - Pow10(kScaleDigits - 1) / 2;
    const PriceUnits least = Pow10(kScaleDigits - (width - 2)) / 2;
    return price >= least && price < above;
}

PriceUnits RoundToField(PriceUnits price, int width) {
    const int decimals = FieldDecimals(price, width);
    if (decimals < 0) return 0;
    return RoundTo(price, decimals) * Pow10(kScaleDigits - decimals);
}

}  // namespace kavro
