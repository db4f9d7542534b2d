#pragma once
// The evaluation as files a spreadsheet or pandas reads without options: CSV with
// a header row, '.' decimals, ISO dates, UTF-8, LF line ends; one JSON summary.
#include <span>
#include <string>
#include <vector>

#include "engine/trade_journal.h"
#include "evaluation/monte_carlo.h"
#include "evaluation/sweep_figures.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"
#include "evaluation/walkforward_view.h"

namespace kavro {

// What one export writes. Anything left empty still gives its file (a header
// only), so a folder never mixes files of two runs.
struct EvaluationExport {
    std::span<const TradeRecord> trades;
    std::span<const PassRow> passes;
    std::span<const PassFigures> passFigures;  // one per pass, or none (empty cells)
    const BlockResults* blocks = nullptr;      // blocks.csv's rows, one per pass, when checked
    const OverfitReport* overfit = nullptr;    // stats.json's "overfit", when checked
    std::span<const WindowRecord> windows;
    const MonteCarloResult* monteCarlo = nullptr;  // left out of stats.json when null
    bool complete = true;  // false: the run was stopped and only what completed is here
};

inline constexpr const char* kExportFiles[] = {"trades.csv",  "passes.csv", "windows.csv",
                                               "monthly.csv", "stats.json", "blocks.csv"};

// Writes the six files into `dir` (created with its parents when missing). Every
// file goes to a temporary name first; only when all six are complete are they
// renamed, so a failure leaves the folder as it was. False with a Russian message.
bool ExportEvaluation(const std::string& dir, const EvaluationExport& data, std::string& error);

// The files' texts, also for callers that write one file alone.
std::string TradesCsv(std::span<const TradeRecord> trades);
std::string MonthlyCsv(const TradeStats& stats);
std::string WindowsCsv(const WalkForwardView& view);
// passes.csv a block at a time: rows [from, to) appended to `out` (the header
// first when from is 0), each pass's figures when given (else empty cells).
void AppendPassesCsv(std::string& out, std::span<const PassRow> passes, size_t from, size_t to,
                     std::span<const PassFigures> figures = {});
// blocks.csv the same way: each pass's setting, result and block results b1..bS
// (a header alone without blocks).
void AppendBlocksCsv(std::string& out, std::span<const PassRow> passes, const BlockResults* blocks,
                     size_t from, size_t to);
std::string StatsJson(const TradeStats& stats, const WalkForwardView& view, size_t passCount,
                      const MonteCarloResult* monteCarlo, bool complete,
                      const OverfitReport* overfit = nullptr);

// The --stats lines of an overfitting check: PBO and DeflatedSharpe (empty when undefined).
std::string OverfitLines(const OverfitReport& overfit);

// A CSV field, quoted (with doubled quotes) when it holds a comma, a quote or a line end.
std::string CsvField(std::string_view text);

}  // namespace kavro
