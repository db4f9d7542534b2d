#include "program/commands.h"

#include <cmath>
#include <filesystem>
#include <optional>

#include "engine/run_checks.h"
#include "engine/simple_test.h"
#include "engine/test_pass.h"
#include "platform/numbers.h"
#include "platform/text_file.h"
#include "program/evaluation_sources.h"
#include "quotes/interval_lookup.h"
#include "walkforward/thorough_test.h"

namespace kavro {

namespace {

// Keeps the progress bar and the status line with a load, yielding per line.
class FormLoadProgress : public LoadProgress {
  public:
    explicit FormLoadProgress(Session& s) : s_(s) {}
    void started(int lineCount) override {
        lines_ = lineCount;
        s_.pump.yield();
    }
    void lineStored(int barCount) override {
        s_.pump.yield();
        s_.form.progressMax = lines_;
        s_.form.progressValue = barCount;
        s_.form.label15 = kStatusLoading;
    }

  private:
    Session& s_;
    int lines_ = 0;
};

class LoadGuard {
  public:
    explicit LoadGuard(Session& s) : s_(s) {
        s_.loading = true;
        s_.dialogs.waitCursor(true);
    }
    ~LoadGuard() {
        s_.dialogs.waitCursor(false);
        s_.loading = false;
    }

  private:
    Session& s_;
};

void ReportUnreadable(Session& s, const std::string& path) {
    s.dialogs.message(MessageKind::Error, "Не удалось прочитать файл " + path);
}

// After a taken-back load the status line and progress bar must not claim a load.
void ClearLoadDisplay(Session& s) {
    s.form.label15.clear();
    s.form.progressValue = 0;
}

void FindStartBar(Session& s) {
    const LookupResult r = FindStartLine(s.store.hourSet.files, s.form.dtPicker1.value);
    if (!r.opened) {
        s.dialogs.waitCursor(false);
        ReinitialiseWindow(s);
        return;
    }
    if (r.lineCount > 0) s.run.firstBar = static_cast<float>(r.lineCount);
    if (!r.found) s.dialogs.message(MessageKind::Information, kNoTradingStart);
    s.run.pos.clearFlags();
    s.dialogs.waitCursor(false);
}

void FindEndBar(Session& s) {
    const LookupResult r = FindEndLine(s.store.hourSet.files, s.form.dtPicker2.value, s.form.dtPicker3Hour);
    if (!r.opened) {
        s.dialogs.waitCursor(false);
        ReinitialiseWindow(s);
        return;
    }
    s.run.lastBar = static_cast<float>(r.lineCount + 1);
    if (!r.found) s.dialogs.message(MessageKind::Information, kNoTradingEnd);
    s.run.pos.clearFlags();
    s.dialogs.waitCursor(false);
}

// The RIPOT file of the working directory, its name matched without regard to case.
std::string FindReport(const Session& s) {
    namespace fs = std::filesystem;
    const std::string exact = s.ripotPath();
    std::error_code ec;
    if (fs::is_regular_file(exact, ec)) return exact;
    const fs::path dir = s.workDir.empty() ? fs::path(".") : fs::path(s.workDir);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name == "RIPOT" && it->is_regular_file(ec)) return it->path().string();
    }
    return {};
}

}  // namespace

std::string LoadFailureMessage(const char* wrongFileText, bool outOfMemory) {
    return std::string(outOfMemory ? kLoadOutOfMemory : wrongFileText) + "\n" + kLoadTakenBack;
}

void ReinitialiseWindow(Session& s) {
    s.form.reinitialise(s.clock.today());
    s.shell.formReset();
}

namespace {

using Loader = LoadResult (*)(QuoteStore&, const std::string&, Pair, LoadProgress&, LoadMode);

// What the status line says after a load: whether the bars continued or replaced the stored ones.
std::string LoadedStatus(const LoadResult& r) {
    if (r.appended)
        return std::string(kStatusLoaded) + ": добавлено к загруженным (" + std::to_string(r.barsStored) +
               ")";
    if (r.replaced) return std::string(kStatusLoaded) + ": прежние котировки заменены";
    return kStatusLoaded;
}

// Loads the file at `path`; false when it did not load (already said), and then
// the store is as it was.
bool LoadPath(Session& s, const std::string& path, Loader load, const char* failureText, LoadMode mode,
              LoadResult& r) {
    if (s.loading || path.empty()) return false;
    {
        LoadGuard guard(s);
        FormLoadProgress progress(s);
        r = load(s.store, path, s.form.pair, progress, mode);
    }
    switch (r.status) {
        case LoadResult::Status::CannotRead:
            ReportUnreadable(s, path);
            return false;
        case LoadResult::Status::WrongLayout:
            ClearLoadDisplay(s);
            s.dialogs.message(MessageKind::Information,
                              WrongLayoutMessage(path, r.layout, s.form.pair) + "\n" + kLoadTakenBack);
            return false;
        case LoadResult::Status::Failed:
            ClearLoadDisplay(s);
            s.dialogs.message(MessageKind::Information, LoadFailureMessage(failureText, r.outOfMemory));
            return false;
        case LoadResult::Status::Ok:
            break;
    }
    s.form.label15 = LoadedStatus(r);
    return true;
}

// Asks for a file and loads it; a cancelled dialog changes nothing.
std::string AskQuoteFile(Session& s) {
    return s.loading ? std::string() : s.dialogs.openFile(kQuoteFilter);
}

void Dispatch(Session& s, std::string_view key);

// Runs a command so that running out of memory ends what it was doing with a
// message, never the program.
template <typename Command>
void Guarded(Session& s, Command command) {
    try {
        command();
    } catch (const std::bad_alloc&) {
        s.form.timer1 = s.form.timer2 = s.form.timer3 = false;
        s.form.label15.clear();
        FinishResults(s.run, RunEnd::Failed, kOutOfMemory);
        s.dialogs.message(MessageKind::Error, kOutOfMemory);
    }
}

}  // namespace

