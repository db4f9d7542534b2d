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

// Text7 and Text8 as the window count needs them: no division by zero, nothing
// unreadable. Returns the message for the first field that fails, "" when both read.
std::string WindowLengthsRefusal(const RunEnv& e) {
    const double opt = Val(e.fields.text7), fwd = Val(e.fields.text8);
    const bool loaded = QuotesLoaded(e.store);
    if (!std::isfinite(opt) || opt < 0)
        return FieldMessage(Field::OptimisationMonths, loaded, "введите число не меньше 0");
    if (!std::isfinite(fwd) || fwd <= 0)
        return FieldMessage(Field::ForwardMonths, loaded, "введите число больше 0");
    return {};
}

// Window set-up: the distances are read again for every window. Returns Text2 as read.
std::string SetUpWindow(const RunEnv& e) {
    const SettingFields& f = e.fields;
    Settings& v = e.run.s;
    const double tp = InPoints(e, f.text2, Field::TakeProfit), sl = InPoints(e, f.text3, Field::StopLoss),
                 st = InPoints(e, f.text6, Field::Step);
    v.setDistances(tp, sl, st);
    return f.text2;
}

// The search of one window. The best setting is kept by the passes themselves.
// Whole windows go through the pass kernel; the bar loop covers the rest.
void SearchWindow(const RunEnv& e, const std::string& savedTarget, double& windowOffset,
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

// The report box keeps what earlier runs wrote: a run's first line starts on a line of its own.
void AppendToBox(std::string& box, const std::string& text) {
    if (!box.empty() && box.back() != '\n') box += "\r\n";
    box += text;
}

void Tick(const RunEnv& e) {
    const SettingFields& f = e.fields;
    RunDisplay& d = e.display;
    RunState& r = e.run;
    Settings& v = r.s;
    d.progressValue = 0;
    v.Q = static_cast<float>(Val(f.text11));
    v.J = static_cast<float>(Val(f.text13));
    v.E = static_cast<float>(1.0 / static_cast<double>(v.U));
    if (!(v.ST1 > 0)) return;

    double windowCount = 1;
    if (!f.check3) {
        if (const std::string refusal = WindowLengthsRefusal(e); !refusal.empty()) throw PassFault{refusal};
        windowCount = RunWindowCount(e);
        // A huge negative count only means no window; a huge positive one could never be counted.
        if (!std::isfinite(windowCount) || windowCount > kMaxWindows)
            throw PassFault{RunSizeRefusal(0, std::isfinite(windowCount) ? windowCount : INFINITY)};
    }
    d.progressMin = 0;
    // A run without windows shows an empty bar rather than a maximum below its minimum.
    d.progressMax = std::max(0.0f, static_cast<float>(windowCount));
    r.bestTotal = 0.0f;

    double windowOffset = 0;
    float forwardSum = 0;
    for (double w = 1; w <= windowCount; w += 1) {
        const std::string savedTarget = SetUpWindow(e);
        WindowRecord record;
        record.optFirstBar = windowOffset + static_cast<double>(r.firstBar);
        record.optLastBar =
            std::min(record.optFirstBar + Val(f.text7) * 480.0, static_cast<double>(r.lastBar));
        const int64_t bestUpdates = r.bestUpdates;
        SearchWindow(e, savedTarget, windowOffset, windowCount);
        record.bestFound = r.bestUpdates > bestUpdates;
        record.inSampleTotal = r.bestTotal.value_or(0.0f);
        r.bestTotal = 0.0f;
        d.progressValue = static_cast<float>(w);
        record.forwardTested = !f.check3;
        if (!f.check3) {
            d.label1[6] = WindowDate(e.store, r.currentBar, e.locale);
            record.fwdFirstBar = r.searchWindowEnd;
            record.fwdLastBar =
                static_cast<float>(Val(f.text8) * 480.0 + static_cast<double>(r.searchWindowEnd));
            StartForwardPass(e, r.best.stop, r.best.target, v.ST, r.best.stopPoints, r.best.targetPoints,
                             windowOffset, r.best.entryHour);
        }
        windowOffset += Val(f.text8) * 480.0;
        forwardSum = static_cast<float>(static_cast<double>(forwardSum) + r.passProfit);
        if (!f.check3) {
            d.label1[4] = WindowDate(e.store, r.currentBar, e.locale);
            d.label1[5] = FormatGeneral(forwardSum, e.locale);
        }
        const WindowResult result{r.best.entryHour, r.passRow.target, r.passRow.stop, r.passProfit};
        record.entryHour = result.entryHour;
        record.target = result.target;
        record.stop = result.stop;
        record.forwardResult = record.forwardTested ? r.passProfit : 0.0f;
        RecordWindowDates(e.store, record);
        r.results->windows.push_back(record);
        if (w < windowCount) {
            const std::string date = WindowDate(e.store, r.currentBar, e.locale);
            if (!f.check3) AppendToBox(d.text10, WindowBoxLine(date, result, e.locale) + "\r\n");
            AppendReportLine(e.ripotPath(), WindowReportLine(date, result));
        }
        if (w == windowCount) {
            d.timer3 = false;
            // The last line carries the chosen end date and no line end.
            const std::string date = ShortDate(f.dtPicker2.value, e.locale);
            if (!f.check3) {
                AppendToBox(d.text10, WindowBoxLine(date, result, e.locale));
                d.label1[4] = date;
            }
            AppendReportLine(e.ripotPath(), WindowReportLine(date, result));
        }
        if (!f.check2) e.dialogs.beep();
    }
    ExportJournal(e);
    if (windowCount < 1) d.timer3 = false;
    FinishResults(r, RunEnd::Done);
}

}  // namespace

