// kavro-batch thorough on the bundled sample: the reports add up, match what the
// window's commands write for the same settings, and bad settings are refused.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/numbers.h"
#include "program/commands.h"
#include "program/session.h"
#include "support/test_support.h"

namespace {

using namespace kavro;
using namespace kavro::testing;

// A small search: take-profit 40, 30, 20 x hours 8..10 x stop 20, 30, 40 = 27 passes a window.
const char* kSearch = " --tp 40 --sl 20 --step 10 --first-hour 8 --last-hour 10 --no-beep";

class BatchThorough : public ::testing::Test {
  protected:
    CommandResult Batch(const std::string& args) {
        return RunBatch("thorough --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " +
                        SamplePath("EURUSD_D1.PRN") + " " + args);
    }
    // Report lines; an unended last line is left out, so a lost line end shows as a short report.
    static std::vector<std::string> Lines(const std::string& text) { return CrLfLines(text, Tail::Drop); }

    TempDir tmp_{"kavro_thorough"};
};

TEST_F(BatchThorough, SampleRunAddsUpAndMatchesTheWindow) {
    const std::string batchDir = tmp_.subdir("batch");
    const CommandResult r = Batch(std::string(kSearch) + " --dir " + batchDir);
    ASSERT_EQ(r.status, 0) << r.err;
    auto kv = KeyValues(r.out);

    // 13978 bars: (13978 - 1440) / 480 = 26.1, so 27 windows of 27 searches and a forward pass.
    const auto ripot = Lines(ReadFile(batchDir + "/RIPOT"));
    ASSERT_EQ(ripot.size(), 27u);
    EXPECT_EQ(kv["PassesDone"], "756");
    EXPECT_EQ(ripot.back().rfind("02.04.2021 ", 0), 0u) << ripot.back();
    EXPECT_EQ(kv["Label1(4)"], "02.04.2021");
    const std::regex windowLine(R"((\d\d\.\d\d\.\d{4}) (\d+)  (\d+)  (\d+) ( |-)(\d+) )");
    double sum = 0;
    for (const auto& line : ripot) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, windowLine)) << line;
        sum += (m[5] == "-" ? -1 : 1) * std::stod(m[6]);
    }
    EXPECT_EQ(kv["Label1(5)"], FormatGeneral(sum, Locale{}));
    // Text10 holds the same lines, two blanks apart, the last without a line end
    // (the batch runner prints line breaks as \n).
    const std::string text10 = kv["Text10"];
    size_t breaks = 0;
    for (size_t at = 0; (at = text10.find("\\n", at)) != std::string::npos; at += 2) ++breaks;
    EXPECT_EQ(breaks, 26u);
    EXPECT_EQ(text10.substr(text10.rfind("\\n") + 2, 12), "02.04.2021  ");

    // RIPOT1: every forward trade of the run, whose results add up to the forward sum.
    const auto trades = Lines(ReadFile(batchDir + "/RIPOT1"));
    ASSERT_FALSE(trades.empty());
    const std::regex tradeLine(
        R"((Buy|Sell) \$(-?\d+) Open \d{8} [\d.]+ Close (\d{8})? ([\d.]+)? Profit \$(-?\d+)? \+(\d+) -(\d+))");
    double profits = 0;
    std::string counts;
    for (const auto& line : trades) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, tradeLine)) << line;
        profits += std::stod(m[2]);
        // The forward distances are points / 10000 in 32 bits: 20 points lose 201 and win 150
        // (the search's 20 x 0.0001 would give -200 and 149).
        static const std::set<std::string> kLevels = {"-201", "-301", "-401", "150", "250", "350"};
        if (m[3].matched) {
            EXPECT_EQ(kLevels.count(m[2].str()), 1u) << line;
        }
        if (counts.empty()) counts = m[6].str() + "/" + m[7].str();
        EXPECT_EQ(m[6].str() + "/" + m[7].str(), counts);
    }
    EXPECT_EQ(profits, sum);

    // The window's commands with the same settings write the same files.
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    const std::string windowDir = tmp_.subdir("window");
    Session s(Ports{pump, dialogs, clock, shell}, Locale{}, windowDir);
    dialogs.fileAnswers = {SamplePath("EURUSD_H1.PRN"), SamplePath("EURUSD_D1.PRN")};
    MenuHour(s);
    MenuDay(s);
    FormState& f = s.form;
    f.text2 = "40";
    f.text3 = "20";
    f.text6 = "10";
    f.text4 = "8";
    f.text5 = "10";
    f.check2 = true;
    ToolbarButton(s, "Kach");
    while (f.timer3) Timer3Tick(s);
    EXPECT_EQ(ReadFile(windowDir + "/RIPOT"), ReadFile(batchDir + "/RIPOT"));
    EXPECT_EQ(ReadFile(windowDir + "/RIPOT1"), ReadFile(batchDir + "/RIPOT1"));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(f.label1[i], kv["Label1(" + std::to_string(i) + ")"]) << i;
}

