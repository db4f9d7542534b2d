#include "evaluation/trade_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "evaluation/number_text.h"

namespace kavro {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

double Percent(int64_t part, int64_t whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

double Ratio(double sum, int64_t count) {
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

// Mean / sample standard deviation; 0 below two values or without any spread,
// where the ratio says nothing.
double MeanOverDeviation(std::span<const double> v) {
    const size_t n = v.size();
    if (n < 2) return 0.0;
    double sum = 0;
    for (double x : v) sum += x;
    const double mean = sum / static_cast<double>(n);
    double squares = 0;
    for (double x : v) squares += (x - mean) * (x - mean);
    const double deviation = std::sqrt(squares / static_cast<double>(n - 1));
    if (!(deviation > 0)) return 0.0;
    return mean / deviation;
}

int64_t MonthKey(const Date& d) {
    return static_cast<int64_t>(d.year) * 12 + (d.month - 1);
}

void FillMonths(std::span<const TradeRecord> trades, TradeStats& s) {
    int64_t first = std::numeric_limits<int64_t>::max(), last = std::numeric_limits<int64_t>::min();
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit) || !t.date().valid()) continue;
        const int64_t k = MonthKey(t.date());
        if (k < first) first = k;
        if (k > last) last = k;
    }
    if (first > last) return;
    s.months.resize(static_cast<size_t>(last - first + 1));
    for (size_t i = 0; i < s.months.size(); ++i) {
        const int64_t k = first + static_cast<int64_t>(i);
        s.months[i].year = static_cast<int>(k / 12);
        s.months[i].month = static_cast<int>(k % 12) + 1;
    }
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit) || !t.date().valid()) continue;
        MonthResult& m = s.months[static_cast<size_t>(MonthKey(t.date()) - first)];
        m.result += t.profit;
        ++m.trades;
    }
    std::vector<double> results;
    results.reserve(s.months.size());
    s.bestMonth = s.worstMonth = 0;
    for (size_t i = 0; i < s.months.size(); ++i) {
        const double r = s.months[i].result;
        results.push_back(r);
        if (r > s.months[static_cast<size_t>(s.bestMonth)].result) s.bestMonth = static_cast<int64_t>(i);
        if (r < s.months[static_cast<size_t>(s.worstMonth)].result) s.worstMonth = static_cast<int64_t>(i);
    }
    s.sharpeMonthly = MonthlySharpe(results);
}

void FillDrawdown(std::span<const TradeRecord> trades, TradeStats& s) {
    double equity = 0, peak = 0;
    int64_t peakTrade = 0, number = 0;
    Drawdown& dd = s.maxDrawdown;
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit)) continue;
        ++number;
        equity += t.profit;
        // The last trade at the peak level is where the fall begins.
        if (equity >= peak) {
            peak = equity;
            peakTrade = number;
        } else if (peak - equity > dd.money) {
            dd.money = peak - equity;
            dd.peakTrade = peakTrade;
            dd.troughTrade = number;
        }
    }
    if (dd.money <= 0) return;
    // Dates of the n-th counted trade (skipped ones are not counted).
    int64_t n = 0;
    const TradeRecord* firstTrade = nullptr;
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit)) continue;
        ++n;
        if (n == 1) firstTrade = &t;
        if (n == dd.peakTrade) dd.start = t.date();
        if (n == dd.troughTrade) {
            dd.end = t.date();
            break;
        }
    }
    if (dd.peakTrade == 0 && firstTrade)
        dd.start = firstTrade->entryDate.valid() ? firstTrade->entryDate : firstTrade->date();
}

}  // namespace

TradeStats ComputeTradeStats(std::span<const TradeRecord> trades) {
    TradeStats s;
    std::vector<double> profits;
    profits.reserve(trades.size());
    int64_t winRun = 0, lossRun = 0;
    double daySum = 0;
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit)) {
            ++s.skippedTrades;
            continue;
        }
        const double p = t.profit;
        profits.push_back(p);
        ++s.trades;
        const bool buy = t.side == TradeSide::Buy, sell = t.side == TradeSide::Sell;
        s.buyTrades += buy;
        s.sellTrades += sell;
        s.netResult += p;
        if (p > 0) {
            ++s.wins;
            s.buyWins += buy;
            s.sellWins += sell;
            s.grossProfit += p;
            if (p > s.largestWin) s.largestWin = p;
            lossRun = 0;
            if (++winRun > s.maxConsecutiveWins) s.maxConsecutiveWins = winRun;
        } else if (p < 0) {
            ++s.losses;
            s.grossLoss += p;
            if (p < s.largestLoss) s.largestLoss = p;
            winRun = 0;
            if (++lossRun > s.maxConsecutiveLosses) s.maxConsecutiveLosses = lossRun;
        } else {
            winRun = lossRun = 0;
        }
        if (!t.date().valid()) ++s.undatedTrades;
        if (t.entryDate.valid() && t.exitDate.valid() && !(t.exitDate < t.entryDate)) {
            daySum += static_cast<double>(DaysFromDate(t.exitDate) - DaysFromDate(t.entryDate));
            ++s.timedTrades;
        }
    }
    s.profitFactor = ProfitFactorOf(s.grossProfit, s.grossLoss);
    s.winRate = Percent(s.wins, s.trades);
    s.buyWinRate = Percent(s.buyWins, s.buyTrades);
    s.sellWinRate = Percent(s.sellWins, s.sellTrades);
    s.averageWin = Ratio(s.grossProfit, s.wins);
    s.averageLoss = Ratio(s.grossLoss, s.losses);
    s.averageTrade = Ratio(s.netResult, s.trades);
    s.averageTradeDays = Ratio(daySum, s.timedTrades);
    s.sqn = std::sqrt(static_cast<double>(profits.size())) * MeanOverDeviation(profits);

    FillDrawdown(trades, s);
    s.recoveryFactor = RecoveryFactorOf(s.netResult, s.maxDrawdown.money);
    FillMonths(trades, s);
    return s;
}

