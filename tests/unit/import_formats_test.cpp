// Every recognised layout, made from the bundled sample, imports back to the sample's exact lines.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "import/csv_layout.h"
#include "unit/import_fixture.h"

namespace kavro::testing {
namespace {

// Daily lines built from hourly sample lines the plain way: first open, highest high, lowest low, last close.
std::vector<std::string> DaysOf(const std::vector<std::string>& hours) {
    std::vector<std::string> days;
    PrnBar day;
    auto line = [](const PrnBar& d) {
        return Four(d.year) + Two(d.month) + Two(d.day) + "   " + d.open + "," + d.high + "," + d.low + "," +
               d.close + ",";
    };
    for (const PrnBar& h : ParsePrn(hours, true)) {
        if (h.year == day.year && h.month == day.month && h.day == day.day) {
            if (std::stod(h.high) > std::stod(day.high)) day.high = h.high;
            if (std::stod(h.low) < std::stod(day.low)) day.low = h.low;
            day.close = h.close;
            continue;
        }
        if (day.year) days.push_back(line(day));
        day = h;
    }
    days.push_back(line(day));
    return days;
}

struct FormatCase {
    CsvKind kind;
    size_t hours;  // of the sample; 0: all
    const char* format;
    int spacing;
    int barsPerHour;
};

class ImportFormats : public ImportTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ImportFormats, GiveTheSampleLinesBack) {
    const FormatCase& c = GetParam();
    const std::vector<std::string> hours = c.hours ? FirstHours(c.hours) : SampleHours();
    const ImportResult r = run(HourlyCsv(ParsePrn(hours, true), c.kind));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(hourly(), JoinCrLf(hours));
    EXPECT_EQ(daily(), JoinCrLf(DaysOf(hours)));
    EXPECT_EQ(r.report.format, c.format);
    EXPECT_EQ(r.report.spacingMinutes, c.spacing);
    EXPECT_EQ(r.report.barsIn, static_cast<int64_t>(hours.size()) * c.barsPerHour);
    EXPECT_EQ(r.report.hourlyBarsOut, static_cast<int64_t>(hours.size()));
    EXPECT_EQ(r.report.dailyBarsOut, static_cast<int64_t>(DaysOf(hours).size()));
    EXPECT_EQ(r.report.firstDate, (Date{2019, 1, 1}));
    EXPECT_TRUE(r.report.warnings.empty() || r.report.warnings[0].kind != ImportWarning::Kind::AdjustedClose);

