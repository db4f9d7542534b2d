#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kavro {

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Splits text into lines the way quote files are read: a line ends at CR
// (an LF right after it belongs to that ending) or at the end of the text; an
// LF alone does not end a line. A final line ending adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Creates or truncates a file. False when it cannot be written.
bool TruncateFile(const std::string& path);
// Appends text to a file, creating it; opens and closes it at once.
bool AppendToFile(const std::string& path, std::string_view text);

// Joins a directory and a file name ("" directory means the working one).
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace kavro