double ProfitFactorOf(double grossProfit, double grossLoss) {
    if (grossLoss < 0) return grossProfit / -grossLoss;
    return grossProfit > 0 ? kInf : 0.0;
}

double RecoveryFactorOf(double netResult, double maxDrawdown) {
    if (maxDrawdown > 0) return netResult / maxDrawdown;
    return netResult > 0 ? kInf : 0.0;
}

double MonthlySharpe(std::span<const double> monthly) {
    return MeanOverDeviation(monthly) * std::sqrt(12.0);
}

double TradeHour(const Date& d, int hour) {
    return d.valid() ? static_cast<double>(DaysFromDate(d) * 24 + std::max(hour, 0)) : NAN;
}

std::vector<double> EquityHours(std::span<const TradeRecord> trades) {
    std::vector<double> out;
    out.reserve(trades.size() + 1);
    out.push_back(NAN);
    bool dated = false;
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit)) continue;
        if (std::isnan(out.front())) out.front() = TradeHour(t.entryDate, t.entryHour);
        const double at =
            t.exitDate.valid() ? TradeHour(t.exitDate, t.exitHour) : TradeHour(t.entryDate, t.entryHour);
        dated = dated || !std::isnan(at);
        out.push_back(at);
    }
    if (!dated) return {};
    // Undated trades stand where the trade before them stood; time never runs back.
    double last = NAN;
    for (double& h : out) {
        if (std::isnan(h) || h < last) h = last;
        last = h;
    }
    // Whatever comes before the first dated point stands at it.
    const auto firstDated = std::find_if(out.begin(), out.end(), [](double v) { return !std::isnan(v); });
    std::fill(out.begin(), firstDated, *firstDated);
    return out;
}

std::vector<double> EquityCurve(std::span<const TradeRecord> trades) {
    std::vector<double> curve;
    curve.reserve(trades.size() + 1);
    double equity = 0;
    curve.push_back(equity);
    for (const TradeRecord& t : trades) {
        if (!std::isfinite(t.profit)) continue;
        equity += t.profit;
        curve.push_back(equity);
    }
    return curve;
}

std::vector<NamedFigure> StatFigures(const TradeStats& s) {
    auto count = [](const char* key, int64_t v) { return NamedFigure{key, static_cast<double>(v), true}; };
    auto figure = [](const char* key, double v) { return NamedFigure{key, v, false}; };
    return {
        count("Trades", s.trades),
        count("BuyTrades", s.buyTrades),
        count("SellTrades", s.sellTrades),
        count("Wins", s.wins),
        count("Losses", s.losses),
        figure("NetResult", s.netResult),
        figure("GrossProfit", s.grossProfit),
        figure("GrossLoss", s.grossLoss),
        figure("ProfitFactor", s.profitFactor),
        figure("WinRate", s.winRate),
        figure("AverageTrade", s.averageTrade),
        figure("LargestWin", s.largestWin),
        figure("LargestLoss", s.largestLoss),
        count("MaxConsecutiveWins", s.maxConsecutiveWins),
        count("MaxConsecutiveLosses", s.maxConsecutiveLosses),
        figure("MaxDrawdown", s.maxDrawdown.money),
        figure("RecoveryFactor", s.recoveryFactor),
        figure("SharpeMonthly", s.sharpeMonthly),
        figure("SQN", s.sqn),
    };
}

std::string StatsLines(const TradeStats& s) {
    std::string out;
    for (const NamedFigure& f : StatFigures(s)) {
        out += f.key;
        out += '=';
        if (f.count)
            out += std::to_string(static_cast<int64_t>(f.value));
        else
            AppendNumber(out, f.value);
        out += '\n';
    }
    return out;
}

}  // namespace kavro
