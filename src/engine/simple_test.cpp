#include "engine/simple_test.h"

#include <vector>

#include "engine/counted_loop.h"
#include "engine/run_checks.h"
#include "engine/strategy_rules.h"
#include "engine/test_pass.h"
#include "platform/numbers.h"

namespace kavro {

namespace {

// Stop sweeps over the entry hours, from the current one to the last.
void HourLoop(const RunEnv& e, float stopEnd, float step, bool hour24Rule) {
    RunState& r = e.run;
    Settings& v = r.s;
    const float start = v.SL1;
    if (r.fastPasses) {
        // Every distance of the sweep known up front lets the kernel find an opening's exits in one walk.
        std::vector<float> distances{static_cast<float>(static_cast<double>(v.TP1) * v.U)};
        float stop = 0;
        try {
            CountedLoop(stop, start, stopEnd, step, [&] {
                // The list stops growing one past what the plans can hold.
                if (distances.size() <= PassKernel::kMaxColumns)
                    distances.push_back(static_cast<float>(static_cast<double>(stop) * v.U));
            });
        } catch (const PassFault&) {
            // The sweep itself reports the step.
        }
        // A grid too fine for the plans leaves them as they are.
        r.dayTable.prepare(e.store, r.lastBar);
        r.kernel.prepare(e.store, r.dayTable);
        r.kernel.ensureColumns(distances);
    }
    for (;;) {
        CountedLoop(v.TPI1, start, stopEnd, step, [&] {
            v.TPI = static_cast<float>(static_cast<double>(v.TPI1) * v.U);
            v.TP = static_cast<float>(static_cast<double>(v.TP1) * v.U);
            v.ST = static_cast<float>(static_cast<double>(v.U) * v.ST1);
            RunTestPass(e, v.TPI, v.TP, v.ST, v.TPI1, v.TP1);
        });
        if (hour24Rule && r.entryHour == 24) r.entryHour = 0;
        if (r.lastEntryHour > 23) r.lastEntryHour = 23;
        if (r.lastEntryHour <= r.entryHour) break;
        r.entryHour += 1;
        v.TPI1 = v.SL1;
    }
}

void EndSweep(const RunEnv& e) {
    e.beep();
    FinishRecord(e.record, e.run, RunEnd::Done);
    e.observer.runEnded(e.record, false);
}

void FullSweep(const RunEnv& e) {
    RunState& r = e.run;
    Settings& v = r.s;
    const RunSettings s = e.settings.read();
    const double tp = InPoints(e, s, &RunSettings::takeProfit, Field::TakeProfit);
    const double sl = InPoints(e, s, &RunSettings::stopLoss, Field::StopLoss);
    v.capture(e.record.settings.pair, tp, sl, InPoints(e, s, &RunSettings::step, Field::Step));
    // The stop sweeps run up to the take-profit the run began with.
    const NumberReading savedTarget = s.takeProfit;
    if (v.ST1 < 0 || (v.ST1 == 0 && v.TP1 <= v.SL1)) throw PassFault{kStepTooSmall};
    if (!savedTarget.readable) throw PassFault{FieldMessage(Field::TakeProfit, QuotesLoaded(e.store))};
    const float stopEnd = savedTarget.single;
    float target = 0;
    CountedLoop(target, v.TP1, v.SL1, -v.ST1, [&] {
        r.entryHour =
            static_cast<float>(InPoints(e, e.settings.read(), &RunSettings::firstHour, Field::FirstHour));
        v.TP1 = target;
        HourLoop(e, stopEnd, v.ST1, true);
    });
    EndSweep(e);
}

void Tick(const RunEnv& e) {
    RunState& r = e.run;
    Settings& v = r.s;
    if (const RunSettings s = e.settings.read(); !s.fullSweep && v.ST1 > 0) {
        // The direction follows the two fields as typed, compared by their leading numbers.
        const double stopText = s.stopLoss.leading, targetText = s.takeProfit.leading;
        if (stopText < targetText) {
            HourLoop(e, v.TP1, v.ST1, true);
            EndSweep(e);
        } else if (stopText > targetText) {
            HourLoop(e, v.TP1, -v.ST1, false);
            EndSweep(e);
        }
    }
    if (v.ST1 == 0) {
        v.TPI1 = v.SL1;
        v.TPI = static_cast<float>(static_cast<double>(v.U) * v.SL1);
        RunTestPass(e, v.TPI, v.TP, v.ST, v.TPI1, v.TP1);
    }
    if (e.settings.read().fullSweep) FullSweep(e);
}

}  // namespace

RunStart StartSimpleTest(const RunEnv& e) {
    RunState& r = e.run;
    const RunSettings s = e.settings.read();
    const bool loaded = QuotesLoaded(e.store);
    Settings v;
    v.capture(s.pair, s.takeProfit.points, s.stopLoss.points, s.step.points);
    if (v.TP1 == 0 || v.SL1 == 0) return RunStart::beeped();
    const float lastHour = static_cast<float>(s.lastHour.points);
    // A sweep with such a step would never end, or never begin.
    if (v.ST1 < 0 || (s.fullSweep && v.ST1 == 0 && v.TP1 <= v.SL1))
        return RunStart::refused(MessageKind::Error,
                                 FieldMessage(Field::Step, loaded, "введите число больше 0"));
    if (s.firstHour.points < 0)
        return RunStart::refused(MessageKind::Error,
                                 FieldMessage(Field::FirstHour, loaded, "введите число не меньше 0"));
    const double passes = SimpleTestPasses(v, s.fullSweep, static_cast<float>(s.firstHour.points), lastHour,
                                           s.takeProfit.single, s.stopLoss.leading, s.takeProfit.leading);
    if (passes == 0) return RunStart::refused(MessageKind::Information, kNoPasses);
    if (const std::string refusal = RunStartRefusal(v, s, s.takeProfit.single, passes, 1); !refusal.empty())
        return RunStart::refused(MessageKind::Error, refusal);
    std::string message;
    if (!EmptyReportFile(e.ripotPath(), message)) return RunStart::refused(MessageKind::Error, message);

    r.s = v;
    r.lastEntryHour = lastHour;
    // Every run starts from the first hour and finds its own best; its counters count this run.
    r.entryHour = 0;
    r.bestTotal.reset();
    r.runPassesStarted = r.runPassesDone = 0;
    r.progressMax = 0;
    r.stopRequested = false;
    e.record.barsWithoutDay = CountBarsWithoutDay(r, e.store);
    e.record.expectedPasses = passes;
    ReserveRows(e.record, passes);
    return {};
}

void RunSimpleTestTick(const RunEnv& e) {
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
