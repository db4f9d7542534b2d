#pragma once
// A window's optimisation search through the pass kernel, on all cores.
#include "engine/run_env.h"

namespace kavro {

// Runs every optimisation pass of one window through the pass kernel, spread
// over the machine's cores a chunk of settings at a time, and records them in
// search order exactly as the passes one by one would (pass rows, labels, best
// setting with ties to the later one, the run's first time estimate). The
// settings are enumerated as the search loops go, never listed whole. Returns
// false, having changed nothing, when the window needs the bar loop: bars
// beyond the store, a window moved by a fraction of a bar over dates that
// several days share, a faulting pass estimate or an overflowing money result.
bool FastSearchWindow(const RunEnv& e, const NumberReading& savedTarget, double windowOffset,
                      double windowCount);

}  // namespace kavro
