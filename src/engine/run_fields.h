#pragma once
// The main window's settings fields as typed text.
#include <array>
#include <string>

#include "platform/dates.h"
#include "quotes/quote_store.h"

namespace kavro {

// A date picker: its value and the lowest and highest selectable dates.
struct DatePicker {
    Date value, min, max;
};

// The settings fields of the main window as text, as typed. The program layer
// reads them into RunSettings; a run record keeps a copy of them.
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

}  // namespace kavro
