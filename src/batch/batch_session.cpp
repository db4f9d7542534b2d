#include "batch/batch_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ostream>

#include "engine/trade_extent.h"
#include "evaluation/number_text.h"
#include "import/csv_import.h"
#include "platform/atomic_file.h"
#include "platform/numbers.h"
#include "program/commands.h"
#include "program/evaluation_sources.h"
#include "program/settings_reader.h"

namespace kavro {

namespace {

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

// A date text as yyyy-mm-dd when it names a day, else as it stands.
std::string IsoOf(const DateText& t) {
    Date d;
    if (t.length == 8 && DateOfText(t.view(), d)) return IsoDate(d);
    return std::string(t.view());
}

std::string Number(double v) {
    std::string s;
    AppendNumber(s, v);
    return s;
}

void PrintSet(std::ostream& out, const char* kind, const QuoteSet& set) {
    out << kind << "=";
    const char* sep = "";
    for (const std::string& f : set.files) {
        out << sep << f;
        sep = ";";
    }
    out << " Pair=" << PairName(set.pair) << " Bars=" << set.bars << " First=" << IsoOf(set.first)
        << " Last=" << IsoOf(set.last) << " Digest=" << DigestText(set.digest) << "\n";
}

}  // namespace

void BatchDialogs::message(MessageKind kind, const std::string& text) {
    RecordingDialogs::message(kind, text);
    err_ << (kind == MessageKind::Error ? kTitleError : kTitleInfo) << ": " << text << "\n";
}

void BatchDialogs::beep() {
    RecordingDialogs::beep();
    if (terminal_) err_ << '\a' << std::flush;
}

BatchSession::BatchSession(Grammar grammar, std::ostream& out, std::ostream& err, PictureWriter pictures,
                           bool terminal)
    : grammar_(grammar),
      terminal_(terminal),
      out_(out),
      err_(err),
      pictures_(std::move(pictures)),
      dialogs_(err, terminal),
      s_(Ports{pump_, dialogs_, clock_, shell_}, Locale{}, "") {}

BatchSession::BatchSession(Grammar grammar, std::ostream& out, std::ostream& err, PictureWriter pictures)
    : BatchSession(grammar, out, err, std::move(pictures), isatty(2)) {}

int BatchSession::run(const BatchCommand& c) {
    const BatchOptions& o = c.options;
    int status = 1;
    // Running out of memory ends the command with a message, never the program.
    Guarded(s_, [&] {
        if (c.name == "info") status = info(o);
        if (c.name == "load") status = load(o, false);
        if (c.name == "simple" || c.name == "thorough") status = test(o, c.name == "thorough");
        if (c.name == "import") status = import(o);
        if (c.name == "stats") status = stats(o);
        if (c.name == "export") status = exportRun(o);
        if (c.name == "runs") status = runs();
        if (c.name == "cell") status = cell(o);
    });
    return status;
}

int BatchSession::load(const BatchOptions& o, bool quiet) {
    // The pair the files are written for, unless one is chosen.
    if (o.pair)
        s_.form.pair = PairFromName(*o.pair).value_or(Pair::EUR);
    else if (o.hourly)
        s_.form.pair = PairOfQuoteFile(*o.hourly, QuoteKind::Hourly).value_or(Pair::EUR);
    else if (o.daily)
        s_.form.pair = PairOfQuoteFile(*o.daily, QuoteKind::Daily).value_or(s_.form.pair);
    if (o.hourly && !LoadHourlyFile(s_, *o.hourly)) return 1;
    if (o.daily && !LoadDailyFile(s_, *o.daily)) return 1;
    if (!quiet) {
        if (!s_.store.hourSet.empty()) PrintSet(out_, "Hourly", s_.store.hourSet);
        if (!s_.store.daySet.empty()) PrintSet(out_, "Daily", s_.store.daySet);
    }
    return 0;
}

int BatchSession::info(const BatchOptions& o) {
    if (load(o, true) != 0) return 1;
    const QuoteStore& q = s_.store;
    const FormState& f = s_.form;
    out_ << "HourBarCount=" << q.hourBarCount << "\n";
    out_ << "DayBarCount=" << q.dayBarCount << "\n";
    out_ << "FirstDate=" << IsoDate(f.dtPicker1.value) << "\n";
    out_ << "LastDate=" << IsoDate(f.dtPicker2.value) << "\n";
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d", f.dtPicker3Hour);
    out_ << "LastHour=" << hh << "\n";
    out_ << "FirstBar=" << FormatGeneral(s_.run.firstBar, s_.locale) << "\n";
    out_ << "LastBar=" << FormatGeneral(s_.run.lastBar, s_.locale) << "\n";
    const auto last = static_cast<size_t>(q.dayBarCount);
    out_ << "DayAverage200=" << FormatGeneral(q.average200(last), s_.locale) << "\n";
    out_ << "DayStochastic=" << FormatGeneral(q.stochastic(last), s_.locale) << "\n";
    return 0;
}

void BatchSession::applyEvaluationOptions(const BatchOptions& o) {
    if (o.mcRuns) s_.monteCarlo.runs = *o.mcRuns;
    if (o.mcSeed) s_.monteCarlo.seed = *o.mcSeed;
    if (o.balance) s_.monteCarlo.balance = *o.balance;
    if (o.ruinLevel) s_.monteCarlo.ruinLevel = *o.ruinLevel;
    if (o.blocks) s_.overfit.blocks = *o.blocks;
}

void BatchSession::applyOptions(const BatchOptions& o) {
    if (o.locale) Locale::fromName(*o.locale, s_.locale);
    if (o.dir) useReportFolder(*o.dir);
    applyEvaluationOptions(o);
    FormState& f = s_.form;
    for (const auto& [name, text] : o.fields)
        for (const FieldInfo& field : SettingFieldTable())
            if (name == std::string("--") + field.option) f.*field.text = text;
    if (o.full) f.check1 = *o.full;
    if (o.noBeep) f.check2 = *o.noBeep;
    if (o.realWork) f.check3 = *o.realWork;
    // The pickers, each followed by its lookup as the window's Change event runs it.
    if (o.start) {
        f.dtPicker1.value = *o.start;
        StartDateChanged(s_);
    }
    if (o.end) {
        f.dtPicker2.value = *o.end;
        EndDateChanged(s_);
    }
    if (o.endHour) {
        f.dtPicker3Hour = *o.endHour;
        EndDateChanged(s_);
    }
}

int BatchSession::test(const BatchOptions& o, bool thorough) {
    if ((o.hourly || o.daily) && load(o, true) != 0) return 1;
    applyOptions(o);
    const RunStart start = thorough ? KachCommand(s_) : StartCommand(s_);
    int status = drive(start, thorough);
    printLabels(thorough);
    if (evaluate(o, start) != 0) status = 1;
    return status;
}

int BatchSession::drive(const RunStart& start, bool thorough) {
    // A zero take-profit or stop-loss only beeps: say so, since nothing else will.
    if (start.outcome == RunStart::Outcome::Beeped)
        err_ << "kavro-batch: take-profit or stop-loss is 0: no test pass ran\n";
    if (!start.started())
        return start.outcome == RunStart::Outcome::Refused && start.kind == MessageKind::Error;
    FormState& f = s_.form;
    const bool tty = terminal_;
    auto lastShown = std::chrono::steady_clock::now();
    if (tty) {
        pump_.onYield = [&] {
            if ((pump_.calls & 0xFFF) != 0) return;
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(200)) return;
            lastShown = now;
            err_ << "\r" << s_.run.passesDone << " passes, progress " << f.progressValue << "/"
                 << f.progressMax << "   " << std::flush;
        };
    }
    const std::shared_ptr<RunRecord> record = s_.current;
    bool& timer = thorough ? f.timer3 : f.timer1;
    while (timer) {
        const auto before = s_.run.passesDone;
        thorough ? Timer3Tick(s_) : Timer1Tick(s_);
        // A timer that ticks without a pass would tick forever: nothing the settings allow does that.
        if (timer && s_.run.passesDone == before) {
            StopCommand(s_);
            err_ << "kavro-batch: the settings run no test pass (the timer would tick forever); stopped\n";
            break;
        }
    }
    pump_.onYield = nullptr;
    if (tty) err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
    return record->end == RunEnd::Done ? 0 : 1;
}

