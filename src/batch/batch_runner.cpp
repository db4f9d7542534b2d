#include "batch/batch_runner.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <map>
#include <ostream>

#include "evaluation/export.h"
#include "evaluation/monte_carlo.h"
#include "import/csv_import.h"
#include "platform/headless.h"
#include "platform/numbers.h"
#include "platform/system_clock.h"
#include "program/commands.h"
#include "program/evaluation_sources.h"
#include "program/session.h"

namespace kavro {

namespace {

constexpr const char* kVersion = "kavro-batch 0.2";

// The options of every command, as typed; a field option left out keeps the window's initial text.
struct Options {
    std::string hourly, daily, pair = "EUR", locale, dir;
    std::map<std::string, std::string> fields;  // option name -> text, only those given
    std::string start, end, endHour;
    bool full = false, noBeep = false, realWork = false;
    bool stats = false;     // --stats: the evaluation's figures after the labels
    std::string exportDir;  // --export: the evaluation's files into this folder
    int mcRuns = 1000;      // Monte Carlo runs for the export
    uint64_t mcSeed = 1;
    // import
    std::string csv, dailyCsv, outHourly, outDaily;
    int shiftHours = 0;
    std::string dateOrder;  // "", "dmy" or "mdy"
};

// Messages go to stderr; errors and load failures make the run a failure.
class BatchDialogs : public RecordingDialogs {
  public:
    explicit BatchDialogs(std::ostream& err) : err_(err) {}
    void message(MessageKind kind, const std::string& text) override {
        RecordingDialogs::message(kind, text);
        err_ << (kind == MessageKind::Error ? kTitleError : kTitleInfo) << ": " << text << "\n";
        if (kind == MessageKind::Error || text.rfind(kHourlyLoadFailed, 0) == 0 ||
            text.rfind(kDailyLoadFailed, 0) == 0 || text.rfind(kLoadOutOfMemory, 0) == 0)
            failed = true;
    }
    void beep() override {
        RecordingDialogs::beep();
        if (isatty(2)) err_ << '\a' << std::flush;
    }
    bool failed = false;

