#include "quotes/interval_lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace kavro {
namespace {

class IntervalLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Day 2019-01-03 stands only on the last line; the last line has no line end.
        path_ = tmp_.write("h.PRN",
                           "20190101 22:00  1.1000,1.1000,1.1000,1.1000,\r\n"
                           "20190101 23:00  1.1000,1.1000,1.1000,1.1000,\r\n"
                           "20190102 00:00  1.1000,1.1000,1.1000,1.1000,\r\n"
                           "20190102 01:00  1.1000,1.1000,1.1000,1.1000,\r\n"
                           "20190103 05:00  1.1000,1.1000,1.1000,1.1000,");
    }
    testing::TempDir tmp_{"kavro_lookup"};
    std::string path_;
};

TEST_F(IntervalLookupTest, StartIsTheFirstLineOfTheDay) {
    struct Case {
        Date date;
        bool found;
        long lines;
    };
    const std::vector<Case> cases = {
        {{2019, 1, 1}, true, 1},  {{2019, 1, 2}, true, 3},    {{2019, 1, 3}, true, 5},
        {{2019, 1, 4}, false, 5}, {{2018, 12, 31}, false, 5},
    };
    for (const auto& c : cases) {
        const auto r = FindStartLine(path_, c.date);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.found, c.found) << DateKey(c.date);
        EXPECT_EQ(r.lineCount, c.lines) << DateKey(c.date);
    }
}

TEST_F(IntervalLookupTest, EndNeedsTheExactDateAndHour) {
    struct Case {
        Date date;
        int hour;
        bool found;
        long lines;
    };
    const std::vector<Case> cases = {
        {{2019, 1, 1}, 22, true, 1},
        {{2019, 1, 1}, 23, true, 2},
        {{2019, 1, 2}, 0, true, 3},
        // The last line's date and hour: the end bar is the line count + 1.
        {{2019, 1, 3}, 5, true, 5},
        // The date is there, the hour is not.
        {{2019, 1, 3}, 6, false, 5},
        {{2019, 1, 2}, 7, false, 5},
        {{2019, 1, 9}, 0, false, 5},
    };
    for (const auto& c : cases) {
        const auto r = FindEndLine(path_, c.date, c.hour);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.found, c.found) << DateKey(c.date) << " " << c.hour;
        EXPECT_EQ(r.lineCount, c.lines) << DateKey(c.date) << " " << c.hour;
    }
}

TEST_F(IntervalLookupTest, EndKeyIgnoresTheNinthColumn) {
    // Only columns 1-8 and 10-11 make the key, so any character may stand between them.
    const auto path = tmp_.write("t.PRN", "20190103T05:00  1.1000,\r\n20190103 5\r\n2019010");
    EXPECT_EQ(FindEndLine(path, {2019, 1, 3}, 5).lineCount, 1);
    const auto r = FindEndLine(path, {2019, 1, 3}, 6);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.lineCount, 3);
    // A line feed alone does not end a line, so the second day hides inside line 1.
    const auto lf = tmp_.write("lf.PRN", "20190101 22:00\n20190102 00:00\r\n");
    EXPECT_FALSE(FindStartLine(lf, {2019, 1, 2}).found);
    EXPECT_EQ(FindStartLine(lf, {2019, 1, 2}).lineCount, 1);
}

TEST_F(IntervalLookupTest, EmptyAndUnreadableFiles) {
    const auto empty = tmp_.write("empty.PRN", "");
    const auto s = FindStartLine(empty, {2019, 1, 1});
    EXPECT_TRUE(s.opened);
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.lineCount, 0);
    const auto e = FindEndLine(empty, {2019, 1, 1}, 0);
    EXPECT_TRUE(e.opened);
    EXPECT_FALSE(e.found);
    EXPECT_EQ(e.lineCount, 0);

    for (const std::string& path : {std::string(), tmp_.file("missing.PRN"), tmp_.path()}) {
        EXPECT_FALSE(FindStartLine(path, {2019, 1, 1}).opened) << path;
        EXPECT_FALSE(FindEndLine(path, {2019, 1, 1}, 22).opened) << path;
    }
}

}  // namespace
}  // namespace kavro
