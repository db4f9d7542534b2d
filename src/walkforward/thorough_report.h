#pragma once
// The thorough test's report lines: Text10, RIPOT and RIPOT1.
#include <string>

#include "engine/run_observer.h"
#include "engine/trade_journal.h"
#include "engine/window_record.h"
#include "platform/locale.h"
#include "quotes/quote_store.h"

namespace kavro {

// The date of hourly bar `bar` in the locale's short form; "" for a bar outside the
// store or a date text that forms no date (bars beyond the loaded data have none).
std::string WindowDate(const QuoteStore& q, float bar, const Locale& locale);

// The dates of a window record's bars; a bar beyond the loaded data has none.
void RecordWindowDates(const QuoteStore& q, WindowRecord& w);

// A report-box line: the date and the four numbers, two blanks apart, no line end.
std::string WindowBoxLine(const std::string& date, const WindowResult& w, const Locale& locale);

// A RIPOT line: the date, then the four numbers in the print format, then CR LF.
std::string WindowReportLine(const std::string& date, const WindowResult& w);

// A RIPOT1 line for one journal row, with the run's win and loss counts; empty cells add nothing.
std::string TradeReportLine(const JournalRow& row, float wins, float losses, const Locale& locale);

}  // namespace kavro
