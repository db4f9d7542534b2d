#include "quotes/quote_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kavro {
namespace {

using Status = LoadResult::Status;

class RecordingProgress : public LoadProgress {
  public:
    void started(int lineCount) override { lineCounts.push_back(lineCount); }
    void lineStored(int barCount) override { barCounts.push_back(barCount); }
    std::vector<int> lineCounts, barCounts;
};

// "yyyymmdd hh:00  open,high,low,close," with the prices at columns 17, 24, 31 and 38.
std::string HourLine(const std::string& date, int hour, const std::string& o, const std::string& h,
                     const std::string& l, const std::string& c) {
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d", hour);
    return date + " " + hh + ":00  " + o + "," + h + "," + l + "," + c + ",";
}

// "yyyymmdd   open,high,low,close," with the prices at columns 12, 19, 26 and 33.
std::string DayLine(const std::string& date, const std::string& o, const std::string& h, const std::string& l,
                    const std::string& c) {
    return date + "   " + o + "," + h + "," + l + "," + c + ",";
}

std::string Price(double x) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.4f", x);
    return buf;
}

// Day d (from 1) as a date text; the dates only need to be distinct.
std::string DayDateText(int d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", 2000 + d / 300, 1 + (d / 28) % 12, 1 + d % 28);
    return buf;
}

// A price as the loader keeps it: read as a 64-bit float, stored as 32-bit.
float Stored(const std::string& text) {
    return static_cast<float>(std::stod(text));
}

struct Day {
    std::string open, high, low, close;
};

std::string DailyFile(const std::vector<Day>& days, int firstNumber = 1) {
    std::string text;
    for (size_t i = 0; i < days.size(); ++i) {
        const Day& d = days[i];
        text +=
            DayLine(DayDateText(firstNumber + static_cast<int>(i)), d.open, d.high, d.low, d.close) + "\r\n";
    }
    return text;
}

// The store's counts and every slot, compared field by field.
void ExpectSameStore(const QuoteStore& a, const QuoteStore& b) {
    EXPECT_EQ(a.hourBarCount, b.hourBarCount);
    EXPECT_EQ(a.dayBarCount, b.dayBarCount);
    EXPECT_TRUE(a.hourOhlc == b.hourOhlc);
    EXPECT_TRUE(a.hourOfBar == b.hourOfBar);
    EXPECT_TRUE(a.hourDate == b.hourDate);
    EXPECT_TRUE(a.dayOhlc == b.dayOhlc);
    EXPECT_TRUE(a.dayDate == b.dayDate);
    EXPECT_TRUE(a.dayAverage200 == b.dayAverage200);
    EXPECT_TRUE(a.dayHigh24 == b.dayHigh24);
    EXPECT_TRUE(a.dayLow24 == b.dayLow24);
    EXPECT_TRUE(a.dayStochastic == b.dayStochastic);
}

class QuoteStoreTest : public ::testing::Test {
  protected:
    std::string WriteLines(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return tmp_.write(name, text);
    }
    LoadResult Hourly(const std::string& path, Pair pair = Pair::EUR) {
        return LoadHourlyQuotes(*store, path, pair, progress);
    }
    LoadResult Daily(const std::string& path, Pair pair = Pair::EUR) {
        return LoadDailyQuotes(*store, path, pair, progress);
    }

    testing::TempDir tmp_{"kavro_quotes"};
    std::unique_ptr<QuoteStore> store = std::make_unique<QuoteStore>();
    RecordingProgress progress;
};

