// kavro-batch study and study-merge on the bundled sample: each row as its single
// command, one summary whatever the jobs or shards, and plans that run nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace kavro::testing;
namespace fs = std::filesystem;

// Six rows: a single setting, a sweep, a thorough test, a missing file, a single
// setting from a start date and a thorough test with its own window length.
const std::string kPlan =
    "kind,hourly,daily,tp,sl,step,first-hour,last-hour,start,opt-len\n"
    "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,100,35,0,5,5,,\n"
    "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,,\n"
    "thorough,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,,\n"
    "simple,q/missing.PRN,q/EURUSD_D1.PRN,,,,,,,\n"
    "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,0,10,10,2020-04-02,\n"
    "thorough,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,2020-01-02,2\n";

// Every file under `dir`, by its path inside, with its bytes.
std::map<std::string, std::string> Tree(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& f : fs::recursive_directory_iterator(dir))
        if (f.is_regular_file()) files[fs::relative(f.path(), dir).string()] = ReadFile(f.path().string());
    return files;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class BatchStudy : public ::testing::Test {
  protected:
    // The plan in plans/, its quote files in plans/q/, as a user keeps them.
    void SetUp() override {
        tmp_.subdir("plans/q");
        for (const char* name : {"EURUSD_H1.PRN", "EURUSD_D1.PRN"})
            fs::copy_file(SamplePath(name), tmp_.file(std::string("plans/q/") + name));
        tmp_.write("plans/plan.csv", kPlan);
    }
    // Runs kavro-batch in the scratch folder.
    CommandResult Batch(const std::string& args) {
        return RunCommand("cd " + tmp_.path() + " && " KAVRO_BATCH " " + args);
    }
    CommandResult Study(const std::string& out, const std::string& args = "") {
        return Batch("study --plan plans/plan.csv --out " + out + " " + args);
    }
    std::string Summary(const std::string& out) const { return tmp_.read(out + "/summary.csv"); }

    TempDir tmp_{"kavro_study"};
};

TEST_F(BatchStudy, EachRowRunsAsItsSingleCommandAndTheSummarySaysHowItWent) {
    const CommandResult r = Study("out", "--jobs 2");
    EXPECT_EQ(r.status, 1) << r.err;  // row 4 failed
    EXPECT_EQ(
        Summary("out"),
        "row,kind,hourly,daily,tp,sl,step,first-hour,last-hour,start,opt-len,status,message,net,trades,wins,"
        "losses,profit_factor,max_drawdown,recovery_factor,sharpe_monthly,windows,profitable_windows,"
        "overall_efficiency\n"
        "1,simple,q/EURUSD_H1.PRN,q/"
        "EURUSD_D1.PRN,100,35,0,5,5,,,done,,13749,150,51,99,1.3967965367965367,5755,"
        "2.389052997393571,1.0098273481212499,,,\n"
        "2,simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,,,done,,13749,0,0,0,0,0,0,0,,,\n"
        "3,thorough,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,,,done,,1671,139,64,75,1.05643173145115,4021,"
        "0.4155682666003482,0.17763944771847606,27,13,0.0428397058497341\n"
        "4,simple,q/missing.PRN,q/EURUSD_D1.PRN,,,,,,,,failed,Ошибка: Не удалось прочитать файл "
        "q/missing.PRN,,,,,,,,,,,\n"
        "5,simple,q/EURUSD_H1.PRN,q/"
        "EURUSD_D1.PRN,,,0,10,10,2020-04-02,,done,,3580,97,20,77,1.2324675324675325,"
        "2200,1.6272727272727272,0.9103737273980965,,,\n"
        "6,thorough,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,,,2020-01-02,2,done,,-597,95,41,54,0.9753956478733927,"
        "6513,-0.0916628281897743,-0.07873697335178323,15,6,-0.021192921869882125\n");
    EXPECT_NE(r.err.find("kavro-batch: row 4 failed: Ошибка: Не удалось прочитать файл q/missing.PRN\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("kavro-batch: 6/6 rows done in "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("kavro-batch: 1 of 6 rows failed\n"), std::string::npos) << r.err;

    // The reports and the printed labels are those of the single commands.
    struct Single {
        int row;
        std::string command;
    };
    for (const Single& s :
         std::vector<Single>{{1, "simple --tp 100 --sl 35 --step 0 --first-hour 5 --last-hour 5"},
                             {3, "thorough"},
                             {6, "thorough --start 2020-01-02 --opt-len 2"}}) {
        const std::string dir = tmp_.subdir("single-" + std::to_string(s.row));
        const CommandResult one =
            Batch(s.command + " --hourly plans/q/EURUSD_H1.PRN --daily plans/q/EURUSD_D1.PRN --dir " + dir);
        ASSERT_EQ(one.status, 0) << one.err;
        const std::string row = tmp_.file("out/row-" + std::to_string(s.row));
        EXPECT_EQ(ReadFile(row + "/output.txt"), one.out) << s.command;
        std::map<std::string, std::string> files = Tree(row);
        files.erase("output.txt");
        EXPECT_EQ(files, Tree(dir)) << s.command;
    }
    EXPECT_EQ(Tree(tmp_.file("out/row-4")), (std::map<std::string, std::string>{{"output.txt", ""}}));
}

TEST_F(BatchStudy, ShardsMergeIntoTheWholeStudyWhateverTheJobs) {
    ASSERT_EQ(Study("whole", "--jobs 1").status, 1);
    ASSERT_EQ(Study("again", "--jobs 3").status, 1);
    EXPECT_EQ(Summary("again"), Summary("whole"));
    for (int i = 0; i < 3; ++i) {
        const CommandResult r = Study("shards/" + std::to_string(i), "--shard " + std::to_string(i) + "/3");
        // Row 4 lies in shard 0: only that one fails.
        EXPECT_EQ(r.status, i == 0 ? 1 : 0) << r.err;
    }
    // Shard 1 of 3 holds rows 2 and 5, their lines as the whole study writes them.
    const std::vector<std::string> whole = Lines(Summary("whole"));
    ASSERT_EQ(whole.size(), 7u);
    EXPECT_EQ(Lines(Summary("shards/1")), (std::vector<std::string>{whole[0], whole[2], whole[5]}));

    // A shard left out is noticed, and nothing is written.
    CommandResult m = Batch("study-merge --out merged shards/0 shards/2");
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.err, "kavro-batch: shard 1/3 is missing\n");
    EXPECT_FALSE(fs::exists(tmp_.file("merged")));

    m = Batch("study-merge --out merged shards/2 shards/0 shards/1");
    EXPECT_EQ(m.status, 1);  // the merged study has a failed row, as the whole one
    EXPECT_EQ(m.err, "kavro-batch: 1 of 6 rows failed\n");
    EXPECT_EQ(Summary("merged"), Summary("whole"));
    EXPECT_EQ(Tree(tmp_.file("merged")), Tree(tmp_.file("whole")));

    // Shards of another plan are not merged with these.
    tmp_.write("plans/plan.csv", kPlan + "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,0,,,,\n");
    ASSERT_EQ(Study("other", "--shard 1/3").status, 0);
    m = Batch("study-merge --out merged2 shards/0 other shards/2");
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.err, "kavro-batch: other (shard 1/3) and shards/0 (shard 0/3) are not shards of one plan\n");
    EXPECT_FALSE(fs::exists(tmp_.file("merged2")));
}

