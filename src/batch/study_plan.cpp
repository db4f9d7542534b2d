#include "batch/study_plan.h"

#include <algorithm>
#include <charconv>

#include "platform/text_file.h"

namespace kavro {

namespace {

// Reads one CSV record from `at`; false when a quote is left open or text follows one.
bool ReadRecord(std::string_view text, size_t& at, CsvRecord& record, std::string& error) {
    const size_t begin = at;
    std::string field;
    bool quoted = false;  // the field began with a quote that has closed
    auto endField = [&] {
        record.fields.push_back(std::move(field));
        field.clear();
        quoted = false;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\r' || c == '\n') break;
        ++at;
        if (c == ',') {
            endField();
        } else if (c == '"' && field.empty() && !quoted) {
            for (;;) {
                if (at >= text.size()) {
                    error = "a quote is not closed";
                    return false;
                }
                const char q = text[at++];
                if (q != '"') {
                    field += q;
                } else if (at < text.size() && text[at] == '"') {
                    field += '"';
                    ++at;
                } else {
                    break;
                }
            }
            quoted = true;
        } else if (quoted) {
            error = "text follows a closing quote";
            return false;
        } else {
            field += c;
        }
    }
    endField();
    record.raw = text.substr(begin, at - begin);
    if (at < text.size() && text[at] == '\r') ++at;
    if (at < text.size() && text[at] == '\n') ++at;
    return true;
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    const std::string prefix = "kavro-batch: ";
    if (line.compare(0, prefix.size(), prefix) == 0) line.erase(0, prefix.size());
    return line;
}

bool IsQuoteColumn(const std::string& column) {
    return column == "hourly" || column == "daily";
}

// "" when the header is one the plan's rows can be read by.
std::string HeaderProblem(const std::vector<std::string>& columns) {
    for (const std::string& c : columns) {
        if (c != "kind" &&
            std::find(kPlanOptionColumns.begin(), kPlanOptionColumns.end(), c) == kPlanOptionColumns.end())
            return "the plan's column '" + c + "' is not a run option";
        if (std::count(columns.begin(), columns.end(), c) > 1)
            return "the plan names the column '" + c + "' twice";
    }
    for (const char* needed : {"kind", "hourly", "daily"})
        if (std::find(columns.begin(), columns.end(), needed) == columns.end())
            return std::string("the plan has no column '") + needed + "'";
    return {};
}

}  // namespace

const std::vector<std::string> kPlanOptionColumns = {
    "hourly",    "daily",       "pair",      "tp",     "sl",      "step",    "first-hour",
    "last-hour", "point-value", "cost",      "full",   "start",   "end",     "end-hour",
    "opt-len",   "fwd-len",     "real-work", "locale", "no-beep", "mc-runs", "mc-seed",
    "balance",   "ruin-level",  "overfit",   "blocks"};

bool ReadCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error) {
    records.clear();
    size_t at = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") at = 3;
    while (at < text.size()) {
        if (text[at] == '\r' || text[at] == '\n') {
            ++at;
            continue;
        }
        records.emplace_back();
        if (!ReadRecord(text, at, records.back(), error)) return false;
    }
    return true;
}

std::vector<std::string> PlanRowWords(const std::vector<std::string>& columns,
                                      const std::vector<std::string>& cells, const std::string& planDir) {
    std::vector<std::string> words;
    for (size_t i = 0; i < columns.size() && i < cells.size(); ++i)
        if (columns[i] == "kind") words.push_back(cells[i]);
    for (size_t i = 0; i < columns.size() && i < cells.size(); ++i) {
        const std::string& c = columns[i];
        if (c == "kind" || cells[i].empty()) continue;
        std::string value = cells[i];
        if (IsQuoteColumn(c) && value.front() != '/') value = JoinPath(planDir, value);
        // One word per option, so that a value such as "-5" is never read as an option.
        words.push_back("--" + c + "=" + value);
    }
    return words;
}

bool ParsePlan(std::string_view text, const std::string& planDir, StudyPlan& plan, std::string& error) {
    plan = StudyPlan{};
    plan.digest = TextDigest(text);
    std::vector<CsvRecord> records;
    std::string problem;
    if (!ReadCsv(text, records, problem)) {
        error = (records.size() <= 1 ? std::string("the plan's header")
                                     : "row " + std::to_string(records.size() - 1)) +
                ": " + problem;
        return false;
    }
    if (records.empty()) {
        error = "the plan is empty: it needs a header row and a row for each run";
        return false;
    }
    plan.columns = records.front().fields;
    if (std::string p = HeaderProblem(plan.columns); !p.empty()) {
        error = p;
        return false;
    }
    if (records.size() == 1) {
        error = "the plan has no rows, only its header";
        return false;
    }
    for (size_t r = 1; r < records.size(); ++r) {
        const std::string where = "row " + std::to_string(r) + ": ";
        StudyRow row;
        row.number = static_cast<int>(r);
        row.cells = std::move(records[r].fields);
        if (row.cells.size() != plan.columns.size()) {
            error = where + std::to_string(row.cells.size()) + " cells under " +
                    std::to_string(plan.columns.size()) + " columns";
            return false;
        }
        const std::vector<std::string> words = PlanRowWords(plan.columns, row.cells, planDir);
        if (words.front() != "simple" && words.front() != "thorough") {
            error = where + "kind '" + words.front() + "' is neither simple nor thorough";
            return false;
        }
        ParsedCommand p = ParseCommand(words, Grammar::CommandLine);
        if (!p.command) {
            error = where + FirstLine(p.error.empty() ? p.output : p.error);
            return false;
        }
        row.command = std::move(*p.command);
        plan.rows.push_back(std::move(row));
    }
    return true;
}

bool ParseShard(const std::string& text, int& index, int& count) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    auto whole = [](std::string_view digits, int& value) {
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return !digits.empty() && r.ec == std::errc() && r.ptr == digits.data() + digits.size();
    };
    const std::string_view view(text);
    int i = 0, n = 0;
    if (!whole(view.substr(0, slash), i) || !whole(view.substr(slash + 1), n) || n < 1 || i < 0 || i >= n)
        return false;
    index = i;
    count = n;
    return true;
}

uint64_t TextDigest(std::string_view text) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

}  // namespace kavro
