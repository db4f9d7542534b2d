// kavro-batch --stats and --export on the bundled sample: every figure recomputed
// from RIPOT1 as a user would, and the exported files against the reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace kavro::testing;

// Where the n-th `c` of `text` stands (1-based), or its end.
size_t Nth(const std::string& text, char c, int n) {
    size_t at = std::string::npos;
    for (int i = 0; i < n; ++i) {
        at = text.find(c, at == std::string::npos ? 0 : at + 1);
        if (at == std::string::npos) return text.size();
    }
    return at;
}

class BatchEvaluation : public ::testing::Test {
  protected:
    CommandResult Batch(const std::string& command, const std::string& args) {
        return RunBatch(command + " --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " +
                        SamplePath("EURUSD_D1.PRN") + " --no-beep --dir " + tmp_.path() + " " + args);
    }
    // The lines of a file, LF or CR LF ended.
    static std::vector<std::string> FileLines(const std::string& path) {
        std::vector<std::string> lines;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    TempDir tmp_{"kavro_eval"};
};

TEST_F(BatchEvaluation, ThoroughStatsAddUpFromTheTradeReport) {
    const std::string out = tmp_.subdir("export");
    const CommandResult r = Batch("thorough", "--stats --export " + out);
    ASSERT_EQ(r.status, 0) << r.err;
    auto kv = KeyValues(r.out);

    // Recompute from RIPOT1: side and profit of each line, in order.
    const std::regex line(R"((Buy|Sell) \$(-?\d+) .*)");
    double net = 0, grossProfit = 0, grossLoss = 0, largestWin = 0, largestLoss = 0, peak = 0, drawdown = 0;
    long trades = 0, buys = 0, wins = 0, losses = 0, run = 0, longestWins = 0;
    for (const std::string& l : CrLfLines(tmp_.read("RIPOT1"))) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        const double p = std::stod(m[2].str());
        ++trades;
        buys += m[1] == "Buy";
        net += p;
        if (p > 0) ++wins, grossProfit += p, largestWin = std::max(largestWin, p);
        if (p < 0) ++losses, grossLoss += p, largestLoss = std::min(largestLoss, p);
        run = p > 0 ? run + 1 : 0;
        longestWins = std::max(longestWins, run);
        peak = std::max(peak, net);
        drawdown = std::max(drawdown, peak - net);
    }
    ASSERT_GT(trades, 100);
    const std::map<std::string, double> expected = {
        {"Trades", trades},
        {"BuyTrades", buys},
        {"SellTrades", trades - buys},
        {"Wins", wins},
        {"Losses", losses},
        {"NetResult", net},
        {"GrossProfit", grossProfit},
        {"GrossLoss", grossLoss},
        {"LargestWin", largestWin},
        {"LargestLoss", largestLoss},
        {"MaxDrawdown", drawdown},
        {"MaxConsecutiveWins", longestWins},
        {"ProfitFactor", grossProfit / -grossLoss},
        {"WinRate", 100.0 * wins / trades},
        {"AverageTrade", net / trades},
        {"RecoveryFactor", net / drawdown},
    };
    for (const auto& [name, value] : expected) EXPECT_NEAR(std::stod(kv[name]), value, 1e-9) << name;
    // The forward sum of the labels is the net result of the trades.
    EXPECT_EQ(kv["Label1(5)"], kv["NetResult"]);

