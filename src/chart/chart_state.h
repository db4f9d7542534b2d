#pragma once

namespace kavro {

// The chart window's variables that outlive the window (pan, zoom, oscillator period).
struct ChartState {};

}  // namespace kavro