TEST_F(QuoteStoreTest, HourlyLineIsReadByFixedColumns) {
    struct Case {
        std::string line;
        std::array<float, 4> ohlc;
        float hour;
        std::string date;
    };
    const std::vector<Case> cases = {
        {"20190102 05:00  1.0485,1.0490,1.0480,1.0487,", {1.0485f, 1.0490f, 1.0480f, 1.0487f}, 5, "20190102"},
        // A blank separator runs the open into the high's digits.
        {"20190102 05:00  1.0485 1.0490,1.0480,1.0487,",
         {1.04851f, 1.0490f, 1.0480f, 1.0487f},
         5,
         "20190102"},
        {"20190102 05:00  1.0485\t1.0490,1.0480,1.0487,",
         {1.04851f, 1.0490f, 1.0480f, 1.0487f},
         5,
         "20190102"},
        // The line ends before the low and the close.
        {"20190102 05:00  1.0485,1.0490", {1.0485f, 1.0490f, 0, 0}, 5, "20190102"},
        {"", {0, 0, 0, 0}, 0, ""},
        {"2019", {0, 0, 0, 0}, 0, "2019"},
        {"20190102 05:00  1.0485,abcdef,1.0480,1.0487,", {1.0485f, 0, 1.0480f, 1.0487f}, 5, "20190102"},
        // Nothing past the price block (columns 17 to 43) is read.
        {"20190102 05:00  1.0485,1.0490,1.0480,1.04871234,",
         {1.0485f, 1.0490f, 1.0480f, 1.0487f},
         5,
         "20190102"},
        {"20190102 23:00  -1.048,1.2e-3,0.9999,  1.01", {-1.048f, 0.0012f, 0.9999f, 1.01f}, 23, "20190102"},
        {"20190102  7:00  1.0485,1.0490,1.0480,1.0487,", {1.0485f, 1.0490f, 1.0480f, 1.0487f}, 7, "20190102"},
        {"20190102 ab:00  1.0485,1.0490,1.0480,1.0487,", {1.0485f, 1.0490f, 1.0480f, 1.0487f}, 0, "20190102"},
        {"2019010212345678", {0, 0, 0, 0}, 23, "20190102"},
    };
    const std::string line2 = HourLine("20190103", 0, "1.1000", "1.1000", "1.1000", "1.1000");
    int n = 0;
    for (const auto& c : cases) {
        store = std::make_unique<QuoteStore>();
        const auto r = Hourly(WriteLines(std::to_string(n++) + ".PRN", {c.line, line2}));
        ASSERT_EQ(r.status, Status::Ok) << c.line;
        EXPECT_EQ(store->hourBarCount, 2);
        EXPECT_EQ(store->hourOhlc[1], c.ohlc) << c.line;
        EXPECT_EQ(store->hourOfBar[1], c.hour) << c.line;
        EXPECT_EQ(store->hourDate[1].view(), c.date) << c.line;
        EXPECT_EQ(store->hourOhlc[2], (std::array<float, 4>{1.1f, 1.1f, 1.1f, 1.1f}));
    }
}

TEST_F(QuoteStoreTest, HourlyLoadReportsPickerDatesFromLineTwoAndTheLastLine) {
    const auto path =
        WriteLines("h.PRN", {
                                HourLine("20190101", 23, "1.1000", "1.1010", "1.0990", "1.1005"),
                                HourLine("20190102", 0, "1.1005", "1.1010", "1.0990", "1.1000"),
                                HourLine("20190104", 5, "1.1000", "1.1010", "1.0990", "1.1000"),
                                HourLine("20190105", 7, "1.1000", "1.1010", "1.0990", "1.1000"),
                            });
    const auto r = Hourly(path);
    ASSERT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.barsStored, 4);
    EXPECT_EQ(r.earliest, (Date{2019, 1, 2}));
    EXPECT_EQ(r.latest, (Date{2019, 1, 5}));
    EXPECT_EQ(r.lastHour, 7);
    EXPECT_EQ(progress.lineCounts, std::vector<int>{4});
    EXPECT_EQ(progress.barCounts, (std::vector<int>{1, 2, 3, 4}));

    // A second file continues the numbering; the progress counts go on from the stored bars.
    const auto again =
        Hourly(WriteLines("h2.PRN", {
                                        HourLine("20200301", 1, "1.2000", "1.2000", "1.2000", "1.2000"),
                                        HourLine("20200332", 2, "1.3000", "1.3000", "1.3000", "1.3000"),
                                    }));
    ASSERT_EQ(again.status, Status::Ok);
    EXPECT_EQ(store->hourBarCount, 6);
    EXPECT_EQ(store->hourDate[5].view(), "20200301");
    EXPECT_EQ(store->hourOhlc[6][QuoteStore::Close], 1.3f);
    EXPECT_EQ(progress.barCounts.back(), 6);
    // Line 2 holds day 32 of March: the date rolls over into April.
    EXPECT_EQ(again.earliest, (Date{2020, 4, 1}));
    EXPECT_EQ(again.lastHour, 2);
}

