#pragma once
// Statistics of a run's closed trades: every figure can be recomputed from RIPOT1
// or the journal with the formulas written next to it (and in README.md).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "evaluation/trade_record.h"

namespace kavro {

// The largest fall of the closed-trade equity from a running peak.
struct Drawdown {
    double money = 0;  // peak - trough, >= 0
    // Trades closed at the peak and at the trough (0 = before the first trade,
    // where the equity starts at 0); peakTrade <= troughTrade.
    int64_t peakTrade = 0, troughTrade = 0;
    // The peak's date (the date of trade peakTrade; when the peak is the starting
    // 0, the first trade's entry date, or its date() without one) and the
    // trough's date (the date of trade troughTrade). Invalid when not known.
    Date start, end;
};

// One calendar month of the result table: the result of the trades dated in it.
struct MonthResult {
    int year = 0, month = 0;
    double result = 0;
    int64_t trades = 0;
};

struct TradeStats {
    int64_t trades = 0, buyTrades = 0, sellTrades = 0;
    int64_t wins = 0, losses = 0;  // profit > 0 / profit < 0; a 0 result is neither
    int64_t buyWins = 0, sellWins = 0;
    double netResult = 0;     // sum of profits
    double grossProfit = 0;   // sum of profits > 0
    double grossLoss = 0;     // sum of profits < 0 (<= 0)
    double profitFactor = 0;  // grossProfit / |grossLoss|; inf with no loss and a profit; 0 with neither
    double winRate = 0, buyWinRate = 0, sellWinRate = 0;       // % of the trades (of that side) that won
    double averageWin = 0;                                     // grossProfit / wins
    double averageLoss = 0;                                    // grossLoss / losses (<= 0)
    double averageTrade = 0;                                   // netResult / trades
    double largestWin = 0;                                     // largest profit > 0
    double largestLoss = 0;                                    // smallest profit < 0 (<= 0)
    int64_t maxConsecutiveWins = 0, maxConsecutiveLosses = 0;  // a 0 result breaks both runs
    Drawdown maxDrawdown;
    double recoveryFactor = 0;  // netResult / maxDrawdown.money; inf with no drawdown and a profit
    // Every calendar month from the earliest to the latest trade date, empty ones 0.
    std::vector<MonthResult> months;
    int64_t bestMonth = -1, worstMonth = -1;  // indices into months (the earliest on ties); -1 without months
    double sharpeMonthly = 0;                 // mean / sample deviation of the monthly results * sqrt(12)
    double sqn = 0;                           // sqrt(trades) * averageTrade / sample deviation of the profits
    double averageTradeDays = 0;              // mean of exit - entry in calendar days
    int64_t timedTrades = 0;                  // trades that average is taken over
    int64_t undatedTrades = 0;                // trades without a usable date: in every figure but the months
    int64_t skippedTrades = 0;                // trades whose profit is not a number: left out of every figure
};

TradeStats ComputeTradeStats(std::span<const TradeRecord> trades);

// The ratios exactly as the statistics define them, for callers that sum the
// trades themselves: GrossProfit / |GrossLoss| (inf with no loss and a profit, 0
// with neither), NetResult / MaxDrawdown (inf with no drawdown and a profit, 0
// with neither), and the monthly Sharpe of every month's result.
double ProfitFactorOf(double grossProfit, double grossLoss);
double RecoveryFactorOf(double netResult, double maxDrawdown);
double MonthlySharpe(std::span<const double> monthly);

// The closed-trade equity: element 0 is the starting 0, element k the sum of the
// first k profits (trades whose profit is not a number are left out).
std::vector<double> EquityCurve(std::span<const TradeRecord> trades);
// A trade's date and hour in hours since 1970-01-01 (an unknown hour as 0); NaN
// without a date.
double TradeHour(const Date& date, int hour);

// When each point of EquityCurve was reached, in hours since 1970-01-01: the
// start at the first trade's entry, each trade at its exit (its entry when it
// has no exit date); an undated trade at the time before it. Empty when no
// trade has a date.
std::vector<double> EquityHours(std::span<const TradeRecord> trades);

// The batch runner's --stats lines: Name=value, one a line, LF ended, '.' decimals,
// infinities as inf.
std::string StatsLines(const TradeStats& stats);

// The figures StatsLines prints, in its order: the --stats name, the value and
// whether it is a count (printed whole).
struct NamedFigure {
    const char* key;
    double value;
    bool count;
};
std::vector<NamedFigure> StatFigures(const TradeStats& stats);

}  // namespace kavro
