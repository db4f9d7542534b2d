#pragma once
// Reads a text file in large chunks and hands out its lines one at a time, never holding more than a chunk.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace kavro {

class CsvFileReader {
  public:
    static constexpr size_t kChunk = size_t{1} << 20;
    // A longer line is refused: no quote line comes near it, and a file without line ends must not fill
    // memory.
    static constexpr size_t kMaxLine = size_t{1} << 16;

    enum class Next { Line, End, TooLong, ReadError };

    CsvFileReader() = default;
    ~CsvFileReader();
    CsvFileReader(const CsvFileReader&) = delete;
    CsvFileReader& operator=(const CsvFileReader&) = delete;

    // Opens a plain file and reads its first chunk. False when it is no plain file or cannot be read.
    bool open(const std::string& path);
    uint64_t size() const { return size_; }
    // The bytes not handed out yet, as far as they are read (at the start: the first chunk).
    std::string_view ahead() const { return {buffer_.get() + pos_, end_ - pos_}; }
    // Drops `n` bytes ahead (a byte-order mark).
    void skip(size_t n);

    // The next line without its end. A line ends at CR LF, LF or CR; the last line may have no end.
    Next next(std::string_view& line);
    // 1-based number of the line last handed out (of the one refused for its length, after TooLong).
    int64_t lineNumber() const { return line_; }
    // Bytes handed out so far, line ends included.
    uint64_t bytesDone() const { return done_; }

  private:
    bool fill();

    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    std::unique_ptr<char[]> buffer_;  // left unfilled: a small file needs no megabyte of zeros
    size_t capacity_ = 0;
    size_t pos_ = 0, end_ = 0;
    size_t scanned_ = 0;  // bytes after pos_ known to hold no line end
    bool eof_ = false, error_ = false;
    bool pendingCr_ = false;  // the last line ended at a CR that closed a chunk: drop an LF right after it
    int64_t line_ = 0;
    uint64_t done_ = 0;
};

}  // namespace kavro
