#pragma once
// The main window as data.
#include <string>

#include "engine/run_fields.h"
#include "platform/dates.h"

namespace kavro {

// The main window as data: what its controls show and hold. The settings
// fields a run reads and the display it writes are its two halves; the desktop
// window mirrors the whole both ways, the batch runner and the tests use it alone.
struct FormState : SettingFields, RunDisplay {
    std::string label18 = "Время";
    // The "Оценка" block: buy/sell trade counts, the caption "Просадка", the maximum drawdown.
    std::string label16, label25, label17;

    // Back to the initial values, then the load step (Timer2 off, both date pickers on `today`).
    void reinitialise(const Date& today);
};

}  // namespace kavro
