#pragma once
// Heatmap grids of a sweep's pass rows: where the good settings lie, and whether a
// best setting is a lone spike or part of a plateau.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/trade_journal.h"

namespace kavro {

// The sorted distinct values of each pass-row column (rows with a value that is
// not a finite number are left out everywhere), and the best pass, found on the
// same walk over the rows.
struct SweepAxes {
    std::vector<float> hours, targets, stops;
    std::optional<size_t> bestPass;
};
SweepAxes AxesOf(std::span<const PassRow> passes);

// The best pass: the highest total, ties to the later pass (the program's rule).
// Empty when no row has a numeric total and setting.
std::optional<size_t> BestPass(std::span<const PassRow> passes);

enum class GridKind {
    TargetStop,  // x: take-profit, y: stop-loss, for one entry hour
    HourTarget,  // x: entry hour, y: take-profit, each cell the best stop-loss's result
};

inline constexpr size_t kMaxGridCells = size_t{1} << 22;

// What a grid's cells show: the pass's result, or one of its figures.
enum class HeatFigure { Net, ProfitFactor, MaxDrawdown, RecoveryFactor, Trades, Sharpe };
inline constexpr HeatFigure kHeatFigures[] = {HeatFigure::Net,         HeatFigure::ProfitFactor,
                                              HeatFigure::MaxDrawdown, HeatFigure::RecoveryFactor,
                                              HeatFigure::Trades,      HeatFigure::Sharpe};

// A grid of results; cell (x, y) is cells[y * xValues.size() + x].
struct HeatGrid {
    GridKind kind = GridKind::TargetStop;
    HeatFigure figure = HeatFigure::Net;  // what the cells hold
    float hour = 0;                       // TargetStop: the entry hour shown
    std::vector<float> xValues, yValues;
    std::vector<float> cells;     // NaN: no pass of the sweep ran this cell
    std::vector<float> results;   // another figure shown: the result of each cell's pass
    std::vector<float> stops;     // the stop-loss that gave each cell's result (NaN when not run)
    std::vector<int64_t> passes;  // the pass row behind each cell, -1 when not run
    bool hasBest = false;
    size_t bestX = 0, bestY = 0;  // highest cell, ties to the later pass
    float bestValue = 0;
    float minValue = 0, maxValue = 0;  // over the cells that ran (colour scale), finite values only
    size_t runCells = 0;
    // More than kMaxGridCells cells (a sweep whose columns do not form a grid):
    // nothing is placed and the grid holds no cells.
    bool tooLarge = false;

    size_t width() const { return xValues.size(); }
    size_t height() const { return yValues.size(); }
    bool empty() const { return cells.empty(); }
};

// Take-profit x stop-loss for entry hour `hour`, over the sweep's axes. When the
// same setting ran more than once the best result stands (ties to the later pass).
HeatGrid TargetStopGrid(std::span<const PassRow> passes, const SweepAxes& axes, float hour);
// The same for the best pass's hour (an empty grid for a sweep without passes).
HeatGrid TargetStopGrid(std::span<const PassRow> passes);
// Entry hour x take-profit: each cell holds the best result over the stop-losses
// (ties to the later pass) and remembers that stop-loss.
HeatGrid HourTargetGrid(std::span<const PassRow> passes, const SweepAxes& axes);
HeatGrid HourTargetGrid(std::span<const PassRow> passes);

// The figure of every pass as a grid shows it (Net: the result itself); NaN
// for a pass whose figures are not known.
struct PassFigures;
std::vector<float> FigureValues(HeatFigure figure, std::span<const PassRow> passes,
                                std::span<const PassFigures> figures);
// The grid with each cell showing `values` of the pass it holds: the cells keep
// their passes (the best result of the setting) and the best cell stays the
// best result's; the colour scale spans the figure's finite values.
HeatGrid ShowFigure(HeatGrid grid, HeatFigure figure, std::span<const float> values);

// What the window shows under the mouse and runs on a double click.
struct HeatCell {
    bool ran = false;
    float value = 0;  // the figure shown; 0 when not run
    PassRow setting;  // hour, take-profit, stop-loss of the cell (and its result)
    int64_t pass = -1;
};
// The cell at (x, y); empty outside the grid.
std::optional<HeatCell> CellAt(const HeatGrid& grid, size_t x, size_t y);

}  // namespace kavro
