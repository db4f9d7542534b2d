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
                if (distances.size() <= PassKernel::kMaxColumns)
                    distances.push_back(static_cast<float>(static_cast<double>(stop) * v.U));
            });
        } catch (const PassFault&) {
            // The sweep itself reports the step.
        }
        if (distances.size() <= PassKernel::kMaxColumns) {
            r.dayTable.prepare(e.store, r.lastBar);
            r.kernel.prepare(e.store, r.dayTable);
            r.kernel.ensureColumns(distances);
        }
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
    if (!e.fields.check2) e.dialogs.beep();
    e.display.timer1 = false;
    FinishResults(e.run, RunEnd::Done);
}

void FullSweep(const RunEnv& e) {
    const SettingFields& f = e.fields;
    RunState& r = e.run;
    Settings& v = r.s;
    const bool loaded = e.store.hourBarCount > 0 && e.store.dayBarCount > 0;
    auto read = [&](const std::string& text, Field field) {
        double value = 0;
        if (!ValueInPoints(text, e.locale, value)) throw PassFault{FieldMessage(field, loaded)};
        return value;
    };
    const double tp = read(f.text2, Field::TakeProfit), sl = read(f.text3, Field::StopLoss);
    v.setDistances(tp, sl, read(f.text6, Field::Step));
    const std::string savedTarget = f.text2;
    if (v.ST1 < 0 || (v.ST1 == 0 && v.TP1 <= v.SL1)) throw PassFault{kStepTooSmall};
    float stopEnd = 0;
    if (!ToSingle(savedTarget, e.locale, stopEnd)) throw PassFault{FieldMessage(Field::TakeProfit, loaded)};
    float target = 0;
    CountedLoop(target, v.TP1, v.SL1, -v.ST1, [&] {
        const double hour = read(f.text4, Field::FirstHour);
        r.entryHour = static_cast<float>(hour);
        v.TP1 = target;
        HourLoop(e, stopEnd, v.ST1, true);
    });
    EndSweep(e);
}

void Tick(const RunEnv& e) {
    const SettingFields& f = e.fields;
    RunState& r = e.run;
    Settings& v = r.s;
    v.Q = static_cast<float>(Val(f.text11));
    v.J = static_cast<float>(Val(f.text13));
    v.E = static_cast<float>(1.0 / static_cast<double>(v.U));

    if (!f.check1 && v.ST1 > 0) {
        const double stopText = Val(f.text3), targetText = Val(f.text2);
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
    if (f.check1) FullSweep(e);
}

}  // namespace

void RunSimpleTestTick(const RunEnv& e) {
    RunDisplay& d = e.display;
    try {
        Tick(e);
    } catch (const PassStopped&) {
        d.timer1 = d.timer2 = false;
        d.label15 = kStatusStopped;
        e.run.stopRequested = false;
        FinishResults(e.run, RunEnd::Stopped);
    } catch (const PassFault& fault) {
        d.timer1 = d.timer2 = false;
        FinishResults(e.run, RunEnd::Failed, fault.message);
        e.dialogs.message(MessageKind::Error, fault.message);
    }
}

}  // namespace kavro
