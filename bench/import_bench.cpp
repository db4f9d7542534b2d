// Times the CSV import and measures its peak memory: five years of one-minute bars (about 1.9 million lines,
// 100 MB, in the minute-bar archive layout, and again as a data tool writes them: month-first dates with a
// zone) and ten years of hourly bars (platform export layout), all made from the real hourly quotes. Each
// import runs in a child process of its own, so the peak is its own. Usage: import_bench [DATA_DIR] [RUNS];
// DATA_DIR holds EURUSD_H1.PRN.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "import/csv_import.h"

namespace {

struct Hour {
    std::string date;  // yyyymmdd
    int hour;
    std::string o, h, l, c;
};

std::vector<Hour> ReadHours(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<Hour> hours;
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 44) continue;
        hours.push_back({line.substr(0, 8), std::stoi(line.substr(9, 2)), line.substr(16, 6),
                         line.substr(23, 6), line.substr(30, 6), line.substr(37, 6)});
    }
    return hours;
}

// The hours of the last `years` years of the file.
std::vector<Hour> LastYears(const std::vector<Hour>& all, int years) {
    const std::string& last = all.back().date;
    const std::string from = std::to_string(std::stoi(last.substr(0, 4)) - years) + last.substr(4);
    std::vector<Hour> out;
    for (const Hour& h : all) {
        if (h.date > from) out.push_back(h);
    }
    return out;
}

