// Every pass's figures and the overfitting check on the real EURUSD quotes: what
// they add to the default sweep (408 passes) and what the full sweep (6,936
// passes) takes, computed after the sweep from its record or recorded during it.
// Usage: overfit_bench [DATA_DIR]
#include <filesystem>
#include <thread>

#include "bench_util.h"
#include "engine/sweep_replay.h"
#include "evaluation/sweep_figures.h"

using namespace kavro;

namespace {

constexpr bool kCpu = true;

// The sweep the form describes, run through the session as a user runs it.
void Sweep(Session& s) {
    ToolbarButton(s, "Start");
    while (s.form.timer1) Timer1Tick(s);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string work = std::filesystem::temp_directory_path() / "kavro-overfit-bench";
    std::filesystem::create_directories(work);
    bench::LoadedSession ls(bench::DataDir(argc, argv), work);
    Session& s = ls.s;
    std::printf(
        "cores %u; hourly bars %d; medians (of 7 unless said) of the thread's CPU time, and of\n"
        "the wall time where threads work: the machine is shared with other programs\n\n",
        std::thread::hardware_concurrency(), s.store.hourBarCount);

    // Today's compute: the default sweep from a fresh kernel, as a first run builds its plans.
    auto freshSweep = [&] {
        s.run.kernel = PassKernel();
        Sweep(s);
    };
    const double sweepMs = bench::MedianMs(7, freshSweep, kCpu);
    const RunRecord sweep = *s.history.latest();
    std::printf("default sweep (%zu passes), fresh kernel          %8.2f ms\n", sweep.passes.size(), sweepMs);

    // Afterwards, with the session's kernel: its exit plans are the sweep's.
    std::string error;
    SweepFigures figures;
    FiguresRequest one;
    const double sharedMs = bench::MedianMs(
        7,
        [&] {
            if (!ComputeSweepFigures(s.store, sweep, ReplayTools{s.run.kernel, s.run.dayTable}, one, figures,
                                     error))
                std::printf("failed: %s\n", error.c_str());
        },
        kCpu);
    // The replay alone, the closes listed and nothing made of them.
    const ReplayVisitors idle = [] { return [](size_t, std::span<const KernelClose>) {}; };
    const double listMs = bench::MedianMs(
        7,
        [&] {
            ReplaySweep(s.store, sweep, ReplayTools{s.run.kernel, s.run.dayTable}, idle, error);
        },
        kCpu);
    // On another thread the window brings a kernel of its own.
    const double freshMs = bench::MedianMs(
        7, [&] { ComputeSweepFigures(s.store, sweep, one, figures, error); }, kCpu);
    FiguresRequest two;
    two.threads = 2;
    const double freshWallMs =
        bench::MedianMs(7, [&] { ComputeSweepFigures(s.store, sweep, two, figures, error); });
    std::printf(
        "figures afterwards, the session's kernel         %8.2f ms  sweep + figures %.2fx the sweep\n",
        sharedMs, (sweepMs + sharedMs) / sweepMs);
    std::printf("  of which the replay listing the closes         %8.2f ms\n", listMs);
    std::printf("figures afterwards, a fresh kernel (window)      %8.2f ms  (2 threads: %.2f ms wall)\n",
                freshMs, freshWallMs);

    // Recorded during the sweep instead: every pass lists its closes as it runs.
    s.run.scratch.keepCloses = true;
    const double listingSweepMs = bench::MedianMs(7, freshSweep, kCpu);
    s.run.scratch.keepCloses = false;
    const double recordMs = listingSweepMs + (sharedMs - listMs);
    std::printf(
        "recorded during the sweep: closes listed          %8.2f ms  + figures %.2f ms = %.2fx the sweep\n",
        listingSweepMs, sharedMs - listMs, recordMs / sweepMs);
    std::printf(
        "pass row %zu bytes; its figures %zu bytes (recorded: %zu bytes a row), blocks 8 bytes each\n\n",
        sizeof(PassRow), sizeof(PassFigures), sizeof(PassRow) + sizeof(PassFigures));

    // The overfitting check: 16 blocks, 12,870 splits.
    FiguresRequest blocks;
    blocks.blocks = 16;
    blocks.threads = 0;
    auto check = [&](const RunRecord& r, const char* what, int runs) {
        OverfitReport report;
        double figuresMs = 0;
        const double ms = bench::MedianMs(runs, [&] {
            const auto t0 = std::chrono::steady_clock::now();
            ComputeSweepFigures(s.store, r, blocks, figures, error);
            figuresMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            report = ReportOverfit(figures, r.passes);
        });
        std::printf("%-48s %8.2f ms wall (figures and blocks %.2f ms), PBO %.4f, DSR %.4f\n", what, ms,
                    figuresMs, report.cscv.pbo, report.deflated.dsr.value_or(NAN));
    };
    check(sweep, "overfit, default sweep, 16 blocks", 7);
    s.form.check1 = true;
    Sweep(s);
    const RunRecord full = *s.history.latest();
    std::printf("full sweep: %zu passes\n", full.passes.size());
    check(full, "overfit, full sweep, 16 blocks", 3);
    return 0;
}
