#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/version.h"
#include "support/test_support.h"

namespace {

using namespace kavro::testing;

class BatchInfo : public ::testing::Test {
  protected:
    TempDir tmp_{"kavro_info"};
};

TEST_F(BatchInfo, SampleDataLoads) {
    const CommandResult r =
        RunBatch("info --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " + SamplePath("EURUSD_D1.PRN"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Checked against the files: 13979 and 5817 lines; line 1 is the only bar of 2019-01-01, so
    // the earliest date (line 2) first appears on line 2; the last line is 2021-04-02 23:00.
    // The last day's figures were computed separately in single precision from the daily file.
    const std::map<std::string, std::string> expected = {
        {"HourBarCount", "13979"},
        {"DayBarCount", "5817"},
        {"FirstDate", "2019-01-02"},
        {"LastDate", "2021-04-02"},
        {"LastHour", "23"},
        {"FirstBar", "2"},
        {"LastBar", "13980"},
        {"DayAverage200", "1.194246"},
        {"DayStochastic", "1.657408"},
    };
    EXPECT_EQ(KeyValues(r.out), expected);
}

TEST_F(BatchInfo, BadUsageExitsWithTwo) {
    const std::string h = SamplePath("EURUSD_H1.PRN"), d = SamplePath("EURUSD_D1.PRN");
    const std::vector<std::string> cases = {
        "",
        "bogus --hourly " + h + " --daily " + d,
        "info --hourly " + h,
        "info --daily " + d,
        "info --hourly " + h + " --daily",
        "info --hourly " + h + " --daily " + d + " --pair XYZ",
        "info --hourly " + h + " --daily " + d + " --tp 5",
        "simple --hourly " + h + " --daily " + d + " --start 2019-1-2",
        "simple --hourly " + h + " --daily " + d + " --end-hour 24",
    };
    for (const auto& args : cases) {
        const CommandResult r = RunBatch(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("Usage: kavro-batch"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
    // An unknown option names itself.
    const CommandResult r = RunBatch("simple --hourly " + h + " --daily " + d + " --bogus");
    EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;
}

TEST_F(BatchInfo, HelpAndVersionGoToStdoutAndSucceed) {
    for (const std::string args : {"--help", "simple --help", "thorough --help", "info -h"}) {
        const CommandResult r = RunBatch(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_NE(r.out.find("Usage: kavro-batch"), std::string::npos) << args << r.out;
        EXPECT_EQ(r.err, "") << args;
    }
    EXPECT_NE(RunBatch("thorough --help").out.find("--real-work"), std::string::npos);
    const CommandResult v = RunBatch("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, std::string("kavro-batch ") + kavro::kProgramVersion + "\n");
}

TEST_F(BatchInfo, FilesThatDoNotLoadExitWithOne) {
    const std::string h = SamplePath("EURUSD_H1.PRN"), d = SamplePath("EURUSD_D1.PRN");
    const std::string missing = tmp_.file("missing.PRN");
    const std::string oneLine = tmp_.write("one.PRN", "20190101 00:00  1.1453,1.1461,1.1453,1.1460,\r\n");
    struct Case {
        std::string args, inErr;
    };
    const std::vector<Case> cases = {
        {"info --hourly " + missing + " --daily " + d, missing},
        {"info --hourly " + h + " --daily " + missing, missing},
        {"info --hourly " + tmp_.path() + " --daily " + d, tmp_.path()},
        {"info --hourly " + h + " --daily " + tmp_.path(), tmp_.path()},
        {"info --hourly " + oneLine + " --daily " + d, "файл с часовыми котировками"},
    };
    for (const auto& c : cases) {
        const CommandResult r = RunBatch(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << c.args << "\nstderr: " << r.err;
    }
}

// Memory follows the bars a load stores, not the size of the file: a file of long
// lines loads within a limit smaller than the file, and a file whose bars do not fit
// ends with a message and exit 1, never an abort. (The sanitizers reserve far more
// address space than any such limit, so they skip this.)
TEST_F(BatchInfo, MemoryFollowsTheBarsNotTheFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#endif
    const std::string line = "20190102 05:00  1.1000,1.2000,1.0000,1.1500,";
    auto write = [&](const std::string& name, long lines, size_t padding) {
        const std::string path = tmp_.file(name);
        std::ofstream out(path, std::ios::binary);
        const std::string text = line + std::string(padding, ' ') + "\r\n";
        for (long i = 0; i < lines; ++i) out << text;
        return path;
    };
    const std::string d = SamplePath("EURUSD_D1.PRN");
    // The program's own address space (its libraries) first: the smallest limit it starts under.
    auto limited = [](long kb, const std::string& args) {
        return RunCommand("ulimit -v " + std::to_string(kb) + "; exec " + std::string(KAVRO_BATCH) + " " +
                          args);
    };
    long base = 20000;
    while (base < 2000000 && limited(base, "--version").status != 0) base += 10000;
    // 200,000 lines of 500 characters: a 100 MB file, 6 MB of bars, loaded within 40 MB more.
    const std::string wide = write("wide.PRN", 200000, 450);
    CommandResult r = limited(base + 40000, "info --hourly " + wide + " --daily " + d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(KeyValues(r.out)["HourBarCount"], "200000");
    // Two million bars need some 60 MB: far more than 20 MB more leaves.
    const std::string many = write("many.PRN", 2000000, 0);
    r = limited(base + 20000, "info --hourly " + many + " --daily " + d);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Не хватает памяти, чтобы загрузить этот файл."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