    // What the program's own loaders make of the files.
    QuoteStore store;
    IgnoreLoadProgress progress;
    const LoadResult h = LoadHourlyQuotes(store, dir.file("out_H1.PRN"), Pair::EUR, progress);
    EXPECT_EQ(h.status, LoadResult::Status::Ok);
    EXPECT_EQ(h.barsStored, static_cast<int>(hours.size()));
    EXPECT_EQ(h.latest, r.report.lastDate);
    const LoadResult d = LoadDailyQuotes(store, dir.file("out_D1.PRN"), Pair::EUR, progress);
    EXPECT_EQ(d.status, LoadResult::Status::Ok);
    EXPECT_EQ(d.barsStored, r.report.dailyBarsOut);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, ImportFormats,
    ::testing::Values(FormatCase{CsvKind::PlatformExport, 0, kPlatformExport, 60, 1},
                      FormatCase{CsvKind::PlatformExportBlank, 0, kPlatformExport, 60, 1},
                      FormatCase{CsvKind::PlatformExportTab, 0, kPlatformExportTab, 60, 1},
                      FormatCase{CsvKind::MinuteArchive, 400, kMinuteArchive, 1, 50},
                      FormatCase{CsvKind::GmtTimeHeader, 2000, kGmtTimeHeader, 5, 12},
                      FormatCase{CsvKind::NamedIsoSemicolon, 3000, kNamedColumns, 15, 4},
                      FormatCase{CsvKind::NamedUnixSeconds, 0, kNamedColumns, 30, 2},
                      FormatCase{CsvKind::NamedDayFirstTab, 0, kNamedColumns, 60, 1},
                      FormatCase{CsvKind::PandasOffsets, 0, kNamedColumns, 60, 1},
                      FormatCase{CsvKind::LocalTimeGmt8, 2000, kNamedColumns, 5, 12},
                      FormatCase{CsvKind::MonthFirstSlash, 3000, kNamedColumns, 15, 4},
                      FormatCase{CsvKind::UnixMillisIndexed, 0, kNamedColumns, 60, 1},
                      FormatCase{CsvKind::UnixMicros, 0, kNamedColumns, 30, 2},
                      FormatCase{CsvKind::DtColumn, 0, kNamedColumns, 60, 1}));

class ImportDailyFormats : public ImportTest, public ::testing::WithParamInterface<DailyCsvKind> {};

TEST_P(ImportDailyFormats, GiveTheSampleDailyLinesBack) {
    const std::string dailyCsv = DailyCsv(ParsePrn(SampleDays(), false), GetParam());
    const ImportResult r = run(HourlyCsv(ParsePrn(FirstHours(48), true), CsvKind::PlatformExport), Pair::EUR,
                               /*shiftHours=*/3, dailyCsv);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(daily(), JoinCrLf(SampleDays()));  // a daily CSV is not shifted
    EXPECT_EQ(r.report.dailyBarsIn, static_cast<int64_t>(SampleDays().size()));
    EXPECT_EQ(r.report.dailyFormat, GetParam() == DailyCsvKind::PlatformExport      ? kPlatformExport
                                    : GetParam() == DailyCsvKind::PlatformExportTab ? kPlatformExportTab
                                                                                    : kNamedColumns);
    QuoteStore store;
    IgnoreLoadProgress progress;
    const LoadResult d = LoadDailyQuotes(store, dir.file("out_D1.PRN"), Pair::EUR, progress);
    EXPECT_EQ(d.status, LoadResult::Status::Ok);
    EXPECT_EQ(d.barsStored, static_cast<int>(SampleDays().size()));
}

INSTANTIATE_TEST_SUITE_P(Sample, ImportDailyFormats,
                         ::testing::Values(DailyCsvKind::PlatformExport, DailyCsvKind::PlatformExportTab,
                                           DailyCsvKind::NamedIso));

TEST_F(ImportTest, YenPricesGetTheWiderFieldsTheLoaderReads) {
    const ImportResult r = run(
        "2021.01.04,00:00,103.123,103.2,102.99949,103.0,1\n2021.01.04,01:00,103.0,103.05,102.9,102.95,1\n",
        Pair::JPY);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(hourly(),
              "20210104 00:00  103.1230,103.2000,102.9995,103.0000,\r\n"
              "20210104 01:00  103.0000,103.0500,102.9000,102.9500,\r\n");
    EXPECT_EQ(daily(), "20210104   103.1230,103.2000,102.9000,102.9500,\r\n");
    QuoteStore store;
    IgnoreLoadProgress progress;
    ASSERT_EQ(LoadHourlyQuotes(store, dir.file("out_H1.PRN"), Pair::JPY, progress).status,
              LoadResult::Status::Ok);
    EXPECT_EQ(store.hourOhlc[1], (std::array<float, 4>{103.123f, 103.2f, 102.9995f, 103.0f}));
    EXPECT_EQ(store.hourOfBar[2], 1.0f);
}

TEST(ImportLayout, ReadsHeadersInAnyOrderAndCase) {
    struct Case {
        const char* header;
        char delimiter;
        int date, time, open, high, low, close;
        const char* format;
    };
    const std::vector<Case> cases = {
        {"<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>\t<VOL>\t<SPREAD>", '\t', 0, 1, 2, 3, 4, 5,
         kPlatformExportTab},
        {"<DATE>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>", '\t', 0, -1, 1, 2, 3, 4, kPlatformExportTab},
        {"Gmt time,Open,High,Low,Close,Volume", ',', 0, -1, 1, 2, 3, 4, kGmtTimeHeader},
        {"Close;Open;TIME;low;High;date", ';', 5, 2, 1, 4, 3, 0, kNamedColumns},
        {"Open time,Open,High,Low,Close,Volume,Close time", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"\"Date Time\",\"Bid Open\",\"Bid High\",\"Bid Low\",\"Bid Close\"", ',', 0, -1, 1, 2, 3, 4,
         kNamedColumns},
        {"Volume\tTimestamp\topen\thigh\tlow\tclose", '\t', 1, -1, 2, 3, 4, 5, kNamedColumns},
        {"Epoch;Open;High;Low;Close", ';', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>", ',', 2, 3, 4, 5, 6, 7,
         kNamedColumns},
        // One column for the date and the time, by the names data tools give it.
        {"dt,pair,open,high,low,close,volume", ',', 0, -1, 2, 3, 4, 5, kNamedColumns},
        {"date_time,open,high,low,close", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"datetime_utc,open,high,low,close", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"utc_datetime,open,high,low,close", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"symbol,time_utc,open,high,low,close", ',', 1, -1, 2, 3, 4, 5, kNamedColumns},
        {"Time (UTC),Open,High,Low,Close,Volume", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"Local time,Open,High,Low,Close,Volume", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {",timestamp,open,high,low,close,volume", ',', 1, -1, 2, 3, 4, 5, kNamedColumns},
        {"ts;o;open;high;low;close", ';', 0, -1, 2, 3, 4, 5, kNamedColumns},
        {"Datetime,Open,High,Low,Close,Adj Close,Volume", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
        {"Date,Open,High,Low,Adj Close,Volume", ',', 0, -1, 1, 2, 3, 4, kNamedColumns},
    };
    for (const auto& c : cases) {
        CsvLayout l;
        std::string missing;
        ASSERT_TRUE(ReadHeader(c.header, l, missing)) << c.header;
        EXPECT_EQ(l.delimiter, c.delimiter) << c.header;
        EXPECT_EQ((std::vector<int>{l.dateColumn, l.timeColumn, l.open, l.high, l.low, l.close}),
                  (std::vector<int>{c.date, c.time, c.open, c.high, c.low, c.close}))
            << c.header;
        EXPECT_STREQ(l.format, c.format) << c.header;
        // An adjusted close is read only when there is no plain one, and then named for the warning.
        EXPECT_EQ(l.adjustedClose,
                  std::string(c.header).find("Low,Adj") != std::string::npos ? "Adj Close" : "")
            << c.header;
    }
    const std::map<std::string, std::string> refused = {
        {"Date,Open,High,Low,Volume", "Close"},
        {"Open,High,Low,Close,Volume", "Date"},
        {"Time;Bid;Ask;Last;Volume", "Open, High, Low, Close"},
        {"hello world", ""},
        {"a;b;c;d;e", ""},
    };
    for (const auto& [header, missing] : refused) {
        CsvLayout l;
        std::string m = "?";
        EXPECT_FALSE(ReadHeader(header, l, m)) << header;
        EXPECT_EQ(m, missing) << header;
    }
}

TEST(ImportLayout, ReadsFilesWithoutHeaderFromTheirFirstLine) {
    struct Case {
        const char* line;
        int time, open;
        const char* format;
    };
    const std::vector<Case> cases = {
        {"2021.01.04,00:00,1.22396,1.22408,1.22358,1.22377,123", 1, 2, kPlatformExport},
        {"2021.01.04 00:00,1.22396,1.22408,1.22358,1.22377,123", -1, 1, kPlatformExport},
        {"20210103 170000;1.223960;1.224060;1.223960;1.224060;0", -1, 1, kMinuteArchive},
        {"2021-01-04 00:00:00\t1.2\t1.3\t1.1\t1.2", -1, 1, kPlainColumns},
        {"1609718400;1,2;1,3;1,1;1,2", -1, 1, kPlainColumns},
        {"04.01.2021;170000;1,2;1,3;1,1;1,2", 1, 2, kPlainColumns},
        {"20210104;0800;1,2;1,3;1,1;1,2", 1, 2, kPlainColumns},
    };
    for (const auto& c : cases) {
        CsvLayout l;
        ASSERT_TRUE(ReadPlainLayout(c.line, l) && SettleDateStyle(c.line, l)) << c.line;
        EXPECT_EQ(l.timeColumn, c.time) << c.line;
        EXPECT_EQ(l.open, c.open) << c.line;
        EXPECT_EQ(l.close, c.open + 3) << c.line;
        EXPECT_STREQ(l.format, c.format) << c.line;
    }
    for (const char* line : {"hello,world,1,2,3", "2021.01.04,00:00,abc,1,2,3", "2021.01.04,00:00,1.2,1.3",
                             "1.2,1.3,1.1,1.2,5", "2021.31.04,1,1,1,1"}) {
        CsvLayout l;
        EXPECT_FALSE(ReadPlainLayout(line, l)) << line;
    }
}

TEST(ImportOutputNames, SitBesideTheCsv) {
    const std::map<std::string, std::pair<std::string, std::string>> cases = {
        {"/data/EURUSD.csv", {"/data/EURUSD_H1.PRN", "/data/EURUSD_D1.PRN"}},
        {"/data/EURUSD.M1.txt", {"/data/EURUSD.M1_H1.PRN", "/data/EURUSD.M1_D1.PRN"}},
        {"quotes", {"quotes_H1.PRN", "quotes_D1.PRN"}},
    };
    for (const auto& [csv, out] : cases) {
        const ImportOutputs o = DefaultImportOutputs(csv);
        EXPECT_EQ(o.hourly, out.first);
        EXPECT_EQ(o.daily, out.second);
    }
}

}  // namespace
}  // namespace kavro::testing