void BatchSession::printLabels(bool withText10) {
    const FormState& f = s_.form;
    for (int i = 0; i < 4; ++i) out_ << "Label6(" << i << ")=" << f.label6[static_cast<size_t>(i)] << "\n";
    for (int i = 0; i < 7; ++i) out_ << "Label1(" << i << ")=" << f.label1[static_cast<size_t>(i)] << "\n";
    out_ << "Label15=" << f.label15 << "\n";
    out_ << "FirstBar=" << FormatGeneral(s_.run.firstBar, s_.locale) << "\n";
    out_ << "LastBar=" << FormatGeneral(s_.run.lastBar, s_.locale) << "\n";
    out_ << "PassesDone=" << s_.run.passesDone << "\n";
    out_ << "BarsWithoutDay=" << (s_.current ? s_.current->barsWithoutDay : 0) << "\n";
    if (withText10) out_ << "Text10=" << Escaped(f.text10) << "\n";
}

int BatchSession::evaluate(const BatchOptions& o, const RunStart& start) {
    if (!o.stats && !o.exportDir && !o.overfit) return 0;
    if (!start.started()) {
        err_ << "kavro-batch: no test ran, so there is nothing to evaluate\n";
        return o.exportDir || o.overfit ? 1 : 0;
    }
    Evaluation e = Evaluate(s_.history, s_.current);
    if (!e.complete) err_ << "kavro-batch: the run did not finish: the evaluation covers what completed\n";
    int status = o.overfit ? checkOverfit(e) : 0;
    if (o.stats) printStats(e);
    if (o.exportDir && exportEvaluation(o, std::move(e)) != 0) status = 1;
    return status;
}

