// A study's plan: its CSV, its rows as single commands, and the shards it is cut into.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/study_plan.h"

namespace kavro {
namespace {

using Words = std::vector<std::string>;

TEST(StudyCsvTest, RecordsFieldsAndTheirTextAsWritten) {
    struct Case {
        std::string text;
        std::vector<Words> records;
        Words raw;
    };
    const std::vector<Case> cases = {
        {"a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}, {"a,b", "1,2"}},
        // CR LF and CR line ends, no final line end, blank lines skipped, empty fields kept.
        {"a,b\r\n\r\n1,\r,2", {{"a", "b"}, {"1", ""}, {"", "2"}}, {"a,b", "1,", ",2"}},
        // Quotes keep commas, doubled quotes and line ends; the raw text keeps the quotes.
        {"\"x,y\",\"say \"\"hi\"\"\"\n\"two\nlines\",z\n",
         {{"x,y", "say \"hi\""}, {"two\nlines", "z"}},
         {"\"x,y\",\"say \"\"hi\"\"\"", "\"two\nlines\",z"}},
        // A spreadsheet's byte-order mark is not part of the first column's name.
        {"\xEF\xBB\xBFkind\nsimple\n", {{"kind"}, {"simple"}}, {"kind", "simple"}},
        // A quote inside an unquoted field is text.
        {"5\"x\n", {{"5\"x"}}, {"5\"x"}},
        {"", {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<CsvRecord> records;
        std::string error;
        ASSERT_TRUE(ReadCsv(c.text, records, error)) << c.text << ": " << error;
        ASSERT_EQ(records.size(), c.records.size()) << c.text;
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].fields, c.records[i]) << c.text;
            EXPECT_EQ(records[i].raw, c.raw[i]) << c.text;
        }
    }
    for (const std::string bad : {"h\na,\"open\n", "a\n\"x\"y,b\n"}) {
        std::vector<CsvRecord> records;
        std::string error;
        EXPECT_FALSE(ReadCsv(bad, records, error)) << bad;
        EXPECT_EQ(records.size(), 2u) << bad;
    }
}

TEST(StudyPlanTest, EachRowBecomesTheWordsOfItsSingleCommand) {
    const Words columns = {"kind", "hourly", "daily", "tp", "full", "start"};
    struct Case {
        Words cells;
        std::string planDir;
        Words words;
    };
    const std::vector<Case> cases = {
        {{"simple", "H.PRN", "D.PRN", "", "", ""}, "", {"simple", "--hourly=H.PRN", "--daily=D.PRN"}},
        // Quote files are relative to the plan's folder unless absolute; other cells stay as written.
        {{"thorough", "q/H.PRN", "/abs/D.PRN", "-5", "yes", "2020-01-02"},
         "plans",
         {"thorough", "--hourly=plans/q/H.PRN", "--daily=/abs/D.PRN", "--tp=-5", "--full=yes",
          "--start=2020-01-02"}},
    };
    for (const Case& c : cases) EXPECT_EQ(PlanRowWords(columns, c.cells, c.planDir), c.words);

    // A check box's cell ticks or unticks it, as --full=… does on the command line.
    struct Box {
        std::string cell;
        bool ticked;
    };
    for (const Box& b : std::vector<Box>{{"1", true}, {"true", true}, {"0", false}, {"false", false}}) {
        StudyPlan plan;
        std::string error;
        ASSERT_TRUE(ParsePlan("kind,hourly,daily,full\nsimple,H,D," + b.cell + "\n", "", plan, error))
            << error;
        EXPECT_EQ(plan.rows[0].command.options.full, b.ticked) << b.cell;
    }

    StudyPlan plan;
    std::string error;
    ASSERT_TRUE(
        ParsePlan("kind,hourly,daily,tp,full,opt-len\n"
                  "simple,H.PRN,D.PRN,120,1,\n"
                  "thorough,H.PRN,D.PRN,,,2\n",
                  "p", plan, error))
        << error;
    ASSERT_EQ(plan.rows.size(), 2u);
    EXPECT_EQ(plan.columns, (Words{"kind", "hourly", "daily", "tp", "full", "opt-len"}));
    const StudyRow& first = plan.rows[0];
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.cells, (Words{"simple", "H.PRN", "D.PRN", "120", "1", ""}));
    EXPECT_EQ(first.command.name, "simple");
    EXPECT_EQ(first.command.options.hourly, "p/H.PRN");
    EXPECT_EQ(first.command.options.fields.at("--tp"), "120");
    EXPECT_EQ(first.command.options.full, true);
    EXPECT_EQ(plan.rows[1].command.name, "thorough");
    EXPECT_EQ(plan.rows[1].command.options.fields.at("--opt-len"), "2");
    EXPECT_EQ(plan.rows[1].command.options.fields.count("--tp"), 0u);
    // The overfitting check and the risk of ruin are run options too.
    StudyPlan checked;
    ASSERT_TRUE(
        ParsePlan("kind,hourly,daily,overfit,blocks,balance,ruin-level\nsimple,H,D,1,8,500,20\n"
                  "simple,H,D,0,,,\n",
                  "", checked, error))
        << error;
    EXPECT_TRUE(checked.rows[0].command.options.overfit);
    EXPECT_EQ(checked.rows[0].command.options.blocks, 8);
    EXPECT_EQ(checked.rows[0].command.options.balance, 500.0);
    EXPECT_EQ(checked.rows[0].command.options.ruinLevel, 20.0);
    EXPECT_FALSE(checked.rows[1].command.options.overfit);
    EXPECT_FALSE(ParsePlan("kind,hourly,daily,blocks\nsimple,H,D,7\n", "", checked, error));
    EXPECT_NE(error.find("row 1: "), std::string::npos) << error;
    EXPECT_EQ(plan.digest, TextDigest("kind,hourly,daily,tp,full,opt-len\n"
                                      "simple,H.PRN,D.PRN,120,1,\n"
                                      "thorough,H.PRN,D.PRN,,,2\n"));
}

TEST(StudyPlanTest, APlanThatDoesNotParseNamesItsRow) {
    const std::string header = "kind,hourly,daily,pair,opt-len,start,full\n";
    const std::string good = "simple,H,D,,,,\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"", "the plan is empty"},
        {header, "the plan has no rows"},
        {"kind,hourly,daily,dir\n" + good, "the plan's column 'dir' is not a run option"},
        {"kind,hourly,daily,tp,tp\n" + good, "the plan names the column 'tp' twice"},
        {"hourly,daily\nH,D\n", "the plan has no column 'kind'"},
        {"kind,hourly\nsimple,H\n", "the plan has no column 'daily'"},
        {"kind,\"hourly\n", "the plan's header: a quote is not closed"},
        {header + good + "simple,H,D\n", "row 2: 3 cells under 7 columns"},
        {header + good + good + "info,H,D,,,,\n", "row 3: kind 'info' is neither simple nor thorough"},
        {header + ",H,D,,,,\n", "row 1: kind '' is neither"},
        {header + "simple,,D,,,,\n", "row 1: --hourly is required"},
        {header + "simple,H,D,XYZ,,,\n", "row 1: --pair"},
        {header + "simple,H,D,,3,,\n", "row 1: The following argument was not expected: --opt-len=3"},
        {header + "thorough,H,D,,,2020-13-01,\n", "row 1: --start needs a date"},
        {header + "thorough,H,D,,,,maybe\n", "row 1: Could not convert: --full = maybe"},
        {header + good + "simple,\"H,D,,,,\n", "row 2: a quote is not closed"},
    };
    for (const Case& c : cases) {
        StudyPlan plan;
        std::string error;
        EXPECT_FALSE(ParsePlan(c.text, "", plan, error)) << c.text;
        EXPECT_EQ(error.find(c.error), 0u) << c.text << "\ngave: " << error;
    }
}

