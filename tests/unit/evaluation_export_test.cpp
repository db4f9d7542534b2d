#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "evaluation/export.h"
#include "evaluation/number_text.h"
#include "evaluation_fixture.h"
#include "platform/atomic_file.h"
#include "support/test_support.h"

namespace kavro {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// RFC 4180 reading: quoted fields may hold commas, quotes (doubled) and line ends.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && row.empty()) << "the last line lacks its line end";
    return rows;
}

// A small JSON reader, as strict as json.loads without its extensions: objects,
// arrays, plain strings, numbers, true, false, null (no inf, nan or Infinity).
struct JsonValue {
    std::variant<std::nullptr_t, bool, double, std::string, std::map<std::string, JsonValue>,
                 std::vector<JsonValue>>
        v;
    const JsonValue& operator[](const std::string& key) const {
        return std::get<std::map<std::string, JsonValue>>(v).at(key);
    }
    // The numbers of a list.
    std::vector<double> numbers() const {
        std::vector<double> out;
        for (const JsonValue& item : std::get<std::vector<JsonValue>>(v)) out.push_back(item.number());
        return out;
    }
    double number() const { return std::get<double>(v); }
    const std::string& text() const { return std::get<std::string>(v); }
    bool isNull() const { return std::holds_alternative<std::nullptr_t>(v); }
    bool has(const std::string& key) const {
        return std::get<std::map<std::string, JsonValue>>(v).count(key) > 0;
    }
};

JsonValue ReadJsonValue(const std::string& t, size_t& i) {
    auto skip = [&] {
        while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    };
    auto string = [&] {
        size_t end = t.find('"', i + 1);
        if (t[i] != '"' || end == std::string::npos)
            throw std::runtime_error("bad string at " + std::to_string(i));
        std::string s = t.substr(i + 1, end - i - 1);
        i = end + 1;
        return s;
    };
    skip();
    if (t.compare(i, 4, "null") == 0) return i += 4, JsonValue{nullptr};
    if (t.compare(i, 4, "true") == 0) return i += 4, JsonValue{true};
    if (t.compare(i, 5, "false") == 0) return i += 5, JsonValue{false};
    if (t[i] == '"') return JsonValue{string()};
    if (t[i] == '{') {
        std::map<std::string, JsonValue> m;
        for (++i, skip(); t[i] != '}'; skip()) {
            const std::string key = string();
            skip();
            if (t[i++] != ':') throw std::runtime_error("expected : at " + std::to_string(i));
            m[key] = ReadJsonValue(t, i);
            skip();
            if (t[i] == ',') ++i, skip();
        }
        return ++i, JsonValue{m};
    }
    if (t[i] == '[') {
        std::vector<JsonValue> items;
        for (++i, skip(); t[i] != ']'; skip()) {
            items.push_back(ReadJsonValue(t, i));
            skip();
            if (t[i] == ',') ++i, skip();
        }
        return ++i, JsonValue{items};
    }
    const size_t digit = t[i] == '-' ? i + 1 : i;
    if (digit >= t.size() || !std::isdigit(static_cast<unsigned char>(t[digit])))
        throw std::runtime_error("not a JSON value at " + std::to_string(i));
    size_t used = 0;
    const double d = std::stod(t.substr(i, 40), &used);
    return i += used, JsonValue{d};
}

JsonValue ReadJson(const std::string& text) {
    size_t i = 0;
    JsonValue v = ReadJsonValue(text, i);
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size()) throw std::runtime_error("text after the value");
    return v;
}