TEST_F(QuoteStoreTest, JpyUsesWiderColumns) {
    const std::string hourly = "20210104 05:00  103.2500,103.3000,103.1000,103.2000,";
    const auto path = WriteLines("jpy.PRN", {hourly, hourly});
    ASSERT_EQ(Hourly(path, Pair::JPY).status, Status::Ok);
    EXPECT_EQ(store->hourOhlc[1], (std::array<float, 4>{103.25f, 103.3f, 103.1f, 103.2f}));

    // Read with the layout of the other pairs it would give wrong prices: it is refused.
    const QuoteStore before = *store;
    const LoadResult wrong = Hourly(path, Pair::EUR);
    EXPECT_EQ(wrong.status, Status::WrongLayout);
    EXPECT_EQ(wrong.layout, QuoteLayout::Yen);
    ExpectSameStore(*store, before);

    const auto daily = WriteLines("jpyd.PRN", {"20210104   103.2500,103.3000,103.1000,103.2000,"});
    ASSERT_EQ(Daily(daily, Pair::JPY).status, Status::Ok);
    EXPECT_EQ(store->dayOhlc[1], (std::array<float, 4>{103.25f, 103.3f, 103.1f, 103.2f}));
    EXPECT_EQ(store->dayDate[1].view(), "20210104");
}

TEST_F(QuoteStoreTest, HourlyFileOfOneLineFailsAndDailyLoadsIt) {
    ASSERT_EQ(Hourly(WriteLines("two.PRN", {HourLine("20190101", 0, "1.1000", "1.1000", "1.1000", "1.1000"),
                                            HourLine("20190102", 0, "1.2000", "1.2000", "1.2000", "1.2000")}))
                  .status,
              Status::Ok);
    const QuoteStore before = *store;
    const auto one = WriteLines("one.PRN", {HourLine("20190103", 0, "1.3000", "1.3000", "1.3000", "1.3000")});
    const auto r = Hourly(one);
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_EQ(r.barsStored, 0);
    ExpectSameStore(*store, before);

    const auto d = Daily(WriteLines("d.PRN", {DayLine("20190103", "1.1000", "1.2000", "1.0000", "1.1500")}));
    ASSERT_EQ(d.status, Status::Ok);
    EXPECT_EQ(d.barsStored, 1);
    EXPECT_EQ(store->dayBarCount, 1);
    EXPECT_EQ(store->dayOhlc[1], (std::array<float, 4>{1.1f, 1.2f, 1.0f, 1.15f}));
    EXPECT_EQ(store->dayHigh24[1], 1.2f);
    EXPECT_EQ(store->dayLow24[1], 1.0f);
    EXPECT_EQ(store->dayStochastic[1], 0.0f);
}

TEST_F(QuoteStoreTest, CapacityBoundsTheBarsAndDays) {
    constexpr long kHours = 3000, kDays = 500;
    store = std::make_unique<QuoteStore>(kHours, kDays);
    const std::string line = HourLine("20190102", 5, "1.1000", "1.2000", "1.0000", "1.1500") + "\r\n";
    std::string text;
    for (long i = 0; i < kHours; ++i) text += line;
    const auto full = tmp_.write("full.PRN", text);
    const auto over = tmp_.write("over.PRN", text + line);

    ASSERT_EQ(Hourly(over).status, Status::Failed);
    ExpectSameStore(*store, QuoteStore(kHours, kDays));

    ASSERT_EQ(Hourly(full).status, Status::Ok);
    EXPECT_EQ(store->hourBarCount, kHours);
    EXPECT_EQ(store->hourOfBar[kHours], 5.0f);
    // A full store takes no further bar of the same history.
    const QuoteStore before = *store;
    const std::string later = HourLine("20190103", 5, "1.1000", "1.2000", "1.0000", "1.1500") + "\r\n";
    EXPECT_EQ(Hourly(tmp_.write("more.PRN", later + later)).status, Status::Failed);
    ExpectSameStore(*store, before);

    std::vector<Day> days(kDays, Day{"1.1000", "1.2000", "1.0000", "1.1500"});
    const auto fullDays = tmp_.write("fulld.PRN", DailyFile(days));
    days.push_back(days.back());
    const auto overDays = tmp_.write("overd.PRN", DailyFile(days));
    EXPECT_EQ(Daily(overDays).status, Status::Failed);
    ExpectSameStore(*store, before);
    ASSERT_EQ(Daily(fullDays).status, Status::Ok);
    EXPECT_EQ(store->dayBarCount, kDays);
}

