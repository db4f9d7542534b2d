#pragma once
// What a running test tells the program as it goes.
#include <string>

#include "engine/run_record.h"
#include "engine/trade_journal.h"

namespace kavro {

// What a window of a thorough test reports: the best entry hour, the pass row's distances, the result.
struct WindowResult {
    float entryHour = 0, target = 0, stop = 0, profit = 0;
};

// A running test's events. The program layer turns them into the window's
// labels, progress bar, report box and timers; the test itself never writes them.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    // The progress bar: `value` of `maximum` (from 0).
    virtual void progress(double value, double maximum) = 0;
    // A pass ended ("Текущий результат").
    virtual void passRecorded(const PassRow& row) = 0;
    // A pass became the best so far ("Лучший/промежуточный результат").
    virtual void bestChanged(const PassRow& row) = 0;
    // The run's first pass made the remaining-time estimate: the countdown starts.
    virtual void countdownStarted() = 0;
    // A window's search ended at `date`; its forward pass starts.
    virtual void forwardStarted(const std::string& date) = 0;
    // A window's forward pass ended at `date`; `forwardSum` is the running sum of forward results.
    virtual void forwardEnded(const std::string& date, float forwardSum) = 0;
    // A window's line for the report box (`last`: the run's last window, dated with the end date).
    virtual void windowReported(const std::string& date, const WindowResult& result, bool last) = 0;
    // The run ended; its record says how. `lastSingle`: the last pass of a single-setting run ended it.
    virtual void runEnded(const RunRecord& record, bool lastSingle) = 0;
};

}  // namespace kavro
