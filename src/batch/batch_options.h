#pragma once
// The batch runner's commands and options: one grammar for the command line and for session scripts.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dates.h"
#include "platform/locale.h"

namespace kavro {

// The options of one command as given; an option left out is empty, so that in
// a session it keeps what an earlier line set, as a field keeps what was typed.
struct BatchOptions {
    std::optional<std::string> hourly, daily, pair, locale, dir;
    std::map<std::string, std::string> fields;  // "--tp" -> text, only those given
    std::optional<Date> start, end;
    std::optional<int> endHour;
    std::optional<bool> full, noBeep, realWork;
    bool stats = false;  // --stats: the evaluation's figures after the labels
    std::optional<std::string> exportDir;
    std::optional<int> mcRuns;  // Monte Carlo runs for the export
    std::optional<uint64_t> mcSeed;
    std::optional<double> balance, ruinLevel;  // the Monte Carlo's risk of ruin
    bool overfit = false;                      // --overfit: check a sweep's best pass for luck
    std::optional<int> blocks;                 // the check's blocks
    std::optional<int64_t> chartTrade;         // the export also charts this trade (1-based): trade-N.png
    std::optional<int64_t> run;                // stats, export, cell: the run meant (default: the latest)
    // import
    std::string csv, dailyCsv, outHourly, outDaily;
    int shiftHours = 0;
    std::string dateOrder;  // "", "dmy" or "mdy"
    // cell
    double cellHour = 0, cellTp = 0, cellSl = 0;
    // session
    std::string script;
    bool keepGoing = false;
    // study, study-merge
    std::string plan, out;
    int jobs = 0;  // rows at once; 0: one a core
    int shardIndex = 0, shardCount = 1;
    bool exportRows = false;
    std::vector<std::string> shardDirs;
};

// One command with its options, and the line it came from.
struct BatchCommand {
    // info, simple, thorough, import, load, stats, export, runs, cell, session, study, study-merge
    std::string name;
    BatchOptions options;
    std::string line;  // as written (session scripts)
    int lineNumber = 0;
};

// The outcome of parsing: a command, or help/version text (exit 0), or a usage error (exit 2).
struct ParsedCommand {
    std::optional<BatchCommand> command;
    std::string output;  // help or version text for stdout
    std::string error;   // what is wrong, with the usage, for stderr
    int status = 0;      // 0, or 2 for bad usage
};

// Where a command line is read: the program's arguments, or a line of a session script.
enum class Grammar { CommandLine, Script };

// Parses the words of one command. On the command line the quote files of a
// test are required and the session commands are not offered; in a script the
// quote files are optional and the script commands are.
ParsedCommand ParseCommand(const std::vector<std::string>& words, Grammar grammar);

// Splits a script line into words at blanks; '…' and "…" keep blanks inside.
// False when a quote is not closed.
bool SplitWords(const std::string& line, std::vector<std::string>& words);

}  // namespace kavro