TEST_F(QuoteStoreTest, TwentyYearsOfHoursLoadAndReadEmptyBeyond) {
    // More bars than the store once held: a quarter million hourly lines.
    const std::string line = HourLine("20190102", 7, "1.1000", "1.2000", "1.0000", "1.1500") + "\r\n";
    std::string text;
    text.reserve(line.size() * 250000);
    for (int i = 0; i < 250000; ++i) text += line;
    ASSERT_EQ(Hourly(tmp_.write("long.PRN", text)).status, Status::Ok);
    EXPECT_EQ(store->hourBarCount, 250000);
    EXPECT_EQ(store->hourBar(250000)[QuoteStore::Close], 1.15f);
    // Past the loaded bars every number up to the capacity reads as an empty bar.
    EXPECT_EQ(store->hourBar(250001)[QuoteStore::High], 0.0f);
    EXPECT_EQ(store->hourOf(QuoteStore::kHourCapacity), 0.0f);
    EXPECT_EQ(store->hourDateAt(QuoteStore::kHourCapacity).length, 0);
    EXPECT_EQ(store->day(7)[QuoteStore::Open], 0.0f);
}

TEST_F(QuoteStoreTest, LinesAreReadOneByOneWhateverTheirLength) {
    // A first line of a million characters without an end, then a normal line: only the
    // columns the loader reads are kept, so the bars come out as for short lines.
    const std::string first =
        HourLine("20190101", 3, "1.1000", "1.2000", "1.0000", "1.1500") + std::string(1000000, 'x') + "\r\n";
    const std::string second = HourLine("20190102", 4, "1.3000", "1.4000", "1.2000", "1.3500") + "\r\n";
    const auto r = Hourly(tmp_.write("wide.PRN", first + second));
    ASSERT_EQ(r.status, Status::Ok);
    EXPECT_EQ(store->hourOhlc[1], (std::array<float, 4>{1.1f, 1.2f, 1.0f, 1.15f}));
    EXPECT_EQ(store->hourOhlc[2], (std::array<float, 4>{1.3f, 1.4f, 1.2f, 1.35f}));
    EXPECT_EQ(r.latest, (Date{2019, 1, 2}));
    EXPECT_EQ(progress.lineCounts, std::vector<int>{2});
}

// Closes of very different size make the float sum depend on its order.
std::vector<Day> AverageFixture(int count) {
    std::vector<Day> days;
    for (int d = 1; d <= count; ++d) {
        const std::string close = d == 1 ? "1000.0" : Price(0.0001 * (1 + d % 7));
        days.push_back({Price(0.5 + 0.001 * (d % 11)), "9999.9", "0.0001", close});
    }
    return days;
}

// The 200-day average of day d over `days` (day 1 first), summed in single precision in day order.
float ExpectedAverage(const std::vector<Day>& days, int d) {
    float sum = 0.0f;
    for (int k = d - 199; k <= d - 1; ++k) sum += Stored(days[k - 1].close);
    sum += Stored(days[d - 1].open);
    return static_cast<float>(static_cast<double>(sum) / 200.0);
}

TEST_F(QuoteStoreTest, AverageOfTwoHundredDaysTakesTheCurrentOpen) {
    const auto days = AverageFixture(205);
    ASSERT_EQ(Daily(tmp_.write("d.PRN", DailyFile(days))).status, Status::Ok);
    for (int d = 1; d <= 199; ++d) ASSERT_EQ(store->dayAverage200[d], 0.0f) << d;

    const float day200 = ExpectedAverage(days, 200);
    EXPECT_EQ(store->dayAverage200[200], day200);
    EXPECT_EQ(store->dayAverage200[201], ExpectedAverage(days, 201));
    EXPECT_EQ(store->dayAverage200[205], ExpectedAverage(days, 205));

    // The fixture tells the order and the open apart from the alternatives.
    float reversed = Stored(days[199].open);
    for (int k = 199; k >= 1; --k) reversed += Stored(days[k - 1].close);
    EXPECT_NE(static_cast<float>(reversed / 200.0), day200);
    float withClose = 0.0f;
    for (int k = 1; k <= 200; ++k) withClose += Stored(days[k - 1].close);
    EXPECT_NE(static_cast<float>(withClose / 200.0), day200);
}