double RunWindowCount(const RunEnv& e) {
    return ThoroughWindowCount(static_cast<double>(e.run.lastBar) - static_cast<double>(e.run.firstBar),
                               Val(e.fields.text7), Val(e.fields.text8));
}

double ThoroughWindowCount(double barSpan, double optLen, double fwdLen) {
    const double x = (barSpan - optLen * 480.0) / (fwdLen * 480.0);
    return x == Int(x) ? x : Int(x) + 1;
}

void StartThoroughTest(const RunEnv& e) {
    const SettingFields& f = e.fields;
    RunDisplay& d = e.display;
    RunState& r = e.run;
    Settings& v = r.s;
    const bool loaded = QuotesLoaded(e.store);
    auto refuse = [&](MessageKind kind, const std::string& text) {
        RefuseRun(d, &RunDisplay::timer3, e.dialogs, kind, text);
    };
    for (const std::string& path : {e.ripotPath(), e.ripot1Path()}) {
        std::string message;
        if (!EmptyReportFile(path, message)) return refuse(MessageKind::Error, message);
    }
    // Refuse what the run could not read or would divide by zero with.
    double tp = 0, sl = 0, st = 0;
    float firstHour = 0, lastHour = 0;
    if (!ValueInPoints(f.text2, e.locale, tp))
        return refuse(MessageKind::Error, FieldMessage(Field::TakeProfit, loaded));
    if (!ValueInPoints(f.text3, e.locale, sl))
        return refuse(MessageKind::Error, FieldMessage(Field::StopLoss, loaded));
    if (!ValueInPoints(f.text6, e.locale, st))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded));
    if (!ToSingle(f.text4, e.locale, firstHour))
        return refuse(MessageKind::Error, FieldMessage(Field::FirstHour, loaded));
    if (!ToSingle(f.text5, e.locale, lastHour))
        return refuse(MessageKind::Error, FieldMessage(Field::LastHour, loaded));
    if (const std::string refusal = WindowLengthsRefusal(e); !refusal.empty())
        return refuse(MessageKind::Error, refusal);
    r.passProfit = 0;
    d.label15 = kStatusEstimate;
    v.capture(f.pair, f.text11, f.text13);
    v.setDistances(tp, sl, st);
    if (v.TP1 == 0 || v.SL1 == 0) {
        e.dialogs.beep();
        return refuse(MessageKind::Information, "");
    }
    double last = 0;
    ValueInPoints(f.text5, e.locale, last);
    r.lastEntryHour = static_cast<float>(last);
    if (!loaded) return refuse(MessageKind::Error, kOpenDataFile);
    if (!(v.ST1 > 0))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded, "введите число больше 0"));
    float stopEnd = 0;
    ToSingle(f.text2, e.locale, stopEnd);
    // Without a setting to search, every window would trade whatever an earlier run left.
    if (!SearchHasSettings(v, stopEnd)) return refuse(MessageKind::Error, kNoSearchSettings);

    // The size of the run, before anything of it starts.
    const double windows = f.check3 ? 1 : RunWindowCount(e);
    if (!(windows >= 1))
        return refuse(MessageKind::Information,
                      "Интервал короче окна оптимизации: ни одно окно не помещается. Уменьшите поле «Период» "
                      "(оптимизация) или выберите более длинный интервал");
    double hour = 0;
    ValueInPoints(f.text4, e.locale, hour);
    const double perWindow = SearchPassesPerWindow(v, static_cast<float>(hour), r.lastEntryHour, stopEnd);
    const std::string refusal = RunStartRefusal(v, f, stopEnd, windows * perWindow, windows);
    if (!refusal.empty()) return refuse(MessageKind::Error, refusal);
    CountBarsWithoutDay(r, e.store);

    // The run's trade report lists this run's trades only, with this run's counts.
    r.journal.clear();
    r.closedTradeCount = r.forwardOpenedCount = 0;
    r.forwardEquity = 0;
    r.winCount = r.lossCount = 0;
    r.runPassesStarted = r.runPassesDone = 0;
    r.stopRequested = false;
    BeginResults(r, RunKind::Thorough, f, windows);
    d.timer3 = true;
}

void RunThoroughTestTick(const RunEnv& e) {
    RunDisplay& d = e.display;
    try {
        Tick(e);
    } catch (const PassStopped&) {
        d.timer1 = d.timer2 = d.timer3 = false;
        d.label15 = kStatusStopped;
        e.run.stopRequested = false;
        FinishResults(e.run, RunEnd::Stopped);
    } catch (const PassFault& fault) {
        d.timer3 = d.timer2 = false;
        FinishResults(e.run, RunEnd::Failed, fault.message);
        e.dialogs.message(MessageKind::Error, fault.message);
    }
}

}  // namespace kavro
