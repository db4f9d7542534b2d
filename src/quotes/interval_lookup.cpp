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

namespace {

// Counts lines through the files in order until `matches` accepts one; a file
// that cannot be opened or read makes the whole scan unreadable.
template <typename Matches>
LookupResult Scan(const std::vector<std::string>& paths, Matches matches) {
    LookupResult r;
    if (paths.empty()) return r;
    for (const std::string& path : paths) {
        LineReader reader(kKeptColumns);
        if (!reader.open(path)) return LookupResult{};
        std::string_view line;
        while (reader.next(line)) {
            ++r.lineCount;
            if (matches(line)) {
                r.found = true;
                r.opened = true;
                return r;
            }
        }
        if (reader.failed()) return LookupResult{false, false, r.lineCount};
    }
    r.opened = true;
    return r;
}

}  // namespace

LookupResult FindStartLine(const std::vector<std::string>& paths, const Date& date) {
    const std::string key = DateKey(date);
    return Scan(paths, [&](std::string_view line) { return Mid(line, 1, 8) == key; });
}

LookupResult FindEndLine(const std::vector<std::string>& paths, const Date& date, int hour) {
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d", hour);
    const std::string key = DateKey(date) + " " + hh;
    return Scan(paths, [&](std::string_view line) {
        std::string text(Mid(line, 1, 8));
        text += ' ';
        text += Mid(line, 10, 2);
        return text == key;
    });
}

}  // namespace kavro