std::vector<Day> StochasticFixture(int count) {
    std::vector<Day> days;
    for (int d = 1; d <= count; ++d) {
        const double high = d == 1 ? 1.9 : 1.1 + 0.0001 * ((d * 37) % 50);
        const double low = 1.0 - 0.0001 * ((d * 53) % 40);
        days.push_back({Price(1.02 + 0.001 * (d % 13)), Price(high), Price(low), Price(1.05)});
    }
    return days;
}

float ExpectedStochastic(const std::vector<Day>& days, int d, float* hiOut = nullptr,
                         float* loOut = nullptr) {
    float hi = Stored(days[d - 1].high), lo = Stored(days[d - 1].low);
    for (int k = d - 23; k < d; ++k) {
        hi = std::max(hi, Stored(days[k - 1].high));
        lo = std::min(lo, Stored(days[k - 1].low));
    }
    if (hiOut) *hiOut = hi;
    if (loOut) *loOut = lo;
    const double open = Stored(days[d - 1].open);
    return static_cast<float>((open - lo) / (static_cast<double>(hi) - lo) * 100.0);
}

TEST_F(QuoteStoreTest, StochasticUsesTheDayAndTheTwentyThreeBefore) {
    const auto days = StochasticFixture(30);
    ASSERT_EQ(Daily(tmp_.write("d.PRN", DailyFile(days))).status, Status::Ok);
    for (int d = 1; d <= 23; ++d) ASSERT_EQ(store->dayStochastic[d], 0.0f) << d;
    EXPECT_EQ(store->dayHigh24[5], Stored(days[4].high));
    EXPECT_EQ(store->dayLow24[5], Stored(days[4].low));

    for (int d : {24, 25, 30}) {
        float hi = 0, lo = 0;
        const float k = ExpectedStochastic(days, d, &hi, &lo);
        EXPECT_EQ(store->dayHigh24[d], hi) << d;
        EXPECT_EQ(store->dayLow24[d], lo) << d;
        EXPECT_EQ(store->dayStochastic[d], k) << d;
        EXPECT_GT(k, 0.0f);
        EXPECT_LT(k, 100.0f);
    }
    // Day 1's high is in day 24's window but no longer in day 25's.
    EXPECT_EQ(store->dayHigh24[24], 1.9f);
    EXPECT_LT(store->dayHigh24[25], 1.9f);
}

TEST_F(QuoteStoreTest, ZeroRangeTakesBackTheWholeDailyLoad) {
    const Day flat{"1.1000", "1.1000", "1.1000", "1.1000"};
    EXPECT_EQ(Daily(tmp_.write("flat.PRN", DailyFile(std::vector<Day>(24, flat)))).status, Status::Failed);
    ExpectSameStore(*store, QuoteStore{});

    ASSERT_EQ(Daily(tmp_.write("good.PRN", DailyFile(StochasticFixture(30)))).status, Status::Ok);
    const QuoteStore before = *store;
    // Days 31 to 53 still reach the first file's range; day 54's window is flat.
    const auto r = Daily(tmp_.write("flat2.PRN", DailyFile(std::vector<Day>(30, flat), 31)));
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_EQ(progress.barCounts.back(), 54);
    ExpectSameStore(*store, before);
}

TEST_F(QuoteStoreTest, SecondDailyFileContinuesAndReachesBack) {
    const auto all = AverageFixture(210);
    const std::vector<Day> first(all.begin(), all.begin() + 150), second(all.begin() + 150, all.end());
    ASSERT_EQ(Daily(tmp_.write("a.PRN", DailyFile(first))).status, Status::Ok);
    const auto r = Daily(tmp_.write("b.PRN", DailyFile(second, 151)));
    ASSERT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.barsStored, 60);
    EXPECT_EQ(store->dayBarCount, 210);
    EXPECT_EQ(store->dayDate[151].view(), DayDateText(151));
    EXPECT_EQ(store->dayOhlc[151][QuoteStore::Open], Stored(second[0].open));
    EXPECT_EQ(store->dayAverage200[199], 0.0f);
    EXPECT_EQ(store->dayAverage200[200], ExpectedAverage(all, 200));
    EXPECT_EQ(store->dayAverage200[210], ExpectedAverage(all, 210));
}

