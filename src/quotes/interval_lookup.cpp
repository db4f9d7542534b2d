#include "quotes/interval_lookup.h"

#include <cstdio>

#include "platform/text_file.h"

namespace kavro {

namespace {
// The keys lie in the first eleven characters of a line.
constexpr size_t kKeptColumns = 16;

std::string_view Mid(std::string_view s, size_t start, size_t length) {
    if (start < 1 || start > s.size()) return {};
    return s.substr(start - 1, length);
}
}  // namespace

LookupResult FindStartLine(const std::string& path, const Date& date) {
    LookupResult r;
    LineReader reader(kKeptColumns);
    if (!reader.open(path)) return r;
    r.opened = true;
    const std::string key = DateKey(date);
    std::string_view line;
    while (reader.next(line)) {
        ++r.lineCount;
        if (Mid(line, 1, 8) == key) {
            r.found = true;
            break;
        }
    }
    if (reader.failed()) r.opened = false;
    return r;
}

LookupResult FindEndLine(const std::string& path, const Date& date, int hour) {
    LookupResult r;
    LineReader reader(kKeptColumns);
    if (!reader.open(path)) return r;
    r.opened = true;
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d", hour);
    const std::string key = DateKey(date) + " " + hh;
    std::string_view line;
    while (reader.next(line)) {
        ++r.lineCount;
        std::string text(Mid(line, 1, 8));
        text += ' ';
        text += Mid(line, 10, 2);
        if (text == key) {
            r.found = true;
            break;
        }
    }
    if (reader.failed()) r.opened = false;
    return r;
}

}  // namespace kavro
