#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/text_file.h"

namespace kavro {

namespace {

std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other writer uses: the hidden file's suffix changes with every try.
std::string TemporaryName(const std::string& path, unsigned attempt) {
    static std::atomic<uint64_t> counter{0};
    const uint64_t stamp =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ attempt;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(stamp));
    return Folder(path) + "." + Name(path) + ".part-" + suffix;
}

}  // namespace

std::string FileErrorText(const char* what, const std::string& path, int errnoValue) {
    return std::string(what) + " «" + path + "»: " + WriteFailureCause(errnoValue);
}

PendingFile::~PendingFile() {
    discard();
}

PendingFile::PendingFile(PendingFile&& o) noexcept
    : file_(o.file_), path_(std::move(o.path_)), temp_(std::move(o.temp_)), closed_(o.closed_) {
    o.file_ = nullptr;
    o.temp_.clear();
}

PendingFile& PendingFile::operator=(PendingFile&& o) noexcept {
    if (this != &o) {
        discard();
        file_ = o.file_;
        path_ = std::move(o.path_);
        temp_ = std::move(o.temp_);
        closed_ = o.closed_;
        o.file_ = nullptr;
        o.temp_.clear();
    }
    return *this;
}

void PendingFile::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
    closed_ = false;
}

bool PendingFile::open(const std::string& path, std::string& error) {
    discard();
    path_ = path;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = TemporaryName(path, attempt);
        errno = 0;
        // "x": never open a file someone else made under the same name.
        file_ = std::fopen(temp.c_str(), "wbx");
        if (file_) {
            temp_ = temp;
            // Large writes go straight through; the callers hand over big blocks.
            std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = FileErrorText("Не удалось записать файл", path, errno);
    return false;
}

bool PendingFile::write(std::string_view bytes, std::string& error) {
    if (!file_) {
        error = FileErrorText("Не удалось записать файл", path_, EIO);
        return false;
    }
    errno = 0;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error = FileErrorText("Не удалось записать файл", path_, errno ? errno : EIO);
        discard();
        return false;
    }
    return true;
}

bool PendingFile::close(std::string& error) {
    if (closed_) return true;
    if (!file_) {
        error = FileErrorText("Не удалось записать файл", path_, EIO);
        return false;
    }
    errno = 0;
    // A full disk often shows only here, when the buffer is written out.
    const bool flushed = std::fflush(file_) == 0;
    const int flushError = errno;
    errno = 0;
    const bool closedOk = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closedOk) {
        error = FileErrorText("Не удалось записать файл", path_,
                              !flushed ? (flushError ? flushError : EIO) : (errno ? errno : EIO));
        discard();
        return false;
    }
    closed_ = true;
    return true;
}

bool PendingFile::commit(std::string& error) {
    if (!close(error)) return false;
    errno = 0;
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
        error = FileErrorText("Не удалось записать файл", path_, errno ? errno : EIO);
        discard();
        return false;
    }
    temp_.clear();
    closed_ = false;
    return true;
}

bool CommitAll(std::vector<PendingFile>& files, std::string& error) {
    auto fail = [&] {
        for (PendingFile& g : files) g.discard();
        return false;
    };
    for (PendingFile& f : files)
        if (!f.close(error)) return fail();
    // A folder where a file should go would stop the renames half-way: find it first.
    for (PendingFile& f : files) {
        std::error_code ec;
        if (std::filesystem::is_directory(f.path(), ec)) {
            error = FileErrorText("Не удалось записать файл", f.path(), EISDIR);
            return fail();
        }
    }
    for (PendingFile& f : files)
        if (!f.commit(error)) return fail();
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    PendingFile f;
    return f.open(path, error) && f.write(bytes, error) && f.commit(error);
}

bool EnsureFolder(const std::string& dir, std::string& error) {
    if (dir.empty()) return true;  // the working folder
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::error_code probe;
    if (std::filesystem::is_directory(dir, probe)) return true;
    // A file in the way reads the same on every library, whatever code it gave.
    const bool fileInTheWay = std::filesystem::exists(dir, probe);
    const int e = fileInTheWay ? EEXIST : ec ? ec.value() : ENOENT;
    error = FileErrorText("Не удалось создать папку", dir, e);
    return false;
}

}  // namespace kavro