TEST_F(QuoteStoreTest, UnreadableFileLeavesTheStoreAlone) {
    ASSERT_EQ(Daily(tmp_.write("d.PRN", DailyFile(StochasticFixture(3)))).status, Status::Ok);
    const QuoteStore before = *store;
    progress = {};
    std::filesystem::create_directory(tmp_.file("folder"));
    for (const std::string& path : {std::string(), tmp_.file("missing.PRN"), tmp_.file("folder")}) {
        EXPECT_EQ(Hourly(path).status, Status::CannotRead) << path;
        EXPECT_EQ(Daily(path).status, Status::CannotRead) << path;
    }
    ExpectSameStore(*store, before);
    EXPECT_TRUE(progress.lineCounts.empty());
}

TEST_F(QuoteStoreTest, EmptyFiles) {
    const auto empty = tmp_.write("empty.PRN", "");
    const auto r = Hourly(empty);
    EXPECT_EQ(r.status, Status::Failed);
    ExpectSameStore(*store, QuoteStore{});
    const auto d = Daily(empty);
    EXPECT_EQ(d.status, Status::Ok);
    EXPECT_EQ(d.barsStored, 0);
    ExpectSameStore(*store, QuoteStore{});
}

// Whatever the bytes, a load either adds its bars or leaves the store exactly as it was.
TEST_F(QuoteStoreTest, ArbitraryBytesNeverBreakTheStore) {
    std::mt19937 rng(12345);
    std::string junk(1 << 16, '\0');
    for (char& c : junk) c = static_cast<char>(rng() & 0xff);
    std::string crowded = junk;
    for (size_t i = 0; i < crowded.size(); i += 7) crowded[i] = '\r';
    const std::string good = HourLine("20190102", 5, "1.1000", "1.2000", "1.0000", "1.1500");
    const std::vector<std::string> inputs = {
        junk,
        crowded,
        std::string(2 << 20, '9'),
        std::string(1 << 20, '1') + "\r\n" + std::string(1 << 20, '2'),
        std::string(3000, '\n'),
        "\r\n\r\n\r\n",
        std::string(100, '\0') + "\r\n" + std::string(100, '\0'),
        good + "\r\n" + good.substr(0, 16) + "9e99,9e99,9e99,9e99,",
        "20190102 05:00  1e39  ,1.2000,1.0000,1.1500,\r\n" + good,
        "20190102 05:00  " + std::string(27, '.') + "\r\n" + good,
        good + "\r\n" + good + "\r\n" + std::string(1 << 16, 'x'),
    };
    ASSERT_EQ(Daily(tmp_.write("seed.PRN", DailyFile(StochasticFixture(30)))).status, Status::Ok);
    ASSERT_EQ(Hourly(WriteLines("seedh.PRN", {good, good})).status, Status::Ok);
    int n = 0;
    for (const auto& bytes : inputs) {
        const auto path = tmp_.write(std::to_string(n++) + ".junk", bytes);
        for (Pair pair : {Pair::EUR, Pair::JPY}) {
            for (bool hourly : {true, false}) {
                const QuoteStore before = *store;
                const auto r = hourly ? Hourly(path, pair) : Daily(path, pair);
                SCOPED_TRACE("input " + std::to_string(n - 1) + (hourly ? " hourly" : " daily"));
                ASSERT_NE(r.status, Status::CannotRead);
                if (r.status == Status::Failed || r.status == Status::WrongLayout) {
                    ExpectSameStore(*store, before);
                } else {
                    const int kept = r.appended ? (hourly ? before.hourBarCount : before.dayBarCount) : 0;
                    EXPECT_EQ(hourly ? store->hourBarCount : store->dayBarCount, kept + r.barsStored);
                }
            }
        }
    }
}

TEST(DateOfText, ReadsYearMonthDayByColumns) {
    Date d;
    ASSERT_TRUE(DateOfText("20190102 05:00", d));
    EXPECT_EQ(d, (Date{2019, 1, 2}));
    ASSERT_TRUE(DateOfText("20191301", d));
    EXPECT_EQ(d, (Date{2020, 1, 1}));
    ASSERT_TRUE(DateOfText("20200230", d));
    EXPECT_EQ(d, (Date{2020, 3, 1}));
    EXPECT_FALSE(DateOfText("", d));
    EXPECT_FALSE(DateOfText("abcdefgh", d));
}

}  // namespace
}  // namespace kavro
