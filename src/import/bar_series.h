#pragma once
// Bars after their lines are read: the hourly CSV's order and spacing rules and its folding into hours,
// daily bars from hours, the daily CSV's rules, and the counts the report gives.
//
// Spacing of an hourly CSV: the greatest common divisor S of the steps between its first 1024 bars (a file
// of one bar: the largest divisor of 60 its minute is a multiple of). S must divide an hour (1 to 30 or 60
// minutes); a coarser S is refused. Missing bars are fine, so every later step may be any multiple of S,
// but each bar must start on the S-minute grid (its minutes since midnight a multiple of S), so that no bar
// straddles two hours. The spacing changes, and the file is refused, when a run of equal steps s with
// S < s <= 60 lasts an hour's worth of bars (at least 12 steps, or 60/s) while those bars are not on the
// s-minute grid or s does not divide an hour: e.g. one-minute bars followed by five-minute bars at :01,
// :06, ... Coarser aligned bars (five-minute bars at :00, :05, ... after one-minute bars) fold into hours
// correctly and are kept.
#include <cstdint>
#include <vector>

#include "import/bar_time.h"
#include "import/import_fault.h"
#include "import/price_field.h"

namespace kavro {

struct PriceBar {
    PriceUnits open = 0, high = 0, low = 0, close = 0;
};

// A checked bar of a CSV with its (shifted) time and its line.
struct TimedBar {
    BarMinute time = 0;
    PriceBar prices;
    int64_t line = 0;
};

// Takes finished bars, each with the time it starts at.
class BarSink {
  public:
    virtual ~BarSink() = default;
    virtual void take(BarMinute start, const PriceBar& bar) = 0;
};

// Checks the bars of an hourly CSV for order and spacing and folds them into hourly bars: open of the first,
// highest high, lowest low, close of the last, stamped with the hour they start in.
class HourBuilder {
  public:
    static constexpr int kSettleBars = 1024;

    explicit HourBuilder(BarSink& hours) : hours_(hours) {}
    // Takes the next bar; false on a fault.
    bool add(const TimedBar& bar);
    // Settles the spacing of a short file and hands out the last hour; false on a fault.
    bool finish();
    // The spacing in minutes; 0 until settled.
    int spacing() const { return static_cast<int>(spacing_); }
    const ImportFault& fault() const { return fault_; }

  private:
    bool settle();
    bool place(const TimedBar& bar);
    bool refuse(ImportFaultKind kind, int64_t line, int64_t value = 0, int64_t other = 0, BarMinute time = 0);

    BarSink& hours_;
    ImportFault fault_;
    std::vector<TimedBar> pending_;  // the first bars, until the spacing is known
    int64_t spacing_ = 0;
    bool haveLast_ = false;
    BarMinute lastTime_ = 0;
    BarMinute runTime_ = 0;  // the bar placed last
    int64_t runStep_ = 0, runLength_ = 0, runLine_ = 0;
    bool haveHour_ = false;
    BarMinute hourStart_ = 0;
    PriceBar hour_;
};

// Folds hourly bars into daily bars, one per calendar date present.
class DayBuilder : public BarSink {
  public:
    explicit DayBuilder(BarSink& days) : days_(days) {}
    void take(BarMinute start, const PriceBar& bar) override;
    // Hands out the last day.
    void finish();

  private:
    BarSink& days_;
    bool haveDay_ = false;
    int64_t day_ = 0;
    PriceBar bar_;
};

// Checks the bars of a daily CSV: one bar per date, dates in order, and no coarser than a day (the steps
// between the first 1024 bars, in days, have 1 as their greatest common divisor; a file of five steps or
// fewer is not judged).
class DailyCheck {
  public:
    bool add(const TimedBar& bar);
    bool finish();
    const ImportFault& fault() const { return fault_; }

  private:
    bool judge();

    ImportFault fault_;
    bool have_ = false, judged_ = false;
    BarMinute lastTime_ = 0;
    int64_t lastDay_ = 0;
    int64_t steps_ = 0, divisor_ = 0, divisorLine_ = 0;
};

// The daily loader cannot compute its stochastic over 24 days whose highs and lows are all one price:
// such a run is refused here rather than written.
class FlatDays {
  public:
    static constexpr int kDays = 24;
    // Takes a day's high and low as written; false when it completes such a run.
    bool add(PriceUnits high, PriceUnits low);

  private:
    int run_ = 0;
    PriceUnits price_ = 0;
};

// Counts of the bars written: how many, the first and the last, gaps of more than three days between
// neighbours, and bars on Saturdays or Sundays.
struct BarCounts {
    static constexpr int kListedGaps = 5;
    struct Gap {
        BarMinute from, to;
    };

    int64_t bars = 0;
    BarMinute first = 0, last = 0;
    int64_t gaps = 0;
    std::vector<Gap> firstGaps;
    int64_t weekendBars = 0;

    void add(BarMinute start);
};

}  // namespace kavro