    // The export: one windows.csv row per RIPOT line with its forward result, one
    // trades.csv row per RIPOT1 line, and the pictures.
    const auto ripot = CrLfLines(tmp_.read("RIPOT"));
    const auto windows = FileLines(out + "/windows.csv");
    ASSERT_EQ(windows.size(), ripot.size() + 1);
    for (size_t i = 0; i < ripot.size(); ++i) {
        const std::string last = ripot[i].substr(ripot[i].find_last_of(' ', ripot[i].size() - 2) + 1);
        const std::string forward =
            std::regex_replace(windows[i + 1], std::regex(R"(^(?:[^,]*,){12}([^,]*),.*$)"), "$1");
        EXPECT_EQ(std::stod(forward), std::stod(last)) << windows[i + 1];
    }
    EXPECT_EQ(FileLines(out + "/trades.csv").size(), static_cast<size_t>(trades) + 1);
    const std::string json = ReadFile(out + "/stats.json");
    EXPECT_NE(json.find("\"NetResult\":" + kv["NetResult"]), std::string::npos);
    // efficiencyWindows counts the windows whose search found a setting (best_found 1).
    long found = 0;
    for (size_t i = 1; i < windows.size(); ++i)
        found += std::regex_replace(windows[i], std::regex(R"(^(?:[^,]*,){10}([^,]*),.*$)"), "$1") == "1";
    auto count = [&](const std::string& key) {
        std::smatch m;
        EXPECT_TRUE(std::regex_search(json, m, std::regex("\"" + key + "\":(\\d+)"))) << key;
        return m.empty() ? -1L : std::stol(m[1].str());
    };
    EXPECT_GT(count("searchedNothing"), 0);  // so it is not simply every window
    EXPECT_EQ(count("efficiencyWindows"), found);
    EXPECT_EQ(count("windows"), static_cast<long>(ripot.size()));
    EXPECT_EQ(count("efficiencyWindows"), count("windows") - count("searchedNothing"));
#ifdef KAVRO_BATCH_PICTURES
    for (const char* png : {"equity.png", "dashboard.png"})
        EXPECT_EQ(ReadFile(out + "/" + png).substr(1, 3), "PNG") << png;
#else
    EXPECT_NE(r.err.find("paints no pictures"), std::string::npos) << r.err;
#endif
}

TEST_F(BatchEvaluation, ASweepExportsEveryPassAndItsHeatmap) {
    const std::string out = tmp_.subdir("sweep");
    const CommandResult r = Batch("simple", "--stats --export " + out);
    ASSERT_EQ(r.status, 0) << r.err;
    // A sweep's passes keep no journal: there are no trades to count.
    EXPECT_EQ(KeyValues(r.out)["Trades"], "0");
    const auto ripot = CrLfLines(tmp_.read("RIPOT"));
    const auto passes = FileLines(out + "/passes.csv");
    ASSERT_EQ(passes.size(), ripot.size() + 1);
    EXPECT_EQ(passes[0].substr(0, 40), "entry_hour,take_profit,stop_loss,result,");
    // RIPOT " 0  100  20 -200 " and passes.csv "0,100,20,-200,..." hold the same four numbers.
    for (size_t i = 0; i < ripot.size(); ++i) {
        std::string csv = passes[i + 1];
        csv.erase(Nth(csv, ',', 4));
        std::replace(csv.begin(), csv.end(), ',', ' ');
        EXPECT_EQ(std::regex_replace(ripot[i], std::regex(" +"), " "), " " + csv + " ") << i;
    }
#ifdef KAVRO_BATCH_PICTURES
    EXPECT_EQ(ReadFile(out + "/heatmap.png").substr(1, 3), "PNG");
#endif
}

