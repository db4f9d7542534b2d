#include "walkforward/thorough_report.h"

#include "platform/dates.h"
#include "platform/numbers.h"

namespace kavro {

std::string WindowDate(const QuoteStore& q, float bar, const Locale& locale) {
    long i = 0;
    if (!ToIndex(bar, 0, q.hourCapacity, i)) return {};
    Date d;
    if (!DateOfText(q.hourDateAt(static_cast<size_t>(i)).view(), d)) return {};
    return ShortDate(d, locale);
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
