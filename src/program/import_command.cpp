#include "program/import_command.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>

#include "import/csv_import.h"
#include "platform/dates.h"
#include "program/commands.h"
#include "program/session.h"

namespace kavro {

namespace {

// What the importing thread tells the window's thread, and how the window cancels it.
class SharedProgress : public ImportProgress {
  public:
    bool advanced(uint64_t done, uint64_t total) override {
        done_ = done;
        total_ = total;
        return !cancel;
    }
    double percent() const {
        const uint64_t t = total_;
        return t == 0 ? 0.0 : 100.0 * static_cast<double>(done_.load()) / static_cast<double>(t);
    }
    std::atomic<bool> cancel{false};

  private:
    std::atomic<uint64_t> done_{0}, total_{0};
};

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Runs the import on a thread of its own while the window keeps working; Stop cancels it.
ImportResult ImportWhileResponsive(Session& s, const ImportOptions& options) {
    SharedProgress progress;
    ImportResult result;
    std::atomic<bool> done{false};
    FormState& f = s.form;
    f.progressMin = 0;
    f.progressMax = 100;
    f.progressValue = 0;
    f.label15 = kStatusImporting;
    s.loading = s.importing = true;
    s.run.stopRequested = false;
    s.dialogs.waitCursor(true);
    // The window shows the import has begun before it starts; a Stop pressed then cancels it.
    s.pump.yield();
    if (s.run.stopRequested) progress.cancel = true;
    try {
        std::thread worker([&] {
            result = ImportCsv(options, &progress);
            done = true;
        });
        while (!done) {
            s.pump.yield();
            f.progressValue = progress.percent();
            if (s.run.stopRequested) progress.cancel = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        worker.join();
    } catch (const std::system_error&) {
        // No thread to be had: import here, with no repaint until it is done.
        result = ImportCsv(options, &progress);
    }
    s.dialogs.waitCursor(false);
    s.loading = s.importing = false;
    s.run.stopRequested = false;
    return result;
}

// Every date in the window's short form.
std::string Summary(const ImportReport& r, const Locale& locale) {
    const auto date = [&](const Date& d) { return ShortDate(d, locale); };
    std::string text = "Импорт закончен: " + std::to_string(r.hourlyBarsOut) + " часовых баров из " +
                       std::to_string(r.barsIn) + " строк, " + std::to_string(r.dailyBarsOut) +
                       " дневных, с " + date(r.firstDate) + " по " + date(r.lastDate) + ".";
    for (const ImportWarning& w : r.warnings) {
        text += '\n';
        text += WarningText(w, date);
    }
    return text;
}

// The hour shift and the date order, as the batch runner's options give them; false when cancelled.
bool AskTimeOptions(Session& s, ImportOptions& options) {
    const std::optional<int> shift =
        s.dialogs.inputNumber(kAskShiftHours, kImportTitle, 0, -kMaxShiftHours, kMaxShiftHours);
    if (!shift) return false;
    const std::vector<std::string> items(std::begin(kDateOrderItems), std::end(kDateOrderItems));
    const std::optional<int> order = s.dialogs.chooseItem(kAskDateOrder, kDateOrderChoice, items, 0);
    if (!order || *order < 0 || *order >= static_cast<int>(items.size())) return false;
    // An out-of-range shift is left to the import, which refuses it with its own message.
    options.shiftHours = *shift;
    options.dateOrder = static_cast<DateOrder>(*order);
    return true;
}

}  // namespace

void MenuImport(Session& s) {
    if (s.loading) return;
    const std::string csv = s.dialogs.openFile(kCsvFilter);
    if (csv.empty()) return;
    // The daily bars come from the hours unless the user has a daily CSV of their own.
    std::string dailyCsv;
    if (s.dialogs.question(kAskDailyCsv)) dailyCsv = s.dialogs.openFile(kCsvFilter);
    ImportOptions options;
    if (!AskTimeOptions(s, options)) return;
    const ImportOutputs out = DefaultImportOutputs(csv);
    if ((Exists(out.hourly) || Exists(out.daily)) &&
        !s.dialogs.question("Файлы «" + out.hourly + "» и «" + out.daily + "» будут заменены. Продолжить?"))
        return;
    options.csvPath = csv;
    options.dailyCsvPath = dailyCsv;
    options.pair = s.form.pair;
    options.outHourly = out.hourly;
    options.outDaily = out.daily;
    const ImportResult result = ImportWhileResponsive(s, options);
    if (!result.ok) {
        s.form.label15.clear();
        s.form.progressValue = 0;
        s.dialogs.message(MessageKind::Error, result.message);
        return;
    }
    if (LoadHourlyFile(s, out.hourly, LoadMode::Replace) && LoadDailyFile(s, out.daily, LoadMode::Replace))
        s.dialogs.message(MessageKind::Information, Summary(result.report, s.locale));
}

}  // namespace kavro
