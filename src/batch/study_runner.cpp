#include "batch/study_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>

#include "batch/batch_session.h"
#include "batch/study_plan.h"
#include "batch/study_summary.h"
#include "platform/atomic_file.h"
#include "platform/text_file.h"

namespace kavro {

namespace fs = std::filesystem;

namespace {

std::string RowFolder(int row) {
    return "row-" + std::to_string(row);
}

// A study writes into a folder of its own, so that nothing of an earlier study
// mixes into its summary and nothing already there is written over.
bool FolderIsFree(const std::string& dir, std::ostream& err) {
    std::error_code ec;
    const bool free = !fs::exists(dir, ec) || (fs::is_directory(dir, ec) && fs::is_empty(dir, ec));
    if (!free)
        err << "kavro-batch: " << dir
            << " is not a new or empty folder: a study writes into one of its own\n";
    return free;
}

// What a row said on stderr, as one line and naming files as the plan and the
// study folder do, so that the summary does not depend on where they lie.
std::string MessageOf(std::string text, std::vector<std::string> prefixes) {
    std::sort(prefixes.begin(), prefixes.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& p : prefixes)
        for (size_t at; !p.empty() && (at = text.find(p)) != std::string::npos;) text.erase(at, p.size());
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
        } else if (i + 1 < text.size()) {
            if (c == '\r' && text[i + 1] == '\n') ++i;
            if (i + 1 < text.size()) line += "; ";
        }
    }
    return line;
}

std::string Duration(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// Rows done of the total and the time left, a line each time a row ends.
class Progress {
  public:
    Progress(std::ostream& err, size_t total) : err_(err), total_(total) {}

    void rowDone(const RowOutcome& r) {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        if (r.failed) err_ << "kavro-batch: row " << r.row << " failed: " << r.message << "\n";
        const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
        err_ << "kavro-batch: " << done_ << "/" << total_ << " rows done";
        if (done_ < total_)
            err_ << ", about "
                 << Duration(elapsed / static_cast<double>(done_) * static_cast<double>(total_ - done_))
                 << " left";
        else
            err_ << " in " << Duration(elapsed);
        err_ << std::endl;
    }

  private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    const size_t total_;
    size_t done_ = 0;
    const Clock::time_point start_ = Clock::now();
    std::mutex mutex_;
};

// One row as its single command runs it, in a session of its own.
class RowRun {
  public:
    RowRun(const std::string& out, const std::string& planDir, bool exportRow, const PictureWriter& pictures)
        : out_(out), exportRow_(exportRow), pictures_(pictures) {
        // A bare "/" would take every slash out of the messages.
        for (const std::string& dir : {planDir, out})
            if (!dir.empty() && dir != "/") prefixes_.push_back(JoinPath(dir, ""));
    }

    RowOutcome operator()(const StudyRow& row) const {
        RowOutcome r;
        r.row = row.number;
        r.cells = row.cells;
        std::ostringstream out, err;
        try {
            r.failed = !run(row, out, err, r);
        } catch (const std::exception& e) {
            err << e.what() << "\n";
            r.failed = true;
        }
        r.message = MessageOf(err.str(), prefixes_);
        if (r.failed) r.figures.reset();
        return r;
    }

  private:
    bool run(const StudyRow& row, std::ostringstream& out, std::ostream& err, RowOutcome& r) const {
        const std::string dir = JoinPath(out_, RowFolder(row.number));
        std::string error;
        if (!EnsureFolder(dir, error)) {
            err << kTitleError << ": " << error << "\n";
            return false;
        }
        BatchCommand command = row.command;
        command.options.dir = dir;
        if (exportRow_) command.options.exportDir = dir;
        BatchSession session(Grammar::CommandLine, out, err, pictures_, false);
        const int status = session.run(command);
        if (!WriteFileAtomically(JoinPath(dir, kStudyOutputFile), out.str(), error)) {
            err << kTitleError << ": " << error << "\n";
            return false;
        }
        if (status != 0) return false;
        const auto record = session.latestRun();
        if (record && record->finished())
            if (const RunEntry* entry = session.history().entry(record->number))
                r.figures = FiguresOf(Evaluate(session.history(), record), entry->summary);
        return true;
    }

    std::string out_;
    bool exportRow_;
    const PictureWriter& pictures_;
    std::vector<std::string> prefixes_;
};

// Runs every row on up to `jobs` threads; the outcomes in the rows' order.
std::vector<RowOutcome> RunRows(const std::vector<const StudyRow*>& rows, unsigned jobs, const RowRun& run,
                                Progress& progress) {
    std::vector<RowOutcome> outcomes(rows.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < rows.size();) {
            outcomes[i] = run(*rows[i]);
            progress.rowDone(outcomes[i]);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < jobs && t < rows.size(); ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // the threads that started, and this one, take the rows
        }
    }
    work();
    for (std::thread& t : pool) t.join();
    return outcomes;
}

bool WriteStudyFile(const std::string& dir, const char* name, const std::string& text, std::ostream& err) {
    std::string error;
    if (WriteFileAtomically(JoinPath(dir, name), text, error)) return true;
    err << kTitleError << ": " << error << "\n";
    return false;
}