double Cell(const std::string& s) {
    return std::stod(s);
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ExportTest : public ::testing::Test {
  protected:
    TempDir dir{"kavro_export"};
    std::vector<TradeRecord> trades = testing::MakeTrades(testing::WorkedJournal());
    std::vector<PassRow> passes = {{9, 20, 10, 5}, {9, 20, 15, -3.5f}, {10, 20, 10, 12}};
    std::vector<WindowRecord> windows;

    void SetUp() override {
        WindowRecord a;
        a.optFirstBar = 1;
        a.optLastBar = 1000;
        a.fwdFirstBar = 1001;
        a.fwdLastBar = 1250;
        a.optStart = {2020, 1, 1};
        a.optEnd = {2020, 3, 31};
        a.fwdStart = {2020, 4, 1};  // fwdEnd beyond the loaded data: no date
        a.entryHour = 9;
        a.target = 60;
        a.stop = 30;
        a.bestFound = true;
        a.inSampleTotal = 400;
        a.forwardResult = 50;
        WindowRecord b = a;
        b.bestFound = false;
        b.inSampleTotal = -10;
        b.forwardResult = -20;
        windows = {a, b};
    }

    EvaluationExport Data() const {
        EvaluationExport e;
        e.trades = trades;
        e.passes = passes;
        e.windows = windows;
        return e;
    }
};

TEST_F(ExportTest, WritesTheSixFilesAndNothingElse) {
    const std::string out = dir.file("a/b/export");  // missing parents are made
    std::string error;
    ASSERT_TRUE(ExportEvaluation(out, Data(), error)) << error;
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"blocks.csv", "monthly.csv", "passes.csv", "stats.json",
                                                      "trades.csv", "windows.csv"}));
}

TEST_F(ExportTest, TradesRoundTrip) {
    // What the quotes said: hours and excursions for all but the second trade.
    for (size_t i = 0; i < trades.size(); ++i) {
        if (i == 1) continue;
        trades[i].entryHour = 9;
        trades[i].exitHour = 23;
        trades[i].maePoints = 12.3f;
        trades[i].mfePoints = static_cast<float>(i * 10);
    }
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), Data(), error)) << error;
    const auto rows = ParseCsv(dir.read("trades.csv"));
    ASSERT_EQ(rows.size(), trades.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"trade", "side", "entry_date", "entry_price", "exit_date",
                                                 "exit_price", "profit", "equity", "entry_time", "exit_time",
                                                 "mae_points", "mfe_points"}));
    const std::vector<double> equity = {100, 50, 20, 220, 220, 180};
    for (size_t i = 0; i < trades.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& r = rows[i + 1];
        ASSERT_EQ(r.size(), 12u);
        EXPECT_EQ(r[0], std::to_string(i + 1));
        EXPECT_EQ(r[1], SideText(trades[i].side));
        EXPECT_EQ(r[2], IsoDate(trades[i].entryDate));
        EXPECT_EQ(static_cast<float>(Cell(r[3])), 1.1f);
        EXPECT_EQ(Cell(r[6]), trades[i].profit);
        EXPECT_EQ(Cell(r[7]), equity[i]);
    }
    EXPECT_EQ(rows[1][2], "2020-01-02");
    EXPECT_EQ(rows[1][4], "2020-01-03");
    EXPECT_EQ(rows[1][5], "1.2");
    // Closed at a window's end: no exit date, no exit price, no exit time.
    EXPECT_EQ(rows[6][4], "");
    EXPECT_EQ(rows[6][5], "");
    EXPECT_EQ(rows[6][9], "");
    // Times as yyyy-mm-dd hh:mm; the excursions as the shortest text of their value.
    EXPECT_EQ(rows[1][8], "2020-01-02 09:00");
    EXPECT_EQ(rows[1][9], "2020-01-03 23:00");
    EXPECT_EQ(rows[1][10], "12.3");
    EXPECT_EQ(rows[1][11], "0");
    EXPECT_EQ(rows[6][8], "2020-03-20 09:00");
    EXPECT_EQ(rows[6][11], "50");
    // Not known: empty cells, never a made-up 0.
    EXPECT_EQ((std::vector<std::string>(rows[2].begin() + 8, rows[2].end())),
              (std::vector<std::string>{"", "", "", ""}));
}

