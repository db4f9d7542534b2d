#pragma once
// The chart's variables that outlive the window.
#include <cstdint>
#include <string>
#include <vector>

namespace kavro {

// What the chart window keeps from one opening to the next, for the life of
// the program: its variables (pan, zoom, divisors, the period as typed), the
// hit-test table, the arrow-key and line counters, and the oscillator series.
// A variable never set reads as 0.
struct ChartState {
    double vScrol = 0;    // y of the staircase baseline (twips)
    double vScrol2 = 0;   // vertical divisor of the re-layouts (money per twip)
    double hScrol = 0;    // horizontal offset (trades)
    double hScrol2 = 0;   // twips added to spacing and width by the horizontal zoom
    double sngWidth = 0;  // bar width (twips)
    double sngLeft = 0;   // bar spacing, left edge to left edge (twips)
    double sngTop = 0;    // vertical divisor of the build (money per twip)
    std::string per;      // oscillator period as typed

    // Left edge of bar i as last laid out sideways; never shrinks, and an entry
    // never written reads as 0.
    std::vector<float> barLeft;

    int lastArrowKey = 0;        // 37..40, last arrow pressed without Shift
    int lastShiftArrowKey = 0;   // the same with Shift
    int64_t drawnLineCount = 0;  // user lines ever created; never decreases

    // Oscillator series by trade index (0 unused but for oscEquity = 0). They
    // only grow; an entry a click does not reach keeps its earlier value.
    std::vector<float> oscEquity, oscHigh, oscLow, oscRaw, oscK, oscD;
    float oscEquitySum = 0;
};

}  // namespace kavro