TEST_F(BatchStudy, PlansThatDoNotParseAndFoldersInUseRunNothing) {
    struct Case {
        std::string plan, args, error;
    };
    const std::string header = "kind,hourly,daily,tp,opt-len\n";
    const std::vector<Case> cases = {
        {header + "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,\nsimple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,3\n", "",
         "kavro-batch: plans/plan.csv: row 2: The following argument was not expected: --opt-len=3\n"},
        {"kind,hourly,daily,dir\n", "",
         "kavro-batch: plans/plan.csv: the plan's column 'dir' is not a run option\n"},
        {kPlan, "--shard 3/3", "--shard needs I/N with 0 <= I < N"},
        {kPlan, "--jobs 0", "--jobs"},
    };
    for (const Case& c : cases) {
        tmp_.write("plans/plan.csv", c.plan);
        const CommandResult r = Study("out", c.args);
        EXPECT_EQ(r.status, 2) << c.plan;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(tmp_.file("out"))) << c.plan;
    }
    tmp_.write("plans/plan.csv", kPlan);
    CommandResult r = Batch("study --plan plans/none.csv --out out");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kavro-batch: cannot read the plan plans/none.csv\n");

    // A folder that holds anything is not written into, by a study or a merge.
    tmp_.subdir("used");
    tmp_.write("used/keep.txt", "mine");
    for (const std::string command :
         {"study --plan plans/plan.csv --out used", "study-merge --out used out"}) {
        r = Batch(command);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err,
                  "kavro-batch: used is not a new or empty folder: a study writes into one of its own\n")
            << command;
        EXPECT_EQ(Tree(tmp_.file("used")), (std::map<std::string, std::string>{{"keep.txt", "mine"}}));
    }
}

TEST_F(BatchStudy, WhereThePlanLiesAndWhereItRunsFromChangeNoByte) {
    ASSERT_EQ(Study("here").status, 1);
    // The plan named by its absolute path, run from another folder, into another.
    const std::string elsewhere = tmp_.subdir("elsewhere");
    const CommandResult r =
        RunCommand("cd " + elsewhere + " && " KAVRO_BATCH " study --plan " + tmp_.file("plans/plan.csv") +
                   " --out " + tmp_.file("there") + " --jobs 2");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Summary("there"), Summary("here"));
    EXPECT_EQ(Tree(tmp_.file("there")), Tree(tmp_.file("here")));
}

TEST_F(BatchStudy, ExportWritesEachRowsFilesAsTheSingleCommandDoes) {
    tmp_.write("plans/plan.csv",
               "kind,hourly,daily,step,first-hour,last-hour,mc-runs\n"
               "thorough,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,200\n"
               "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,0,9,9,\n"
               "simple,q/EURUSD_H1.PRN,q/EURUSD_D1.PRN,,,,50\n");
    const CommandResult r = Study("out", "--export --jobs 2");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> singles = {
        "thorough --mc-runs 200", "simple --step 0 --first-hour 9 --last-hour 9", "simple --mc-runs 50"};
    for (size_t i = 0; i < singles.size(); ++i) {
        const std::string dir = tmp_.subdir("single-" + std::to_string(i));
        const CommandResult one =
            Batch(singles[i] + " --hourly plans/q/EURUSD_H1.PRN --daily plans/q/EURUSD_D1.PRN --dir " + dir +
                  " --export " + dir);
        ASSERT_EQ(one.status, 0) << one.err;
        std::map<std::string, std::string> files = Tree(tmp_.file("out/row-" + std::to_string(i + 1)));
        files.erase("output.txt");
        const std::map<std::string, std::string> expected = Tree(dir);
        EXPECT_EQ(files, expected) << singles[i];
        EXPECT_EQ(files.count("stats.json"), 1u) << singles[i];
#ifdef KAVRO_BATCH_PICTURES
        EXPECT_EQ(files.count("equity.png"), 1u) << singles[i];
#endif
    }
}

}  // namespace