int BatchSession::checkOverfit(Evaluation& e) {
    if (!e.run->isSweep()) {
        dialogs_.message(MessageKind::Information, NoSweepToCheck(*e.run));
        return 0;
    }
    CheckSweepOf(s_, e, s_.overfit.blocks);
    if (e.check->ok) return 0;
    dialogs_.message(MessageKind::Error, e.check->error);
    return 1;
}

void BatchSession::printStats(const Evaluation& e) {
    out_ << StatsLines(e.stats);
    if (const OverfitReport* overfit = OverfitShown(e)) out_ << OverfitLines(*overfit);
}

std::shared_ptr<const RunRecord> BatchSession::chosen(const BatchOptions& o) {
    if (o.run) {
        auto r = s_.history.find(*o.run);
        if (r && r->finished()) return r;
        err_ << "kavro-batch: run " << *o.run << " is not a finished run of this session\n";
        return nullptr;
    }
    auto r = s_.history.latest();
    if (!r) err_ << "kavro-batch: no test ran, so there is nothing to evaluate\n";
    return r;
}

int BatchSession::stats(const BatchOptions& o) {
    applyEvaluationOptions(o);
    const auto record = chosen(o);
    if (!record) return 1;
    Evaluation e = Evaluate(s_.history, record);
    const int status = o.overfit ? checkOverfit(e) : 0;
    printStats(e);
    return status;
}

int BatchSession::exportRun(const BatchOptions& o) {
    applyEvaluationOptions(o);
    const auto record = chosen(o);
    if (!record) return 1;
    Evaluation e = Evaluate(s_.history, record);
    const int status = o.overfit ? checkOverfit(e) : 0;
    return exportEvaluation(o, std::move(e)) != 0 ? 1 : status;
}

int BatchSession::exportEvaluation(const BatchOptions& o, Evaluation e) {
    const std::shared_ptr<const RunRecord> record = e.run;
    // A sweep's passes.csv holds every pass's figures: they are computed for it when not yet.
    if (record->isSweep() && !record->passes.empty() && !e.check) {
        CheckSweepOf(s_, e, 0);
        if (!e.check->ok) dialogs_.message(MessageKind::Information, e.check->error);
    }
    const size_t chartTrade = static_cast<size_t>(o.chartTrade.value_or(0));
    const PricePictures prices = PricePicturesOf(s_.store, e, chartTrade);
    // A trade that cannot be charted refuses the export before anything is written.
    if (chartTrade > 0)
        if (const std::string why = ChartTradeRefusal(e, prices); !why.empty()) {
            err_ << kTitleError << ": " << why << "\n";
            return 1;
        }
    const MonteCarloResult monteCarlo = RunMonteCarlo(e.trades, s_.monteCarlo);
    std::string error;
    if (!ExportRun(e, monteCarlo, *o.exportDir, prices, nullptr, error)) {
        err_ << kTitleError << ": " << error << "\n";
        return 1;
    }
    if (!pictures_) {
        err_ << "kavro-batch: this build paints no pictures; the files are written\n";
        return 0;
    }
    if (!prices.daily && !HoldsQuotesOf(s_.store, *record))
        err_ << kTitleInfo << ": " << QuotesGoneMessage(*record) << "\n";
    if (!pictures_(*o.exportDir, e, prices, error)) {
        err_ << kTitleError << ": " << error << "\n";
        return 1;
    }
    return 0;
}

