#pragma once
// The export of one run record: the same files from the window and the batch runner.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "evaluation/export.h"
#include "evaluation/monte_carlo.h"
#include "evaluation/price_chart.h"
#include "program/evaluation_sources.h"

namespace kavro {

// What an export's price pictures are painted from: the run's daily and hourly
// candles (null when the store no longer holds the run's quotes, or not asked
// for), and the trade to chart on its own as trade-N.png (0: none).
struct PricePictures {
    std::shared_ptr<const PriceChart> daily, hourly;
    size_t chartTrade = 0;
};
// The daily chart of `e`'s run, and with `chartTrade` the hourly one, from `store`.
PricePictures PricePicturesOf(const QuoteStore& store, const Evaluation& e, size_t chartTrade = 0);

// Writes an evaluation's pictures into a folder; false with a message. The
// front-ends supply one: the window paints with its own choices, the batch
// runner without a display.
using PictureWriter =
    std::function<bool(const std::string& dir, const Evaluation&, const PricePictures&, std::string& error)>;

// What the export of `e` writes, of its own record only: its trades, a sweep's
// own passes, a thorough test's windows, and the Monte Carlo given.
EvaluationExport ExportDataOf(const Evaluation& e, const MonteCarloResult* monteCarlo);

// Whether the export of `e` has a heatmap: only a sweep's own export does.
bool HeatmapShown(const Evaluation& e);
// The check of every pass the export of `e` holds: a sweep's own, when computed; else null.
const SweepCheck* CheckShown(const Evaluation& e);
// The overfitting check the export of `e` holds: a sweep's own, when computed; else null.
const OverfitReport* OverfitShown(const Evaluation& e);

// The pictures the export of `e` has: the equity always, the heatmap of a sweep,
// its overfitting check when computed, the dashboard of a thorough test, the
// prices when their quotes are held and the chart of the trade asked for.
std::vector<std::string> PictureFilesOf(const Evaluation& e, const PricePictures& prices);

// The files and then the pictures of `e` into `dir` (created when missing);
// false with the first failure's message.
bool ExportRun(const Evaluation& e, const MonteCarloResult& monteCarlo, const std::string& dir,
               const PricePictures& prices, const PictureWriter& pictures, std::string& error);

// What a finished export says: the folder and every file written.
std::string ExportDoneMessage(const Evaluation& e, const PricePictures& prices, const std::string& dir);

// Why the prices of a run cannot be drawn: its quotes were replaced since it ran.
std::string QuotesGoneMessage(const RunRecord& record);
// Why trade `prices.chartTrade` of `e` cannot be charted; "" when it can.
std::string ChartTradeRefusal(const Evaluation& e, const PricePictures& prices);

}  // namespace kavro
