#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

namespace kavro {

namespace {

bool IsPlainFile(const std::string& path) {
    // A directory has no usable size, a pipe blocks on open, a device may never end.
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// An error number for "this is not a plain file", told apart from the system's own.
constexpr int kNotPlainFile = -1;

// Opens a plain file for writing without blocking on a pipe; -1 with `error` set otherwise.
int OpenForWriting(const std::string& path, int flags, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = kNotPlainFile;
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Fail(std::string* cause, int error) {
    if (cause) *cause = WriteFailureCause(error);
    return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
    if (!IsPlainFile(path)) return false;
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

LineReader::~LineReader() {
    if (file_) std::fclose(file_);
}

bool LineReader::open(const std::string& path) {
    if (!IsPlainFile(path)) return false;
    file_ = std::fopen(path.c_str(), "rb");
    return file_ != nullptr;
}

bool LineReader::fill() {
    if (eof_ || failed_ || !file_) return false;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    if (end_ == 0) {
        if (std::ferror(file_)) failed_ = true;
        eof_ = true;
        return false;
    }
    return true;
}

bool LineReader::next(std::string_view& line) {
    line_.clear();
    bool any = false;  // a character of this line, its ending included, was read
    for (;;) {
        if (pos_ == end_ && !fill()) break;
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const char* start = buffer_.data() + pos_;
        const void* cr = std::memchr(start, '\r', end_ - pos_);
        const size_t len = cr ? static_cast<size_t>(static_cast<const char*>(cr) - start) : end_ - pos_;
        if (line_.size() < keep_) line_.append(start, std::min(len, keep_ - line_.size()));
        any = any || len > 0;
        pos_ += len;
        if (cr) {
            ++pos_;
            skipLineFeed_ = true;
            line = line_;
            return true;
        }
    }
    if (failed_ || !any) return false;
    line = line_;
    return true;
}

bool CountLines(const std::string& path, long& count, long limit) {
    LineReader reader(0);
    if (!reader.open(path)) return false;
    count = 0;
    std::string_view line;
    while (count < limit && reader.next(line)) ++count;
    return !reader.failed();
}

bool TruncateFile(const std::string& path, std::string* cause) {
    int error = 0;
    const int fd = OpenForWriting(path, 0, error);
    if (fd < 0) return Fail(cause, error);
    const bool ok = ::ftruncate(fd, 0) == 0;
    error = errno;
    if (::close(fd) != 0 && ok) return Fail(cause, errno);
    return ok || Fail(cause, error);
}

bool AppendToFile(const std::string& path, std::string_view text, std::string* cause) {
    int error = 0;
    const int fd = OpenForWriting(path, O_APPEND, error);
    if (fd < 0) return Fail(cause, error);
    struct stat st {};
    const off_t before = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            // A line is whole or absent: cut off whatever part of it got in.
            if (before >= 0 && ::ftruncate(fd, before) != 0) error = errno;
            ::close(fd);
            return Fail(cause, error);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0) return Fail(cause, errno);
    return true;
}

std::string WriteFailureCause(int error) {
    switch (error) {
        case kNotPlainFile:
        case ENXIO:
            return "это не обычный файл";
        case EACCES:
        case EPERM:
            return "нет прав на запись";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "нет места на диске";
        case EFBIG:
            return "превышен допустимый размер файла";
        case EISDIR:
            return "на месте файла находится папка";
        case ENOENT:
            return "папка не найдена";
        case ENOTDIR:
            return "часть пути не является папкой";
        case EROFS:
            return "диск доступен только для чтения";
        case ENAMETOOLONG:
            return "слишком длинное имя";
        case EEXIST:
            return "на месте папки находится файл";
        case EMFILE:
        case ENFILE:
            return "открыто слишком много файлов";
        case EIO:
            return "ошибка ввода-вывода";
        default:
            return "ошибка системы (код " + std::to_string(error) + ")";
    }
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace kavro
