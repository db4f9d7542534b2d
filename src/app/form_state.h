#pragma once
#include <array>
#include <string>

#include "platform/dates.h"
#include "quotes/quote_store.h"

namespace kavro {

struct DatePicker {
    Date value, min, max;
};

// The main window as data: what its controls show and hold. The desktop
// window mirrors it both ways; the batch runner and the tests use it alone.
struct FormState {
    Pair pair = Pair::EUR;                         // Option1..Option4
    std::string text2 = "100", text3 = "20";       // take-profit, stop-loss (points)
    std::string text4 = "0", text5 = "23";         // first and last entry hour
    std::string text6 = "5";                       // step (points)
    std::string text7 = "3", text8 = "1";          // optimisation and forward window lengths
    std::string text11 = "10", text13 = "0.0005";  // money per point, cost of a winner
    std::string text10;                            // report box
    bool check1 = false;                           // "Полный тест"
    bool check2 = false;                           // "Отключить звуковой сигнал"
    bool check3 = false;                           // "Реальная работа"

    DatePicker dtPicker1, dtPicker2;  // start and end date
    int dtPicker3Hour = 0;            // end hour (DTPicker3 shows it as hh:00:00)

    std::array<std::string, 4> label6;  // current pass: time, TP, SL, result
    std::array<std::string, 7> label1;  // best pass 0..3, full test 4..6
    std::string label15;                // status line
    std::string label18 = "Время";

    double progressMin = 0, progressMax = 100, progressValue = 0;

    bool timer1 = false, timer2 = false, timer3 = false;

    // Back to the initial values, then the load step (Timer2 off, both date pickers on `today`).
    void reinitialise(const Date& today);
};

}  // namespace kavro
