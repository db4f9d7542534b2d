#include "walkforward/thorough_test.h"

#include <algorithm>
#include <cmath>

#include "engine/counted_loop.h"
#include "engine/run_checks.h"
#include "engine/strategy_rules.h"
#include "engine/test_pass.h"
#include "platform/numbers.h"
#include "platform/text_file.h"
#include "walkforward/fast_search.h"
#include "walkforward/search_order.h"
#include "walkforward/thorough_report.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

namespace {

// The window lengths as the window count needs them: no division by zero, nothing
// unreadable. Returns the message for the first that fails, "" when both read.
std::string WindowLengthsRefusal(const RunSettings& s, bool loaded) {
    if (!std::isfinite(s.optimisationMonths) || s.optimisationMonths < 0)
        return FieldMessage(Field::OptimisationMonths, loaded, "введите число не меньше 0");
    if (!std::isfinite(s.forwardMonths) || s.forwardMonths <= 0)
        return FieldMessage(Field::ForwardMonths, loaded, "введите число больше 0");
    return {};
}

// The window count of the current interval and window lengths.
double RunWindowCount(const RunState& r, const RunSettings& s) {
    return ThoroughWindowCount(static_cast<double>(r.lastBar) - static_cast<double>(r.firstBar),
                               s.optimisationMonths, s.forwardMonths);
}

// Window set-up: the distances are read again for every window. Returns the
// take-profit as read, the end of every stop-loss loop of the window.
NumberReading SetUpWindow(const RunEnv& e) {
    const RunSettings s = e.settings.read();
    const double tp = InPoints(e, s, &RunSettings::takeProfit, Field::TakeProfit);
    const double sl = InPoints(e, s, &RunSettings::stopLoss, Field::StopLoss);
    const double st = InPoints(e, s, &RunSettings::step, Field::Step);
    e.run.s.capture(e.record.settings.pair, tp, sl, st);
    return s.takeProfit;
}

// The search of one window. The best setting is kept by the passes themselves.
// Whole windows go through the pass kernel; the bar loop covers the rest.
void SearchWindow(const RunEnv& e, const NumberReading& savedTarget, double& windowOffset,
                  double& windowCount) {
    RunState& r = e.run;
    Settings& v = r.s;
    if (FastSearchWindow(e, savedTarget, windowOffset, windowCount)) return;
    ForEachSetting(e, savedTarget,
                   [&] { RunSearchPass(e, v.TPI, v.TP, v.ST, v.TPI1, v.TP1, windowOffset, windowCount); });
}

// RIPOT1: one line per closed trade of this run, each appended on its own.
void ExportJournal(const RunEnv& e) {
    const RunState& r = e.run;
    const std::string path = e.ripot1Path();
    const float wins = static_cast<float>(r.winCount), losses = static_cast<float>(r.lossCount);
    for (int64_t i = 1; i <= r.closedTradeCount; ++i)
        AppendReportLine(path,
                         TradeReportLine(r.journal.row(static_cast<size_t>(i)), wins, losses, e.locale));
}

// The window count of a tick; throws when the lengths cannot give one.
double TickWindowCount(const RunEnv& e, const RunSettings& s) {
    if (s.realWork) return 1;
    if (const std::string refusal = WindowLengthsRefusal(s, QuotesLoaded(e.store)); !refusal.empty())
        throw PassFault{refusal};
    const double count = RunWindowCount(e.run, s);
    // A huge negative count only means no window; a huge positive one could never be counted.
    if (!std::isfinite(count) || count > kMaxWindows)
        throw PassFault{RunSizeRefusal(0, std::isfinite(count) ? count : INFINITY)};
    return count;
}

// One walk-forward window: search, forward pass, its record and report lines.
class WindowStep {
  public:
    WindowStep(const RunEnv& e, double windowCount) : e_(e), r_(e.run), windowCount_(windowCount) {}

    void run(double w) {
        const NumberReading savedTarget = SetUpWindow(e_);
        WindowRecord record;
        record.optFirstBar = windowOffset_ + static_cast<double>(r_.firstBar);
        record.optLastBar =
            std::min(record.optFirstBar + e_.settings.read().optimisationMonths * kBarsPerMonth,
                     static_cast<double>(r_.lastBar));
        const int64_t bestUpdates = r_.bestUpdates;
        SearchWindow(e_, savedTarget, windowOffset_, windowCount_);
        record.bestFound = r_.bestUpdates > bestUpdates;
        record.inSampleTotal = r_.bestTotal.value_or(0.0f);
        r_.bestTotal = 0.0f;
        e_.observer.progress(w, std::max(0.0, windowCount_));
        const bool realWork = e_.settings.read().realWork;
        record.forwardTested = !realWork;
        if (!realWork) forward(record);
        windowOffset_ += e_.settings.read().forwardMonths * kBarsPerMonth;
        forwardSum_ = static_cast<float>(static_cast<double>(forwardSum_) + r_.passProfit);
        if (!e_.settings.read().realWork)
            e_.observer.forwardEnded(WindowDate(e_.store, r_.currentBar, e_.locale), forwardSum_);
        const WindowResult result{r_.best.entryHour, r_.passRow.target, r_.passRow.stop, r_.passProfit};
        record.entryHour = result.entryHour;
        record.target = result.target;
        record.stop = result.stop;
        record.forwardResult = record.forwardTested ? r_.passProfit : 0.0f;
        RecordWindowDates(e_.store, record);
        e_.record.windows.push_back(record);
        report(result, w == windowCount_);
        e_.beep();
    }

