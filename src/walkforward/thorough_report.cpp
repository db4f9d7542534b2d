#include "walkforward/thorough_report.h"

#include <algorithm>

#include "platform/dates.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

// The date of hourly bar `bar`, invalid for a bar outside the store or without a date.
Date BarDate(const QuoteStore& q, double bar) {
    long i = 0;
    Date d;
    if (!ToIndex(bar, 0, q.hourCapacity, i) || !DateOfText(q.hourDateAt(static_cast<size_t>(i)).view(), d))
        return Date{};
    return d;
}

}  // namespace

std::string WindowDate(const QuoteStore& q, float bar, const Locale& locale) {
    const Date d = BarDate(q, bar);
    return d.valid() ? ShortDate(d, locale) : std::string();
}

void RecordWindowDates(const QuoteStore& q, WindowRecord& w) {
    w.optStart = BarDate(q, w.optFirstBar);
    w.optEnd = BarDate(q, w.optLastBar);
    if (!w.forwardTested) return;
    w.fwdStart = BarDate(q, w.fwdFirstBar);
    // A forward window may reach past the loaded bars: its last date is that of the last bar it had.
    w.fwdEnd = BarDate(q, std::min(w.fwdLastBar, static_cast<double>(q.hourBarCount)));
}

std::string WindowBoxLine(const std::string& date, const WindowResult& w, const Locale& locale) {
    return date + "  " + FormatGeneral(w.entryHour, locale) + "  " + FormatGeneral(w.target, locale) + "  " +
           FormatGeneral(w.stop, locale) + "  " + FormatGeneral(w.profit, locale);
}

std::string WindowReportLine(const std::string& date, const WindowResult& w) {
    return date + PrintNumber(w.entryHour) + PrintNumber(w.target) + PrintNumber(w.stop) +
           PrintNumber(w.profit) + "\r\n";
}

std::string TradeReportLine(const JournalRow& row, float wins, float losses, const Locale& locale) {
    auto number = [&](const std::optional<float>& v) {
        return v ? FormatGeneral(*v, locale) : std::string();
    };
    auto date = [](const std::optional<DateText>& d) { return d ? std::string(d->view()) : std::string(); };
    std::string line = SideText(row.side);
    line += " $" + FormatGeneral(row.profit, locale);
    line += " Open " + date(row.entryDate) + " " + number(row.entryPrice);
    line += " Close " + date(row.exitDate) + " " + number(row.exitPrice);
    line += " Profit $" + number(row.equity);
    line += " +" + FormatGeneral(wins, locale) + " -" + FormatGeneral(losses, locale);
    return line + "\r\n";
}

}  // namespace kavro