int BatchSession::runs() {
    for (const RunEntry& e : s_.history.entries()) {
        const RunRecord& r = *e.record;
        out_ << "Run=" << r.number << " Kind=" << KindName(r.kind) << " Pair=" << PairName(r.settings.pair)
             << " Interval=" << IsoOf(r.firstDate) << ".." << IsoOf(r.lastDate);
        if (!r.finished())
            out_ << " Running\n";
        else
            out_ << " Net=" << Number(e.summary.net) << " Trades=" << e.summary.trades
                 << " MaxDrawdown=" << Number(e.summary.maxDrawdown) << "\n";
    }
    return 0;
}

int BatchSession::import(const BatchOptions& o) {
    ImportOptions options;
    options.csvPath = o.csv;
    options.dailyCsvPath = o.dailyCsv;
    options.pair = PairFromName(o.pair.value_or("EUR")).value_or(Pair::EUR);
    options.shiftHours = o.shiftHours;
    options.dateOrder = o.dateOrder == "dmy"   ? DateOrder::DayFirst
                        : o.dateOrder == "mdy" ? DateOrder::MonthFirst
                                               : DateOrder::FromFile;
    options.outHourly = o.outHourly;
    options.outDaily = o.outDaily;
    const ImportResult result = ImportCsv(options);
    if (!result.ok) {
        err_ << kTitleError << ": " << result.message << "\n";
        return 1;
    }
    for (const auto& [name, value] : ReportFields(result.report)) out_ << name << "=" << value << "\n";
    if (grammar_ != Grammar::Script) return 0;
    // In a session the written files are loaded in place of any quotes held.
    s_.form.pair = options.pair;
    return LoadHourlyFile(s_, o.outHourly, LoadMode::Replace) &&
                   LoadDailyFile(s_, o.outDaily, LoadMode::Replace)
               ? 0
               : 1;
}

void BatchSession::useReportFolder(const std::string& dir) {
    s_.workDir = dir;
    // A folder named for the reports is made when missing; a failure shows when a report is written.
    std::string ignored;
    if (!dir.empty()) EnsureFolder(dir, ignored);
}

int BatchSession::cell(const BatchOptions& o) {
    if (o.dir) useReportFolder(*o.dir);
    if (o.noBeep) s_.form.check2 = *o.noBeep;
    std::shared_ptr<const RunRecord> sweep = o.run ? s_.history.find(*o.run) : s_.history.latestSweep();
    if (!sweep || !sweep->finished() || !sweep->isSweep()) {
        err_ << "kavro-batch: "
             << (o.run ? "run " + std::to_string(*o.run) + " is not a finished sweep of this session"
                       : std::string("no sweep ran in this session"))
             << "\n";
        return 1;
    }
    const PassRow setting{static_cast<float>(o.cellHour), static_cast<float>(o.cellTp),
                          static_cast<float>(o.cellSl), 0};
    bool inGrid = false;
    for (const PassRow& p : sweep->passes)
        inGrid |= p.entryHour == setting.entryHour && p.target == setting.target && p.stop == setting.stop;
    if (!inGrid) {
        err_ << "kavro-batch: sweep " << sweep->number << " has no pass of hour " << Number(o.cellHour)
             << ", TP " << Number(o.cellTp) << ", SL " << Number(o.cellSl) << "\n";
        return 1;
    }
    const RunStart start = CellCommand(s_, *sweep, setting);
    // A refused cell ran nothing, whatever kind of message said why.
    const int status = start.started() ? drive(start, false) : 1;
    printLabels(false);
    return status;
}

}  // namespace kavro