TEST_F(BatchThorough, RealWorkSearchesTheFirstWindowOnly) {
    const std::string d = tmp_.subdir("real");
    const CommandResult r = Batch(std::string(kSearch) + " --real-work --dir " + d);
    ASSERT_EQ(r.status, 0) << r.err;
    auto kv = KeyValues(r.out);
    EXPECT_EQ(kv["PassesDone"], "27");
    EXPECT_EQ(kv["Text10"], "");
    EXPECT_EQ(kv["Label1(4)"], "");
    EXPECT_NE(kv["Label1(3)"], "");
    const auto ripot = Lines(ReadFile(d + "/RIPOT"));
    ASSERT_EQ(ripot.size(), 1u);
    EXPECT_EQ(ripot[0].rfind("02.04.2021 " + kv["Label1(3)"] + " ", 0), 0u) << ripot[0];
    EXPECT_EQ(ReadFile(d + "/RIPOT1"), "");
}

TEST_F(BatchThorough, RefusesSettingsItCannotRun) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {" --fwd-len 0", "Поле «Период» (проверка): введите число больше 0"},
        {" --opt-len -1", "Поле «Период» (оптимизация): введите число не меньше 0"},
        {" --tp abc", "Поле «TP» в рамке «TP/SL»: введите число"},
        {" --first-hour x", "Поле «Первый час» в рамке «Время»: введите число"},
        {" --point-value 1e300", "Переполнение при вычислении результата сделки"},
        {" --tp 1e5", "Тест из 8098380081 проходов слишком велик"},
    };
    for (const auto& [bad, message] : cases) {
        const std::string d = tmp_.subdir("refused");
        std::ofstream(d + "/RIPOT", std::ios::binary) << "old\r\n";
        const CommandResult r = Batch(std::string(kSearch) + bad + " --dir " + d);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("Ошибка: " + message), std::string::npos) << bad << r.err;
        EXPECT_EQ(KeyValues(r.out)["PassesDone"], "0") << bad;
        // Refused before it started: the earlier report is kept.
        EXPECT_EQ(ReadFile(d + "/RIPOT"), "old\r\n") << bad;
    }
    // An optimisation window longer than the interval: no window, nothing failed, and a note says so.
    const CommandResult r = Batch(std::string(kSearch) + " --opt-len 100 --dir " + tmp_.subdir("none"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Сообщение: Интервал короче окна оптимизации"), std::string::npos) << r.err;
}

TEST_F(BatchThorough, AGridWithoutASettingFailsBeforeItStarts) {
    const std::string grid = " --first-hour 3 --last-hour 3 --start 2019-01-02 --no-beep --dir ";
    const std::string d = tmp_.subdir("empty");
    std::ofstream(d + "/RIPOT1", std::ios::binary) << "old\r\n";
    // Take-profit 20 counted down by 5 never reaches the stop-loss of 100.
    const CommandResult r = Batch("--pair EUR --tp 20 --sl 100 --step 5" + grid + d);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Ошибка: Настройки не дают ни одного прохода оптимизации: введите в поле «TP» в рамке «TP/SL» "
              "число не меньше, чем в поле «SL»\n");
    EXPECT_EQ(KeyValues(r.out)["PassesDone"], "0");
    // Refused before it started: the earlier trade report is kept.
    EXPECT_EQ(ReadFile(d + "/RIPOT1"), "old\r\n");

    // A grid of one setting still searches it and forward-tests a setting in every window.
    const std::string one = tmp_.subdir("one");
    const CommandResult ok = Batch("--tp 20 --sl 20 --step 5" + grid + one);
    ASSERT_EQ(ok.status, 0) << ok.err;
    const auto ripot = Lines(ReadFile(one + "/RIPOT"));
    ASSERT_EQ(ripot.size(), 27u);
    EXPECT_EQ(KeyValues(ok.out)["PassesDone"], "54");
    // The first window's one setting lost in-sample, so its search found nothing and its
    // forward pass traded what the program started with, as before.
    EXPECT_EQ(ripot[0], "24.04.2019 0  0  0 -400 ");
    for (size_t i = 1; i < ripot.size(); ++i) EXPECT_NE(ripot[i].find(" 3  20  20 "), std::string::npos) << i;
}

}  // namespace

namespace {

// The default walk-forward on the sample, as recorded: the window test compares against the same files.
TEST_F(BatchThorough, DefaultRunMatchesTheRecordedReports) {
    const std::string d = tmp_.subdir("default");
    const CommandResult r = Batch("--no-beep --dir " + d);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(KeyValues(r.out)["PassesDone"], "187299");
    const std::string expected = std::string(KAVRO_E2E_EXPECTED) + "/thorough_default.";
    EXPECT_EQ(ReadFile(d + "/RIPOT"), ReadFile(expected + "RIPOT"));
    EXPECT_EQ(ReadFile(d + "/RIPOT1"), ReadFile(expected + "RIPOT1"));
}

}  // namespace
