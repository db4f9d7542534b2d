#pragma once
// A study's summary: one CSV row per plan row, and the merge of the summaries of a plan's shards.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro {

struct Evaluation;
struct RunSummary;

// The figures of a row's run, as the summary writes them.
struct RowFigures {
    double net = 0;  // the runs list's: the trades' sum, a sweep's best pass
    int64_t trades = 0, wins = 0, losses = 0;
    double profitFactor = 0, maxDrawdown = 0, recoveryFactor = 0, sharpeMonthly = 0;
    bool walkForward = false;  // a thorough test: the three below are written
    int64_t windows = 0, profitableWindows = 0;
    double overallEfficiency = 0;  // NaN when undefined: an empty cell
};
RowFigures FiguresOf(const Evaluation& e, const RunSummary& summary);

// What became of one plan row.
struct RowOutcome {
    int row = 0;
    std::vector<std::string> cells;  // the plan's, as written
    bool failed = false;
    std::string message;                // what the run said on stderr, its lines joined by "; "
    std::optional<RowFigures> figures;  // none when no run finished
};

// The summary's text: the header, then one line per outcome in the order given.
std::string SummaryText(const std::vector<std::string>& columns, const std::vector<RowOutcome>& rows);

// What a study folder says of the plan it ran, so that shards of different plans
// are never merged and a missing shard is noticed.
struct StudyManifest {
    int rows = 0;  // rows of the whole plan
    int shardIndex = 0, shardCount = 1;
    uint64_t plan = 0;  // digest of the plan's bytes
};
std::string ManifestText(const StudyManifest& m);
bool ParseManifest(std::string_view text, StudyManifest& m);

// One shard's folder as the merge reads it.
struct ShardSummary {
    std::string folder;  // for messages
    StudyManifest manifest;
    std::string summary;  // summary.csv's bytes
};

// The summary of the whole plan from the summaries of all its shards, and the
// rows that failed. False with `error` when the shards are not every shard of one
// plan or a summary lacks a row of its shard.
bool MergeSummaries(const std::vector<ShardSummary>& shards, std::string& merged, int& failedRows,
                    std::string& error);

}  // namespace kavro
