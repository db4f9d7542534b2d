#pragma once
// Files that appear whole or not at all: each is written under a hidden temporary
// name in its folder and renamed onto its own name only when complete.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kavro {

class PendingFile {
  public:
    PendingFile() = default;
    ~PendingFile();  // removes the temporary file unless it was committed
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary file next to `path`. Each call below returns false
    // with a message for the user in `error` (Russian, naming the file and the cause).
    bool open(const std::string& path, std::string& error);
    bool write(std::string_view bytes, std::string& error);
    bool close(std::string& error);   // flushes: every byte is on the disk's side now
    bool commit(std::string& error);  // renames the closed file onto `path`
    // Drops the temporary file.
    void discard();

    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temp_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_, temp_;
    bool closed_ = false;
};

// Closes every file, then renames them all; if any close fails nothing is renamed
// and every temporary file goes, so the folder keeps what it had.
bool CommitAll(std::vector<PendingFile>& files, std::string& error);

// One whole file written the same way.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// Creates `dir` with any missing parents; false with a message when it cannot.
bool EnsureFolder(const std::string& dir, std::string& error);

// The user's message for a failed file operation: what failed, the file, and the
// cause as errno tells it.
std::string FileErrorText(const char* what, const std::string& path, int errnoValue);

}  // namespace kavro