TEST(StudyPlanTest, ShardsSplitTheRowsEachRowOnce) {
    struct Case {
        std::string text;
        int index, count;
    };
    for (const Case& c : std::vector<Case>{{"0/1", 0, 1}, {"0/3", 0, 3}, {"2/3", 2, 3}, {"11/12", 11, 12}}) {
        int index = -1, count = -1;
        EXPECT_TRUE(ParseShard(c.text, index, count)) << c.text;
        EXPECT_EQ(index, c.index) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
    }
    for (const std::string bad :
         {"3/3", "-1/3", "1/0", "0/-2", "a/b", "1/", "/3", "1/3x", "1 /3", "13", ""}) {
        int index = 7, count = 7;
        EXPECT_FALSE(ParseShard(bad, index, count)) << bad;
        EXPECT_EQ(index, 7) << bad;
    }

    // Shard I of N takes the rows with (row - 1) mod N = I: every row lands in exactly one.
    std::vector<std::vector<int>> shards(3);
    for (int row = 1; row <= 8; ++row)
        for (int i = 0; i < 3; ++i)
            if (InShard(row, i, 3)) shards[static_cast<size_t>(i)].push_back(row);
    EXPECT_EQ(shards, (std::vector<std::vector<int>>{{1, 4, 7}, {2, 5, 8}, {3, 6}}));
    for (int row = 1; row <= 5; ++row) EXPECT_TRUE(InShard(row, 0, 1));
}

}  // namespace
}  // namespace kavro
