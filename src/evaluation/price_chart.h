#pragma once
// The price chart of a run: its quotes as candles, the daily figures behind its
// signals and its trades, prepared once so that a view of any width costs work
// in proportion to its pixels, not to the bars it covers.
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/run_record.h"
#include "evaluation/trade_record.h"

namespace kavro {

enum class Timeframe { Hourly, Daily };

// The picture of one trade's chart: "trade-N.png".
std::string TradePictureFile(size_t number);

// The lowest low and highest high of some candles; empty when none had prices.
struct PriceRange {
    float low = std::numeric_limits<float>::infinity();
    float high = -std::numeric_limits<float>::infinity();
    bool empty() const { return !(low <= high); }
    void add(const PriceRange& r) {
        low = std::min(low, r.low);
        high = std::max(high, r.high);
    }
};

// The ranges of aligned blocks of candles (8, 64, 512, ... candles a block), so
// that the range of any span takes a few dozen steps however many candles it holds.
class RangeIndex {
  public:
    void build(std::span<const QuoteStore::Ohlc> candles);
    // The range of candles [from, to).
    PriceRange range(size_t from, size_t to) const;

  private:
    static constexpr size_t kFan = 8;
    PriceRange candle(size_t i) const;
    std::span<const QuoteStore::Ohlc> candles_;
    std::vector<std::vector<PriceRange>> levels_;  // level k: blocks of kFan^(k+1) candles
};

// A trade where the chart draws it.
struct ChartTrade {
    size_t number = 0;  // 1-based, in RIPOT1 order
    TradeSide side = TradeSide::None;
    size_t entry = 0, exit = 0;  // candles of the entry and the exit (or the walk-forward window's end)
    float entryPrice = 0;
    std::optional<float> exitPrice;  // none: closed at a walk-forward window's end
    float profit = 0;
    std::optional<float> takeProfit, stopLoss;  // the levels the trade was opened with
};

// What the strategy read of the day a candle belongs to.
struct CandleDay {
    bool known = false;  // the candle's date has a daily bar
    float average = 0;   // its 200-day average (0 before the 200th day)
    float stochastic = 0;
    bool buy = false, sell = false;  // the day's conditions allow a buy / a sell
};

// The candles of one timeframe of the store a run used, with the run's trades.
// It reads the store, never copies it: `current` tells whether the store is
// still as it was built from, and nothing else may be called when it is not.
class PriceChart {
  public:
    // The chart of `record` from `store`; null when the store no longer holds the
    // run's quotes (or holds no candles of the timeframe).
    static std::shared_ptr<const PriceChart> Build(const QuoteStore& store, const RunRecord& record,
                                                   std::span<const TradeRecord> trades, Timeframe timeframe);

    bool current(const QuoteStore& store) const { return &store == q_ && store.generation == generation_; }

    Timeframe timeframe() const { return timeframe_; }
    Pair pair() const { return pair_; }
    size_t size() const { return candles_.size(); }
    const QuoteStore::Ohlc& candle(size_t i) const { return candles_[i]; }
    // The lowest low and highest high of candles [from, to), clamped to the chart.
    PriceRange range(size_t from, size_t to) const;
    Date date(size_t i) const;
    int hour(size_t i) const;  // -1 for a daily candle or an hour not known
    CandleDay day(size_t i) const;

    // The candles of the run's interval (first, last), both included.
    size_t intervalFirst() const { return first_; }
    size_t intervalLast() const { return last_; }
    // The trades that could be placed, in their order.
    const std::vector<ChartTrade>& trades() const { return trades_; }
    // The trade numbered `number`, if it could be placed.
    const ChartTrade* trade(size_t number) const;
    // Trades [begin, end) of trades() that touch candles [from, to].
    std::pair<size_t, size_t> tradesBetween(double from, double to) const;

  private:
    struct DayRun {
        size_t first;  // first candle of a run of candles sharing a date
        int32_t day;   // its daily bar, 0 when none has that date
    };
    long dayOfDate(const DateText& date) const;
    long dayOfCandle(size_t i) const;
    size_t candleOfBar(long bar) const;      // only for bars 1..HourBarCount
    size_t exitCandleOfBar(long bar) const;  // the same, a daily chart falling back to the day before
    void placeTrades(std::span<const TradeRecord> trades);

    const QuoteStore* q_ = nullptr;
    uint64_t generation_ = 0;
    Timeframe timeframe_ = Timeframe::Hourly;
    Pair pair_ = Pair::EUR;
    std::span<const QuoteStore::Ohlc> candles_;
    RangeIndex index_;
    std::vector<std::pair<uint64_t, int32_t>> dates_;  // (date key, day), sorted; the last day of a date wins
    std::vector<DayRun> runs_;                         // hourly candles only
    size_t first_ = 0, last_ = 0;
    std::vector<ChartTrade> trades_;
};

// What part of a chart a view shows: candle `first` at the left edge and
// `perPixel` candles in each pixel column. Candle i spans [i, i + 1).
struct PriceView {
    static constexpr double kMostPixelsPerCandle = 40;

    double first = 0;
    double perPixel = 1;

    double candleAt(double x) const { return first + x * perPixel; }
    double xOf(double candle) const { return (candle - first) / perPixel; }
    // Candles [from, to] (whole candles) across `width` pixels.
    void fit(double from, double to, double width, size_t count);
    // Zooms by `factor` (> 1 in) keeping the candle under pixel x where it is.
    void zoomAt(double x, double factor, double width, size_t count);
    // Moves the view by `pixels` (> 0: to later candles).
    void pan(double pixels, double width, size_t count);
    // Puts candle range [from, to] in the middle, zooming out only when it does not fit.
    void centreOn(double from, double to, double width, size_t count);
    // Keeps the zoom between a candle in 40 pixels and the whole chart in the width,
    // and keeps some of the chart in sight.
    void clamp(double width, size_t count);
};

}  // namespace kavro