class Output {
  public:
    explicit Output(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
    ~Output() {
        flush();
        std::fclose(f_);
    }
    std::string& text() { return buf_; }
    void maybeFlush() {
        if (buf_.size() > (1 << 20)) flush();
    }
    uint64_t bytes() const { return written_ + buf_.size(); }

  private:
    void flush() {
        std::fwrite(buf_.data(), 1, buf_.size(), f_);
        written_ += buf_.size();
        buf_.clear();
    }
    std::FILE* f_;
    std::string buf_;
    uint64_t written_ = 0;
};

// How the minute bars are written.
enum class MinuteLayout {
    Archive,   // "20190102 080000;1.144500;1.144700;1.144300;1.144500;0"
    DataTool,  // "time,open,high,low,close,volume" then "1/2/2019 8:00:00+00:00,1.144500,...,0"
};

// Sixty one-minute bars per hour: the first reaches the hour's high, the last its low and close, the ones
// between close at the open, high and low in turn.
uint64_t WriteMinuteBars(const std::vector<Hour>& hours, MinuteLayout layout, const std::string& path,
                         uint64_t& lines) {
    Output out(path);
    const bool archive = layout == MinuteLayout::Archive;
    const char* sep = archive ? "00;" : "00,";
    if (!archive) out.text() += "time,open,high,low,close,volume\n";
    for (const Hour& h : hours) {
        const std::string monthFirst = std::to_string(std::stoi(h.date.substr(4, 2))) + "/" +
                                       std::to_string(std::stoi(h.date.substr(6, 2))) + "/" +
                                       h.date.substr(0, 4) + " " + std::to_string(h.hour) + ":";
        const double o = std::stod(h.o), hi = std::stod(h.h), lo = std::stod(h.l);
        const std::string* path3[3] = {&h.o, &h.h, &h.l};
        const double value3[3] = {o, hi, lo};
        std::string prev = h.o;
        double prevValue = o;
        for (int m = 0; m < 60; ++m) {
            const std::string& close = m == 59 ? h.c : *path3[m % 3];
            const double closeValue = m == 59 ? std::stod(h.c) : value3[m % 3];
            const std::string& high = m == 0 ? h.h : (prevValue >= closeValue ? prev : close);
            const std::string& low = m == 59 ? h.l : (prevValue <= closeValue ? prev : close);
            char clock[16];
            if (archive) {
                std::snprintf(clock, sizeof clock, "%02d%02d00;", h.hour, m);
                out.text() += h.date + " " + clock;
            } else {
                std::snprintf(clock, sizeof clock, "%02d:00+00:00,", m);
                out.text() += monthFirst + clock;
            }
            out.text() += prev + sep + high + sep + low + sep + close + sep + "0\n";
            prev = close;
            prevValue = closeValue;
            ++lines;
        }
        out.maybeFlush();
    }
    return out.bytes();
}

// "2019.01.02,08:00,1.1445,1.1447,1.1443,1.1445,123"
uint64_t WriteHourlyBars(const std::vector<Hour>& hours, const std::string& path, uint64_t& lines) {
    Output out(path);
    for (const Hour& h : hours) {
        char hh[4];
        std::snprintf(hh, sizeof hh, "%02d", h.hour);
        out.text() += h.date.substr(0, 4) + "." + h.date.substr(4, 2) + "." + h.date.substr(6, 2) + "," + hh +
                      ":00," + h.o + "," + h.h + "," + h.l + "," + h.c + ",123\r\n";
        ++lines;
        out.maybeFlush();
    }
    return out.bytes();
}

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

struct Figures {
    double ms = 0;
    long peakKb = 0, beforeKb = 0;
    bool ok = false;
    char message[512] = {};
};

// One import in a child process: its wall time and the peak resident memory the import reached.
Figures ImportInChild(const kavro::ImportOptions& options) {
    Figures f;
    int pipefd[2];
    if (pipe(pipefd) != 0) return f;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        Figures c;
        // Start the peak afresh: whatever the parent held does not count.
        std::ofstream("/proc/self/clear_refs") << "5";
        c.beforeKb = StatusKb("VmRSS:");
        const auto t0 = std::chrono::steady_clock::now();
        const kavro::ImportResult r = kavro::ImportCsv(options);
        c.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        c.peakKb = StatusKb("VmHWM:");
        c.ok = r.ok;
        std::snprintf(c.message, sizeof c.message, "%s", r.message.c_str());
        if (write(pipefd[1], &c, sizeof c) != static_cast<ssize_t>(sizeof c)) _exit(1);
        _exit(0);
    }
    close(pipefd[1]);
    if (read(pipefd[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) f.ok = false;
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return f;
}

bool Measure(const char* what, const kavro::ImportOptions& options, int runs) {
    std::vector<double> ms;
    long peak = 0, before = 0;
    for (int i = 0; i < runs; ++i) {
        const Figures f = ImportInChild(options);
        if (!f.ok) {
            std::fprintf(stderr, "import_bench: %s refused: %s\n", what, f.message);
            return false;
        }
        ms.push_back(f.ms);
        peak = std::max(peak, f.peakKb);
        before = f.beforeKb;
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%-36s min %8.1f ms   median %8.1f ms   peak RSS %6.1f MB (%.1f MB before the import)  (%d runs)\n",
        what, ms.front(), ms[ms.size() / 2], peak / 1024.0, before / 1024.0, runs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : KAVRO_SHARED_DATA;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    char pattern[] = "/tmp/kavro_import_bench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string tmp = pattern;
    {
        const std::vector<Hour> all = ReadHours(dir + "/EURUSD_H1.PRN");
        if (all.size() < 1000) {
            std::fprintf(stderr, "import_bench: cannot read %s/EURUSD_H1.PRN\n", dir.c_str());
            return 1;
        }
        uint64_t minuteLines = 0, hourLines = 0, toolLines = 0;
        const auto fiveYears = LastYears(all, 5), tenYears = LastYears(all, 10);
        const uint64_t minuteBytes =
            WriteMinuteBars(fiveYears, MinuteLayout::Archive, tmp + "/minutes.csv", minuteLines);
        const uint64_t toolBytes =
            WriteMinuteBars(fiveYears, MinuteLayout::DataTool, tmp + "/minutes_tool.csv", toolLines);
        const uint64_t hourBytes = WriteHourlyBars(tenYears, tmp + "/hours.csv", hourLines);
        std::printf("five years of minute bars: %llu lines, %.1f MB (%s .. %s)\n",
                    static_cast<unsigned long long>(minuteLines), minuteBytes / 1e6,
                    fiveYears.front().date.c_str(), fiveYears.back().date.c_str());
        std::printf("the same as a data tool:   %llu lines, %.1f MB (month-first dates with a zone)\n",
                    static_cast<unsigned long long>(toolLines), toolBytes / 1e6);
        std::printf("ten years of hourly bars:  %llu lines, %.1f MB (%s .. %s)\n",
                    static_cast<unsigned long long>(hourLines), hourBytes / 1e6,
                    tenYears.front().date.c_str(), tenYears.back().date.c_str());
    }
    // Hand the generator's memory back, so the children start from a small process.
    malloc_trim(0);

    kavro::ImportOptions o;
    o.outHourly = tmp + "/out_H1.PRN";
    o.outDaily = tmp + "/out_D1.PRN";
    o.csvPath = tmp + "/minutes.csv";
    bool ok = Measure("import, five years of minute bars", o, runs);
    o.csvPath = tmp + "/minutes_tool.csv";
    ok = Measure("import, the same as a data tool", o, runs) && ok;
    o.csvPath = tmp + "/hours.csv";
    ok = Measure("import, ten years of hourly bars", o, runs) && ok;
    std::filesystem::remove_all(tmp);
    return ok ? 0 : 1;
}
