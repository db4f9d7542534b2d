#include "batch/batch_options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <deque>
#include <functional>
#include <sstream>

#include "batch/study_plan.h"
#include "evaluation/sweep_figures.h"
#include "import/csv_import.h"
#include "platform/version.h"

namespace kavro {

namespace {

const std::string kVersion = std::string("kavro-batch ") + kProgramVersion;

// What CLI11 fills; turned into BatchOptions once parsing succeeded, so that
// only the options actually given count.
struct Targets {
    std::string hourly, daily, pair, locale, dir, start, end, endHour, exportDir, shard;
    int mcRuns = 1000;
    uint64_t mcSeed = 1;
    double balance = 10000, ruinLevel = 50;
    int blocks = kDefaultBlocks;
    int64_t run = 0, chartTrade = 0;
};

class Grammars {
  public:
    explicit Grammars(Grammar g) : grammar_(g), app_("", "kavro-batch") { build(); }

    ParsedCommand parse(const std::vector<std::string>& words) {
        ParsedCommand out;
        try {
            app_.parse(std::vector<std::string>(words.rbegin(), words.rend()));
        } catch (const CLI::CallForHelp& e) {
            return exit(e);
        } catch (const CLI::CallForAllHelp& e) {
            return exit(e);
        } catch (const CLI::CallForVersion& e) {
            return exit(e);
        } catch (const CLI::ParseError& e) {
            return usage(e.what());
        }
        BatchCommand c;
        for (CLI::App* sub : app_.get_subcommands()) c.name = sub->get_name();
        if (std::string bad = collect(c.options); !bad.empty()) return usage(bad);
        out.command = std::move(c);
        return out;
    }

  private:
    ParsedCommand exit(const CLI::Error& e) {
        std::ostringstream out, err;
        ParsedCommand p;
        p.status = app_.exit(e, out, err);
        p.output = out.str();
        p.error = err.str();
        return p;
    }

    ParsedCommand usage(const std::string& message) {
        const auto parsed = app_.get_subcommands();
        ParsedCommand p;
        p.status = 2;
        p.error = "kavro-batch: " + message + "\n" +
                  (parsed.empty() ? app_.help() : parsed.front()->help("kavro-batch"));
        return p;
    }

    void build() {
        app_.description(
            "Kavro without a window: loads quote files, fills the settings fields, runs a test and prints "
            "the "
            "result labels as Name=value lines.");
        app_.set_version_flag("--version", kVersion);
        // An option given twice takes its last value, as a field typed over takes the new text.
        app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        app_.require_subcommand(1, 1);
        app_.footer("Exit status: 0 done, 1 a failure (the message goes to stderr), 2 bad usage.");
        const bool script = grammar_ == Grammar::Script;

        if (!script) {
            CLI::App* info = app_.add_subcommand("info", "load both files and print what they hold");
            addQuotes(*info, true);
        } else {
            CLI::App* load = app_.add_subcommand("load", "load quote files as \"Час\" then \"День\" do");
            addQuotes(*load, false);
        }
        CLI::App* simple = app_.add_subcommand("simple", "the simple test (\"Простое тестирование\")");
        addRun(*simple, !script);
        CLI::App* thorough =
            app_.add_subcommand("thorough", "the walk-forward test (\"Качественное тестирование\")");
        addRun(*thorough, !script);
        addField(*thorough, "--opt-len", "optimisation window in months of 480 bars (default 3)");
        addField(*thorough, "--fwd-len", "forward window in months of 480 bars (default 1)");
        flag(*thorough, "--real-work", realWork_, "search the first window only (\"Реальная работа\")");
        addImport();
        if (script) {
            addScriptCommands();
        } else {
            CLI::App* session =
                app_.add_subcommand("session", "run the window's commands from a script, one a line");
            session->add_option("SCRIPT", o_.script, "the script; - reads standard input")->required();
            session->add_flag("--keep-going", o_.keepGoing,
                              "run the lines after a failing one too (exit 1 at the end)");
            addStudy();
        }
    }

