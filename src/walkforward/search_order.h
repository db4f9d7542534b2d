#pragma once
// The search order of a walk-forward window's settings.

#include "engine/counted_loop.h"
#include "engine/run_checks.h"
#include "engine/run_env.h"
#include "platform/numbers.h"

namespace kavro {

inline constexpr const char* kHourOutOfRange =
    "Начальный час в поле \"Время\" слишком далек от 0: введите час от 0 до 23";

inline constexpr const char* kNoSearchSettings =
    "Настройки не дают ни одного прохода оптимизации: введите в поле «TP» в рамке «TP/SL» число не меньше, "
    "чем в поле «SL»";

// Every setting of one window, handed to `pass` in search order: take-profit
// from the largest down, then entry hour up, then stop-loss up. The loops
// leave their counters in the settings and the run state as they go, as the
// passes read them.
template <typename Pass>
void ForEachSetting(const RunEnv& e, const NumberReading& savedTarget, Pass pass) {
    RunState& r = e.run;
    Settings& v = r.s;
    float target = 0;
    CountedLoop(target, v.TP1, v.SL1, -v.ST1, [&] {
        r.entryHour =
            static_cast<float>(InPoints(e, e.settings.read(), &RunSettings::firstHour, Field::FirstHour));
        v.TP1 = target;
        for (;;) {
            if (!savedTarget.readable)
                throw PassFault{FieldMessage(Field::TakeProfit, QuotesLoaded(e.store))};
            const float stopEnd = savedTarget.single;
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

// True when a window's search tries at least one setting: the take-profit and
// stop-loss loops of ForEachSetting each start (the hour loop always does).
inline bool SearchHasSettings(const Settings& v, float stopEnd) {
    return WithinLoop(v.TP1, v.SL1, -v.ST1) && WithinLoop(v.SL1, stopEnd, v.ST1);
}

}  // namespace kavro