TEST_F(ExportTest, PassesWindowsAndMonthsRoundTrip) {
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), Data(), error)) << error;
    // Without the passes' figures their cells stay empty.
    EXPECT_EQ(
        dir.read("passes.csv"),
        "entry_hour,take_profit,stop_loss,result,trades,wins,losses,gross_profit,gross_loss,profit_factor,"
        "max_drawdown,recovery_factor,sharpe_monthly\n9,20,10,5,,,,,,,,,\n9,20,15,-3.5,,,,,,,,,\n"
        "10,20,10,12,,,,,,,,,\n");

    const auto w = ParseCsv(dir.read("windows.csv"));
    ASSERT_EQ(w.size(), 3u);
    ASSERT_EQ(w[0].size(), 15u);
    EXPECT_EQ(w[0][13], "efficiency");
    EXPECT_EQ(w[1][1], "2020-01-01");
    EXPECT_EQ(w[1][4], "");  // a forward end beyond the data
    EXPECT_EQ(Cell(w[1][5]), 1000);
    EXPECT_EQ(Cell(w[1][6]), 250);
    EXPECT_EQ(w[1][10], "1");
    EXPECT_DOUBLE_EQ(Cell(w[1][13]), 0.5);
    EXPECT_EQ(w[2][10], "0");
    EXPECT_EQ(w[2][13], "");  // undefined efficiency: an empty cell, read as NaN
    EXPECT_EQ(Cell(w[2][14]), 30);

    const auto m = ParseCsv(dir.read("monthly.csv"));
    const std::vector<std::vector<std::string>> expected = {{"year", "month", "result", "trades"},
                                                            {"2020", "1", "20", "3"},
                                                            {"2020", "2", "0", "0"},
                                                            {"2020", "3", "160", "3"}};
    EXPECT_EQ(m, expected);
}

TEST_F(ExportTest, StatsJsonRoundTrip) {
    MonteCarloOptions o;
    o.runs = 50;
    o.seed = 18446744073709551615ull;
    const MonteCarloResult mc = RunMonteCarlo(trades, o);
    EvaluationExport data = Data();
    data.monteCarlo = &mc;
    data.complete = false;
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), data, error)) << error;
    const JsonValue j = ReadJson(dir.read("stats.json"));
    EXPECT_EQ(std::get<bool>(j["complete"].v), false);
    const JsonValue& s = j["statistics"];
    EXPECT_EQ(s["Trades"].number(), 6);
    EXPECT_EQ(s["GrossLoss"].number(), -120);
    EXPECT_EQ(s["ProfitFactor"].number(), 2.5);
    EXPECT_EQ(s["MaxDrawdown"].number(), 80);
    EXPECT_EQ(s["MaxDrawdownStart"].text(), "2020-01-03");
    EXPECT_EQ(s["MaxDrawdownEnd"].text(), "2020-01-15");
    EXPECT_EQ(s["RecoveryFactor"].number(), 2.25);
    EXPECT_DOUBLE_EQ(s["WinRate"].number(), 100.0 / 3);
    EXPECT_EQ(s["BestMonth"].text(), "2020-03");
    EXPECT_EQ(s["WorstMonthResult"].number(), 0);
    EXPECT_EQ(j["passes"].number(), 3);
    EXPECT_EQ(j["walkForward"]["windows"].number(), 2);
    EXPECT_EQ(j["walkForward"]["searchedNothing"].number(), 1);
    EXPECT_DOUBLE_EQ(j["walkForward"]["overallEfficiency"].number(), 0.5);
    EXPECT_EQ(j["monteCarlo"]["seed"].text(), "18446744073709551615");
    EXPECT_EQ(j["monteCarlo"]["runs"].number(), 50);
    EXPECT_EQ(j["monteCarlo"]["shuffled"]["finalResult"]["p50"].number(), 180);
    EXPECT_EQ(j["monteCarlo"]["resampled"]["finalResult"]["p5"].number(), mc.resampled.finalResult.p5);
}