    void addStudy() {
        CLI::App* study = app_.add_subcommand("study", "run every row of a plan and write one summary");
        study->add_option("--plan", o_.plan, "the plan: a CSV of runs, one a row")
            ->required()
            ->type_name("FILE");
        study->add_option("--out", o_.out, "a new or empty folder for row-K/ and summary.csv")
            ->required()
            ->type_name("DIR");
        study->add_option("--jobs", o_.jobs, "rows run at once (default: one a core)")
            ->check(CLI::Range(1, 256))
            ->type_name("N");
        shardOption_ = study->add_option("--shard", t_.shard, "run only the rows with (row - 1) mod N = I")
                           ->type_name("I/N");
        study->add_flag("--export", o_.exportRows, "write each row's export files into its folder");
        CLI::App* merge =
            app_.add_subcommand("study-merge", "merge the folders of a plan's shards into one study");
        merge->add_option("--out", o_.out, "a new or empty folder for the merged study")
            ->required()
            ->type_name("DIR");
        merge->add_option("SHARD_DIR", o_.shardDirs, "the shards' --out folders")->required();
    }

    void addQuotes(CLI::App& cmd, bool required) {
        auto* h = cmd.add_option("--hourly", t_.hourly, "hourly quote file")->type_name("FILE");
        auto* d = cmd.add_option("--daily", t_.daily, "daily quote file")->type_name("FILE");
        if (required) {
            h->required();
            d->required();
        }
        given_.push_back({h, [this] { o_.hourly = t_.hourly; }});
        given_.push_back({d, [this] { o_.daily = t_.daily; }});
        auto* p = cmd.add_option("--pair", t_.pair,
                                 "currency pair (default: the one the hourly file's layout is for)")
                      ->check(CLI::IsMember({"EUR", "GBP", "CHF", "JPY"}))
                      ->type_name("EUR|GBP|CHF|JPY");
        given_.push_back({p, [this] { o_.pair = t_.pair; }});
    }

    // A setting field: the text goes into the field exactly as typed.
    void addField(CLI::App& cmd, const std::string& name, const std::string& help) {
        cmd.add_option_function<std::string>(
               name, [this, name](const std::string& text) { o_.fields[name] = text; }, help)
            ->type_name("TEXT");
    }

    void flag(CLI::App& cmd, const std::string& name, std::optional<bool>& target, const std::string& help) {
        bool* value = &flags_.emplace_back(false);
        auto* f = cmd.add_flag(name, *value, help + "; " + name + "=false unticks it");
        given_.push_back({f, [value, &target] { target = *value; }});
    }

    void text(CLI::App& cmd, const std::string& name, std::string& into, const char* type,
              const std::string& help, std::function<void()> take) {
        given_.push_back({cmd.add_option(name, into, help)->type_name(type), std::move(take)});
    }

    // The options of both tests: the settings fields, the interval and where reports go.
    void addRun(CLI::App& cmd, bool quotesRequired) {
        addQuotes(cmd, quotesRequired);
        addField(cmd, "--tp", "take-profit in points (\"TP\", default 100)");
        addField(cmd, "--sl", "stop-loss in points (\"SL\", default 20)");
        addField(cmd, "--step", "step of the sweeps in points (default 5; 0 = single setting)");
        addField(cmd, "--first-hour", "first entry hour (default 0)");
        addField(cmd, "--last-hour", "last entry hour (default 23)");
        addField(cmd, "--point-value", "money per point (default 10)");
        addField(cmd, "--cost", "cost of a winning trade in price units (default 0.0005)");
        flag(cmd, "--full", full_, "full sweep (\"Полный тест\")");
        flag(cmd, "--no-beep", noBeep_, "no beep at the end");
        text(cmd, "--start", t_.start, "YYYY-MM-DD", "start date", [this] { startText_ = t_.start; });
        text(cmd, "--end", t_.end, "YYYY-MM-DD", "end date", [this] { endText_ = t_.end; });
        text(cmd, "--end-hour", t_.endHour, "HH", "end hour", [this] { endHourText_ = t_.endHour; });
        addDir(cmd);
        text(cmd, "--locale", t_.locale, "NAME", "regional settings: C, en_US, en_GB, ru_RU, de_DE, fr_FR",
             [this] { o_.locale = t_.locale; });
        cmd.add_flag("--stats", o_.stats, "print the statistics of the run's trades after the labels");
        text(cmd, "--export", t_.exportDir, "DIR",
             "write trades.csv, passes.csv, windows.csv, monthly.csv, stats.json, blocks.csv and the "
             "pictures here",
             [this] { o_.exportDir = t_.exportDir; });
        addMonteCarlo(cmd);
        addOverfit(cmd);
        addChartTrade(cmd)->needs("--export");
    }

