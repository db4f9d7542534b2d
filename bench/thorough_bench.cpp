// The thorough test on the real EURUSD quotes with the default settings (Text7 "3", Text8 "1",
// 6936 passes per window): the kernel path against the bar loop side by side (same reports
// required), then how the time scales with the number of bars and with the grid size (steps
// 20 to 1).
// Usage: thorough_bench [DATA_DIR] [--no-reference]
#include <time.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "bench_util.h"
#include "platform/text_file.h"

using namespace kavro;

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double WallMs(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string work = std::filesystem::temp_directory_path() / "kavro-thorough-bench";
    std::filesystem::create_directories(work);
    const bool reference = !(argc > 2 && std::strcmp(argv[2], "--no-reference") == 0);
    bench::LoadedSession ls(bench::DataDir(argc, argv), work);
    Session& s = ls.s;
    const float wholeFirst = s.run.firstBar, last = s.run.lastBar;
    std::printf("hourly bars %d, daily bars %d, interval %g..%g, %u threads\n", s.store.hourBarCount,
                s.store.dayBarCount, wholeFirst, last, std::thread::hardware_concurrency());
    auto run = [&] {
        ToolbarButton(s, "Kach");
        while (s.form.timer3) Timer3Tick(s);
    };
    auto reports = [&] {
        std::string a, b;
        ReadWholeFile(s.ripotPath(), a);
        ReadWholeFile(s.ripot1Path(), b);
        return a + b + s.form.text10;
    };

    std::printf("\nkernel against bar loop, default settings\n");
    for (const float first : {last - 10000, wholeFirst}) {
        s.run.firstBar = first;
        s.form.text10.clear();
        s.run.fastPasses = true;
        run();  // the first run builds the day, range and exit tables
        s.form.text10.clear();
        const double cpu0 = CpuSeconds();
        const double fastMs = WallMs(run);
        const double fastCpu = CpuSeconds() - cpu0;
        const std::string fast = reports();
        std::printf("  %6.0f bars: kernel %8.1f ms wall, %6.2f s CPU, %lld passes, forward result %s\n",
                    last - first, fastMs, fastCpu, static_cast<long long>(s.run.runPassesDone),
                    s.form.label1[5].c_str());
        if (!reference) continue;
        s.run.fastPasses = false;
        s.form.text10.clear();
        const double slowMs = WallMs(run);
        std::printf("  %6.0f bars: bar loop %8.1f ms wall -> speed-up %.0fx, reports %s\n", last - first,
                    slowMs, slowMs / fastMs, reports() == fast ? "identical" : "DIFFERENT");
        s.run.fastPasses = true;
    }

    std::printf("\nscaling with the number of bars (kernel, default grid)\n");
    for (const float bars : {8000.0f, 16000.0f, 32000.0f, 64000.0f}) {
        s.run.firstBar = last - bars;
        run();
        const double ms = WallMs(run);
        std::printf("  %6.0f bars: %8.1f ms, %lld passes, %.0f ns per pass\n", bars, ms,
                    static_cast<long long>(s.run.runPassesDone),
                    ms * 1e6 / static_cast<double>(s.run.runPassesDone));
    }
    // Step 1 has more distances than the exits were once kept for: its cost per pass shows any cliff.
    std::printf("\nscaling with the grid (kernel, whole file; Text2 100, Text3 20)\n");
    s.run.firstBar = wholeFirst;
    double base = 0;
    for (const char* step : {"20", "10", "5", "2", "1"}) {
        s.form.text6 = step;
        run();
        const double cpu0 = CpuSeconds();
        const double ms = WallMs(run);
        const double cpu = CpuSeconds() - cpu0;
        const double perPass = ms * 1e6 / static_cast<double>(s.run.runPassesDone);
        if (std::strcmp(step, "5") == 0) base = perPass;
        std::printf(
            "  step %-3s: %8.1f ms, %6.2f s CPU, %9lld passes, %4.0f ns per pass%s, plans %.1f MB, "
            "peak RSS %s\n",
            step, ms, cpu, static_cast<long long>(s.run.runPassesDone), perPass,
            base > 0 ? (" (" + std::to_string(perPass / base).substr(0, 4) + "x step 5)").c_str() : "",
            static_cast<double>(s.run.kernel.heldBytes()) / (1 << 20), bench::PeakRss().c_str());
    }
    return 0;
}
