#pragma once
// Plumbing shared by the unit and end-to-end tests: scratch directories, whole-file
// reads, running a program, and the line formats the programs print and write.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace kavro::testing {

// Every byte of the file at `path`; empty when it cannot be opened.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A fresh directory of its own, removed with everything in it when this goes away.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "kavro") {
        std::string pattern = ::testing::TempDir() + prefix + "_XXXXXX";
        // Without a directory no file a test writes would land anywhere known.
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a directory from " + pattern);
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes `bytes` into the file `name` as they are; returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string p = file(name);
        std::ofstream out(p, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string read(const std::string& name) const { return ReadFile(file(name)); }

    // Creates the directory `name` (and any missing parents) inside; returns its path.
    std::string subdir(const std::string& name) const {
        const std::string p = file(name);
        std::filesystem::create_directories(p);
        return p;
    }

  private:
    std::string path_;
};

// Limits the size any file of this process may grow to, while it lives: a write
// beyond it fails as on a full disk (the signal that would end the process is ignored).
class SizeLimit {
  public:
    SizeLimit() {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~SizeLimit() {
        lift();
        signal(SIGXFSZ, previous_);
    }
    SizeLimit(const SizeLimit&) = delete;
    SizeLimit& operator=(const SizeLimit&) = delete;

    void set(long bytes) const {
        rlimit r = saved_;
        r.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &r);
        active_ = true;
    }
    void lift() const {
        setrlimit(RLIMIT_FSIZE, &saved_);
        active_ = false;
    }
    bool active() const { return active_; }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    mutable bool active_ = false;
};

struct CommandResult {
    int status = -1;  // the exit code; -1 when the program did not exit normally
    std::string out, err;
};

// Runs `command` through the shell: stdout through a pipe, stderr through a file,
// so the two streams can be checked apart.
inline CommandResult RunCommand(const std::string& command) {
    const TempDir scratch("kavro_run");
    const std::string errPath = scratch.file("stderr");
    CommandResult r;
    FILE* pipe = popen((command + " 2>" + errPath).c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = ReadFile(errPath);
    return r;
}

// The Name=value lines of `text`; other lines are skipped.
inline std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> kv;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

// What to do with text after the last CR LF.
enum class Tail { Keep, Drop };

// The lines of `text`, each ended by CR LF. With Tail::Drop an unended last line
// does not count, so a report that lost its final line end shows up as short.
inline std::vector<std::string> CrLfLines(const std::string& text, Tail tail = Tail::Keep) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            if (tail == Tail::Keep) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

#ifdef KAVRO_SAMPLE_DIR
// A file of the bundled sample data.
inline std::string SamplePath(const std::string& name) {
    return std::string(KAVRO_SAMPLE_DIR) + "/" + name;
}
#endif

#ifdef KAVRO_BATCH
// Runs the batch program built alongside the tests with `args`.
inline CommandResult RunBatch(const std::string& args) {
    return RunCommand(std::string(KAVRO_BATCH) + " " + args);
}
#endif

}  // namespace kavro::testing
