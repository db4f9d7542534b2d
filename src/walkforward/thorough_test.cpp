#include "walkforward/thorough_test.h"

#include <algorithm>
#include <cmath>

#include "app/commands.h"
#include "engine/counted_loop.h"
#include "engine/strategy_rules.h"
#include "engine/test_pass.h"
#include "platform/numbers.h"
#include "platform/text_file.h"
#include "walkforward/fast_search.h"
#include "walkforward/thorough_report.h"
#include "walkforward/walkforward_passes.h"

namespace kavro {

namespace {

const char* kHourOutOfRange = "Начальный час в поле \"Время\" слишком далек от 0: введите час от 0 до 23";

// Beyond this many windows the window counter could no longer count them one by one.
constexpr double kMaxWindows = 1e15;

// Text7 and Text8 as the window count needs them: no division by zero, nothing unreadable.
bool WindowLengthsReadable(const FormState& f) {
    const double opt = Val(f.text7), fwd = Val(f.text8);
    return std::isfinite(opt) && std::isfinite(fwd) && opt >= 0 && fwd > 0;
}

double InPoints(const Session& s, const std::string& text) {
    double value = 0;
    if (!ValueInPoints(text, s.locale, value)) throw PassFault{kStartFailed};
    return value;
}

// Window set-up: the distances are read again for every window. Returns Text2 as read.
std::string SetUpWindow(Session& s) {
    const FormState& f = s.form;
    Settings& v = s.run.s;
    const double tp = InPoints(s, f.text2), sl = InPoints(s, f.text3), st = InPoints(s, f.text6);
    v.setDistances(tp, sl, st);
    return f.text2;
}

// Every setting of one window, handed to `pass` in search order: take-profit
// from the largest down, then entry hour up, then stop-loss up.
template <typename Pass>
void ForEachSetting(Session& s, const std::string& savedTarget, Pass pass) {
    const FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    float target = 0;
    CountedLoop(target, v.TP1, v.SL1, -v.ST1, [&] {
        r.entryHour = static_cast<float>(InPoints(s, f.text4));
        v.TP1 = target;
        for (;;) {
            float stopEnd = 0;
            if (!ToSingle(savedTarget, s.locale, stopEnd)) throw PassFault{kStartFailed};
            CountedLoop(v.TPI1, v.SL1, stopEnd, v.ST1, [&] {
                v.TPI = static_cast<float>(static_cast<double>(v.TPI1) * v.U);
                v.TP = static_cast<float>(static_cast<double>(v.TP1) * v.U);
                v.ST = static_cast<float>(static_cast<double>(v.ST1) * v.U);
                pass();
            });
            if (r.entryHour == 24) r.entryHour = 0;
            if (r.lastEntryHour > 23) r.lastEntryHour = 23;
            if (r.lastEntryHour <= r.entryHour) break;
            const float next = r.entryHour + 1.0f;
            if (next == r.entryHour) throw PassFault{kHourOutOfRange};
            r.entryHour = next;
        }
    });
}

// The search of one window. The best setting is kept by the passes themselves.
// Whole windows go through the pass kernel; the bar loop covers the rest.
void SearchWindow(Session& s, const std::string& savedTarget, double& windowOffset, double& windowCount) {
    RunState& r = s.run;
    Settings& v = r.s;
    if (r.fastPasses) {
        // Commands given during the run take effect here, between windows.
        s.pump.yield();
        CheckStop(s);
        const Settings savedSettings = v;
        const float savedHour = r.entryHour, savedLastHour = r.lastEntryHour;
        std::vector<SearchSetting> settings;
        bool listed = true;
        try {
            ForEachSetting(s, savedTarget, [&] {
                settings.push_back({v.TPI, v.TP, v.ST, v.TPI1, v.TP1, r.entryHour});
            });
        } catch (const PassFault&) {
            listed = false;
        }
        if (listed && FastSearchWindow(s, settings, windowOffset, windowCount)) return;
        v = savedSettings;
        r.entryHour = savedHour;
        r.lastEntryHour = savedLastHour;
    }
    ForEachSetting(s, savedTarget,
                   [&] { RunSearchPass(s, v.TPI, v.TP, v.ST, v.TPI1, v.TP1, windowOffset, windowCount); });
}

void WriteReportLine(const std::string& path, const std::string& line) {
    if (!AppendToFile(path, line)) throw PassFault{"Не удалось записать строку в файл отчета " + path};
}

// RIPOT1: one line per closed trade of this run, each appended on its own.
void ExportJournal(const Session& s) {
    const RunState& r = s.run;
    const std::string path = s.ripot1Path();
    const float wins = static_cast<float>(r.winCount), losses = static_cast<float>(r.lossCount);
    for (int64_t i = 1; i <= r.closedTradeCount; ++i)
        WriteReportLine(path, TradeReportLine(r.journal.row(static_cast<size_t>(i)), wins, losses, s.locale));
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
        if (!WindowLengthsReadable(f)) throw PassFault{kStartFailed};
        windowCount = ThoroughWindowCount(static_cast<double>(r.lastBar) - static_cast<double>(r.firstBar),
                                          Val(f.text7), Val(f.text8));
        // A huge negative count only means no window; a huge positive one could never be counted.
        if (!std::isfinite(windowCount) || windowCount > kMaxWindows) throw PassFault{kStartFailed};
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
            if (!f.check3) f.text10 += WindowBoxLine(date, result, s.locale) + "\r\n";
            WriteReportLine(s.ripotPath(), WindowReportLine(date, result));
        }
        if (w == windowCount) {
            f.timer3 = false;
            // The last line carries the chosen end date and no line end.
            const std::string date = ShortDate(f.dtPicker2.value, s.locale);
            if (!f.check3) {
                f.text10 += WindowBoxLine(date, result, s.locale);
                f.label1[4] = date;
            }
            WriteReportLine(s.ripotPath(), WindowReportLine(date, result));
        }
        if (!f.check2) s.dialogs.beep();
    }
    ExportJournal(s);
    if (windowCount < 1) f.timer3 = false;
}

}  // namespace

double ThoroughWindowCount(double barSpan, double optLen, double fwdLen) {
    const double x = (barSpan - optLen * 480.0) / (fwdLen * 480.0);
    return x == Int(x) ? x : Int(x) + 1;
}

void StartThoroughTest(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    for (const std::string& path : {s.ripotPath(), s.ripot1Path()}) {
        if (!TruncateFile(path)) {
            s.dialogs.message(MessageKind::Error, "Не удалось записать файл отчета " + path);
            return;
        }
    }
    // Refuse what the run could not read or would divide by zero with.
    double tp = 0, sl = 0, st = 0;
    float firstHour = 0, lastHour = 0;
    if (!ValueInPoints(f.text2, s.locale, tp) || !ValueInPoints(f.text3, s.locale, sl) ||
        !ValueInPoints(f.text6, s.locale, st) || !ToSingle(f.text4, s.locale, firstHour) ||
        !ToSingle(f.text5, s.locale, lastHour) || !WindowLengthsReadable(f)) {
        f.timer3 = false;
        s.dialogs.message(MessageKind::Error, kStartFailed);
        return;
    }
    r.passProfit = 0;
    f.label15 = kStatusEstimate;
    v.capture(f.pair, f.text11, f.text13);
    v.setDistances(tp, sl, st);
    if (v.TP1 == 0 || v.SL1 == 0) {
        s.dialogs.beep();
        f.timer3 = false;
        return;
    }
    double last = 0;
    ValueInPoints(f.text5, s.locale, last);
    r.lastEntryHour = static_cast<float>(last);

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