    CLI::Option* addChartTrade(CLI::App& cmd) {
        CLI::Option* option =
            cmd.add_option("--chart-trade", t_.chartTrade,
                           "with the export, also trade-N.png: the hourly chart around trade N of the run")
                ->check(CLI::PositiveNumber)
                ->type_name("N");
        given_.push_back({option, [this] { o_.chartTrade = t_.chartTrade; }});
        return option;
    }

    void addDir(CLI::App& cmd) {
        text(cmd, "--dir", t_.dir, "DIR", "folder for RIPOT and RIPOT1 (default: the working directory)",
             [this] { o_.dir = t_.dir; });
    }

    void addMonteCarlo(CLI::App& cmd) {
        given_.push_back(
            {cmd.add_option("--mc-runs", t_.mcRuns, "Monte Carlo runs in stats.json (default 1000)")
                 ->check(CLI::Range(1, 1000000))
                 ->type_name("N"),
             [this] { o_.mcRuns = t_.mcRuns; }});
        given_.push_back({cmd.add_option("--mc-seed", t_.mcSeed,
                                         "Monte Carlo seed (default 1; the same seed gives the same figures)")
                              ->type_name("N"),
                          [this] { o_.mcSeed = t_.mcSeed; }});
        given_.push_back(
            {cmd.add_option("--balance", t_.balance,
                            "starting balance for the Monte Carlo's risk of ruin (default 10000)")
                 ->type_name("B"),
             [this] { balanceGiven_ = true; }});
        given_.push_back({cmd.add_option("--ruin-level", t_.ruinLevel,
                                         "loss in % of the balance that is ruin (default 50)")
                              ->type_name("P"),
                          [this] { ruinLevelGiven_ = true; }});
    }

    void addOverfit(CLI::App& cmd) {
        cmd.add_flag("--overfit", o_.overfit,
                     "a sweep: the probability that its best pass is best by luck (PBO) and the deflated "
                     "Sharpe ratio of its best pass");
        given_.push_back({cmd.add_option("--blocks", t_.blocks,
                                         "blocks the interval is cut into for --overfit (even, 2..20, "
                                         "default 16)")
                              ->type_name("S"),
                          [this] { blocksGiven_ = true; }});
    }

    void addRunChoice(CLI::App& cmd, const char* help) {
        given_.push_back({cmd.add_option("--run", t_.run, help)->check(CLI::PositiveNumber)->type_name("N"),
                          [this] { o_.run = t_.run; }});
    }

    void addImport() {
        CLI::App* import = app_.add_subcommand("import", "turn a CSV export into the two quote files");
        import->add_option("--csv", o_.csv, "the CSV of hourly or minute bars")
            ->required()
            ->type_name("FILE");
        import->add_option("--daily-csv", o_.dailyCsv, "a CSV of daily bars (default: built from the hours)")
            ->type_name("FILE");
        auto* p = import->add_option("--pair", t_.pair, "currency pair: the quote files' column layout")
                      ->required()
                      ->check(CLI::IsMember({"EUR", "GBP", "CHF", "JPY"}))
                      ->type_name("EUR|GBP|CHF|JPY");
        given_.push_back({p, [this] { o_.pair = t_.pair; }});
        import->add_option("--out-hourly", o_.outHourly, "hourly quote file to write")
            ->required()
            ->type_name("FILE");
        import->add_option("--out-daily", o_.outDaily, "daily quote file to write")
            ->required()
            ->type_name("FILE");
        import->add_option("--shift-hours", o_.shiftHours, "whole hours added to every time (default 0)")
            ->check(CLI::Range(-kMaxShiftHours, kMaxShiftHours))
            ->type_name("N");
        import
            ->add_option("--date-order", o_.dateOrder,
                         "day or month first in dates with the year last (default: from the dates)")
            ->check(CLI::IsMember({"dmy", "mdy"}))
            ->type_name("dmy|mdy");
    }