  private:
    void forward(WindowRecord& record) {
        e_.observer.forwardStarted(WindowDate(e_.store, r_.currentBar, e_.locale));
        record.fwdFirstBar = r_.searchWindowEnd;
        record.fwdLastBar = static_cast<float>(e_.settings.read().forwardMonths * kBarsPerMonth +
                                               static_cast<double>(r_.searchWindowEnd));
        RunState& r = r_;
        StartForwardPass(e_, r.best.stop, r.best.target, r.s.ST, r.best.stopPoints, r.best.targetPoints,
                         windowOffset_, r.best.entryHour);
    }

    // The window's RIPOT line and report-box line; the last carries the chosen end date.
    void report(const WindowResult& result, bool last) {
        const RunSettings s = e_.settings.read();
        const std::string date =
            last ? ShortDate(s.endDate, e_.locale) : WindowDate(e_.store, r_.currentBar, e_.locale);
        if (!s.realWork) e_.observer.windowReported(date, result, last);
        AppendReportLine(e_.ripotPath(), WindowReportLine(date, result));
    }

    const RunEnv& e_;
    RunState& r_;
    double windowCount_;
    double windowOffset_ = 0;
    float forwardSum_ = 0;
};

void Tick(const RunEnv& e) {
    RunState& r = e.run;
    e.observer.progress(0, 0);
    if (!(r.s.ST1 > 0)) return;
    const double windowCount = TickWindowCount(e, e.settings.read());
    // A run without windows shows an empty bar rather than a maximum below its minimum.
    e.observer.progress(0, std::max(0.0f, static_cast<float>(windowCount)));
    r.bestTotal = 0.0f;
    WindowStep step(e, windowCount);
    for (double w = 1; w <= windowCount; w += 1) step.run(w);
    ExportJournal(e);
    FinishRecord(e.record, r, RunEnd::Done);
    e.observer.runEnded(e.record, false);
}

}  // namespace

double ThoroughWindowCount(double barSpan, double optLen, double fwdLen) {
    const double x = (barSpan - optLen * kBarsPerMonth) / (fwdLen * kBarsPerMonth);
    return x == Int(x) ? x : Int(x) + 1;
}

RunStart StartThoroughTest(const RunEnv& e) {
    RunState& r = e.run;
    const RunSettings s = e.settings.read();
    const bool loaded = QuotesLoaded(e.store);
    using Refused = RunStart;
    if (const std::string refusal = WindowLengthsRefusal(s, loaded); !refusal.empty())
        return Refused::refused(MessageKind::Error, refusal);
    Settings v;
    v.capture(s.pair, s.takeProfit.points, s.stopLoss.points, s.step.points);
    if (v.TP1 == 0 || v.SL1 == 0) return RunStart::beeped();
    if (!loaded) return Refused::refused(MessageKind::Error, kOpenDataFile);
    if (!(v.ST1 > 0))
        return Refused::refused(MessageKind::Error,
                                FieldMessage(Field::Step, loaded, "введите число больше 0"));
    // Without a setting to search, every window would trade whatever an earlier run left.
    if (!SearchHasSettings(v, s.takeProfit.single))
        return Refused::refused(MessageKind::Error, kNoSearchSettings);

    // The size of the run, before anything of it starts.
    const double windows = s.realWork ? 1 : RunWindowCount(r, s);
    if (!(windows >= 1))
        return Refused::refused(
            MessageKind::Information,
            "Интервал короче окна оптимизации: ни одно окно не помещается. Уменьшите поле "
            "«Период» (оптимизация) или выберите более длинный интервал");
    const float lastHour = static_cast<float>(s.lastHour.points);
    const double perWindow =
        SearchPassesPerWindow(v, static_cast<float>(s.firstHour.points), lastHour, s.takeProfit.single);
    if (const std::string refusal = RunStartRefusal(v, s, s.takeProfit.single, windows * perWindow, windows);
        !refusal.empty())
        return Refused::refused(MessageKind::Error, refusal);
    for (const std::string& path : {e.ripotPath(), e.ripot1Path()}) {
        std::string message;
        if (!EmptyReportFile(path, message)) return Refused::refused(MessageKind::Error, message);
    }

    r.s = v;
    r.lastEntryHour = lastHour;
    r.passProfit = 0;
    e.record.barsWithoutDay = CountBarsWithoutDay(r, e.store);
    e.record.expectedPasses = windows * perWindow;
    ReserveRows(e.record, windows);
    // The run's trade report lists this run's trades only, with this run's counts.
    r.journal.clear();
    r.closedTradeCount = r.forwardOpenedCount = 0;
    r.forwardEquity = 0;
    r.winCount = r.lossCount = 0;
    r.runPassesStarted = r.runPassesDone = 0;
    r.stopRequested = false;
    return {};
}

void RunThoroughTestTick(const RunEnv& e) {
    try {
        Tick(e);
    } catch (const PassStopped&) {
        e.run.stopRequested = false;
        FinishRecord(e.record, e.run, RunEnd::Stopped);
        e.observer.runEnded(e.record, false);
    } catch (const PassFault& fault) {
        FinishRecord(e.record, e.run, RunEnd::Failed, fault.message);
        e.observer.runEnded(e.record, false);
    }
}

}  // namespace kavro
