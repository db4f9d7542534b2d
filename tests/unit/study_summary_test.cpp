// A study's summary: its lines, the folder's manifest, and the merge of a plan's shards.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "batch/study_plan.h"
#include "batch/study_summary.h"

namespace kavro {
namespace {

const std::vector<std::string> kColumns = {"kind", "hourly", "daily", "tp"};
const std::string kHeader =
    "row,kind,hourly,daily,tp,status,message,net,trades,wins,losses,profit_factor,max_drawdown,"
    "recovery_factor,sharpe_monthly,windows,profitable_windows,overall_efficiency\n";

RowOutcome Done(int row, double net) {
    RowOutcome r;
    r.row = row;
    r.cells = {"simple", "H.PRN", "D.PRN", std::to_string(row * 10)};
    RowFigures f;
    f.net = net;
    f.trades = 3;
    r.figures = f;
    return r;
}

RowOutcome Failed(int row) {
    RowOutcome r;
    r.row = row;
    r.cells = {"simple", "missing.PRN", "D.PRN", ""};
    r.failed = true;
    r.message = "Ошибка: Не удалось прочитать файл missing.PRN";
    return r;
}

TEST(StudySummaryTest, OneLinePerRowWithTheFiguresAsTheExportWritesThem) {
    RowOutcome thorough = Done(2, -597.5);
    thorough.cells = {"thorough", "a,b.PRN", "say \"D\"", ""};
    RowFigures& f = *thorough.figures;
    f.trades = 95;
    f.wins = 41;
    f.losses = 54;
    f.profitFactor = 0.1;
    f.maxDrawdown = 6513;
    f.recoveryFactor = -0.0916628281897743;
    f.sharpeMonthly = 1.0 / 3;
    f.walkForward = true;
    f.windows = 15;
    f.profitableWindows = 6;
    f.overallEfficiency = std::numeric_limits<double>::quiet_NaN();
    RowOutcome sweep = Done(1, 13749);
    sweep.figures->profitFactor = std::numeric_limits<double>::infinity();
    sweep.message = "Сообщение: one; two";
    EXPECT_EQ(
        SummaryText(kColumns, {sweep, thorough, Failed(3)}),
        kHeader + "1,simple,H.PRN,D.PRN,10,done,Сообщение: one; two,13749,3,0,0,inf,0,0,0,,,\n" +
            "2,thorough,\"a,b.PRN\",\"say \"\"D\"\"\",,done,,-597.5,95,41,54,0.1,6513,"
            "-0.0916628281897743,0.3333333333333333,15,6,\n"
            "3,simple,missing.PRN,D.PRN,,failed,Ошибка: Не удалось прочитать файл missing.PRN,,,,,,,,,,,\n");
    EXPECT_EQ(SummaryText(kColumns, {}), kHeader);
}

TEST(StudySummaryTest, TheManifestReadsBackAndRefusesWhatItDidNotWrite) {
    const StudyManifest m{12, 2, 3, 0x70e9118be8044275ull};
    EXPECT_EQ(ManifestText(m), "rows=12\nshard=2/3\nplan=70e9118be8044275\n");
    StudyManifest back;
    ASSERT_TRUE(ParseManifest(ManifestText(m), back));
    EXPECT_EQ(back.rows, 12);
    EXPECT_EQ(back.shardIndex, 2);
    EXPECT_EQ(back.shardCount, 3);
    EXPECT_EQ(back.plan, m.plan);
    for (const std::string bad :
         {"", "rows=12\nshard=3/3\nplan=70e9118be8044275\n", "rows=x\nshard=0/1\nplan=70e9118be8044275\n",
          "rows=1\nshard=0/1\nplan=70e9\n", "rows=1\nshard=0/1\nplan=70e9118be804427g\n",
          "rows=1\nshard=0/1\n", "garbage\n"})
        EXPECT_FALSE(ParseManifest(bad, back)) << bad;
}

class StudyMergeTest : public ::testing::Test {
  protected:
    // Rows 1..7 of a plan, row 5 failed: the whole summary and its shards' summaries.
    void SetUp() override {
        for (int row = 1; row <= 7; ++row) whole_.push_back(row == 5 ? Failed(row) : Done(row, row * 1.5));
    }
    std::vector<ShardSummary> Shards(int count) const {
        std::vector<ShardSummary> shards;
        for (int i = 0; i < count; ++i) {
            std::vector<RowOutcome> rows;
            for (const RowOutcome& r : whole_)
                if (InShard(r.row, i, count)) rows.push_back(r);
            ShardSummary s;
            s.folder = std::string("s").append(std::to_string(i));
            s.manifest = {7, i, count, 42};
            s.summary = SummaryText(kColumns, rows);
            shards.push_back(std::move(s));
        }
        return shards;
    }
    std::string Merge(const std::vector<ShardSummary>& shards, int* failed = nullptr) const {
        std::string merged, error;
        int failedRows = -1;
        if (!MergeSummaries(shards, merged, failedRows, error)) return "refused: " + error;
        if (failed) *failed = failedRows;
        return merged;
    }

    std::vector<RowOutcome> whole_;
};

TEST_F(StudyMergeTest, TheShardsMergeIntoTheBytesOfTheWholePlan) {
    const std::string whole = SummaryText(kColumns, whole_);
    for (int count : {1, 2, 3, 7, 9}) {
        std::vector<ShardSummary> shards = Shards(count);
        int failed = -1;
        EXPECT_EQ(Merge(shards, &failed), whole) << count << " shards";
        EXPECT_EQ(failed, 1) << count << " shards";
        // In any order.
        std::reverse(shards.begin(), shards.end());
        EXPECT_EQ(Merge(shards), whole) << count << " shards";
    }
}

TEST_F(StudyMergeTest, ShardsThatAreNotEveryShardOfOnePlanAreRefused) {
    struct Case {
        const char* what;
        std::function<void(std::vector<ShardSummary>&)> spoil;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"none", [](auto& s) { s.clear(); }, "no shard folder given"},
        {"one missing", [](auto& s) { s.erase(s.begin() + 1); }, "shard 1/3 is missing"},
        {"one twice", [](auto& s) { s[2] = s[0]; }, "s0 (shard 0/3) and s0 are the same shard"},
        {"another plan", [](auto& s) { s[1].manifest.plan = 43; },
         "s1 (shard 1/3) and s0 (shard 0/3) are not"},
        {"cut otherwise", [](auto& s) { s[2].manifest.shardCount = 4; }, "s2 (shard 2/4) and s0"},
        {"a row short", [](auto& s) { s[1].summary.erase(s[1].summary.rfind("5,simple")); },
         "s1/summary.csv: holds 1 of the shard's 2 rows"},
        {"another shard's row", [](auto& s) { s[0].summary += s[1].summary.substr(kHeader.size()); },
         "s0/summary.csv: line 5 is not a row of this shard"},
        {"other columns", [](auto& s) { s[2].summary.replace(0, 3, "Row"); },
         "s2/summary.csv: its columns differ from the first shard's"},
        {"not a summary",
         [](auto& s) {
             for (auto& x : s) x.summary = "a,b\n";
         },
         "s0/summary.csv: not the summary"},
        {"empty", [](auto& s) { s[0].summary.clear(); }, "s0/summary.csv: empty"},
    };
    for (const Case& c : cases) {
        std::vector<ShardSummary> shards = Shards(3);
        c.spoil(shards);
        EXPECT_EQ(Merge(shards).find("refused: " + c.error), 0u) << c.what << ": " << Merge(shards);
    }
}

}  // namespace
}  // namespace kavro
