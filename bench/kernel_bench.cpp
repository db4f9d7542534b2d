// The pass kernel alone on the real EURUSD quotes, one thread: the passes of the simple
// test's sweep and of the walk-forward's windows at grid steps 5, 2 and 1 (and finer), with
// their exit plans built afresh, so that a cliff in the cost per pass shows at once; then the
// default sweep against its floor, the same passes with every opening and every exit known
// and only the booking left. Times are the thread's CPU time, medians. Usage: kernel_bench [DATA_DIR]
#include <filesystem>

#include "bench_util.h"
#include "engine/pass_kernel.h"

using namespace kavro;

namespace {

constexpr double kPointSize = 0.0001;  // EURUSD
// One thread's CPU time: steadier than the wall clock while other programs load the machine.
constexpr bool kCpu = true;

// The distances a counted loop from `first` to `last` by `step` visits, in points.
std::vector<float> Points(float first, float last, float step) {
    std::vector<float> points;
    for (float p = first; step > 0 ? p <= last : p >= last; p += step) points.push_back(p);
    return points;
}

float Price(float points) {
    return static_cast<float>(static_cast<double>(points) *
                              static_cast<double>(static_cast<float>(kPointSize)));
}

KernelSetting Setting(float hour, float tpPoints, float slPoints) {
    const float ppu = static_cast<float>(1.0 / kPointSize);
    const float tp = Price(tpPoints), sl = Price(slPoints);
    return {hour, tp, sl, WinnerResult(tp, 0.0005, 10, ppu), LoserResult(sl, 10, ppu)};
}

struct Row {
    const char* step;
    int64_t passes = 0;
    double ms = 0;
    size_t planBytes = 0;
};

void PrintRows(const char* what, const std::vector<Row>& rows) {
    std::printf("\n%s\n  step  %11s %10s %11s %9s %9s\n", what, "passes", "CPU ms", "ns/pass", "vs step 5",
                "plans MB");
    const double base = rows.front().ms * 1e6 / static_cast<double>(rows.front().passes);
    for (const Row& r : rows) {
        const double ns = r.ms * 1e6 / static_cast<double>(r.passes);
        std::printf("  %-5s %11lld %10.1f %11.1f %8.2fx %9.2f\n", r.step, static_cast<long long>(r.passes),
                    r.ms, ns, ns / base, static_cast<double>(r.planBytes) / (1 << 20));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string work = std::filesystem::temp_directory_path() / "kavro-kernel-bench";
    std::filesystem::create_directories(work);
    bench::LoadedSession ls(bench::DataDir(argc, argv), work);
    Session& s = ls.s;
    const long first = static_cast<long>(s.run.firstBar), last = static_cast<long>(s.run.lastBar);
    s.run.dayTable.prepare(s.store, s.run.lastBar);
    PassKernel prepared;
    prepared.prepare(s.store, s.run.dayTable);
    std::printf("hourly bars %d, interval %ld..%ld; the default grid: take-profit 100, stop-loss 20\n",
                s.store.hourBarCount, first, last);
    const char* steps[] = {"5", "2", "1", "0.5", "0.1"};
    volatile float sink = 0;

    // The simple test's sweep: every stop-loss from 20 to 100 at each hour, take-profit 100.
    std::vector<Row> sweep;
    for (const char* step : steps) {
        const std::vector<float> stops = Points(20, 100, std::stof(step));
        std::vector<float> distances{Price(100)};
        for (float p : stops) distances.push_back(Price(p));
        Row row{step};
        std::vector<PassKernel> fresh(5, prepared);  // copied outside the time
        size_t used = 0;
        row.ms = bench::MedianMs(
            5,
            [&] {
                PassKernel& k = fresh[used++];
                KernelScratch scratch;
                k.ensureColumns(distances);
                row.passes = 0;
                for (int hour = 0; hour < 24; ++hour)
                    for (float sl : stops) {
                        sink = k.run(Setting(static_cast<float>(hour), 100, sl), first, last,
                                     ProfitOrder::TotalFirst, scratch)
                                   .profit;
                        ++row.passes;
                    }
                row.planBytes = k.heldBytes();
            },
            kCpu);
        sweep.push_back(row);
    }
    PrintRows("simple test sweep (24 hours x stop-losses 20..100), plans built in the time", sweep);

    // The walk-forward: 1,440-bar windows every 480 bars, take-profit from 100 down, hour, stop-loss up.
    std::vector<Row> walk;
    for (const char* step : {"5", "2", "1"}) {
        const float st = std::stof(step);
        const std::vector<float> targets = Points(100, 20, -st), stops = Points(20, 100, st);
        std::vector<float> distances;
        for (float p : stops) distances.push_back(Price(p));
        for (float p : targets) distances.push_back(Price(p));
        Row row{step};
        std::vector<PassKernel> fresh(3, prepared);
        size_t used = 0;
        row.ms = bench::MedianMs(
            3,
            [&] {
                PassKernel& k = fresh[used++];
                KernelScratch scratch;
                row.passes = 0;
                row.planBytes = 0;
                for (long from = first; from + 1440 <= last; from += 480) {
                    const long to = from + 1440;
                    k.precompute(distances, from, to);
                    row.planBytes = std::max(row.planBytes, k.heldBytes());
                    for (float tp : targets)
                        for (int hour = 0; hour < 24; ++hour)
                            for (float sl : stops) {
                                sink = k.run(Setting(static_cast<float>(hour), tp, sl), from, to,
                                             ProfitOrder::BuyFirst, scratch)
                                           .profit;
                                ++row.passes;
                            }
                }
            },
            kCpu);
        walk.push_back(row);
    }
    PrintRows("walk-forward windows (3 months, moved by 1), all settings, plans built in the time", walk);

    // The floor of the default sweep: its closes listed once, then only booked bar by bar.
    std::vector<std::vector<KernelClose>> closes;
    {
        PassKernel k = prepared;
        KernelScratch listing;
        listing.keepCloses = true;
        for (int hour = 0; hour < 24; ++hour)
            for (float sl : Points(20, 100, 5)) {
                const KernelResult r = k.run(Setting(static_cast<float>(hour), 100, sl), first, last,
                                             ProfitOrder::TotalFirst, listing);
                closes.emplace_back(r.closes.begin(), r.closes.end());
            }
    }
    size_t count = 0;
    for (const auto& c : closes) count += c.size();
    const double floorMs = bench::MedianMs(
        21,
        [&] {
            for (const auto& pass : closes) {
                float total = 0;
                for (size_t i = 0; i < pass.size();) {
                    const int32_t bar = pass[i].bar;
                    double buy = 0, sell = 0;
                    for (; i < pass.size() && pass[i].bar == bar; ++i)
                        (pass[i].side == TradeSide::Buy ? buy : sell) = pass[i].amount;
                    total = static_cast<float>(static_cast<double>(total) + buy + sell);
                }
                sink = total;
            }
        },
        kCpu);
    // The kernel's share of the same sweep, part by part.
    const std::vector<float> stops = Points(20, 100, 5);
    std::vector<float> distances{Price(100)};
    for (float p : stops) distances.push_back(Price(p));
    auto sweepPasses = [&](PassKernel& k, KernelScratch& scratch, const std::vector<float>& which) {
        for (int hour = 0; hour < 24; ++hour)
            for (float sl : which)
                sink = k.run(Setting(static_cast<float>(hour), 100, sl), first, last, ProfitOrder::TotalFirst,
                             scratch)
                           .profit;
    };
    const double prepareMs = bench::MedianMs(
        11,
        [&] {
            PassKernel k;
            k.prepare(s.store, s.run.dayTable);
        },
        kCpu);
    std::vector<PassKernel> fresh(11, prepared);
    size_t used = 0;
    const double plansMs = bench::MedianMs(
        11,
        [&] {
            PassKernel& k = fresh[used++];
            KernelScratch scratch;
            k.ensureColumns(distances);
            sweepPasses(k, scratch, {stops.front()});  // one pass an hour builds that hour's plan
        },
        kCpu);
    PassKernel built = prepared;
    KernelScratch scratch;
    built.ensureColumns(distances);
    sweepPasses(built, scratch, stops);
    const double passesMs = bench::MedianMs(
        21, [&] { sweepPasses(built, scratch, stops); }, kCpu);
    std::printf("\ndefault sweep: %zu passes, %zu closes\n", closes.size(), count);
    std::printf("  floor: openings and exits known, booking only   %8.3f ms\n", floorMs);
    std::printf("  kernel: passes with the exit plans built        %8.3f ms  %6.2fx the floor\n", passesMs,
                passesMs / floorMs);
    std::printf("  kernel: exit plans of the 24 hours              %8.3f ms\n", plansMs);
    std::printf("  kernel: tables of the quotes (prepare)          %8.3f ms\n", prepareMs);
    std::printf("  kernel: all of it                               %8.3f ms  %6.2fx the floor\n",
                prepareMs + plansMs + passesMs, (prepareMs + plansMs + passesMs) / floorMs);
    return 0;
}
