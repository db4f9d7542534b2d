// The simple test on the real EURUSD quotes: the default sweep (408 passes) over the
// whole hourly file, the same sweep at steps 5 to 0.1, and one single-setting pass.
// Usage: simple_bench [DATA_DIR]
#include <filesystem>

#include "bench_util.h"

using namespace kavro;

int main(int argc, char** argv) {
    const std::string work = std::filesystem::temp_directory_path() / "kavro-simple-bench";
    std::filesystem::create_directories(work);
    bench::LoadedSession ls(bench::DataDir(argc, argv), work);
    Session& s = ls.s;
    std::printf("hourly bars %d, daily bars %d, interval %g..%g\n", s.store.hourBarCount, s.store.dayBarCount,
                s.run.firstBar, s.run.lastBar);
    auto run = [&] {
        ToolbarButton(s, "Start");
        while (s.form.timer1) Timer1Tick(s);
    };
    bench::Time("default sweep, first run (tables built)", 1, run);
    bench::Time("default sweep, 408 passes, whole file", 5, run);
    s.run.fastPasses = false;
    bench::Time("default sweep, bar loop (reference)", 1, run);
    s.run.fastPasses = true;
    std::printf("passes %lld, best %s\n", static_cast<long long>(s.run.runPassesDone),
                s.form.label1[0].c_str());

    // The same sweep on finer grids: the cost per pass must not jump once the grid grows.
    // Each run from a fresh kernel, so that it builds its exit plans as a first run does; the
    // thread's CPU time, steadier than the wall clock while other programs load the machine.
    std::printf(
        "\nscaling with the grid (whole file, Text2 100, Text3 20; RIPOT written as in a run;"
        " CPU time)\n");
    auto fresh = [&] {
        s.run.kernel = PassKernel();
        run();
    };
    double base = 0;
    for (const char* step : {"5", "2", "1", "0.5", "0.1"}) {
        s.form.text6 = step;
        const double ms = bench::MedianMs(5, fresh, true);
        const double perPass = ms * 1e3 / static_cast<double>(s.run.runPassesDone);
        if (base == 0) base = perPass;
        std::printf(
            "  step %-4s: %8.1f ms, %6lld passes, %6.1f us per pass (%.2fx step 5), plans %5.1f MB, "
            "peak RSS %s\n",
            step, ms, static_cast<long long>(s.run.runPassesDone), perPass, perPass / base,
            static_cast<double>(s.run.kernel.heldBytes()) / (1 << 20), bench::PeakRss().c_str());
    }

    s.form.text6 = "0";
    s.form.text5 = "10";
    s.form.text4 = "10";
    bench::Time("single-setting pass, hour 10, whole file", 5, run);
    std::printf("trades %lld, result %s\n", static_cast<long long>(s.run.closedTradeCount),
                s.form.label6[3].c_str());
    return 0;
}
