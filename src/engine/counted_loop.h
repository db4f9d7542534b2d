#pragma once
// The 32-bit counted loop the sweeps run on.
#include "engine/strategy_rules.h"

namespace kavro {

inline constexpr const char* kStepTooSmall =
    "Шаг должен быть больше 0 и заметен на фоне значений TP/SL: введите в поле \"Шаг\" большее число";

// True while a counted loop's counter has not passed its end in the step's
// direction; a loop whose start fails it runs no iteration.
inline bool WithinLoop(float counter, float end, float step) {
    return step >= 0 ? counter <= end : counter >= end;
}

// A counted loop on a 32-bit counter: end and step are fixed when it starts;
// a step of 0 or more runs while the counter has not passed the end upwards,
// a negative one while it has not passed it downwards.
template <typename Body>
void CountedLoop(float& counter, float start, float end, float step, Body body) {
    for (counter = start; WithinLoop(counter, end, step);) {
        body();
        const float next = counter + step;
        // A step that cannot move the counter would loop forever.
        if (next == counter) throw PassFault{kStepTooSmall};
        counter = next;
    }
}

}  // namespace kavro
