#pragma once
// What the quotes said of each trade while it was open: its hours and its largest moves.
#include <span>
#include <vector>

#include "engine/run_record.h"

namespace kavro {

// True when the store still holds the quotes the record's run was given: both
// sets have the record's digests and bar counts.
bool HoldsQuotesOf(const QuoteStore& store, const RunRecord& record);

// The hours and the excursions of journal rows over the bars entryBar..exitBar,
// both included (bars past the loaded ones are left out): a buy's MFE is the
// highest high - entry price and its MAE entry price - the lowest low, a sell's
// mirrored; in points of `pair`, rounded to a tenth, never below 0. A row whose
// bars are not known gets an extent that says so.
std::vector<TradeExtent> MeasureTrades(const QuoteStore& store, std::span<const JournalRow> rows, Pair pair);

// The record's extents from the store, when it still holds the run's quotes;
// otherwise they stay empty rather than describe other quotes.
void MeasureRecordTrades(const QuoteStore& store, RunRecord& record);

}  // namespace kavro
