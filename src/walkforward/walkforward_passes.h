#pragma once
// The optimisation pass and the forward pass.
#include "engine/run_env.h"

namespace kavro {

// One optimisation pass: the strategy over the window that starts `windowOffset`
// bars after FirstBar, for the entry hour in RunState and the given stop and
// take-profit (price units). `st` only feeds the pass estimate, the two point
// distances are recorded, `windowCount` only feeds the time estimate. Records the
// pass row and Label6, and makes the setting the best one when it scores at least
// BestTotal. A fault ends the pass quietly with nothing recorded; Stop throws PassStopped.
void RunSearchPass(const RunEnv& e, float& tpi, float& tp, float& st, float& tpi1, float& tp1,
                   double& windowOffset, double& windowCount);

// The optimisation pass's estimate of a window's passes into ProgressMax; throws
// PassFault where the pass would fault on it.
void EstimateSearchPasses(const RunEnv& e, const RunSettings& s, float st);

// Makes the pass in `row` the best setting when it scores at least BestTotal
// (distances divided by PointsPerUnit in 32 bits); true when it did.
bool TakeAsBest(RunState& r, const PassRow& row);

// Sets `st` to 0, then runs the forward pass with the same arguments.
void StartForwardPass(const RunEnv& e, float& stop, float& target, float& st, float& stopPoints,
                      float& targetPoints, double& windowOffset, float& entryHour);

// The forward pass: the given setting traded from SearchWindowEnd over the forward
// window's months of bars, every trade written to the journal, positions still open at the end closed at
// the last matched day's close. Leaves its result in PassProfit and the pass row.
// A fault ends the pass quietly; Stop throws PassStopped.
void RunForwardPass(const RunEnv& e, float& stop, float& target, float& st, float& stopPoints,
                    float& targetPoints, double& windowOffset, float& entryHour);

}  // namespace kavro
