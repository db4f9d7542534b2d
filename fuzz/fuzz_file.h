#pragma once
// Plumbing of the fuzz targets: the input bytes as a file without touching the disk, and a scratch folder.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "quotes/quote_store.h"

namespace kavro::fuzz {

// An in-memory file whose path the loaders and the import open like any other.
class MemoryFile {
  public:
    explicit MemoryFile(const char* name) : fd_(memfd_create(name, 0)) {
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    const std::string& path() const { return path_; }
    void set(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0 ||
            (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("memfd write");
            std::abort();
        }
    }

  private:
    int fd_;
    std::string path_;
};

// Loads the input bytes with one of the quote loaders into an empty store (cheap: a store holds only the
// bars it loads); the input's last byte picks the column layout, EUR or JPY.
inline void FuzzQuoteLoader(MemoryFile& file,
                            LoadResult (*load)(QuoteStore&, const std::string&, Pair, LoadProgress&,
                                               LoadMode),
                            const uint8_t* data, size_t size) {
    struct Quiet : LoadProgress {
        void started(int) override {}
        void lineStored(int) override {}
    } quiet;
    file.set(data, size);
    QuoteStore store;
    load(store, file.path(), size > 0 && (data[size - 1] & 1) ? Pair::JPY : Pair::EUR, quiet,
         LoadMode::Continue);
}

// A folder of its own on a memory file system where there is one.
inline std::string ScratchFolder() {
    std::string base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = base + "/kavro_fuzz_XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

}  // namespace kavro::fuzz