// Two trades, +10 and -30: every shuffled run ends at -20 with a drawdown of 30;
// a resampled run ends at 20, -20 or -60 with a drawdown of 0, 30 or 60.
TEST_F(ExportTest, MonteCarloHistogramsHoldEveryRunInItsBin) {
    trades = testing::ProfitTrades({10, -30});
    MonteCarloOptions o;
    o.runs = 50;
    o.seed = 7;
    const MonteCarloResult mc = RunMonteCarlo(trades, o);
    EvaluationExport data = Data();
    data.monteCarlo = &mc;
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), data, error)) << error;
    const JsonValue j = ReadJson(dir.read("stats.json"))["monteCarlo"];
    EXPECT_EQ(j["balance"].number(), 10000);
    EXPECT_EQ(j["ruinLevel"].number(), 50);

    struct Case {
        const char* method;
        const char* figure;
        const Distribution& runs;
        double lo, width;                                 // the first edge and the bin width
        std::vector<std::pair<double, size_t>> outcomes;  // each value a run can take, and its bin
    };
    // One value gets the bins of value ± 0.5; a value on an inner edge goes right, the largest last.
    const Case cases[] = {
        {"shuffled", "finalResult", mc.shuffled.finalResult, -20.5, 1.0 / 40, {{-20, 20}}},
        {"shuffled", "maxDrawdown", mc.shuffled.maxDrawdown, 29.5, 1.0 / 40, {{30, 20}}},
        {"resampled", "finalResult", mc.resampled.finalResult, -60, 2, {{-60, 0}, {-20, 20}, {20, 39}}},
        {"resampled", "maxDrawdown", mc.resampled.maxDrawdown, 0, 1.5, {{0, 0}, {30, 20}, {60, 39}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.figure);
        const JsonValue& h = j[c.method][c.figure]["histogram"];
        const std::vector<double> edges = h["edges"].numbers(), counts = h["counts"].numbers();
        ASSERT_EQ(edges.size(), 41u);
        ASSERT_EQ(counts.size(), 40u);
        for (size_t i = 0; i < edges.size(); ++i) EXPECT_DOUBLE_EQ(edges[i], c.lo + c.width * i) << i;
        std::vector<double> expected(40, 0);
        for (const auto& [value, bin] : c.outcomes) {
            expected[bin] =
                static_cast<double>(std::count(c.runs.values.begin(), c.runs.values.end(), value));
            EXPECT_GT(expected[bin], 0);  // the seed reaches every outcome
        }
        EXPECT_EQ(counts, expected);
        EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0.0), 50);
        // The fan and the risk of ruin beside the histograms.
        const MonteCarloMethod& m = std::string(c.method) == "shuffled" ? mc.shuffled : mc.resampled;
        EXPECT_EQ(j[c.method]["fan"]["trades"].numbers(), (std::vector<double>{0, 1, 2}));
        EXPECT_EQ(j[c.method]["fan"]["p95"].numbers(), m.fan.p95);
        EXPECT_EQ(j[c.method]["riskOfRuin"].number(), m.riskOfRuin);
    }
}

TEST_F(ExportTest, InfinityIsAStringAndUndefinedIsNull) {
    trades = testing::ProfitTrades({10, 20});
    windows.clear();
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), Data(), error)) << error;
    const JsonValue j = ReadJson(dir.read("stats.json"));
    EXPECT_EQ(j["statistics"]["ProfitFactor"].text(), "inf");
    EXPECT_EQ(j["statistics"]["RecoveryFactor"].text(), "inf");
    EXPECT_TRUE(j["statistics"]["MaxDrawdownStart"].isNull());
    EXPECT_TRUE(j["walkForward"]["overallEfficiency"].isNull());
    EXPECT_FALSE(j.has("monteCarlo"));
    EXPECT_EQ(std::get<bool>(j["complete"].v), true);
}

