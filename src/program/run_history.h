#pragma once
// The latest runs of a session, each a record that outlives its run.
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/run_record.h"

namespace kavro {

// What the runs list shows of a record, kept when its rows are dropped.
struct RunSummary {
    double net = 0;          // the trades' sum; a sweep's best pass
    int64_t trades = 0;      // closed trades (a sweep keeps none)
    double maxDrawdown = 0;  // of the closed-trade equity
};

// A record in the history, with what the runs list needs of it.
struct RunEntry {
    std::shared_ptr<RunRecord> record;
    RunSummary summary;
    bool rowsDropped = false;  // its pass rows, windows and trades were let go to save memory
};

// The session's runs, oldest first. Every run is listed from its start; once
// more than kKeepRecords are held the oldest go, and while the rows of all but
// the latest record take more than kRowBudget bytes the oldest records' rows
// are dropped first (their summaries stay listed). Tests give smaller limits.
class RunHistory {
  public:
    static constexpr size_t kKeepRecords = 50;
    static constexpr size_t kRowBudget = size_t{1} << 30;

    explicit RunHistory(size_t rowBudget = kRowBudget, size_t keepRecords = kKeepRecords)
        : rowBudget_(rowBudget), keepRecords_(keepRecords) {}

    // Lists a record that starts now, numbered after the last.
    void add(std::shared_ptr<RunRecord> record);
    // Notes that a record finished: its summary is taken and the budget kept.
    void finished(const RunRecord& record);

    const std::vector<RunEntry>& entries() const { return entries_; }
    // The record numbered `number`; null when it is not (or no longer) held.
    std::shared_ptr<const RunRecord> find(int64_t number) const;
    const RunEntry* entry(int64_t number) const;
    // The latest finished record, and the latest finished sweep; null when none.
    std::shared_ptr<const RunRecord> latest() const;
    std::shared_ptr<const RunRecord> latestSweep() const;
    // Changes whenever a record is added or finishes, so readers know to look again.
    uint64_t serial() const { return serial_; }

  private:
    void keepBudget();

    size_t rowBudget_, keepRecords_;
    std::vector<RunEntry> entries_;
    int64_t lastNumber_ = 0;
    uint64_t serial_ = 0;
};

// The summary the runs list shows of a finished record.
RunSummary SummaryOf(const RunRecord& record);

}  // namespace kavro
