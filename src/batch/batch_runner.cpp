#include "batch/batch_runner.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "batch/batch_options.h"
#include "batch/batch_session.h"
#include "batch/study_runner.h"

namespace kavro {

namespace {

// Every command of a script, parsed before any runs; false (said on `err`) when a line does not parse.
bool ParseScript(std::istream& in, std::vector<BatchCommand>& commands, std::ostream& err) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::vector<std::string> words;
        if (!SplitWords(line, words)) {
            err << "kavro-batch: line " << number << ": a quote is not closed\n";
            return false;
        }
        ParsedCommand p = ParseCommand(words, Grammar::Script);
        if (!p.command) {
            err << "kavro-batch: line " << number << ": "
                << (p.error.empty() ? "help is not a command of a script\n" : p.error);
            return false;
        }
        p.command->line = line;
        p.command->lineNumber = number;
        commands.push_back(std::move(*p.command));
    }
    return true;
}

int RunScript(const BatchOptions& o, std::ostream& out, std::ostream& err, const PictureWriter& pictures,
              std::istream* in) {
    std::ifstream file;
    std::istream* source = in ? in : &std::cin;
    if (o.script != "-") {
        file.open(o.script);
        if (!file) {
            err << "kavro-batch: cannot read the script " << o.script << "\n";
            return 2;
        }
        source = &file;
    }
    std::vector<BatchCommand> commands;
    if (!ParseScript(*source, commands, err)) return 2;
    BatchSession session(Grammar::Script, out, err, pictures);
    bool failed = false;
    for (const BatchCommand& c : commands) {
        out << "> " << c.line << "\n";
        if (session.run(c) == 0) continue;
        failed = true;
        if (!o.keepGoing) break;
    }
    return failed ? 1 : 0;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const PictureWriter& pictures, std::istream* in) {
    ParsedCommand p = ParseCommand(args, Grammar::CommandLine);
    if (!p.command) {
        out << p.output;
        err << p.error;
        return p.status;
    }
    if (p.command->name == "session") return RunScript(p.command->options, out, err, pictures, in);
    if (p.command->name == "study") return RunStudy(p.command->options, err, pictures);
    if (p.command->name == "study-merge") return MergeStudy(p.command->options, err);
    // A single command is a session of one.
    BatchSession session(Grammar::CommandLine, out, err, pictures);
    return session.run(*p.command);
}

}  // namespace kavro
