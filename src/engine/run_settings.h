#pragma once
// A run's settings as typed values, and where a running job reads them.
#include <string>

#include "platform/dates.h"
#include "quotes/pair.h"

namespace kavro {

// A number field read every way a run reads it: the runs compare and estimate
// with the leading number, count their loops in the field's value in points,
// and take some bounds as the 32-bit conversion itself.
struct NumberReading {
    bool readable = false;  // the locale-aware conversion reads the whole text
    float single = 0;       // that conversion, 32-bit
    double points = 0;      // the value in points: to 32-bit, back to text, then the leading number
    double leading = 0;     // the leading number of the text as typed
};

// Every setting a run reads, read once from the window's fields by the program
// layer. Named by meaning; the program layer's field table maps the window's
// fields onto them.
struct RunSettings {
    Pair pair = Pair::EUR;
    NumberReading takeProfit, stopLoss, step, firstHour, lastHour;
    double optimisationMonths = 0, forwardMonths = 0;  // window lengths, in months of kBarsPerMonth bars
    double pointValue = 0, tradeCost = 0;              // money per point; cost of a winner in price units
    bool pointValueIsNumber = false, tradeCostIsNumber = false;

    // What the step's text itself decides: "" or "0" makes every pass keep the
    // trade journal; exactly "0" skips a pass's estimate of the run's size.
    bool journalPasses = false;
    bool skipPassEstimate = false;
    // The last hour reads "" or "0": an optimisation pass estimates one hour.
    bool oneHourEstimate = false;

    bool fullSweep = false;  // sweep the take-profit too
    bool noBeep = false;     // no beep when a run or a window ends
    bool realWork = false;   // the thorough test searches its first window only

    Date endDate;  // the interval's end picker
};

// A walk-forward month: the hourly bars the window lengths count in.
inline constexpr double kBarsPerMonth = 480;

// Where a running job reads its settings: the window's fields as they stand at
// that moment, so that a field typed over during a run changes what the run
// reads next. Returned by value: a pass keeps what it read whatever is typed later.
class SettingsSource {
  public:
    virtual ~SettingsSource() = default;
    virtual RunSettings read() = 0;
};

// A source that always gives the same settings (benchmarks, tests, replays).
class FixedSettings : public SettingsSource {
  public:
    explicit FixedSettings(RunSettings s) : settings(std::move(s)) {}
    RunSettings read() override { return settings; }
    RunSettings settings;
};

}  // namespace kavro
