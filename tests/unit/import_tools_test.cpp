// Files as common data tools write them: times with a zone, month-first dates, Unix milliseconds and
// microseconds, other names of the date column, an adjusted close. Each is checked against bars worked
// out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/import_fixture.h"

namespace kavro::testing {
namespace {

struct ToolCase {
    const char* what;
    std::string csv;
    Pair pair;
    const char* dateOrder;
    std::string hourly, daily;
};

// The smallest lines of each layout, with a second bar so a quote file can be written.
TEST_F(ImportTest, LayoutsOfDataToolsImportToHandComputedBars) {
    const std::string yenHours =
        "20221231 23:00  16520.28,16529.54,16487.74,16524.64,\r\n"
        "20230101 00:00  16524.64,16530.00,16500.00,16510.00,\r\n";
    const std::string yenDays =
        "20221231   16520.28,16529.54,16487.74,16524.64,\r\n"
        "20230101   16524.64,16530.00,16500.00,16510.00,\r\n";
    const std::vector<ToolCase> cases = {
        {"ISO times with a UTC offset, Close beside Adj Close",
         "Datetime,Open,High,Low,Close,Adj Close,Volume\n"
         "2023-01-02 00:00:00+00:00,1.0700910091400146,1.0711225271224976,1.0698620080947876,"
         "1.0708931684494019,1.0708931684494019,0\n"
         "2023-01-02 01:00:00+00:00,1.0708931684494019,1.0712,1.0701,1.0705,1.06,0\n",
         Pair::EUR, "ymd",
         "20230102 00:00  1.0701,1.0711,1.0699,1.0709,\r\n20230102 01:00  1.0709,1.0712,1.0701,1.0705,\r\n",
         "20230102   1.0701,1.0712,1.0699,1.0705,\r\n"},
        {"a zone after the time",
         "Local time,Open,High,Low,Close,Volume\n"
         "11.10.2021 00:00:00.000 GMT+0800,1.15721,1.15725,1.15710,1.15720,0\n"
         "11.10.2021 01:00:00.000 GMT+0800,1.15720,1.15740,1.15700,1.15730,0\n",
         Pair::EUR, "dmy",
         "20211010 16:00  1.1572,1.1573,1.1571,1.1572,\r\n20211010 17:00  1.1572,1.1574,1.1570,1.1573,\r\n",
         "20211010   1.1572,1.1574,1.1570,1.1573,\r\n"},
        {"month-first dates",
         "time,open,high,low,close,volume\n"
         "12/28/2012 19:00,1.32173,1.32217,1.32155,1.32216,3060\n"
         "12/28/2012 20:00,1.32216,1.32230,1.32200,1.32210,2000\n",
         Pair::EUR, "mdy",
         "20121228 19:00  1.3217,1.3222,1.3216,1.3222,\r\n20121228 20:00  1.3222,1.3223,1.3220,1.3221,\r\n",
         "20121228   1.3217,1.3223,1.3216,1.3221,\r\n"},
        {"month-first dates without leading zeros, decided by a later line",
         "time,open,high,low,close,volume\n"
         "1/1/2007 0:00,1.3200,1.3210,1.3190,1.3205,10\n"
         "1/1/2007 1:00,1.3205,1.3215,1.3200,1.3210,10\n"
         "1/13/2007 0:00,1.3210,1.3220,1.3205,1.3215,10\n",
         Pair::EUR, "mdy",
         "20070101 00:00  1.3200,1.3210,1.3190,1.3205,\r\n20070101 01:00  1.3205,1.3215,1.3200,1.3210,\r\n"
         "20070113 00:00  1.3210,1.3220,1.3205,1.3215,\r\n",
         "20070101   1.3200,1.3215,1.3190,1.3210,\r\n20070113   1.3210,1.3220,1.3205,1.3215,\r\n"},
        {"Unix milliseconds after an index column",
         ",timestamp,open,high,low,close,volume\n"
         "0,1672527600000,16520.28,16529.54,16487.74,16524.64,3065.4\n"
         "1,1672531200000,16524.64,16530.00,16500.00,16510.00,2000\n",
         Pair::JPY, "unix", yenHours, yenDays},
        {"Unix microseconds",
         "Time (UTC),Open,High,Low,Close\n"
         "1672527600000000,16520.28,16529.54,16487.74,16524.64\n"
         "1672531200000000,16524.64,16530.00,16500.00,16510.00\n",
         Pair::JPY, "unix", yenHours, yenDays},
        {"a date column called dt",
         "dt,pair,open,high,low,close,volume\n"
         "2013-06-20 00:00:00+00:00,EURUSD,1.32955,1.32974,1.3289,1.32972,1126\n"
         "2013-06-20 01:00:00+00:00,EURUSD,1.32972,1.33,1.3295,1.3299,900\n",
         Pair::EUR, "ymd",
         "20130620 00:00  1.3296,1.3297,1.3289,1.3297,\r\n20130620 01:00  1.3297,1.3300,1.3295,1.3299,\r\n",
         "20130620   1.3296,1.3300,1.3289,1.3299,\r\n"},
    };
    for (const auto& c : cases) {
        const ImportResult r = run(c.csv, c.pair);
        ASSERT_TRUE(r.ok) << c.what << ": " << r.message;
        EXPECT_EQ(hourly(), c.hourly) << c.what;
        EXPECT_EQ(daily(), c.daily) << c.what;
        EXPECT_EQ(r.report.format, "named-columns") << c.what;
        EXPECT_EQ(r.report.dateOrder, c.dateOrder) << c.what;
        for (const ImportWarning& w : r.report.warnings)
            EXPECT_NE(w.kind, ImportWarning::Kind::AdjustedClose) << c.what;
    }
}

// Each time goes to UTC before it is folded, so a change of the zone inside a file leaves no hole and no
// repeated hour; the shift then moves the UTC times.
TEST_F(ImportTest, SummerTimeInsideAFileComesOutContinuous) {
    const std::string spring =
        "Datetime,Open,High,Low,Close\n"
        "2023-03-27 00:00:00+00:00,1.2000,1.2010,1.1990,1.2005\n"
        "2023-03-27 00:30:00+00:00,1.2005,1.2020,1.2000,1.2015\n"
        "2023-03-27 02:00:00+01:00,1.2015,1.2030,1.2010,1.2025\n"
        "2023-03-27 02:30:00+01:00,1.2025,1.2025,1.1980,1.1985\n";
    // Back to winter time the local times repeat.
    const std::string autumn =
        "Datetime,Open,High,Low,Close\n"
        "2023-10-30 00:00:00+0100,1.2000,1.2010,1.1990,1.2005\n"
        "2023-10-30 00:30:00+0100,1.2005,1.2020,1.2000,1.2015\n"
        "2023-10-30 00:00:00+0000,1.2015,1.2030,1.2010,1.2025\n"
        "2023-10-30 00:30:00+0000,1.2025,1.2025,1.1980,1.1985\n";
    struct Case {
        const char* what;
        const std::string& csv;
        int shift;
        std::string hourly, daily;
    };
    const std::vector<Case> cases = {
        {"spring", spring, 0,
         "20230327 00:00  1.2000,1.2020,1.1990,1.2015,\r\n20230327 01:00  1.2015,1.2030,1.1980,1.1985,\r\n",
         "20230327   1.2000,1.2030,1.1980,1.1985,\r\n"},
        {"spring, shifted", spring, 2,
         "20230327 02:00  1.2000,1.2020,1.1990,1.2015,\r\n20230327 03:00  1.2015,1.2030,1.1980,1.1985,\r\n",
         "20230327   1.2000,1.2030,1.1980,1.1985,\r\n"},
        {"autumn", autumn, 0,
         "20231029 23:00  1.2000,1.2020,1.1990,1.2015,\r\n20231030 00:00  1.2015,1.2030,1.1980,1.1985,\r\n",
         "20231029   1.2000,1.2020,1.1990,1.2015,\r\n20231030   1.2015,1.2030,1.1980,1.1985,\r\n"},
    };
    for (const auto& c : cases) {
        const ImportResult r = run(c.csv, Pair::EUR, c.shift);
        ASSERT_TRUE(r.ok) << c.what << ": " << r.message;
        EXPECT_EQ(hourly(), c.hourly) << c.what;
        EXPECT_EQ(daily(), c.daily) << c.what;
        EXPECT_EQ(r.report.spacingMinutes, 30) << c.what;
    }
}

// A daily bar is a day as written: its zone does not move it to another date.
TEST_F(ImportTest, ADailyCsvKeepsTheDatesItWrites) {
    const ImportResult r =
        run("2021.01.04,00:00,1.2,1.3,1.1,1.2,1\n2021.01.04,01:00,1.2,1.3,1.1,1.2,1\n", Pair::EUR, 0,
            "Date,Open,High,Low,Close\n"
            "2021-01-04 00:00:00+01:00,1.2,1.3,1.1,1.2\n"
            "2021-01-05 00:00:00+01:00,1.2,1.3,1.1,1.25\n");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(daily(),
              "20210104   1.2000,1.3000,1.1000,1.2000,\r\n20210105   1.2000,1.3000,1.1000,1.2500,\r\n");
}

// Hourly bars of 01/02/2007 .. 12/02/2007 (or from `first` on), each day's hours 0..23, as "dd/mm/yyyy
// hh:00".
std::string UndecidedHours(int days, int minutesApart = 60) {
    std::string csv = "Date,Open,High,Low,Close\n";
    for (int m = 0; m < days * 1440; m += minutesApart) {
        csv +=
            Two(1 + m / 1440) + "/02/2007 " + Two(m % 1440 / 60) + ":" + Two(m % 60) + ",1.2,1.3,1.1,1.2\n";
    }
    return csv;
}

TEST_F(ImportTest, TheOrderOfDayAndMonthComesFromTheWholeDateColumn) {
    const std::string undecided = UndecidedHours(12);  // 288 bars, every first and second number <= 12
    const std::string decidedLate = undecided + "13/02/2007 00:00,1.2,1.3,1.1,1.2\n";
    const std::string dots =
        "Date,Open,High,Low,Close\n01.02.2007 00:00,1.2,1.3,1.1,1.2\n"
        "01.02.2007 01:00,1.2,1.3,1.1,1.2\n";
    const std::string monthFirst =
        "Date,Open,High,Low,Close\n"
        "12/28/2012 19:00,1.2,1.3,1.1,1.2\n"
        "12/28/2012 20:00,1.2,1.3,1.1,1.2\n";
    const std::string undecidedMessage =
        "Файл in.csv: по датам нельзя понять, что записано первым, день или месяц (во всех датах оба первых "
        "числа не больше 12). Укажите порядок дат: --date-order dmy или mdy в kavro-batch, «Порядок в датах» "
        "при импорте в окне";
    std::string fourHours = "time,open,high,low,close\n";
    for (const char* t : {"12/28/2012 16:00", "12/28/2012 20:00", "12/29/2012 00:00", "12/29/2012 04:00"})
        fourHours += std::string(t) + ",1.2,1.3,1.1,1.2\n";
    struct Case {
        const char* what;
        std::string csv;
        DateOrder order;
        std::string dailyCsv;
        // When imported: the order and the first and the last date; else the message.
        const char* dateOrder;
        Date first, last;
        std::string message;
    };
    using O = DateOrder;
    const std::vector<Case> cases = {
        {"decided by its last line", decidedLate, O::FromFile, "", "dmy", {2007, 2, 1}, {2007, 2, 13}, ""},
        {"never decided", undecided, O::FromFile, "", "", {}, {}, undecidedMessage},
        {"undecided, dmy given", undecided, O::DayFirst, "", "dmy", {2007, 2, 1}, {2007, 2, 12}, ""},
        {"undecided, mdy given", undecided, O::MonthFirst, "", "mdy", {2007, 1, 2}, {2007, 12, 2}, ""},
        {"dots never decided: day first", dots, O::FromFile, "", "dmy", {2007, 2, 1}, {2007, 2, 1}, ""},
        {"an order the dates contradict",
         monthFirst,
         O::DayFirst,
         "",
         "",
         {},
         {},
         "Файл in.csv, строка 2: не удаётся прочитать дату"},
        {"a file contradicting itself",
         decidedLate + "02/13/2007 01:00,1.2,1.3,1.1,1.2\n",
         O::FromFile,
         "",
         "",
         {},
         {},
         "Файл in.csv, строка 291: не удаётся прочитать дату"},
        {"four-hour bars",
         fourHours,
         O::FromFile,
         "",
         "",
         {},
         {},
         "Файл in.csv, строка 3: бары реже часа (шаг 240 мин): нужны минутные или часовые котировки"},
        {"a daily CSV that never decides",
         monthFirst,
         O::FromFile,
         "Date,Open,High,Low,Close\n01/02/2012,1.2,1.3,1.1,1.2\n02/03/2012,1.2,1.3,1.1,1.2\n",
         "",
         {},
         {},
         "Файл daily.csv: по датам нельзя понять…"},
    };
    for (const auto& c : cases) {
        const ImportResult r = runOrdered(c.csv, c.order, c.dailyCsv);
        if (c.message.empty()) {
            ASSERT_TRUE(r.ok) << c.what << ": " << r.message;
            EXPECT_EQ(r.report.dateOrder, c.dateOrder) << c.what;
            EXPECT_EQ(r.report.firstDate, c.first) << c.what;
            EXPECT_EQ(r.report.lastDate, c.last) << c.what;
            removeOutputs();
            continue;
        }
        EXPECT_FALSE(r.ok) << c.what;
        ExpectMessage(r.message, c.message, c.what);
        expectNoOutput();
    }
}

class CancelOnSecondCall : public ImportProgress {
  public:
    bool advanced(uint64_t, uint64_t) override { return ++calls < 2; }
    int calls = 0;
};

// The look for the order reads ahead through the file, and Stop reaches it there.
TEST_F(ImportTest, LookingForTheDateOrderCanBeCancelled) {
    CancelOnSecondCall cancel;
    const ImportResult r = runOrdered(UndecidedHours(4, 1), DateOrder::FromFile, "", &cancel);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Импорт прерван");
    EXPECT_EQ(cancel.calls, 2);
    expectNoOutput();
}

TEST_F(ImportTest, AnAdjustedCloseReadAsTheCloseIsSaidSo) {
    const ImportResult r =
        run("Date,Open,High,Low,Adj Close,Volume\n"
            "2021-01-04 00:00,1.2,1.3,1.1,1.25,0\n"
            "2021-01-04 01:00,1.2,1.3,1.1,1.15,0\n",
            Pair::EUR, 0,
            "Date,Open,High,Low,Adj_Close\n2021-01-04,1.2,1.3,1.1,1.15\n2021-01-05,1.2,1.3,1.1,1.15\n");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(
        hourly(),
        "20210104 00:00  1.2000,1.3000,1.1000,1.2500,\r\n20210104 01:00  1.2000,1.3000,1.1000,1.1500,\r\n");
    ASSERT_GE(r.report.warnings.size(), 2u);
    const std::vector<std::string> expected = {
        "Файл in.csv: цена закрытия взята из столбца «Adj Close», столбца Close в файле нет",
        "Файл daily.csv: цена закрытия взята из столбца «Adj_Close», столбца Close в файле нет"};
    std::vector<std::string> warnings;
    for (const auto& [name, value] : ReportFields(r.report)) {
        if (name == "Warning") warnings.push_back(value);
    }
    EXPECT_EQ(std::vector<std::string>(warnings.begin(), warnings.begin() + 2), expected);
}

}  // namespace
}  // namespace kavro::testing
