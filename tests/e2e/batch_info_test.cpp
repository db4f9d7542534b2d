#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class BatchInfo : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "kavro_info_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs kavro-batch with `args`; stdout through the pipe, stderr into a file.
    Outcome Batch(const std::string& args) {
        const std::string errPath = dir_ + "/stderr";
        const std::string cmd = std::string(KAVRO_BATCH) + " " + args + " 2>" + errPath;
        Outcome r;
        FILE* pipe = popen(cmd.c_str(), "r");
        if (!pipe) return r;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
        const int raw = pclose(pipe);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errPath, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        r.err = ss.str();
        return r;
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Sample(const char* name) { return std::string(KAVRO_SAMPLE_DIR) + "/" + name; }

    std::string dir_;
};

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> kv;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

TEST_F(BatchInfo, SampleDataLoads) {
    const Outcome r =
        Batch("info --hourly " + Sample("EURUSD_H1.PRN") + " --daily " + Sample("EURUSD_D1.PRN"));
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
    const std::string h = Sample("EURUSD_H1.PRN"), d = Sample("EURUSD_D1.PRN");
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
        const Outcome r = Batch(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST_F(BatchInfo, FilesThatDoNotLoadExitWithOne) {
    const std::string h = Sample("EURUSD_H1.PRN"), d = Sample("EURUSD_D1.PRN");
    const std::string missing = dir_ + "/missing.PRN";
    const std::string oneLine = Write("one.PRN", "20190101 00:00  1.1453,1.1461,1.1453,1.1460,\r\n");
    struct Case {
        std::string args, inErr;
    };
    const std::vector<Case> cases = {
        {"info --hourly " + missing + " --daily " + d, missing},
        {"info --hourly " + h + " --daily " + missing, missing},
        {"info --hourly " + dir_ + " --daily " + d, dir_},
        {"info --hourly " + h + " --daily " + dir_, dir_},
        {"info --hourly " + oneLine + " --daily " + d, "файл с часовыми котировками"},
    };
    for (const auto& c : cases) {
        const Outcome r = Batch(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << c.args << "\nstderr: " << r.err;
    }
}

}  // namespace
