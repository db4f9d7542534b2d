#pragma once
// The regional settings numbers and dates are written under.
#include <string>
#include <string_view>

namespace kavro {

// The user's regional settings as far as the program needs them: how numbers
// are written and how a date is shown in its short form.
struct Locale {
    char decimalSeparator = '.';
    // Pattern with d, dd, M, MM, yy, yyyy; every other character is copied.
    std::string shortDatePattern = "dd.MM.yyyy";

    // Known names: "C", "POSIX", "en_US", "en_GB", "ru_RU", "de_DE", "fr_FR"
    // (an encoding suffix such as ".UTF-8" is ignored). Unknown names fail.
    static bool fromName(std::string_view name, Locale& out);
};

}  // namespace kavro
