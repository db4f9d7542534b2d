#include "batch/study_summary.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "batch/study_plan.h"
#include "evaluation/export.h"
#include "evaluation/number_text.h"
#include "program/evaluation_sources.h"

namespace kavro {

namespace {

constexpr const char* kFigureColumns =
    "status,message,net,trades,wins,losses,profit_factor,max_drawdown,recovery_factor,sharpe_monthly,"
    "windows,profitable_windows,overall_efficiency";

void AppendCell(std::string& out, double value) {
    out += ',';
    AppendNumber(out, value);
}

void AppendCell(std::string& out, int64_t value) {
    out += ',';
    out += std::to_string(value);
}

void AppendFigures(std::string& out, const RowFigures& f) {
    AppendCell(out, f.net);
    AppendCell(out, f.trades);
    AppendCell(out, f.wins);
    AppendCell(out, f.losses);
    AppendCell(out, f.profitFactor);
    AppendCell(out, f.maxDrawdown);
    AppendCell(out, f.recoveryFactor);
    AppendCell(out, f.sharpeMonthly);
    if (!f.walkForward) {
        out += ",,,";
        return;
    }
    AppendCell(out, f.windows);
    AppendCell(out, f.profitableWindows);
    AppendCell(out, f.overallEfficiency);
}

bool WholeNumber(std::string_view text, int& value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

std::string ShardName(const ShardSummary& s) {
    return s.folder + " (shard " + std::to_string(s.manifest.shardIndex) + "/" +
           std::to_string(s.manifest.shardCount) + ")";
}

// Every shard of one plan, each once; "" when so.
std::string ShardsProblem(const std::vector<ShardSummary>& shards) {
    if (shards.empty()) return "no shard folder given";
    const StudyManifest& first = shards.front().manifest;
    std::vector<const ShardSummary*> byIndex(static_cast<size_t>(first.shardCount), nullptr);
    for (const ShardSummary& s : shards) {
        const StudyManifest& m = s.manifest;
        if (m.plan != first.plan || m.rows != first.rows || m.shardCount != first.shardCount ||
            m.shardIndex < 0 || m.shardIndex >= m.shardCount)
            return ShardName(s) + " and " + ShardName(shards.front()) + " are not shards of one plan";
        const ShardSummary*& seen = byIndex[static_cast<size_t>(m.shardIndex)];
        if (seen) return ShardName(s) + " and " + seen->folder + " are the same shard";
        seen = &s;
    }
    for (size_t i = 0; i < byIndex.size(); ++i)
        if (!byIndex[i])
            return "shard " + std::to_string(i) + "/" + std::to_string(first.shardCount) + " is missing";
    return {};
}

}  // namespace

RowFigures FiguresOf(const Evaluation& e, const RunSummary& summary) {
    RowFigures f;
    const TradeStats& s = e.stats;
    f.net = summary.net;
    f.trades = s.trades;
    f.wins = s.wins;
    f.losses = s.losses;
    f.profitFactor = s.profitFactor;
    f.maxDrawdown = s.maxDrawdown.money;
    f.recoveryFactor = s.recoveryFactor;
    f.sharpeMonthly = s.sharpeMonthly;
    if (e.walkForward) {
        f.walkForward = true;
        f.windows = static_cast<int64_t>(e.windows.windows);
        f.profitableWindows = static_cast<int64_t>(e.windows.profitableWindows);
        f.overallEfficiency = e.windows.overallEfficiency;
    }
    return f;
}

std::string SummaryText(const std::vector<std::string>& columns, const std::vector<RowOutcome>& rows) {
    std::string out = "row";
    for (const std::string& c : columns) {
        out += ',';
        out += CsvField(c);
    }
    out += ",";
    out += kFigureColumns;
    out += '\n';
    for (const RowOutcome& r : rows) {
        out += std::to_string(r.row);
        for (const std::string& cell : r.cells) {
            out += ',';
            out += CsvField(cell);
        }
        out += r.failed ? ",failed," : ",done,";
        out += CsvField(r.message);
        if (r.figures)
            AppendFigures(out, *r.figures);
        else
            out += ",,,,,,,,,,,";
        out += '\n';
    }
    return out;
}

std::string ManifestText(const StudyManifest& m) {
    return "rows=" + std::to_string(m.rows) + "\nshard=" + std::to_string(m.shardIndex) + "/" +
           std::to_string(m.shardCount) + "\nplan=" + DigestText(m.plan) + "\n";
}

bool ParseManifest(std::string_view text, StudyManifest& m) {
    std::map<std::string_view, std::string_view> kv;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) return false;
        kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    StudyManifest parsed;
    const std::string_view plan = kv["plan"];
    const auto r = std::from_chars(plan.data(), plan.data() + plan.size(), parsed.plan, 16);
    if (plan.size() != 16 || r.ptr != plan.data() + plan.size()) return false;
    if (!WholeNumber(kv["rows"], parsed.rows) || parsed.rows < 0) return false;
    if (!ParseShard(std::string(kv["shard"]), parsed.shardIndex, parsed.shardCount)) return false;
    m = parsed;
    return true;
}

namespace {

// The rows of one shard's summary, each by its number and its text as written,
// into `lines`; `header` is the first shard's. False with `error` when the summary
// is not one of this shard's rows, all of them.
bool TakeShardRows(const ShardSummary& s, int total, std::string& header,
                   std::map<int, std::string_view>& lines, int& failedRows, std::string& error) {
    std::vector<CsvRecord> records;
    const std::string where = s.folder + "/summary.csv: ";
    if (!ReadCsv(s.summary, records, error) || records.empty()) {
        error = where + (records.empty() ? "empty" : error);
        return false;
    }
    if (header.empty()) header = std::string(records.front().raw);
    if (records.front().raw != header) {
        error = where + "its columns differ from the first shard's";
        return false;
    }
    const auto& head = records.front().fields;
    const auto status = static_cast<size_t>(std::find(head.begin(), head.end(), "status") - head.begin());
    if (head.front() != "row" || status == head.size()) {
        error = where + "not the summary of a study";
        return false;
    }
    const StudyManifest& m = s.manifest;
    int expected = 0;
    for (int row = 1; row <= total; ++row) expected += InShard(row, m.shardIndex, m.shardCount);
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        int row = 0;
        if (rec.fields.size() != head.size() || !WholeNumber(rec.fields.front(), row) || row < 1 ||
            row > total || !InShard(row, m.shardIndex, m.shardCount) || lines.count(row)) {
            error = where + "line " + std::to_string(r + 1) + " is not a row of this shard";
            return false;
        }
        lines[row] = rec.raw;
        failedRows += rec.fields[status] == "failed";
    }
    if (static_cast<int>(records.size()) - 1 != expected) {
        error = where + "holds " + std::to_string(records.size() - 1) + " of the shard's " +
                std::to_string(expected) + " rows: the shard did not finish";
        return false;
    }
    return true;
}

}  // namespace

bool MergeSummaries(const std::vector<ShardSummary>& shards, std::string& merged, int& failedRows,
                    std::string& error) {
    if (std::string p = ShardsProblem(shards); !p.empty()) {
        error = p;
        return false;
    }
    std::string header;
    std::map<int, std::string_view> lines;  // into the shards' texts
    failedRows = 0;
    for (const ShardSummary& s : shards)
        if (!TakeShardRows(s, shards.front().manifest.rows, header, lines, failedRows, error)) return false;
    merged = header + "\n";
    for (const auto& [row, line] : lines) {
        merged += line;
        merged += '\n';
    }
    return true;
}

}  // namespace kavro
