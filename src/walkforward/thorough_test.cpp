#include "walkforward/thorough_test.h"

#include <algorithm>
#include <cmath>

#include "app/commands.h"
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
std::string WindowLengthsRefusal(const Session& s) {
    const double opt = Val(s.form.text7), fwd = Val(s.form.text8);
    const bool loaded = QuotesLoaded(s.store);
    if (!std::isfinite(opt) || opt < 0)
        return FieldMessage(Field::OptimisationMonths, loaded, "введите число не меньше 0");
    if (!std::isfinite(fwd) || fwd <= 0)
        return FieldMessage(Field::ForwardMonths, loaded, "введите число больше 0");
    return {};
}

// Window set-up: the distances are read again for every window. Returns Text2 as read.
std::string SetUpWindow(Session& s) {
    const FormState& f = s.form;
    Settings& v = s.run.s;
    const double tp = InPoints(s, f.text2, Field::TakeProfit), sl = InPoints(s, f.text3, Field::StopLoss),
                 st = InPoints(s, f.text6, Field::Step);
    v.setDistances(tp, sl, st);
    return f.text2;
}

// The search of one window. The best setting is kept by the passes themselves.
// Whole windows go through the pass kernel; the bar loop covers the rest.
void SearchWindow(Session& s, const std::string& savedTarget, double& windowOffset, double& windowCount) {
    RunState& r = s.run;
    Settings& v = r.s;
    if (FastSearchWindow(s, savedTarget, windowOffset, windowCount)) return;
    ForEachSetting(s, savedTarget,
                   [&] { RunSearchPass(s, v.TPI, v.TP, v.ST, v.TPI1, v.TP1, windowOffset, windowCount); });
}

// RIPOT1: one line per closed trade of this run, each appended on its own.
void ExportJournal(const Session& s) {
    const RunState& r = s.run;
    const std::string path = s.ripot1Path();
    const float wins = static_cast<float>(r.winCount), losses = static_cast<float>(r.lossCount);
    for (int64_t i = 1; i <= r.closedTradeCount; ++i)
        AppendReportLine(path,
                         TradeReportLine(r.journal.row(static_cast<size_t>(i)), wins, losses, s.locale));
}

// The report box keeps what earlier runs wrote: a run's first line starts on a line of its own.
void AppendToBox(std::string& box, const std::string& text) {
    if (!box.empty() && box.back() != '\n') box += "\r\n";
    box += text;
}

void Tick(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    f.progressValue = 0;
    v.Q = static_cast<float>(Val(f.text11));
    v.J = static_cast<float>(Val(f.text13));
    v.E = static_cast<float>(1.0 / static_cast<double>(v.U));
    if (!(v.ST1 > 0)) return;

    double windowCount = 1;
    if (!f.check3) {
        if (const std::string refusal = WindowLengthsRefusal(s); !refusal.empty()) throw PassFault{refusal};
        windowCount = RunWindowCount(s);
        // A huge negative count only means no window; a huge positive one could never be counted.
        if (!std::isfinite(windowCount) || windowCount > kMaxWindows)
            throw PassFault{RunSizeRefusal(0, std::isfinite(windowCount) ? windowCount : INFINITY)};
    }
    f.progressMin = 0;
    // A run without windows shows an empty bar rather than a maximum below its minimum.
    f.progressMax = std::max(0.0f, static_cast<float>(windowCount));
    r.bestTotal = 0.0f;

    double windowOffset = 0;
    float forwardSum = 0;
    for (double w = 1; w <= windowCount; w += 1) {
        const std::string savedTarget = SetUpWindow(s);
        SearchWindow(s, savedTarget, windowOffset, windowCount);
        r.bestTotal = 0.0f;
        f.progressValue = static_cast<float>(w);
        if (!f.check3) {
            f.label1[6] = WindowDate(s.store, r.currentBar, s.locale);
            StartForwardPass(s, r.best.stop, r.best.target, v.ST, r.best.stopPoints, r.best.targetPoints,
                             windowOffset, r.best.entryHour);
        }
        windowOffset += Val(f.text8) * 480.0;
        forwardSum = static_cast<float>(static_cast<double>(forwardSum) + r.passProfit);
        if (!f.check3) {
            f.label1[4] = WindowDate(s.store, r.currentBar, s.locale);
            f.label1[5] = FormatGeneral(forwardSum, s.locale);
        }
        const WindowResult result{r.best.entryHour, r.passRow.target, r.passRow.stop, r.passProfit};
        if (w < windowCount) {
            const std::string date = WindowDate(s.store, r.currentBar, s.locale);
            if (!f.check3) AppendToBox(f.text10, WindowBoxLine(date, result, s.locale) + "\r\n");
            AppendReportLine(s.ripotPath(), WindowReportLine(date, result));
        }
        if (w == windowCount) {
            f.timer3 = false;
            // The last line carries the chosen end date and no line end.
            const std::string date = ShortDate(f.dtPicker2.value, s.locale);
            if (!f.check3) {
                AppendToBox(f.text10, WindowBoxLine(date, result, s.locale));
                f.label1[4] = date;
            }
            AppendReportLine(s.ripotPath(), WindowReportLine(date, result));
        }
        if (!f.check2) s.dialogs.beep();
    }
    ExportJournal(s);
    if (windowCount < 1) f.timer3 = false;
}

}  // namespace