TEST_F(ExportTest, PassFiguresBlocksAndTheOverfitCheckRoundTrip) {
    std::vector<PassFigures> figures(3);
    figures[0] = {4, 3, 1, 5, 7.5, -2.5, 3, 2.5, 2, 0.25};
    figures[1] = {2, 0, 2, -3.5, 0, -3.5, 0, 3.5, -1, -1.5};
    figures[2] = {1, 1, 0, 12, 12, 0, INFINITY, 0, INFINITY, 0};
    const BlockResults blocks{3, 2, {2.5, 2.5, -3.5, 0, 0.1, 11.9}};
    SweepFigures sweep;
    sweep.passes = figures;
    sweep.blocks = blocks;
    sweep.blockStarts = {Date{2020, 1, 2}, Date{}};
    sweep.bestPass = 2;
    sweep.bestMonthly = {12};
    const OverfitReport report = ReportOverfit(sweep, passes, 1);
    EvaluationExport data = Data();
    data.passFigures = figures;
    data.blocks = &blocks;
    data.overfit = &report;
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), data, error)) << error;

    const auto p = ParseCsv(dir.read("passes.csv"));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[1], (std::vector<std::string>{"9", "20", "10", "5", "4", "3", "1", "7.5", "-2.5", "3", "2.5",
                                              "2", "0.25"}));
    EXPECT_EQ(p[3][9], "inf");  // no loss: an infinite profit factor
    EXPECT_EQ(p[3][11], "inf");
    EXPECT_EQ(dir.read("blocks.csv"),
              "entry_hour,take_profit,stop_loss,result,b1,b2\n9,20,10,5,2.5,2.5\n9,20,15,-3.5,-3.5,0\n"
              "10,20,10,12,0.1,11.9\n");

    // Two blocks, two splits: pass 3 is best in-sample on either half and ranks first or last.
    const JsonValue o = ReadJson(dir.read("stats.json"))["overfit"];
    EXPECT_EQ(o["blocks"].number(), 2);
    const auto& starts = std::get<std::vector<JsonValue>>(o["blockStarts"].v);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].text(), "2020-01-02");
    EXPECT_TRUE(starts[1].isNull());
    EXPECT_EQ(o["combinations"].number(), 2);
    EXPECT_EQ(o["metric"].text(), "net");
    EXPECT_EQ(o["pbo"].number(), report.cscv.pbo);
    EXPECT_EQ(o["logits"].numbers(), report.cscv.logits);
    EXPECT_EQ(o["bestPass"]["entry_hour"].number(), 10);
    EXPECT_EQ(o["bestPass"]["stop_loss"].number(), 10);
    EXPECT_EQ(o["deflatedSharpe"]["trials"].number(), 3);
    EXPECT_EQ(o["deflatedSharpe"]["months"].number(), 1);
    EXPECT_TRUE(o["deflatedSharpe"]["dsr"].isNull());  // one month: undefined
    EXPECT_EQ(OverfitLines(report), "PBO=" + NumberText(report.cscv.pbo) + "\nDeflatedSharpe=\n");
}

TEST_F(ExportTest, NothingToExportStillGivesReadableFiles) {
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), EvaluationExport{}, error)) << error;
    EXPECT_EQ(dir.read("trades.csv"),
              "trade,side,entry_date,entry_price,exit_date,exit_price,profit,equity,entry_time,exit_time,"
              "mae_points,mfe_points\n");
    EXPECT_EQ(
        dir.read("passes.csv"),
        "entry_hour,take_profit,stop_loss,result,trades,wins,losses,gross_profit,gross_loss,profit_factor,"
        "max_drawdown,recovery_factor,sharpe_monthly\n");
    EXPECT_EQ(dir.read("blocks.csv"), "entry_hour,take_profit,stop_loss,result\n");
    EXPECT_EQ(dir.read("monthly.csv"), "year,month,result,trades\n");
    EXPECT_EQ(ParseCsv(dir.read("windows.csv")).size(), 1u);
    const JsonValue j = ReadJson(dir.read("stats.json"));
    EXPECT_EQ(j["statistics"]["Trades"].number(), 0);
    EXPECT_EQ(j["statistics"]["ProfitFactor"].number(), 0);
    EXPECT_TRUE(j["statistics"]["BestMonth"].isNull());
}

TEST_F(ExportTest, ManyPassesGoOutInBlocks) {
    passes.clear();
    for (int i = 0; i < 70000; ++i)
        passes.push_back({static_cast<float>(i % 24), 20.5f, 10, static_cast<float>(i - 35000)});
    std::string error;
    ASSERT_TRUE(ExportEvaluation(dir.path(), Data(), error)) << error;
    const auto rows = ParseCsv(dir.read("passes.csv"));
    ASSERT_EQ(rows.size(), 70001u);
    for (size_t i : {size_t{1}, size_t{21845}, size_t{21846}, size_t{43691}, size_t{70000}}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Cell(rows[i][0]), static_cast<double>((i - 1) % 24));
        EXPECT_EQ(rows[i][1], "20.5");
        EXPECT_EQ(Cell(rows[i][3]), static_cast<double>(i - 1) - 35000);
    }
}

TEST(CsvField, QuotesOnlyWhereNeeded) {
    EXPECT_EQ(CsvField("Buy"), "Buy");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(ParseCsv(CsvField("x,\"y\"\nz") + ",w\n"),
              (std::vector<std::vector<std::string>>{{"x,\"y\"\nz", "w"}}));
}

