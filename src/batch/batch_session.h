#pragma once
// One session of the batch runner: the window's commands run on one set of data.
#include <iosfwd>
#include <string>

#include "batch/batch_options.h"
#include "engine/run_checks.h"
#include "platform/headless.h"
#include "platform/system_clock.h"
#include "program/run_export.h"
#include "program/session.h"

namespace kavro {

// Messages go to stderr as the window's message boxes would say them.
class BatchDialogs : public RecordingDialogs {
  public:
    BatchDialogs(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
    void message(MessageKind kind, const std::string& text) override;
    void beep() override;

  private:
    std::ostream& err_;
    bool terminal_;
};

// Runs commands one after the other in one session, as a user gives them in
// the window: options set the session's fields and stay set for the lines
// after; each command says whether it failed.
class BatchSession {
  public:
    // `terminal`: `err` is a terminal, so progress and the beep may be shown on it.
    BatchSession(Grammar grammar, std::ostream& out, std::ostream& err, PictureWriter pictures,
                 bool terminal);
    BatchSession(Grammar grammar, std::ostream& out, std::ostream& err, PictureWriter pictures);

    // Runs one command: 0 done, 1 failed (the message is on stderr).
    int run(const BatchCommand& c);

    // The run the session started last (null when none started) and the history it is in.
    std::shared_ptr<const RunRecord> latestRun() const { return s_.current; }
    const RunHistory& history() const { return s_.history; }

  private:
    int info(const BatchOptions& o);
    int load(const BatchOptions& o, bool quiet);
    int test(const BatchOptions& o, bool thorough);
    int import(const BatchOptions& o);
    int stats(const BatchOptions& o);
    int exportRun(const BatchOptions& o);
    int runs();
    int cell(const BatchOptions& o);

    // Reports go into `dir` from now on, made when missing.
    void useReportFolder(const std::string& dir);
    // Sets the fields, the pickers, the locale and the report folder from the options given.
    void applyOptions(const BatchOptions& o);
    // Runs the timer of the run just started until it stops; the exit status of the run.
    int drive(const RunStart& start, bool thorough);
    // --stats, --overfit and --export of the run just ended.
    int evaluate(const BatchOptions& o, const RunStart& start);
    // The Monte Carlo's and the overfitting check's options, kept for later lines.
    void applyEvaluationOptions(const BatchOptions& o);
    // --overfit: the check of a sweep into `e` (a run that is not one says so); 1 when it failed.
    int checkOverfit(Evaluation& e);
    // The statistics lines, and the check's when there is one.
    void printStats(const Evaluation& e);
    // The export of `e` into o.exportDir.
    int exportEvaluation(const BatchOptions& o, Evaluation e);
    // The finished run `o.run` names (or the latest); null, said on stderr, when there is none.
    std::shared_ptr<const RunRecord> chosen(const BatchOptions& o);
    void printLabels(bool withText10);

    Grammar grammar_;
    bool terminal_;
    std::ostream& out_;
    std::ostream& err_;
    PictureWriter pictures_;
    HeadlessPump pump_;
    BatchDialogs dialogs_;
    SystemClock clock_;
    RecordingShell shell_;
    Session s_;
};

}  // namespace kavro
