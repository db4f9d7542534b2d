#include "platform/text_file.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kavro {

bool ReadWholeFile(const std::string& path, std::string& out) {
    if (path.empty()) return false;
    // Only plain files: a directory has no usable size, a pipe blocks on open, a device may never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0) return false;
    std::string data;
    try {
        data.assign(static_cast<size_t>(size), '\0');
    } catch (const std::exception&) {
        return false;  // too big to hold: the same as unreadable
    }
    in.seekg(0, std::ios::beg);
    if (size > 0 && !in.read(data.data(), size)) return false;
    out.swap(data);
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, cr - start));
        start = cr + 1;
        if (start < n && text[start] == '\n') ++start;
    }
    return lines;
}

bool TruncateFile(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out);
}

bool AppendToFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace kavro