// No file under a final name, no temporary file left behind.
void ExpectUntouched(const std::string& folder, const std::vector<std::string>& before) {
    EXPECT_EQ(FilesIn(folder), before);
}

TEST_F(ExportTest, AFolderInTheWayOfAFileLeavesTheFolderAsItWas) {
    const std::string out = dir.subdir("out");
    dir.write("out/passes.csv", "old passes\n");
    fs::create_directory(out + "/stats.json");  // the last file to be renamed
    std::string error;
    EXPECT_FALSE(ExportEvaluation(out, Data(), error));
    EXPECT_NE(error.find("stats.json"), std::string::npos) << error;
    EXPECT_NE(error.find("на месте файла находится папка"), std::string::npos) << error;
    ExpectUntouched(out, {"passes.csv", "stats.json"});
    EXPECT_EQ(dir.read("out/passes.csv"), "old passes\n");
}

TEST_F(ExportTest, AFolderThatCannotBeMadeIsReported) {
    dir.write("plain", "a file, not a folder");
    std::string error;
    EXPECT_FALSE(ExportEvaluation(dir.file("plain/export"), Data(), error));
    EXPECT_NE(error.find("Не удалось создать папку"), std::string::npos) << error;
    EXPECT_NE(error.find(dir.file("plain/export")), std::string::npos) << error;
    EXPECT_NE(error.find("не является папкой"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(ExportEvaluation(dir.file("plain"), Data(), error));
    EXPECT_NE(error.find("на месте папки находится файл"), std::string::npos) << error;
    EXPECT_EQ(dir.read("plain"), "a file, not a folder");
}

TEST_F(ExportTest, AnUnwritableFolderIsReported) {
    const std::string out = dir.subdir("locked");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    {
        // The superuser writes anywhere: nothing to show then.
        std::string probeError;
        if (WriteFileAtomically(out + "/probe", "x", probeError)) {
            fs::remove(out + "/probe");
            fs::permissions(out, fs::perms::owner_all);
            GTEST_SKIP() << "permissions do not bind this user";
        }
    }
    std::string error;
    EXPECT_FALSE(ExportEvaluation(out, Data(), error));
    EXPECT_NE(error.find("trades.csv"), std::string::npos) << error;
    EXPECT_NE(error.find("нет прав на запись"), std::string::npos) << error;
    fs::permissions(out, fs::perms::owner_all);
    ExpectUntouched(out, {});
}

TEST(AtomicFile, CommitsOnlyWhenComplete) {
    TempDir dir("kavro_atomic");
    const std::string path = dir.file("result.csv");
    {
        PendingFile f;
        std::string error;
        ASSERT_TRUE(f.open(path, error)) << error;
        ASSERT_TRUE(f.write("half", error)) << error;
        // The bytes so far sit under a hidden name, never under the file's own.
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(f.temporaryPath().find(dir.file(".result.csv.part-")), 0u);
        EXPECT_TRUE(fs::exists(f.temporaryPath()));
    }
    // Dropped without a commit: nothing stays.
    EXPECT_TRUE(FilesIn(dir.path()).empty());

    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "whole\n", error)) << error;
    EXPECT_EQ(dir.read("result.csv"), "whole\n");
    ASSERT_TRUE(WriteFileAtomically(path, "again\n", error)) << error;
    EXPECT_EQ(dir.read("result.csv"), "again\n");
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"result.csv"}));
}

TEST(AtomicFile, MessagesNameTheFileAndTheCause) {
    struct Case {
        int errnoValue;
        const char* cause;
    };
    const std::vector<Case> cases = {
        {EACCES, "нет прав на запись"},
        {ENOSPC, "нет места на диске"},
        {EISDIR, "на месте файла находится папка"},
        {EROFS, "только для чтения"},
        {ENOENT, "папка не найдена"},
        {12345, "ошибка системы (код 12345)"},
    };
    for (const auto& c : cases) {
        const std::string text = FileErrorText("Не удалось записать файл", "/x/trades.csv", c.errnoValue);
        EXPECT_EQ(text.find("Не удалось записать файл «/x/trades.csv»: "), 0u) << text;
        EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace kavro
