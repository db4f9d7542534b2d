#pragma once
// Prices as exact decimals: read from CSV text, checked against a quote file's price field, written rounded.
#include <cstdint>
#include <string_view>

#include "quotes/quote_store.h"

namespace kavro {

// A price in units of 1e-8. Digits past the eighth decimal are dropped when reading: a price field holds
// at most six decimals, and rounding half away from zero to six or fewer decimals never looks past the
// seventh.
using PriceUnits = int64_t;
inline constexpr PriceUnits kPriceScale = 100000000;

enum class PriceRead { Ok, NotNumber, NotPositive, TooLarge };

// Reads a price: digits with at most one decimal mark ('.', or ',' when `decimalComma`), an optional
// '+' or '-' before them, blanks around. A price of more than ten integer digits is TooLarge.
PriceRead ReadPrice(std::string_view text, bool decimalComma, PriceUnits& out);

// Characters of a price field in the pair's quote files: 6 for EUR, GBP and CHF, 8 for JPY.
int PriceFieldWidth(Pair pair);

// Writes `price` into exactly `width` characters at `out`: its integer digits, a period and as many decimals
// as the rest of the field holds, rounded half away from zero. False, writing nothing, when no decimal fits
// or the rounded price is zero. `width` is 3 to 9.
bool FormatPriceField(PriceUnits price, int width, char* out);

// Whether FormatPriceField succeeds for `price`; cheap enough to ask for every price of a file.
bool PriceFitsField(PriceUnits price, int width);

// The price as FormatPriceField writes it, in units of 1e-8 (0 when it does not fit).
PriceUnits RoundToField(PriceUnits price, int width);

}  // namespace kavro
