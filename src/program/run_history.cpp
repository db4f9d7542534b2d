#include "program/run_history.h"

#include <algorithm>

#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"

namespace kavro {

RunSummary SummaryOf(const RunRecord& record) {
    RunSummary s;
    if (record.kind == RunKind::Sweep) {
        // A sweep keeps no trades: its figure is the best pass's result.
        bool any = false;
        for (const PassRow& p : record.passes)
            if (!any || p.total >= s.net) {
                s.net = p.total;
                any = true;
            }
        return s;
    }
    const TradeStats stats = ComputeTradeStats(TradesFromRows(record.trades));
    s.net = stats.netResult;
    s.trades = stats.trades;
    s.maxDrawdown = stats.maxDrawdown.money;
    return s;
}

void RunHistory::add(std::shared_ptr<RunRecord> record) {
    record->number = ++lastNumber_;
    entries_.push_back(RunEntry{std::move(record), {}, false});
    if (entries_.size() > keepRecords_) entries_.erase(entries_.begin());
    ++serial_;
}

void RunHistory::finished(const RunRecord& record) {
    for (RunEntry& e : entries_)
        if (e.record.get() == &record) e.summary = SummaryOf(record);
    keepBudget();
    ++serial_;
}

void RunHistory::keepBudget() {
    size_t bytes = 0;
    for (size_t i = 0; i + 1 < entries_.size(); ++i)
        if (!entries_[i].rowsDropped) bytes += entries_[i].record->rowBytes();
    for (size_t i = 0; i + 1 < entries_.size() && bytes > rowBudget_; ++i) {
        RunEntry& e = entries_[i];
        if (e.rowsDropped || !e.record->finished()) continue;
        bytes -= e.record->rowBytes();
        // Readers holding the record keep theirs: the history goes on with a copy it can empty.
        if (e.record.use_count() > 1) e.record = std::make_shared<RunRecord>(*e.record);
        // Swapped with empty ones, so that the storage itself is given back.
        std::vector<PassRow>().swap(e.record->passes);
        std::vector<WindowRecord>().swap(e.record->windows);
        std::vector<JournalRow>().swap(e.record->trades);
        std::vector<TradeExtent>().swap(e.record->extents);
        e.rowsDropped = true;
    }
}

std::shared_ptr<const RunRecord> RunHistory::find(int64_t number) const {
    const RunEntry* e = entry(number);
    return e ? e->record : nullptr;
}

const RunEntry* RunHistory::entry(int64_t number) const {
    for (const RunEntry& e : entries_)
        if (e.record->number == number) return &e;
    return nullptr;
}

std::shared_ptr<const RunRecord> RunHistory::latest() const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->record->finished()) return it->record;
    return nullptr;
}

std::shared_ptr<const RunRecord> RunHistory::latestSweep() const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->record->finished() && it->record->isSweep() && !it->record->passes.empty()) return it->record;
    return nullptr;
}

}  // namespace kavro
