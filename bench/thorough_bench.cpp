// The thorough test on the real EURUSD quotes with the default settings (Text7 "3", Text8 "1",
// 6936 passes per window): over the last 10,000 hourly bars and over the whole file.
// Usage: thorough_bench [DATA_DIR] [RUNS]
#include <time.h>

#include <cstdlib>
#include <filesystem>

#include "bench_util.h"

using namespace kavro;

namespace {

// Seconds of CPU this process used: on a shared machine the wall clock also counts waiting.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string work = std::filesystem::temp_directory_path() / "kavro-thorough-bench";
    std::filesystem::create_directories(work);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    bench::LoadedSession ls(bench::DataDir(argc, argv), work);
    Session& s = ls.s;
    const float wholeFirst = s.run.firstBar, last = s.run.lastBar;
    std::printf("hourly bars %d, daily bars %d, interval %g..%g\n", s.store.hourBarCount, s.store.dayBarCount,
                wholeFirst, last);
    auto run = [&] {
        ToolbarButton(s, "Kach");
        while (s.form.timer3) Timer3Tick(s);
    };
    auto timed = [&](const char* what) {
        const double cpu0 = CpuSeconds();
        bench::Time(what, runs, run);
        std::printf("  CPU %.2f s per run\n", (CpuSeconds() - cpu0) / runs);
    };
    auto report = [&] {
        std::printf("  passes %lld, forward result %s, best of last window %s\n",
                    static_cast<long long>(s.run.runPassesDone), s.form.label1[5].c_str(),
                    s.form.label1[0].c_str());
    };

    s.run.firstBar = last - 10000;
    timed("default thorough test, last 10,000 bars");
    report();
    s.run.firstBar = wholeFirst;
    timed("default thorough test, whole file");
    report();
    return 0;
}