int FailedStatus(int failed, size_t rows, std::ostream& err) {
    if (failed == 0) return 0;
    err << "kavro-batch: " << failed << " of " << rows << " rows failed\n";
    return 1;
}

// Reads a shard's study.txt and summary.csv; false, said on `err`, when it has none.
bool ReadShard(const std::string& dir, ShardSummary& shard, std::ostream& err) {
    shard.folder = dir;
    std::string manifest;
    if (!ReadWholeFile(JoinPath(dir, kStudyManifestFile), manifest) ||
        !ParseManifest(manifest, shard.manifest)) {
        err << "kavro-batch: " << dir << " is not a study's folder (no readable " << kStudyManifestFile
            << ")\n";
        return false;
    }
    if (!ReadWholeFile(JoinPath(dir, kStudySummaryFile), shard.summary)) {
        err << "kavro-batch: " << dir << " has no " << kStudySummaryFile << ": its study did not finish\n";
        return false;
    }
    return true;
}

// Copies the row folders of `shard` into `out`.
bool CopyRows(const ShardSummary& shard, const std::string& out, std::ostream& err) {
    const StudyManifest& m = shard.manifest;
    for (int row = 1; row <= m.rows; ++row) {
        if (!InShard(row, m.shardIndex, m.shardCount)) continue;
        const std::string from = JoinPath(shard.folder, RowFolder(row)), to = JoinPath(out, RowFolder(row));
        std::error_code ec;
        if (!fs::is_directory(from, ec)) continue;  // a row whose folder could not be made
        fs::copy(from, to, fs::copy_options::recursive, ec);
        if (ec) {
            err << kTitleError << ": " << FileErrorText("Не удалось скопировать папку", from, ec.value())
                << "\n";
            return false;
        }
    }
    return true;
}

}  // namespace

int RunStudy(const BatchOptions& o, std::ostream& err, const PictureWriter& pictures) {
    std::string text;
    if (!ReadWholeFile(o.plan, text)) {
        err << "kavro-batch: cannot read the plan " << o.plan << "\n";
        return 2;
    }
    const std::string planDir = fs::path(o.plan).parent_path().string();
    StudyPlan plan;
    std::string error;
    if (!ParsePlan(text, planDir, plan, error)) {
        err << "kavro-batch: " << o.plan << ": " << error << "\n";
        return 2;
    }
    if (!FolderIsFree(o.out, err)) return 2;
    const StudyManifest manifest{static_cast<int>(plan.rows.size()), o.shardIndex, o.shardCount, plan.digest};
    if (!EnsureFolder(o.out, error)) {
        err << kTitleError << ": " << error << "\n";
        return 1;
    }
    // Written first, so that a second study started into the same folder is refused.
    if (!WriteStudyFile(o.out, kStudyManifestFile, ManifestText(manifest), err)) return 1;

    std::vector<const StudyRow*> rows;
    for (const StudyRow& r : plan.rows)
        if (InShard(r.number, o.shardIndex, o.shardCount)) rows.push_back(&r);
    const unsigned jobs =
        o.jobs > 0 ? static_cast<unsigned>(o.jobs) : std::max(1u, std::thread::hardware_concurrency());
    Progress progress(err, rows.size());
    const std::vector<RowOutcome> outcomes =
        RunRows(rows, jobs, RowRun(o.out, planDir, o.exportRows, pictures), progress);
    if (!WriteStudyFile(o.out, kStudySummaryFile, SummaryText(plan.columns, outcomes), err)) return 1;
    const auto failed =
        std::count_if(outcomes.begin(), outcomes.end(), [](const RowOutcome& r) { return r.failed; });
    return FailedStatus(static_cast<int>(failed), outcomes.size(), err);
}

int MergeStudy(const BatchOptions& o, std::ostream& err) {
    if (!FolderIsFree(o.out, err)) return 2;
    std::vector<ShardSummary> shards(o.shardDirs.size());
    for (size_t i = 0; i < shards.size(); ++i)
        if (!ReadShard(o.shardDirs[i], shards[i], err)) return 1;
    std::string merged, error;
    int failed = 0;
    if (!MergeSummaries(shards, merged, failed, error)) {
        err << "kavro-batch: " << error << "\n";
        return 1;
    }
    if (!EnsureFolder(o.out, error)) {
        err << kTitleError << ": " << error << "\n";
        return 1;
    }
    for (const ShardSummary& s : shards)
        if (!CopyRows(s, o.out, err)) return 1;
    StudyManifest whole = shards.front().manifest;
    whole.shardIndex = 0;
    whole.shardCount = 1;
    // The summary last: a folder with one holds every row.
    if (!WriteStudyFile(o.out, kStudyManifestFile, ManifestText(whole), err) ||
        !WriteStudyFile(o.out, kStudySummaryFile, merged, err))
        return 1;
    return FailedStatus(failed, static_cast<size_t>(whole.rows), err);
}

}  // namespace kavro