  private:
    std::ostream& err_;
};

Pair PairOf(const std::string& text) {
    if (text == "GBP") return Pair::GBP;
    if (text == "CHF") return Pair::CHF;
    if (text == "JPY") return Pair::JPY;
    return Pair::EUR;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            out += "\\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

void PrintLabels(const Session& s, std::ostream& out, bool withText10) {
    const FormState& f = s.form;
    for (int i = 0; i < 4; ++i) out << "Label6(" << i << ")=" << f.label6[i] << "\n";
    for (int i = 0; i < 7; ++i) out << "Label1(" << i << ")=" << f.label1[i] << "\n";
    out << "Label15=" << f.label15 << "\n";
    out << "FirstBar=" << FormatGeneral(s.run.firstBar, s.locale) << "\n";
    out << "LastBar=" << FormatGeneral(s.run.lastBar, s.locale) << "\n";
    out << "PassesDone=" << s.run.passesDone << "\n";
    out << "BarsWithoutDay=" << s.run.barsWithoutDay << "\n";
    if (withText10) out << "Text10=" << Escaped(f.text10) << "\n";
}

// The options every command shares: the two quote files and the pair.
void AddQuoteOptions(CLI::App& cmd, Options& o) {
    cmd.add_option("--hourly", o.hourly, "hourly quote file")->required()->type_name("FILE");
    cmd.add_option("--daily", o.daily, "daily quote file")->required()->type_name("FILE");
    cmd.add_option("--pair", o.pair, "currency pair (the files' column layout)")
        ->check(CLI::IsMember({"EUR", "GBP", "CHF", "JPY"}))
        ->type_name("EUR|GBP|CHF|JPY");
}

// A setting field: the text goes into the field exactly as typed.
void AddField(CLI::App& cmd, Options& o, const std::string& name, const std::string& help) {
    cmd.add_option_function<std::string>(
           name, [&o, name](const std::string& text) { o.fields[name] = text; }, help)
        ->type_name("TEXT");
}

// The options of both tests: the settings fields, the interval and where reports go.
void AddRunOptions(CLI::App& cmd, Options& o) {
    AddQuoteOptions(cmd, o);
    AddField(cmd, o, "--tp", "take-profit in points (\"TP\", default 100)");
    AddField(cmd, o, "--sl", "stop-loss in points (\"SL\", default 20)");
    AddField(cmd, o, "--step", "step of the sweeps in points (default 5; 0 = single setting)");
    AddField(cmd, o, "--first-hour", "first entry hour (default 0)");
    AddField(cmd, o, "--last-hour", "last entry hour (default 23)");
    AddField(cmd, o, "--point-value", "money per point (default 10)");
    AddField(cmd, o, "--cost", "cost of a winning trade in price units (default 0.0005)");
    cmd.add_flag("--full", o.full, "full sweep (\"Полный тест\")");
    cmd.add_flag("--no-beep", o.noBeep, "no beep at the end");
    cmd.add_option("--start", o.start, "start date")->type_name("YYYY-MM-DD");
    cmd.add_option("--end", o.end, "end date")->type_name("YYYY-MM-DD");
    cmd.add_option("--end-hour", o.endHour, "end hour")->type_name("HH");
    cmd.add_option("--dir", o.dir, "folder for RIPOT and RIPOT1 (default: the working directory)")
        ->type_name("DIR");
    cmd.add_option("--locale", o.locale, "regional settings: C, en_US, en_GB, ru_RU, de_DE, fr_FR")
        ->type_name("NAME");
    cmd.add_flag("--stats", o.stats, "print the statistics of the run's trades after the labels");
    cmd.add_option("--export", o.exportDir,
                   "write trades.csv, passes.csv, windows.csv, monthly.csv, stats.json and the pictures here")
        ->type_name("DIR");
    cmd.add_option("--mc-runs", o.mcRuns, "Monte Carlo runs in stats.json (default 1000)")
        ->check(CLI::Range(1, 1000000))
        ->type_name("N");
    cmd.add_option("--mc-seed", o.mcSeed,
                   "Monte Carlo seed (default 1; the same seed gives the same figures)")
        ->type_name("N");
}

// Checks what CLI11 cannot: dates, the end hour and the locale name. "" when all is well.
std::string CheckValues(const Options& o, Date& start, Date& end, int& endHour, Locale& locale) {
    if (!o.locale.empty() && !Locale::fromName(o.locale, locale)) return "unknown locale '" + o.locale + "'";
    if (!o.start.empty() && !ParseIsoDate(o.start, start)) return "--start needs a date YYYY-MM-DD";
    if (!o.end.empty() && !ParseIsoDate(o.end, end)) return "--end needs a date YYYY-MM-DD";
    if (!o.endHour.empty()) {
        const std::string& h = o.endHour;
        if (h.size() > 2 || h.find_first_not_of("0123456789") != std::string::npos || std::stoi(h) > 23)
            return "--end-hour needs an hour 0..23";
        endHour = std::stoi(h);
    }
    return {};
}

// Loads both files as the Open menu would; false (message already on stderr) when either fails.
bool LoadQuotes(Session& s, BatchDialogs& dialogs, const Options& o, std::ostream& err) {
    dialogs.fileAnswers.push_back(o.hourly);
    MenuHour(s);
    if (dialogs.failed || s.hourlyPath.empty()) {
        if (!dialogs.failed) err << kTitleError << ": cannot load " << o.hourly << "\n";
        return false;
    }
    dialogs.fileAnswers.push_back(o.daily);
    MenuDay(s);
    return !dialogs.failed;
}

void PrintInfo(const Session& s, std::ostream& out) {
    const QuoteStore& q = s.store;
    out << "HourBarCount=" << q.hourBarCount << "\n";
    out << "DayBarCount=" << q.dayBarCount << "\n";
    out << "FirstDate=" << IsoDate(s.form.dtPicker1.value) << "\n";
    out << "LastDate=" << IsoDate(s.form.dtPicker2.value) << "\n";
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d", s.form.dtPicker3Hour);
    out << "LastHour=" << hh << "\n";
    out << "FirstBar=" << FormatGeneral(s.run.firstBar, s.locale) << "\n";
    out << "LastBar=" << FormatGeneral(s.run.lastBar, s.locale) << "\n";
    out << "DayAverage200=" << FormatGeneral(q.dayAverage200[static_cast<size_t>(q.dayBarCount)], s.locale)
        << "\n";
    out << "DayStochastic=" << FormatGeneral(q.dayStochastic[static_cast<size_t>(q.dayBarCount)], s.locale)
        << "\n";
}

// Fills the form from the options exactly as if typed, then picks the interval.
void FillForm(Session& s, const Options& o, const Date& start, const Date& end, int endHour) {
    FormState& f = s.form;
    const std::map<std::string, std::string FormState::*> fields = {
        {"--tp", &FormState::text2},        {"--sl", &FormState::text3},
        {"--step", &FormState::text6},      {"--first-hour", &FormState::text4},
        {"--last-hour", &FormState::text5}, {"--point-value", &FormState::text11},
        {"--cost", &FormState::text13},     {"--opt-len", &FormState::text7},
        {"--fwd-len", &FormState::text8},
    };
    for (const auto& [name, text] : o.fields) f.*fields.at(name) = text;
    f.check1 = o.full;
    f.check2 = o.noBeep;
    f.check3 = o.realWork;
    if (!o.start.empty()) {
        f.dtPicker1.value = start;
        StartDateChanged(s);
    }
    if (!o.end.empty()) {
        f.dtPicker2.value = end;
        EndDateChanged(s);
    }
    if (endHour >= 0) {
        f.dtPicker3Hour = endHour;
        EndDateChanged(s);
    }
}

// --stats and --export of the run that just ended; false (message on `err`) when the export failed.
bool Evaluate(Session& s, const Options& o, const PictureWriter& pictures, std::ostream& out,
              std::ostream& err) {
    if (!o.stats && o.exportDir.empty()) return true;
    NoteFinishedRun(s);
    if (!s.evaluation.latest || s.evaluation.latest != s.run.results) {
        err << "kavro-batch: no test ran, so there is nothing to evaluate\n";
        return o.exportDir.empty();
    }
    const Evaluation e = kavro::Evaluate(s.evaluation);
    if (!e.complete) err << "kavro-batch: the run did not finish: the evaluation covers what completed\n";
    if (o.stats) out << StatsLines(e.stats);
    if (o.exportDir.empty()) return true;
    MonteCarloOptions mc;
    mc.runs = o.mcRuns;
    mc.seed = o.mcSeed;
    const MonteCarloResult monteCarlo = RunMonteCarlo(e.trades, mc);
    EvaluationExport data;
    data.trades = e.trades;
    if (e.latest->kind == RunKind::Simple) data.passes = e.latest->passes;
    if (e.latest->kind == RunKind::Thorough) data.windows = e.latest->windows;
    data.monteCarlo = &monteCarlo;
    data.complete = e.complete;
    std::string error;
    if (!ExportEvaluation(o.exportDir, data, error)) {
        err << kTitleError << ": " << error << "\n";
        return false;
    }
    if (!pictures) {
        err << "kavro-batch: this build paints no pictures; the files are written\n";
        return true;
    }
    if (!pictures(o.exportDir, e, error)) {
        err << kTitleError << ": " << error << "\n";
        return false;
    }
    return true;
}

// The import: the report as Name=value lines, or the refusal on stderr.
int RunImport(const Options& o, std::ostream& out, std::ostream& err) {
    ImportOptions options;
    options.csvPath = o.csv;
    options.dailyCsvPath = o.dailyCsv;
    options.pair = PairOf(o.pair);
    options.shiftHours = o.shiftHours;
    options.dateOrder = o.dateOrder == "dmy"   ? DateOrder::DayFirst
                        : o.dateOrder == "mdy" ? DateOrder::MonthFirst
                                               : DateOrder::FromFile;
    options.outHourly = o.outHourly;
    options.outDaily = o.outDaily;
    const ImportResult result = ImportCsv(options);
    if (!result.ok) {
        err << kTitleError << ": " << result.message << "\n";
        return 1;
    }
    for (const auto& [name, value] : ReportFields(result.report)) out << name << "=" << value << "\n";
    return 0;
}

// Start or Kach, then the timer's ticks until the run ends; the exit status.
int RunTest(Session& s, BatchDialogs& dialogs, HeadlessPump& pump, bool thorough, std::ostream& out,
            std::ostream& err) {
    FormState& f = s.form;
    const bool tty = isatty(2);
    auto lastShown = std::chrono::steady_clock::now();
    if (tty) {
        pump.onYield = [&] {
            if ((pump.calls & 0xFFF) != 0) return;
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(200)) return;
            lastShown = now;
            err << "\r" << s.run.passesDone << " passes, progress " << f.progressValue << "/" << f.progressMax
                << "   " << std::flush;
        };
    }
    const size_t messagesBefore = dialogs.messages.size();
    const int beepsBefore = dialogs.beeps;
    ToolbarButton(s, thorough ? "Kach" : "Start");
    bool& timer = thorough ? f.timer3 : f.timer1;
    // A zero take-profit or stop-loss only beeps: say so, since nothing else will.
    if (!timer && dialogs.messages.size() == messagesBefore && dialogs.beeps > beepsBefore)
        err << "kavro-batch: take-profit or stop-loss is 0: no test pass ran\n";
    while (timer && !dialogs.failed) {
        const auto before = s.run.passesDone;
        if (thorough)
            Timer3Tick(s);
        else
            Timer1Tick(s);
        if (timer && s.run.passesDone == before) {
            if (tty) err << "\n";
            err << "kavro-batch: the settings run no test pass (the timer would tick forever); stopped\n";
            PrintLabels(s, out, thorough);
            return 1;
        }
    }
    if (tty) err << "\r" << std::string(60, ' ') << "\r" << std::flush;
    PrintLabels(s, out, thorough);
    return dialogs.failed ? 1 : 0;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PictureWriter& pictures) {
    CLI::App app{
        "Kavro without a window: loads quote files, fills the settings fields, runs a test and "
        "prints the result labels as Name=value lines.",
        "kavro-batch"};
    app.set_version_flag("--version", kVersion);
    // An option given twice takes its last value, as a field typed over takes the new text.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.require_subcommand(1, 1);
    app.footer("Exit status: 0 done, 1 a failure (the message goes to stderr), 2 bad usage.");
    Options o;
    CLI::App* info = app.add_subcommand("info", "load both files and print what they hold");
    AddQuoteOptions(*info, o);
    CLI::App* simple = app.add_subcommand("simple", "the simple test (\"Простое тестирование\")");
    AddRunOptions(*simple, o);
    CLI::App* thorough =
        app.add_subcommand("thorough", "the walk-forward test (\"Качественное тестирование\")");
    AddRunOptions(*thorough, o);
    AddField(*thorough, o, "--opt-len", "optimisation window in months of 480 bars (default 3)");
    AddField(*thorough, o, "--fwd-len", "forward window in months of 480 bars (default 1)");
    thorough->add_flag("--real-work", o.realWork, "search the first window only (\"Реальная работа\")");

    CLI::App* import = app.add_subcommand("import", "turn a CSV export into the two quote files");
    import->add_option("--csv", o.csv, "the CSV of hourly or minute bars")->required()->type_name("FILE");
    import->add_option("--daily-csv", o.dailyCsv, "a CSV of daily bars (default: built from the hours)")
        ->type_name("FILE");
    import->add_option("--pair", o.pair, "currency pair: the quote files' column layout")
        ->required()
        ->check(CLI::IsMember({"EUR", "GBP", "CHF", "JPY"}))
        ->type_name("EUR|GBP|CHF|JPY");
    import->add_option("--out-hourly", o.outHourly, "hourly quote file to write")
        ->required()
        ->type_name("FILE");
    import->add_option("--out-daily", o.outDaily, "daily quote file to write")->required()->type_name("FILE");
    import->add_option("--shift-hours", o.shiftHours, "whole hours added to every time (default 0)")
        ->check(CLI::Range(-kMaxShiftHours, kMaxShiftHours))
        ->type_name("N");
    import
        ->add_option("--date-order", o.dateOrder,
                     "day or month first in dates with the year last (default: from the dates)")
        ->check(CLI::IsMember({"dmy", "mdy"}))
        ->type_name("dmy|mdy");

    auto usage = [&](const std::string& message) {
        const auto parsed = app.get_subcommands();
        err << "kavro-batch: " << message << "\n"
            << (parsed.empty() ? app.help() : parsed.front()->help("kavro-batch"));
        return 2;
    };
    try {
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        return usage(e.what());
    }

    if (import->parsed()) return RunImport(o, out, err);
    Date start, end;
    int endHour = -1;
    Locale locale;
    if (const std::string bad = CheckValues(o, start, end, endHour, locale); !bad.empty()) return usage(bad);

    HeadlessPump pump;
    BatchDialogs dialogs(err);
    SystemClock clock;
    RecordingShell shell;
    Session s(Ports{pump, dialogs, clock, shell}, locale, o.dir);
    s.form.pair = PairOf(o.pair);
    if (!LoadQuotes(s, dialogs, o, err)) return 1;
    if (info->parsed()) {
        PrintInfo(s, out);
        return 0;
    }
    FillForm(s, o, start, end, endHour);
    const int status = RunTest(s, dialogs, pump, thorough->parsed(), out, err);
    if (status == 2) return status;
    return Evaluate(s, o, pictures, out, err) ? status : 1;
}

}  // namespace kavro
