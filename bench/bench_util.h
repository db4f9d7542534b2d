#pragma once
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/system_clock.h"
#include "program/commands.h"
#include "program/session.h"

namespace kavro::bench {

// Milliseconds of CPU time this thread has used.
inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Milliseconds of `runs` calls of `f`, sorted: wall time, or with `cpu` the calling
// thread's CPU time (steadier while other programs load the machine).
inline std::vector<double> SortedMs(int runs, const std::function<void()>& f, bool cpu = false) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = ThreadCpuMs();
        f();
        ms.push_back(
            cpu ? ThreadCpuMs() - c0
                : std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

// Milliseconds of `runs` calls of `f`: minimum and median.
inline void Time(const char* what, int runs, const std::function<void()>& f) {
    const std::vector<double> ms = SortedMs(runs, f);
    std::printf("%-48s min %9.2f ms   median %9.2f ms   (%d runs)\n", what, ms.front(), ms[ms.size() / 2],
                runs);
}

// Median milliseconds of `runs` calls of `f` (wall, or the thread's CPU time).
inline double MedianMs(int runs, const std::function<void()>& f, bool cpu = false) {
    const std::vector<double> ms = SortedMs(runs, f, cpu);
    return ms[ms.size() / 2];
}

// The process's peak resident memory so far, as "N MB".
inline std::string PeakRss() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return std::to_string(u.ru_maxrss / 1024) + " MB";
}

// A headless session with the real quotes loaded.
struct LoadedSession {
    HeadlessPump pump;
    RecordingDialogs dialogs;
    SystemClock clock;
    RecordingShell shell;
    Session s;
    LoadedSession(const std::string& dataDir, const std::string& workDir)
        : s(Ports{pump, dialogs, clock, shell}, Locale{}, workDir) {
        s.form.check2 = true;
        dialogs.fileAnswers = {dataDir + "/EURUSD_H1.PRN", dataDir + "/EURUSD_D1.PRN"};
        MenuHour(s);
        MenuDay(s);
    }
};

inline std::string DataDir(int argc, char** argv) {
#ifdef KAVRO_SHARED_DATA
    std::string dir = KAVRO_SHARED_DATA;
#else
    std::string dir = "../shared/data";
#endif
    if (argc > 1) dir = argv[1];
    return dir;
}

}  // namespace kavro::bench