double RunWindowCount(const Session& s) {
    return ThoroughWindowCount(static_cast<double>(s.run.lastBar) - static_cast<double>(s.run.firstBar),
                               Val(s.form.text7), Val(s.form.text8));
}

double ThoroughWindowCount(double barSpan, double optLen, double fwdLen) {
    const double x = (barSpan - optLen * 480.0) / (fwdLen * 480.0);
    return x == Int(x) ? x : Int(x) + 1;
}

void StartThoroughTest(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    const bool loaded = QuotesLoaded(s.store);
    // A refused run leaves nothing behind in the status line.
    auto refuse = [&](MessageKind kind, const std::string& text) {
        f.timer3 = false;
        f.label15.clear();
        if (!text.empty()) s.dialogs.message(kind, text);
    };
    for (const std::string& path : {s.ripotPath(), s.ripot1Path()}) {
        std::string message;
        if (!EmptyReportFile(path, message)) return refuse(MessageKind::Error, message);
    }
    // Refuse what the run could not read or would divide by zero with.
    double tp = 0, sl = 0, st = 0;
    float firstHour = 0, lastHour = 0;
    if (!ValueInPoints(f.text2, s.locale, tp))
        return refuse(MessageKind::Error, FieldMessage(Field::TakeProfit, loaded));
    if (!ValueInPoints(f.text3, s.locale, sl))
        return refuse(MessageKind::Error, FieldMessage(Field::StopLoss, loaded));
    if (!ValueInPoints(f.text6, s.locale, st))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded));
    if (!ToSingle(f.text4, s.locale, firstHour))
        return refuse(MessageKind::Error, FieldMessage(Field::FirstHour, loaded));
    if (!ToSingle(f.text5, s.locale, lastHour))
        return refuse(MessageKind::Error, FieldMessage(Field::LastHour, loaded));
    if (const std::string refusal = WindowLengthsRefusal(s); !refusal.empty())
        return refuse(MessageKind::Error, refusal);
    r.passProfit = 0;
    f.label15 = kStatusEstimate;
    v.capture(f.pair, f.text11, f.text13);
    v.setDistances(tp, sl, st);
    if (v.TP1 == 0 || v.SL1 == 0) {
        s.dialogs.beep();
        return refuse(MessageKind::Information, "");
    }
    double last = 0;
    ValueInPoints(f.text5, s.locale, last);
    r.lastEntryHour = static_cast<float>(last);
    if (!loaded) return refuse(MessageKind::Error, kOpenDataFile);
    if (!(v.ST1 > 0))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded, "введите число больше 0"));

    // The size of the run, before anything of it starts.
    const double windows = f.check3 ? 1 : RunWindowCount(s);
    if (!(windows >= 1))
        return refuse(MessageKind::Information,
                      "Интервал короче окна оптимизации: ни одно окно не помещается. Уменьшите поле «Период» "
                      "(оптимизация) или выберите более длинный интервал");
    double hour = 0;
    ValueInPoints(f.text4, s.locale, hour);
    float stopEnd = 0;
    ToSingle(f.text2, s.locale, stopEnd);
    const double perWindow = SearchPassesPerWindow(v, static_cast<float>(hour), r.lastEntryHour, stopEnd);
    if (const std::string big = RunSizeRefusal(windows * perWindow, windows); !big.empty())
        return refuse(MessageKind::Error, big);
    const double top = std::max<double>(v.TP1, std::max<double>(v.SL1, stopEnd));
    if (!MoneyResultsFit(v.SL1, static_cast<float>(top), v.U, Val(f.text11), Val(f.text13),
                         f.pair == Pair::JPY))
        return refuse(MessageKind::Error, kFaultOverflow);
    r.dayTable.prepare(s.store, r.lastBar);
    r.barsWithoutDay = r.dayTable.barsWithoutDay(static_cast<long>(std::ceil(r.firstBar)),
                                                 static_cast<long>(std::floor(r.lastBar)));

    // The run's trade report lists this run's trades only, with this run's counts.
    r.journal.clear();
    r.closedTradeCount = r.forwardOpenedCount = 0;
    r.forwardEquity = 0;
    r.winCount = r.lossCount = 0;
    r.runPassesStarted = r.runPassesDone = 0;
    r.stopRequested = false;
    f.timer3 = true;
}

void RunThoroughTestTick(Session& s) {
    FormState& f = s.form;
    try {
        Tick(s);
    } catch (const PassStopped&) {
        f.timer1 = f.timer2 = f.timer3 = false;
        f.label15 = kStatusStopped;
        s.run.stopRequested = false;
    } catch (const PassFault& fault) {
        f.timer3 = f.timer2 = false;
        s.dialogs.message(MessageKind::Error, fault.message);
    }
}

}  // namespace kavro
