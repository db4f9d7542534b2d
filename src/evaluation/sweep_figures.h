#pragma once
// Every pass of a sweep with the figures of its setting run alone, and its result block by block.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/sweep_replay.h"
#include "evaluation/overfit.h"
#include "platform/dates.h"

namespace kavro {

// A pass's figures exactly as the statistics give them for its setting run
// alone over the sweep's interval (see TradeStats).
struct PassFigures {
    int64_t trades = 0, wins = 0, losses = 0;
    double netResult = 0, grossProfit = 0, grossLoss = 0, profitFactor = 0;
    double maxDrawdown = 0, recoveryFactor = 0, sharpeMonthly = 0;
};

// Blocks the run's interval is cut into for the overfitting check.
inline constexpr int kMinBlocks = 2, kMaxBlocks = 20, kDefaultBlocks = 16;
// True for an even number of blocks from kMinBlocks to kMaxBlocks.
bool ValidBlockCount(int blocks);

// Bars first..last cut into `blocks` contiguous blocks: with n = last - first + 1,
// block b (0-based) holds bars first + floor(b n / S) .. first + floor((b + 1) n / S) - 1.
// The first bar of each block, S of them.
std::vector<long> BlockStarts(long first, long last, int blocks);

struct SweepFigures {
    std::vector<PassFigures> passes;  // one per pass row, in pass order
    // With blocks asked for: each pass's result per block, its trades counted
    // in the block of their exit bar, summed in trade order in 64 bits.
    BlockResults blocks;
    std::vector<Date> blockStarts;   // the date of each block's first bar (invalid when it has none)
    std::optional<size_t> bestPass;  // the best pass row (highest result, ties to the later)
    std::vector<double>
        bestMonthly;  // the best pass's monthly results, every month from its first to its last
};

struct FiguresRequest {
    int blocks = 0;  // 0: no block results
    unsigned threads = 1;
    JobProgress* progress = nullptr;  // counts passes; cancels
};

// Replays the sweep `record` (see ReplaySweep) and takes every pass's figures,
// and with `request.blocks` its block results. False with the reason when the
// replay cannot be done.
bool ComputeSweepFigures(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                         const FiguresRequest& request, SweepFigures& out, std::string& error);

// The same without a kernel of one's own: fresh tools for this call.
bool ComputeSweepFigures(const QuoteStore& store, const RunRecord& record, const FiguresRequest& request,
                         SweepFigures& out, std::string& error);

// Is the best pass luck: the probability of backtest overfitting over the
// sweep's block results and the deflated Sharpe ratio of its best pass.
struct OverfitReport {
    OverfitResult cscv;
    Histogram logitHistogram;  // of cscv.logits (see LogitHistogram)
    DeflatedSharpe deflated;
    PassRow bestRow;  // the best pass's setting and result
    std::vector<Date> blockStarts;
};
OverfitReport ReportOverfit(const SweepFigures& figures, std::span<const PassRow> passes,
                            unsigned threads = 0, JobProgress* progress = nullptr);

// What a sweep's evaluation adds when asked: every pass's figures, and with
// blocks the overfitting check; or why not.
struct SweepCheck {
    bool ok = false;
    std::string error;
    SweepFigures figures;
    std::optional<OverfitReport> overfit;  // with blocks, for a sweep of two passes or more
};

// The largest sweeps whose figures are computed (80 bytes a pass while they are
// held), and the most work (passes x splits x blocks) an overfitting check takes.
inline constexpr size_t kMaxFigurePasses = 2'000'000;
inline constexpr double kMaxOverfitWork = 1e11;

// Why a sweep of `passes` passes gets no figures, or with `blocks` no overfitting
// check (blocks 0: figures only); "" when it does.
std::string SweepCheckRefusal(size_t passes, int blocks);

// The figures of `record` (a sweep) and, with `request.blocks`, its overfitting
// check; `request.progress` counts the passes, then the splits.
SweepCheck CheckSweep(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                      const FiguresRequest& request);

}  // namespace kavro
