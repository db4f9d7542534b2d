#pragma once
// The program's commands: toolbar, Open menu, date pickers, timers and the countdown.
#include <functional>
#include <string>
#include <string_view>

#include "engine/run_checks.h"
#include "program/session.h"

namespace kavro {

// Toolbar button click, dispatched by its key ("End", "Start", "Kach", "Graf",
// "Ocen", "Othet", "Stop"); unknown keys do nothing.
void ToolbarButton(Session& s, std::string_view key);

// Entries of the Open button's menu.
void MenuHour(Session& s);  // hourly load, then the start- and end-date lookups
void MenuDay(Session& s);   // daily load

// The two loads without their dialogs: the file at `path` loaded exactly as the
// menu entries load the chosen one (continuing the stored history or replacing
// it). False when it did not load (already said).
bool LoadHourlyFile(Session& s, const std::string& path, LoadMode mode = LoadMode::Continue);
bool LoadDailyFile(Session& s, const std::string& path, LoadMode mode = LoadMode::Continue);

// Date picker events: DTPicker1 Change/CloseUp, DTPicker2 Change/CloseUp, DTPicker3 Change.
// The form state already holds the new value.
void StartDateChanged(Session& s);
void EndDateChanged(Session& s);

// Timer ticks; each returns at once when its timer is off or its tick is still running.
void Timer1Tick(Session& s);
void Timer2Tick(Session& s);
void Timer3Tick(Session& s);

// Closes and reopens the main window: controls to their initial values and the load step;
// program data stays.
void ReinitialiseWindow(Session& s);

// The single commands, callable on their own (the dispatcher uses them). Start
// and Kach say how their start came out; a refusal has been shown already.
RunStart StartCommand(Session& s);
RunStart KachCommand(Session& s);
void OthetCommand(Session& s);
void StopCommand(Session& s);

// Runs one setting of a finished sweep (a heatmap cell: entry hour, take-profit
// and stop-loss of `setting`) as a single setting with the sweep's pair and money
// fields, as a run of its own ("cell"); the window's fields stay as they are.
RunStart CellCommand(Session& s, const RunRecord& sweep, const PassRow& setting);

// "Повторить": a record's settings back into the window's fields (the pair,
// every text, the check boxes, and the interval's pickers with their lookups
// where the loaded quotes hold those dates), so that Start or Kach runs it again.
void RepeatCommand(Session& s, const RunRecord& record);

// Runs a command so that running out of memory ends what it was doing with a
// message, never the program.
void Guarded(Session& s, const std::function<void()>& command);

// The message of a load that was taken back: why, then that the earlier quotes are kept.
std::string LoadFailureMessage(const char* wrongFileText, bool outOfMemory);
inline constexpr const char* kLoadTakenBack = "Файл не загружен, ранее загруженные котировки сохранены.";
inline constexpr const char* kLoadOutOfMemory = "Не хватает памяти, чтобы загрузить этот файл.";
inline constexpr const char* kOutOfMemory =
    "Не хватает памяти: работа остановлена, программа продолжает работу.";

// Texts shown by the commands.
inline constexpr const char* kStartFailed = "Необходимо открыть файл с данными";
inline constexpr const char* kStatusLoading = "Файл загружается, ждите...";
inline constexpr const char* kStatusLoaded = "Загрузка закончена";
inline constexpr const char* kQuoteFilter = "Тексовой файл(*.PRN)";
inline constexpr const char* kCellQuotesChanged =
    "Котировки изменились после перебора: запустите простое тестирование снова, чтобы проверить эту клетку";
inline constexpr const char* kCellRunning =
    "Идёт проверка клетки перебора: дождитесь её окончания или нажмите «Стоп», затем запустите тест снова.";

}  // namespace kavro
