#include "program/commands.h"

#include <cmath>
#include <filesystem>
#include <functional>

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

}  // namespace

void Guarded(Session& s, const std::function<void()>& command) {
    try {
        command();
    } catch (const std::bad_alloc&) {
        s.form.timer1 = s.form.timer2 = s.form.timer3 = false;
        s.form.label15.clear();
        if (s.current) FinishRecord(*s.current, s.run, RunEnd::Failed, kOutOfMemory);
        s.dialogs.message(MessageKind::Error, kOutOfMemory);
    }
}

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
    Date lo = std::min(r.earliest, r.latest), hi = std::max(r.earliest, r.latest);
    // A continued history keeps its earlier dates selectable.
    if (r.appended && s.form.dtPicker1.min.valid()) lo = std::min(lo, s.form.dtPicker1.min);
    s.form.dtPicker1 = DatePicker{r.appended ? lo : r.earliest, lo, hi};
    s.form.dtPicker2 = DatePicker{r.latest, lo, hi};
    s.form.dtPicker3Hour = r.lastHour;
    s.dialogs.waitCursor(true);
    FindStartBar(s);
    s.dialogs.waitCursor(true);
    FindEndBar(s);
    return true;
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

}  // namespace

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
