#pragma once
// The Open menu's "Импорт CSV…": a CSV imported beside itself, then loaded as Hour and Day load.
#include <string>

namespace kavro {

struct Session;

// Asks for a CSV file (and, if the user has one, a CSV of daily bars; without it
// the daily bars are built from the hours), imports it into NAME_H1.PRN and NAME_D1.PRN beside it for
// the selected pair (asking before replacing files of those names), showing the
// progress while the window keeps working, then loads both files exactly as the
// menu entries "Час" and "День" do. A refused or cancelled (Stop) import changes
// nothing; the refusal says why.
void MenuImport(Session& s);

inline constexpr const char* kCsvFilter = "CSV (*.csv *.txt)";
inline constexpr const char* kStatusImporting = "Импорт CSV, ждите...";
inline constexpr const char* kAskDailyCsv =
    "Взять дневные бары из отдельного CSV-файла? Если нет, дневной файл будет построен из часовых баров.";

}  // namespace kavro
