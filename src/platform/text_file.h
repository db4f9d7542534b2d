#pragma once
// Plain text files: line-by-line reading, whole-line appends, write failures in words.
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kavro {

// Plain files only: reads and writes of the program's text files.

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Splits text into lines the way quote files are read: a line ends at CR
// (an LF right after it belongs to that ending) or at the end of the text; an
// LF alone does not end a line. A final line ending adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Reads a file line by line with the same line ends as SplitLines, keeping at
// most `keep` characters of each line, so memory does not grow with the file
// or with a line that never ends.
class LineReader {
  public:
    explicit LineReader(size_t keep) : keep_(keep) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a plain file; false for anything else or when it cannot be opened.
    bool open(const std::string& path);
    // The next line's first characters; false at the end of the file or on a read error.
    bool next(std::string_view& line);
    // True when reading stopped on an error rather than at the end.
    bool failed() const { return failed_; }

  private:
    bool fill();

    size_t keep_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false, failed_ = false;
    bool skipLineFeed_ = false;  // the previous line ended at a CR that an LF may follow
    std::string line_;
};

// Counts the lines of a file as LineReader reads them, stopping at `limit`;
// false when it cannot be read.
bool CountLines(const std::string& path, long& count, long limit = LONG_MAX);

// Creates or truncates a plain file. False when it cannot be written; `cause`
// then says why in a few words.
bool TruncateFile(const std::string& path, std::string* cause = nullptr);
// Appends text to a plain file, creating it, and closes it at once. The text is
// written whole or not at all: a failed write takes the file back to its length before.
bool AppendToFile(const std::string& path, std::string_view text, std::string* cause = nullptr);
// Why a file operation failed, from the system's error number, in the program's
// words: the one table every message about a file uses.
std::string WriteFailureCause(int error);

// Joins a directory and a file name ("" directory means the working one).
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace kavro