void MenuHour(Session& s) {
    Guarded(s, [&] { LoadHourlyFile(s, AskQuoteFile(s)); });
}

void MenuDay(Session& s) {
    Guarded(s, [&] { LoadDailyFile(s, AskQuoteFile(s)); });
}

bool LoadDailyFile(Session& s, const std::string& path, LoadMode mode) {
    LoadResult r;
    return LoadPath(s, path, LoadDailyQuotes, kDailyLoadFailed, mode, r);
}

void StartDateChanged(Session& s) {
    Guarded(s, [&] {
        s.dialogs.waitCursor(true);
        FindStartBar(s);
    });
}

void EndDateChanged(Session& s) {
    Guarded(s, [&] {
        s.dialogs.waitCursor(true);
        FindEndBar(s);
    });
}

bool LoadHourlyFile(Session& s, const std::string& path, LoadMode mode) {
    LoadResult r;
    if (!LoadPath(s, path, LoadHourlyQuotes, kHourlyLoadFailed, mode, r)) return false;
    const Date lo = std::min(r.earliest, r.latest), hi = std::max(r.earliest, r.latest);
    s.form.dtPicker1 = DatePicker{r.earliest, lo, hi};
    s.form.dtPicker2 = DatePicker{r.latest, lo, hi};
    s.form.dtPicker3Hour = r.lastHour;
    s.dialogs.waitCursor(true);
    FindStartBar(s);
    s.dialogs.waitCursor(true);
    FindEndBar(s);
    return true;
}

void StartCommand(Session& s) {
    FormState& f = s.form;
    RunState& r = s.run;
    Settings& v = r.s;
    const bool loaded = QuotesLoaded(s.store);
    auto refuse = [&](MessageKind kind, const std::string& text) {
        RefuseRun(f, &RunDisplay::timer1, s.dialogs, kind, text);
    };
    if (const std::string mixed = QuotePairRefusal(s.store, f.pair); !mixed.empty())
        return refuse(MessageKind::Error, mixed);
    std::string message;
    if (!EmptyReportFile(s.ripotPath(), message)) return refuse(MessageKind::Error, message);
    float step = 0, lastHour = 0;
    if (!ToSingle(f.text6, s.locale, step))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded));
    if (!ToSingle(f.text5, s.locale, lastHour))
        return refuse(MessageKind::Error, FieldMessage(Field::LastHour, loaded));
    f.label15 = (step == 0 || lastHour == 0) ? kStatusTesting : kStatusEstimate;
    // Every run starts from Text4 and finds its own best; its counters count this run.
    r.entryHour = 0;
    r.bestTotal.reset();
    for (int i = 0; i <= 3; ++i) f.label1[i].clear();
    r.runPassesStarted = r.runPassesDone = 0;
    r.progressMax = 0;
    r.stopRequested = false;

    v.capture(f.pair, f.text11, f.text13);
    // Each distance is stored as soon as it is read: one that fails leaves the earlier ones set.
    const std::string* texts[3] = {&f.text2, &f.text3, &f.text6};
    const Field fields[3] = {Field::TakeProfit, Field::StopLoss, Field::Step};
    float* prices[3] = {&v.TP, &v.SL, &v.ST};
    double points[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!ValueInPoints(*texts[i], s.locale, points[i]))
            return refuse(MessageKind::Error, FieldMessage(fields[i], loaded));
        *prices[i] = static_cast<float>(points[i] * static_cast<double>(v.U));
    }
    v.TP1 = static_cast<float>(points[0]);
    v.SL1 = static_cast<float>(points[1]);
    v.ST1 = static_cast<float>(points[2]);
    if (v.TP1 == 0 || v.SL1 == 0) {
        s.dialogs.beep();
        return refuse(MessageKind::Information, "");
    }
    double last = 0;
    ValueInPoints(f.text5, s.locale, last);
    r.lastEntryHour = static_cast<float>(last);
    // A sweep with such a step would never end, or never begin.
    if (v.ST1 < 0 || (f.check1 && v.ST1 == 0 && v.TP1 <= v.SL1))
        return refuse(MessageKind::Error, FieldMessage(Field::Step, loaded, "введите число больше 0"));
    double firstHour = 0;
    if (!ValueInPoints(f.text4, s.locale, firstHour))
        return refuse(MessageKind::Error, FieldMessage(Field::FirstHour, loaded));
    if (firstHour < 0)
        return refuse(MessageKind::Error,
                      FieldMessage(Field::FirstHour, loaded, "введите число не меньше 0"));
    float stopEnd = 0;
    ToSingle(f.text2, s.locale, stopEnd);
    const double passes = SimpleTestPasses(v, f.check1, static_cast<float>(firstHour), r.lastEntryHour,
                                           stopEnd, Val(f.text3), Val(f.text2));
    if (passes == 0) return refuse(MessageKind::Information, kNoPasses);
    if (const std::string refusal = RunStartRefusal(v, f, stopEnd, passes, 1); !refusal.empty())
        return refuse(MessageKind::Error, refusal);
    CountBarsWithoutDay(r, s.store);
    BeginResults(r, RunKind::Simple, f, passes);
    f.timer1 = true;
}

