#include "import/csv_file_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace kavro {

CsvFileReader::~CsvFileReader() {
    if (file_) std::fclose(file_);
}

bool CsvFileReader::open(const std::string& path) {
    // Only plain files: a directory cannot be read as text, a pipe or a device may never end.
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    size_ = size;
    // Room for an unfinished line plus a chunk; a small file is read whole at once.
    capacity_ = kMaxLine + 1 + std::min<size_t>(kChunk, std::max<uintmax_t>(size, 4096));
    buffer_.reset(new char[capacity_]);
    return fill() || eof_;
}

void CsvFileReader::skip(size_t n) {
    n = std::min(n, end_ - pos_);
    pos_ += n;
    scanned_ = 0;
    done_ += n;
}

bool CsvFileReader::fill() {
    // Keep the unfinished line at the front; it is at most kMaxLine long, so a whole chunk fits after it.
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    const size_t room = capacity_ - end_;
    const size_t got = std::fread(buffer_.get() + end_, 1, room, file_);
    end_ += got;
    if (got < room) {
        if (std::ferror(file_)) error_ = true;
        eof_ = true;
    }
    return got > 0;
}

CsvFileReader::Next CsvFileReader::next(std::string_view& line) {
    for (;;) {
        if (pendingCr_ && pos_ < end_) {
            pendingCr_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                ++done_;
            }
        }
        const char* base = buffer_.get() + pos_;
        const size_t avail = end_ - pos_;
        size_t i = scanned_;
        while (i < avail && base[i] != '\n' && base[i] != '\r') ++i;
        if (i < avail) {
            line = std::string_view(base, i);
            size_t used = i + 1;
            if (base[i] == '\r') {
                if (i + 1 < avail) {
                    if (base[i + 1] == '\n') ++used;
                } else {
                    pendingCr_ = true;
                }
            }
            pos_ += used;
            done_ += used;
            scanned_ = 0;
            ++line_;
            if (line.size() > kMaxLine) return Next::TooLong;
            return Next::Line;
        }
        scanned_ = avail;
        if (avail > kMaxLine) {
            ++line_;
            return Next::TooLong;
        }
        if (error_) return Next::ReadError;
        if (eof_) {
            if (avail == 0) return Next::End;
            line = std::string_view(base, avail);
            pos_ = end_;
            done_ += avail;
            scanned_ = 0;
            ++line_;
            return Next::Line;
        }
        fill();
        if (error_) return Next::ReadError;
    }
}

}  // namespace kavro