    void addScriptCommands() {
        CLI::App* stats = app_.add_subcommand("stats", "the statistics lines of a run");
        addRunChoice(*stats, "the run (default: the latest)");
        addOverfit(*stats);
        CLI::App* exp = app_.add_subcommand("export", "the export files of a run into a folder");
        given_.push_back({exp->add_option("DIR", t_.exportDir, "the folder")->required(),
                          [this] { o_.exportDir = t_.exportDir; }});
        addRunChoice(*exp, "the run (default: the latest)");
        addMonteCarlo(*exp);
        addOverfit(*exp);
        addChartTrade(*exp);
        app_.add_subcommand("runs", "one line per run of the session");
        CLI::App* cell = app_.add_subcommand("cell", "a heatmap cell of a sweep run as a single setting");
        cell->add_option("--hour", o_.cellHour, "entry hour")->required()->type_name("H");
        cell->add_option("--tp", o_.cellTp, "take-profit in points")->required()->type_name("T");
        cell->add_option("--sl", o_.cellSl, "stop-loss in points")->required()->type_name("S");
        addRunChoice(*cell, "the sweep (default: the latest sweep)");
        addDir(*cell);
        flag(*cell, "--no-beep", noBeep_, "no beep at the end");
    }

    // Takes what was given into the options, checking what CLI11 cannot: dates,
    // the end hour and the locale name. "" when all is well.
    std::string collect(BatchOptions& o) {
        for (auto& [option, take] : given_)
            if (option->count() > 0) take();
        o = o_;
        o.full = full_;
        o.noBeep = noBeep_;
        o.realWork = realWork_;
        if (o.locale) {
            Locale unused;
            if (!Locale::fromName(*o.locale, unused)) return "unknown locale '" + *o.locale + "'";
        }
        Date d;
        if (startText_) {
            if (!ParseIsoDate(*startText_, d)) return "--start needs a date YYYY-MM-DD";
            o.start = d;
        }
        if (endText_) {
            if (!ParseIsoDate(*endText_, d)) return "--end needs a date YYYY-MM-DD";
            o.end = d;
        }
        if (shardOption_ && shardOption_->count() > 0 && !ParseShard(t_.shard, o.shardIndex, o.shardCount))
            return "--shard needs I/N with 0 <= I < N, such as 0/3";
        if (blocksGiven_) {
            if (!ValidBlockCount(t_.blocks)) return "--blocks needs an even number from 2 to 20";
            o.blocks = t_.blocks;
        }
        if (balanceGiven_) {
            if (!(t_.balance > 0) || !std::isfinite(t_.balance)) return "--balance needs a number above 0";
            o.balance = t_.balance;
        }
        if (ruinLevelGiven_) {
            if (!(t_.ruinLevel >= 0 && t_.ruinLevel <= 100))
                return "--ruin-level needs a percentage from 0 to 100";
            o.ruinLevel = t_.ruinLevel;
        }
        if (endHourText_) {
            const std::string& h = *endHourText_;
            if (h.empty() || h.size() > 2 || h.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(h) > 23)
                return "--end-hour needs an hour 0..23";
            o.endHour = std::stoi(h);
        }
        return {};
    }

    Grammar grammar_;
    CLI::App app_;
    Targets t_;
    BatchOptions o_;
    std::optional<bool> full_, noBeep_, realWork_;
    std::optional<std::string> startText_, endText_, endHourText_;
    bool blocksGiven_ = false, balanceGiven_ = false, ruinLevelGiven_ = false;
    CLI::Option* shardOption_ = nullptr;
    std::deque<bool> flags_;  // stable addresses for the flags' values
    std::vector<std::pair<CLI::Option*, std::function<void()>>> given_;
};

}  // namespace

ParsedCommand ParseCommand(const std::vector<std::string>& words, Grammar grammar) {
    return Grammars(grammar).parse(words);
}

bool SplitWords(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) return false;
    if (inWord) words.push_back(word);
    return true;
}

}  // namespace kavro
