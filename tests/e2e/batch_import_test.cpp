// kavro-batch import: a CSV of the bundled sample becomes quote files that test
// exactly as the sample does; a refused file says why and writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/csv_samples.h"
#include "support/test_support.h"

namespace {

using namespace kavro::testing;

class BatchImport : public ::testing::Test {
  protected:
    TempDir tmp_{"kavro_import"};
};

TEST_F(BatchImport, FromTheCsvExportToTheSameThoroughTest) {
    // The sample as a platform export of hours and a daily CSV.
    const auto hours = ParsePrn(ReadPrnLines(SamplePath("EURUSD_H1.PRN")), true);
    const auto days = ParsePrn(ReadPrnLines(SamplePath("EURUSD_D1.PRN")), false);
    const std::string csv = tmp_.write("EURUSD.csv", HourlyCsv(hours, CsvKind::PlatformExport));
    const std::string dailyCsv = tmp_.write("EURUSD_daily.csv", DailyCsv(days, DailyCsvKind::PlatformExport));
    const std::string h = tmp_.file("EURUSD_H1.PRN"), d = tmp_.file("EURUSD_D1.PRN");

    CommandResult r = RunBatch("import --csv " + csv + " --daily-csv " + dailyCsv +
                               " --pair EUR --out-hourly " + h + " --out-daily " + d);
    ASSERT_EQ(r.status, 0) << r.err;
    auto kv = KeyValues(r.out);
    EXPECT_EQ(kv["Format"], "platform-export");
    EXPECT_EQ(kv["SpacingMinutes"], "60");
    EXPECT_EQ(kv["BarsIn"], "13979");
    EXPECT_EQ(kv["HourlyBarsOut"], "13979");
    EXPECT_EQ(kv["DailyBarsOut"], "5817");
    EXPECT_EQ(kv["FirstDate"], "2019-01-01");
    EXPECT_EQ(kv["LastDate"], "2021-04-02");
    EXPECT_EQ(ReadFile(h), ReadFile(SamplePath("EURUSD_H1.PRN")));
    EXPECT_EQ(ReadFile(d), ReadFile(SamplePath("EURUSD_D1.PRN")));

    // The second command: the thorough test writes the recorded reports of the sample.
    const std::string out = tmp_.subdir("run");
    r = RunBatch("thorough --hourly " + h + " --daily " + d + " --no-beep --dir " + out);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = std::string(KAVRO_E2E_EXPECTED) + "/thorough_default.";
    EXPECT_EQ(ReadFile(out + "/RIPOT"), ReadFile(expected + "RIPOT"));
    EXPECT_EQ(ReadFile(out + "/RIPOT1"), ReadFile(expected + "RIPOT1"));
}

TEST_F(BatchImport, ARefusedFileSaysWhereAndWritesNothing) {
    const std::string csv = tmp_.write("bad.csv",
                                       "2021.01.04,00:00,1.22396,1.22408,1.22358,1.22377,123\r\n"
                                       "2021.01.04,01:00,1.22396,1.22308,1.22358,1.22377,123\r\n");
    const std::string h = tmp_.file("H.PRN"), d = tmp_.file("D.PRN");
    const CommandResult r =
        RunBatch("import --csv " + csv + " --pair EUR --out-hourly " + h + " --out-daily " + d);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("строка 2"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(h));
    EXPECT_FALSE(std::filesystem::exists(d));
    // Bad usage: the pair is required, the shift bounded.
    EXPECT_EQ(RunBatch("import --csv " + csv + " --out-hourly " + h + " --out-daily " + d).status, 2);
    EXPECT_EQ(RunBatch("import --csv " + csv + " --pair EUR --out-hourly " + h + " --out-daily " + d +
                       " --shift-hours 99")
                  .status,
              2);
}

TEST_F(BatchImport, TheDateOrderIsAnOptionAndAnAdjustedCloseAWarning) {
    const std::string csv = tmp_.write("us.csv",
                                       "Date,Open,High,Low,Adj Close\n"
                                       "1/2/2021 10:00,1.2,1.3,1.1,1.25\n"
                                       "1/2/2021 11:00,1.2,1.3,1.1,1.15\n");
    const std::string h = tmp_.file("H.PRN"), d = tmp_.file("D.PRN");
    const std::string args = "import --csv " + csv + " --pair EUR --out-hourly " + h + " --out-daily " + d;
    CommandResult r = RunBatch(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Укажите порядок дат: --date-order dmy или mdy"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(h));

    r = RunBatch(args + " --date-order mdy");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(KeyValues(r.out)["DateOrder"], "mdy");
    EXPECT_NE(
        r.out.find("\nWarning=Файл us.csv: цена закрытия взята из столбца «Adj Close», столбца Close в файле "
                   "нет\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(
        ReadFile(h),
        "20210102 10:00  1.2000,1.3000,1.1000,1.2500,\r\n20210102 11:00  1.2000,1.3000,1.1000,1.1500,\r\n");
    r = RunBatch(args + " --date-order dmy");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(KeyValues(r.out)["FirstDate"], "2021-02-01");
    EXPECT_EQ(RunBatch(args + " --date-order ymd").status, 2);
}

}  // namespace
