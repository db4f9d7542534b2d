#pragma once
// The settings fields a run reads and the display it writes.
#include <array>
#include <string>

#include "platform/dates.h"
#include "quotes/quote_store.h"

namespace kavro {

// A date picker: its value and the lowest and highest selectable dates.
struct DatePicker {
    Date value, min, max;
};

// The settings fields of the main window as a run reads them: live, at the
// moment a pass needs a value, so that a field typed over during a run changes
// what the run reads next.
struct SettingFields {
    Pair pair = Pair::EUR;                         // Option1..Option4
    std::string text2 = "100", text3 = "20";       // take-profit, stop-loss (points)
    std::string text4 = "0", text5 = "23";         // first and last entry hour
    std::string text6 = "5";                       // step (points)
    std::string text7 = "3", text8 = "1";          // optimisation and forward window lengths
    std::string text11 = "10", text13 = "0.0005";  // money per point, cost of a winner
    bool check1 = false;                           // "Полный тест"
    bool check2 = false;                           // "Отключить звуковой сигнал"
    bool check3 = false;                           // "Реальная работа"

    DatePicker dtPicker1, dtPicker2;  // start and end date
    int dtPicker3Hour = 0;            // end hour (DTPicker3 shows it as hh:00:00)
};

// What a run shows while it goes: the result labels, the status line, the
// progress bar, the report box and the timers that drive it.
struct RunDisplay {
    std::array<std::string, 4> label6;  // current pass: time, TP, SL, result
    std::array<std::string, 7> label1;  // best pass 0..3, full test 4..6
    std::string label15;                // status line
    std::string text10;                 // report box

    double progressMin = 0, progressMax = 100, progressValue = 0;

    bool timer1 = false, timer2 = false, timer3 = false;
};

// What the status line says of a run.
inline constexpr const char* kStatusTesting = " Процесс тестирования ";
inline constexpr const char* kStatusEstimate = " Оценка времени ";
inline constexpr const char* kStatusDone = "Тест окончен";
inline constexpr const char* kStatusStopped = "Тест остановлен";

}  // namespace kavro
