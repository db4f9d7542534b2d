#pragma once
// The Open menu's "Импорт CSV…": a CSV imported beside itself, then loaded as Hour and Day load.
#include <string>

namespace kavro {

struct Session;

// Asks for a CSV file (and, if the user has one, a CSV of daily bars; without it
// the daily bars are built from the hours), the hour shift and the order of day
// and month in its dates (defaults: 0, from the dates), imports it into
// NAME_H1.PRN and NAME_D1.PRN beside it for the selected pair (asking before
// replacing files of those names), showing the progress while the window keeps
// working, then loads both files exactly as the menu entries "Час" and "День" do.
// A refused or cancelled (Stop) import changes nothing; the refusal says why.
void MenuImport(Session& s);

inline constexpr const char* kCsvFilter = "CSV (*.csv *.txt)";
inline constexpr const char* kStatusImporting = "Импорт CSV, ждите...";
inline constexpr const char* kAskDailyCsv =
    "Взять дневные бары из отдельного CSV-файла? Если нет, дневной файл будет построен из часовых баров.";
inline constexpr const char* kImportTitle = "Импорт CSV";
inline constexpr const char* kAskShiftHours =
    "Сдвиг времени в часах, от -48 до 48: прибавляется к каждому времени CSV (время с поясом сначала "
    "переводится в UTC).";
inline constexpr const char* kAskDateOrder = "Что записано первым в датах вида 01/02/2023 — день или месяц?";
// The choices of the date order, in the order of DateOrder.
inline constexpr const char* kDateOrderItems[] = {"Определить по датам файла", "День, месяц, год (dmy)",
                                                  "Месяц, день, год (mdy)"};

}  // namespace kavro
