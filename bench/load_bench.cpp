// Times the hourly and daily loads and the two interval lookups on real quote files.
// Usage: load_bench [DATA_DIR] [REPETITIONS]; DATA_DIR holds EURUSD_H1.PRN and EURUSD_D1.PRN.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "program/commands.h"
#include "program/session.h"

namespace {

using WallClock = std::chrono::steady_clock;

struct Figures {
    std::vector<double> ms;
    void add(WallClock::time_point a, WallClock::time_point b) {
        ms.push_back(std::chrono::duration<double, std::milli>(b - a).count());
    }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-28s min %8.2f ms   median %8.2f ms   (%zu runs)\n", what, ms.front(),
                    ms[ms.size() / 2], ms.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace kavro;
    const std::string dir = argc > 1 ? argv[1] : KAVRO_SHARED_DATA;
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const std::string hourly = dir + "/EURUSD_H1.PRN", daily = dir + "/EURUSD_D1.PRN";
    for (const auto& f : {hourly, daily}) {
        if (!std::filesystem::is_regular_file(f)) {
            std::fprintf(stderr, "load_bench: cannot find %s\n", f.c_str());
            return 1;
        }
    }

    Figures hour, day, start, end;
    int hourBars = 0, dayBars = 0;
    for (int i = 0; i < reps; ++i) {
        // A fresh session per round: the store only grows, and two hourly files would not fit.
        HeadlessPump pump;
        RecordingDialogs dialogs;
        FixedClock clock;
        RecordingShell shell;
        auto s = std::make_unique<Session>(Ports{pump, dialogs, clock, shell}, Locale{}, "");

        dialogs.fileAnswers.push_back(hourly);
        auto t0 = WallClock::now();
        MenuHour(*s);  // the load and both lookups
        auto t1 = WallClock::now();
        dialogs.fileAnswers.push_back(daily);
        MenuDay(*s);
        auto t2 = WallClock::now();
        hour.add(t0, t1);
        day.add(t1, t2);
        if (!dialogs.messages.empty() || s->store.hourBarCount == 0 || s->store.dayBarCount == 0) {
            std::fprintf(stderr, "load_bench: a load failed\n");
            return 1;
        }
        hourBars = s->store.hourBarCount;
        dayBars = s->store.dayBarCount;

        // The defaults after a load are the worst case: the end date sits on the last line.
        auto t3 = WallClock::now();
        StartDateChanged(*s);
        auto t4 = WallClock::now();
        EndDateChanged(*s);
        auto t5 = WallClock::now();
        start.add(t3, t4);
        end.add(t4, t5);
    }
    std::printf("hourly %s: %d bars; daily %s: %d days\n", hourly.c_str(), hourBars, daily.c_str(), dayBars);
    hour.print("Hour menu (load + lookups)");
    day.print("Day menu (load)");
    start.print("start-date lookup");
    end.print("end-date lookup (last line)");
    return 0;
}