void KachCommand(Session& s) {
    StartThoroughTest(s);
}

void OthetCommand(Session& s) {
    const std::string path = FindReport(s);
    std::string data;
    if (path.empty() || !ReadWholeFile(path, data)) {
        s.form.text10.clear();
        s.dialogs.message(MessageKind::Information, "Отчета еще нет: сначала запустите тестирование");
        return;
    }
    std::string text;
    text.reserve(data.size() + 16);
    for (const auto line : SplitLines(data)) {
        text.append(line);
        text += "\r\n";
    }
    s.form.text10 = std::move(text);
}

void StopCommand(Session& s) {
    FormState& f = s.form;
    if (s.timer1Running || s.timer3Running || s.importing) {
        s.run.stopRequested = true;
        return;
    }
    // A run whose timer ticks without work (nothing is inside a pass) stops at once.
    if (f.timer1 || f.timer3) {
        f.timer1 = f.timer3 = f.timer2 = false;
        f.label15 = kStatusStopped;
        FinishResults(s.run, RunEnd::Stopped);
        NoteFinishedRun(s);
    }
}

void ToolbarButton(Session& s, std::string_view key) {
    Guarded(s, [&] { Dispatch(s, key); });
}

namespace {

void Dispatch(Session& s, std::string_view key) {
    if (key == "End") {
        s.run.stopRequested = true;
        s.shell.quit();
    } else if (key == "Start") {
        StartCommand(s);
    } else if (key == "Kach") {
        KachCommand(s);
    } else if (key == "Graf") {
        s.shell.showChart();
    } else if (key == "Ocen") {
        OcenCommand(s);
    } else if (key == "Othet") {
        OthetCommand(s);
    } else if (key == "Stop") {
        StopCommand(s);
    }
}

// Marks a tick as running for as long as it runs, however it ends.
class TickGuard {
  public:
    explicit TickGuard(bool& running) : running_(running) { running_ = true; }
    ~TickGuard() { running_ = false; }

  private:
    bool& running_;
};
}  // namespace

void Timer1Tick(Session& s) {
    if (!s.form.timer1 || s.timer1Running) return;
    TickGuard guard(s.timer1Running);
    Guarded(s, [&] { RunSimpleTestTick(s); });
    NoteFinishedRun(s);
}

void Timer3Tick(Session& s) {
    if (!s.form.timer3 || s.timer3Running) return;
    TickGuard guard(s.timer3Running);
    Guarded(s, [&] { RunThoroughTestTick(s); });
    NoteFinishedRun(s);
}

void Timer2Tick(Session& s) {
    FormState& f = s.form;
    if (!f.timer2) return;
    float& r = s.run.remainingSeconds;
    if (!(r > 1)) {
        f.timer2 = false;
        f.label15.clear();
        return;
    }
    r = r - 1.0f;
    // Minutes and seconds come from a 32-bit quotient, every step rounded to 32 bits.
    const double h = Int(static_cast<double>(r) / 3600.0);
    const float q = static_cast<float>(static_cast<double>(r) / 3600.0);
    const float frac = static_cast<float>(q - h);
    const float minutesF = static_cast<float>(frac * 60.0f);
    const double m = Int(minutesF);
    const float secF = static_cast<float>(static_cast<float>(minutesF - m) * 60.0f);
    const double sec = Int(secF);
    auto two = [&](double x) {
        std::string t = FormatGeneral(x, s.locale);
        return x < 10 ? "0" + t : t;
    };
    f.label15 = "До окончания теста осталось   " + two(h) + ": " + two(m) + ": " + two(sec);
}

}  // namespace kavro
