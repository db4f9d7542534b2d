#pragma once
// A sweep of 5,059,920 passes (take-profit outside, then the hour, then the stop-loss:
// 460 x 24 x 453), for the benchmarks of what reads a sweep's pass rows.
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/trade_journal.h"
#include "evaluation/random.h"

namespace kavro::bench {

// With `plateau`, the results rise to a plateau of good settings around hour 9 (as a
// heatmap worth looking at has); without, they are noise.
inline std::vector<PassRow> SyntheticSweep(bool plateau) {
    std::vector<PassRow> rows;
    rows.reserve(24 * 460 * 453);
    Xoshiro256 rng(7);
    for (int tp = 460; tp >= 1; --tp)
        for (int hour = 0; hour < 24; ++hour)
            for (int sl = 1; sl <= 453; ++sl) {
                const double result =
                    plateau ? std::round(3000 * std::exp(-std::pow((tp - 200) / 90.0, 2) -
                                                         std::pow((sl - 150) / 120.0, 2) -
                                                         std::pow((hour - 9) / 5.0, 2)) -
                                         1200 + static_cast<double>(rng.below(600)))
                            : static_cast<double>(static_cast<int64_t>(rng.below(20001)) - 10000);
                rows.push_back({static_cast<float>(hour), static_cast<float>(tp * 5),
                                static_cast<float>(sl * 5), static_cast<float>(result)});
            }
    return rows;
}

}  // namespace kavro::bench
