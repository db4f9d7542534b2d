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
void HourLoop(Session& s, float stopEnd, float step, bool hour24Rule) {
    RunState& r = s.run;
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
            r.dayTable.prepare(s.store, r.lastBar);
            r.kernel.prepare(s.store, r.dayTable);
            r.kernel.ensureColumns(distances);
        }
    }
    for (;;) {
        CountedLoop(v.TPI1, start, stopEnd, step, [&] {
            v.TPI = static_cast<float>(static_cast<double>(v.TPI1) * v.U);
            v.TP = static_cast<float>(static_cast<double>(v.TP1) * v.U);
            v.ST = static_cast<float>(static_cast<double>(v.U) * v.ST1);
            RunTestPass(s, v.TPI, v.TP, v.ST, v.TPI1, v.TP1);
        });
        if (hour24Rule && r.entryHour == 24) r.entryHour = 0;
        if (r.lastEntryHour > 23) r.lastEntryHour = 23;
        if (r.lastEntryHour <= r.entryHour) break;
        r.entryHour += 1;
        v.TPI1 = v.SL1;
    }
}

void EndSweep(Session& s) {
    if (!s.form.check2) s.dialogs.beep();
    s.form.timer1 = false;
}

void FullSweep(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    const bool loaded = s.store.hourBarCount > 0 && s.store.dayBarCount > 0;
    auto read = [&](const std::string& text, Field field) {
        double value = 0;
        if (!ValueInPoints(text, s.locale, value)) throw PassFault{FieldMessage(field, loaded)};
        return value;
    };
    const double tp = read(f.text2, Field::TakeProfit), sl = read(f.text3, Field::StopLoss);
    v.setDistances(tp, sl, read(f.text6, Field::Step));
    const std::string savedTarget = f.text2;
    if (v.ST1 < 0 || (v.ST1 == 0 && v.TP1 <= v.SL1)) throw PassFault{kStepTooSmall};
    float stopEnd = 0;
    if (!ToSingle(savedTarget, s.locale, stopEnd)) throw PassFault{FieldMessage(Field::TakeProfit, loaded)};
    float target = 0;
    CountedLoop(target, v.TP1, v.SL1, -v.ST1, [&] {
        const double hour = read(f.text4, Field::FirstHour);
        r.entryHour = static_cast<float>(hour);
        v.TP1 = target;
        HourLoop(s, stopEnd, v.ST1, true);
    });
    EndSweep(s);
}

void Tick(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    v.Q = static_cast<float>(Val(f.text11));
    v.J = static_cast<float>(Val(f.text13));
    v.E = static_cast<float>(1.0 / static_cast<double>(v.U));

    if (!f.check1 && v.ST1 > 0) {
        const double stopText = Val(f.text3), targetText = Val(f.text2);
        if (stopText < targetText) {
            HourLoop(s, v.TP1, v.ST1, true);
            EndSweep(s);
        } else if (stopText > targetText) {
            HourLoop(s, v.TP1, -v.ST1, false);
            EndSweep(s);
        }
    }
    if (v.ST1 == 0) {
        v.TPI1 = v.SL1;
        v.TPI = static_cast<float>(static_cast<double>(v.U) * v.SL1);
        RunTestPass(s, v.TPI, v.TP, v.ST, v.TPI1, v.TP1);
    }
    if (f.check1) FullSweep(s);
}

}  // namespace

void RunSimpleTestTick(Session& s) {
    FormState& f = s.form;
    try {
        Tick(s);
    } catch (const PassStopped&) {
        f.timer1 = f.timer2 = false;
        f.label15 = "Тест остановлен";
        s.run.stopRequested = false;
    } catch (const PassFault& fault) {
        f.timer1 = f.timer2 = false;
        s.dialogs.message(MessageKind::Error, fault.message);
    }
}

}  // namespace kavro
