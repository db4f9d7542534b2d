#pragma once
// Number readings and formats: Val, the locale-aware conversion, print format, rounding.
#include <string>
#include <string_view>

#include "platform/locale.h"

namespace kavro {

// Leading-number reading: skips blanks, tabs and line feeds wherever they
// stand, reads an optional sign, digits with at most one period and an
// optional exponent, stops at the first character that cannot continue the
// number. Never fails; no digits gives 0. Overflow gives +-infinity.
double Val(std::string_view text);

// True when the whole text, blanks around it aside, is one number as Val reads
// it: an optional sign, digits with at most one period, an optional exponent.
bool IsPlainNumber(std::string_view text);

// Strict locale-aware conversion of a whole text to a 32-bit float; blanks
// around the number are allowed. Returns false for anything that is not a
// number under `locale`, or that does not fit a 32-bit float.
bool ToSingle(std::string_view text, const Locale& locale, float& out);

// Locale-aware conversion of a 32-bit float back to text (shortest form of
// at most 7 significant digits, no leading blank).
std::string FormatGeneral(float value, const Locale& locale);
// The same for a 64-bit float with at most 15 significant digits.
std::string FormatGeneral(double value, const Locale& locale);

// The field's value "the long way": locale-aware conversion to a 32-bit
// float, back to text under the same locale, then Val. Under a decimal-comma
// locale only the whole part survives ("12,5" gives 12).
bool ValueInPoints(std::string_view text, const Locale& locale, double& out);

// Print format of report files: a blank or a minus sign before the digits and
// one blank after them. The digits are the general format with a period.
std::string PrintNumber(float value);
std::string PrintNumber(double value);

// Whole number nearest to x, halves to the even one.
double RoundHalfEven(double x);
// Whole number at or below x.
double Int(double x);

// RoundHalfEven into an int, false when the value is not finite or does not
// fit [lo, hi]. Used wherever a number becomes an index or a date part.
bool ToIndex(double x, long lo, long hi, long& out);

}  // namespace kavro
