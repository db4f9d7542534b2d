#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

using namespace kavro::testing;

// Runs kavro-batch simple on the bundled sample with extra options, in a fresh directory.
class BatchSimple : public ::testing::Test {
  protected:
    CommandResult Run(const std::string& options) {
        return RunBatch("simple --hourly " + SamplePath("EURUSD_H1.PRN") + " --daily " +
                        SamplePath("EURUSD_D1.PRN") + " --no-beep --dir " + tmp_.path() + " " + options);
    }
    std::string Report() const { return tmp_.read("RIPOT"); }

    TempDir tmp_{"kavro-e2e"};
};

TEST_F(BatchSimple, DefaultSweepMatchesTheRecordedReport) {
    const CommandResult r = Run("");
    ASSERT_EQ(r.status, 0) << r.err;
    // The hourly sample runs two days past the daily one: 48 bars find no day.
    EXPECT_NE(r.out.find("PassesDone=408\nBarsWithoutDay=48\n"), std::string::npos);
    EXPECT_NE(r.out.find("Label1(0)=13749\n"), std::string::npos);
    EXPECT_NE(r.out.find("Label1(1)=35\nLabel1(2)=100\nLabel1(3)=5\n"), std::string::npos);
    EXPECT_NE(r.out.find("FirstBar=2\nLastBar=13980\n"), std::string::npos);
    EXPECT_EQ(Report(), ReadFile(std::string(KAVRO_E2E_EXPECTED) + "/simple_default.RIPOT"));
}

TEST_F(BatchSimple, SingleSettingRunOverAChosenInterval) {
    const CommandResult r =
        Run("--step 0 --first-hour 10 --last-hour 12 --start 2020-01-02 --end 2020-12-31 --end-hour 22");
    ASSERT_EQ(r.status, 0) << r.err;
    // The end date is looked up before the end hour is set: 23:00 of that day is missing.
    EXPECT_EQ(r.err, "Сообщение: В этот день торгов не было,введите другую дату в Конечная дата\n");
    EXPECT_NE(r.out.find("Label15=Тест окончен\n"), std::string::npos);
    EXPECT_NE(r.out.find("FirstBar=6198\nLastBar=12421\nPassesDone=3\n"), std::string::npos);
    EXPECT_EQ(Report(), " 10  100  20  4980 \r\n 11  100  20  2882 \r\n 12  100  20  1882 \r\n");
}

TEST_F(BatchSimple, FieldsAreReadUnderTheChosenLocale) {
    // Under a decimal comma only the whole part of "12,5" survives.
    CommandResult r = Run("--locale ru_RU --tp 12,5 --sl 10 --step 0 --first-hour 9 --last-hour 9");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Label6(1)=12\n"), std::string::npos);
    // Under a decimal point it is no number at all: the message names the field.
    r = Run("--tp 12,5 --step 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Ошибка: Поле «TP» в рамке «TP/SL»: введите число\n");
}

TEST_F(BatchSimple, RunsThatCannotEndOrCannotStartFailCleanly) {
    // Equal stop and target with a step: no pass would run. Nothing failed, but say so.
    CommandResult r = Run("--sl 100");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("PassesDone=0\n"), std::string::npos);
    EXPECT_NE(r.err.find("Сообщение: Настройки не дают ни одного прохода"), std::string::npos) << r.err;
    // A zero take-profit only beeps in the window: here a note says no pass ran.
    r = Run("--tp 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "kavro-batch: take-profit or stop-loss is 0: no test pass ran\n");
    // Passes beyond counting are refused before the first one.
    r = Run("--tp 1e30");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Ошибка: Тест из 4.80e+30 проходов слишком велик"), std::string::npos) << r.err;
    r = Run("--full --step 0 --tp 20 --sl 20");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Шаг"), std::string::npos);
    r = Run("--tp");
    EXPECT_EQ(r.status, 2);
    r = Run("--start 2020-13-01");
    EXPECT_EQ(r.status, 2);
}

}  // namespace
