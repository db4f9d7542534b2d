#include "platform/locale.h"

namespace kavro {

bool Locale::fromName(std::string_view name, Locale& out) {
    const auto dot = name.find('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    Locale l;
    if (name == "C" || name == "POSIX" || name.empty()) {
        l.decimalSeparator = '.';
        l.shortDatePattern = "dd.MM.yyyy";
    } else if (name == "en_US") {
        l.decimalSeparator = '.';
        l.shortDatePattern = "M/d/yyyy";
    } else if (name == "en_GB") {
        l.decimalSeparator = '.';
        l.shortDatePattern = "dd/MM/yyyy";
    } else if (name == "ru_RU" || name == "de_DE") {
        l.decimalSeparator = ',';
        l.shortDatePattern = "dd.MM.yyyy";
    } else if (name == "fr_FR") {
        l.decimalSeparator = ',';
        l.shortDatePattern = "dd/MM/yyyy";
    } else {
        return false;
    }
    out = l;
    return true;
}

}  // namespace kavro