TEST_F(BatchEvaluation, OverfitChecksASweepAndOnlyASweep) {
    const std::string out = tmp_.subdir("overfit");
    CommandResult r = Batch("simple", "--overfit --blocks 4 --stats --export " + out);
    ASSERT_EQ(r.status, 0) << r.err;
    // After the other figures, in this order.
    const std::string tail = "\nSQN=0\nPBO=";
    ASSERT_NE(r.out.find(tail), std::string::npos) << r.out;
    auto kv = KeyValues(r.out);
    const double pbo = std::stod(kv["PBO"]);
    EXPECT_TRUE(pbo >= 0 && pbo <= 1) << pbo;
    EXPECT_TRUE(r.out.find("\nDeflatedSharpe=") > r.out.find("\nPBO="));
    // blocks.csv: a row per pass, whose four blocks add up to its result.
    const auto blocks = FileLines(out + "/blocks.csv");
    ASSERT_EQ(blocks.size(), 409u);
    EXPECT_EQ(blocks[0], "entry_hour,take_profit,stop_loss,result,b1,b2,b3,b4");
    for (size_t i = 1; i < blocks.size(); ++i) {
        std::vector<double> cells;
        std::stringstream row(blocks[i]);
        for (std::string cell; std::getline(row, cell, ',');) cells.push_back(std::stod(cell));
        ASSERT_EQ(cells.size(), 8u);
        EXPECT_EQ(cells[4] + cells[5] + cells[6] + cells[7], cells[3]) << i;
    }
    const std::string json = ReadFile(out + "/stats.json");
    EXPECT_NE(json.find("\"overfit\":{\"blocks\":4,"), std::string::npos);
    EXPECT_NE(json.find("\"combinations\":6,\"metric\":\"net\""), std::string::npos);
#ifdef KAVRO_BATCH_PICTURES
    EXPECT_EQ(ReadFile(out + "/overfit.png").substr(1, 3), "PNG");
#endif

    // One setting is no sweep: said, and nothing else changes.
    r = Batch("simple", "--step 0 --first-hour 9 --last-hour 9 --overfit --stats");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Сообщение: Запуск 1 — не перебор настроек"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("PBO="), std::string::npos);

    // Values the options do not take are refused before anything runs.
    const std::pair<const char*, const char*> refused[] = {
        {"--overfit --blocks 5", "--blocks needs an even number from 2 to 20"},
        {"--overfit --blocks 22", "--blocks needs an even number from 2 to 20"},
        {"--ruin-level 150", "--ruin-level needs a percentage from 0 to 100"},
        {"--balance 0", "--balance needs a number above 0"},
    };
    for (const auto& [bad, why] : refused) {
        r = Batch("simple", bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    }
}

// The width and height a PNG's header gives; zeros for anything else.
[[maybe_unused]] std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.substr(1, 3) != "PNG") return {0, 0};
    auto word = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

TEST_F(BatchEvaluation, TheRunsPricesAndOneTradeAreChartedOrTheTradeIsRefused) {
    const std::string single = "--step 0 --first-hour 9 --last-hour 9 --sl 70 ";
    const std::string out = tmp_.file("charts");  // made by the export
    CommandResult r = Batch("simple", single + "--export " + out + " --chart-trade 3");
    ASSERT_EQ(r.status, 0) << r.err;
    // trades.csv: the times and excursions after the columns it always had.
    const auto trades = FileLines(out + "/trades.csv");
    ASSERT_GT(trades.size(), 4u);
    EXPECT_EQ(trades[0].substr(trades[0].find(",equity,")),
              ",equity,entry_time,exit_time,mae_points,mfe_points");
    const std::regex row(R"(^3,(Buy|Sell),(\d{4}-\d\d-\d\d),[^,]*,(\d{4}-\d\d-\d\d),[^,]*,(-?\d+),[^,]*,)"
                         R"(\2 (\d\d):00,\3 \d\d:00,([\d.]+),([\d.]+)$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(trades[3], m, row)) << trades[3];
    EXPECT_EQ(m[5].str(), "09");  // the setting's entry hour
    // A loser with a 70-point stop moved at least 70 points against.
    if (std::stod(m[4].str()) < 0) {
        EXPECT_GE(std::stod(m[6].str()), 70);
    }
#ifdef KAVRO_BATCH_PICTURES
    for (const char* png : {"price.png", "trade-3.png"}) {
        const auto [width, height] = PngSize(ReadFile(out + "/" + png));
        EXPECT_GE(width, 1200u) << png;
        EXPECT_GE(height, 700u) << png;
    }
#endif
    // A trade the run does not have: refused before anything is written.
    const std::string none = tmp_.file("none");
    r = Batch("simple", single + "--export " + none + " --chart-trade 100000");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Ошибка: Сделки 100000 в запуске 1 нет"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(none));
    // Without an export there is nowhere to write the chart.
    EXPECT_EQ(Batch("simple", single + "--chart-trade 3").status, 2);
}

TEST_F(BatchEvaluation, AnExportThatCannotBeWrittenFailsAndLeavesNothingHalfWritten) {
    // A file stands where the folder should be.
    const std::string blocked = tmp_.write("blocked", "not a folder");
    const CommandResult r = Batch("simple", "--step 0 --first-hour 9 --last-hour 9 --export " + blocked);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Ошибка: "), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(blocked), "not a folder");
    // The labels and the report are there all the same.
    EXPECT_NE(r.out.find("PassesDone=1\n"), std::string::npos);
    EXPECT_EQ(CrLfLines(tmp_.read("RIPOT")).size(), 1u);
}

}  // namespace
