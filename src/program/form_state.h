#pragma once
// The main window as data.
#include <array>
#include <string>

#include "engine/run_fields.h"
#include "platform/dates.h"

namespace kavro {

// What the main window shows of a run: the result labels, the status line, the
// progress bar, the report box and the timers that drive it.
struct RunDisplay {
    std::array<std::string, 4> label6;  // current pass: time, TP, SL, result
    std::array<std::string, 7> label1;  // best pass 0..3, full test 4..6
    std::string label15;                // status line
    std::string text10;                 // report box

    double progressMin = 0, progressMax = 100, progressValue = 0;

    bool timer1 = false, timer2 = false, timer3 = false;
};

// The main window as data: what its controls show and hold. The settings
// fields and the display of a run are its two halves; the desktop window
// mirrors the whole both ways, the batch runner and the tests use it alone.
struct FormState : SettingFields, RunDisplay {
    std::string label18 = "Время";
    // The "Оценка" block: buy/sell trade counts, the caption "Просадка", the maximum drawdown.
    std::string label16, label25, label17;

    // Back to the initial values, then the load step (Timer2 off, both date pickers on `today`).
    void reinitialise(const Date& today);
};

// What the status line says of a run.
inline constexpr const char* kStatusTesting = " Процесс тестирования ";
inline constexpr const char* kStatusEstimate = " Оценка времени ";
inline constexpr const char* kStatusDone = "Тест окончен";
inline constexpr const char* kStatusStopped = "Тест остановлен";

}  // namespace kavro
