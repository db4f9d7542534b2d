// Prices and times as the import reads and writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/bar_time.h"
#include "import/price_field.h"

namespace kavro {
namespace {

TEST(ImportPrice, ReadsDecimalTextExactly) {
    struct Case {
        const char* text;
        bool decimalComma;
        PriceRead result;
        PriceUnits units;
    };
    const std::vector<Case> cases = {
        {"1.22396", false, PriceRead::Ok, 122396000},
        {" 1.5 ", false, PriceRead::Ok, 150000000},
        {"+108.123", false, PriceRead::Ok, 10812300000},
        {"1,22396", true, PriceRead::Ok, 122396000},
        {".5", false, PriceRead::Ok, 50000000},
        {"7", false, PriceRead::Ok, 700000000},
        {"1.123456789999", false, PriceRead::Ok, 112345678},  // past the eighth decimal: dropped
        {"0.000000001", false, PriceRead::Ok, 0},             // positive, but fits no field
        {"9999999999.9", false, PriceRead::Ok, 999999999990000000},
        {"00000000000001.5", false, PriceRead::Ok, 150000000},
        {"12345678901", false, PriceRead::TooLarge, 0},
        {"0", false, PriceRead::NotPositive, 0},
        {"-1.2", false, PriceRead::NotPositive, 0},
        {"-0.0", false, PriceRead::NotPositive, 0},
        {"1,5", false, PriceRead::NotNumber, 0},
        {"1.2.3", false, PriceRead::NotNumber, 0},
        {"1e-3", false, PriceRead::NotNumber, 0},
        {"", false, PriceRead::NotNumber, 0},
        {".", false, PriceRead::NotNumber, 0},
        {"1.2x", false, PriceRead::NotNumber, 0},
    };
    for (const auto& c : cases) {
        PriceUnits p = 0;
        EXPECT_EQ(ReadPrice(c.text, c.decimalComma, p), c.result) << c.text;
        if (c.result == PriceRead::Ok) {
            EXPECT_EQ(p, c.units) << c.text;
        }
    }
}

TEST(ImportPrice, FieldHoldsWhatItsWidthAllowsRoundedHalfAwayFromZero) {
    struct Case {
        const char* text;
        int width;
        const char* field;  // nullptr: does not fit
    };
    const std::vector<Case> cases = {
        {"1.14535", 6, "1.1454"},     {"1.145349999", 6, "1.1453"}, {"1.14525", 6, "1.1453"},
        {"0.89185", 6, "0.8919"},     {"1.2", 6, "1.2000"},         {"9.99996", 6, "10.000"},
        {"9.99994", 6, "9.9999"},     {"12.34567", 6, "12.346"},    {"9999.94", 6, "9999.9"},
        {"9999.95", 6, nullptr},      {"0.00005", 6, "0.0001"},     {"0.0000499", 6, nullptr},
        {"108.12345", 8, "108.1235"}, {"99.999995", 8, "100.0000"}, {"0.0000005", 8, "0.000001"},
        {"999999.94", 8, "999999.9"}, {"999999.95", 8, nullptr},    {"1.000000499", 8, "1.000000"},
    };
    for (const auto& c : cases) {
        PriceUnits p = 0;
        ASSERT_EQ(ReadPrice(c.text, false, p), PriceRead::Ok) << c.text;
        char out[16] = {};
        const bool fits = FormatPriceField(p, c.width, out);
        EXPECT_EQ(fits, c.field != nullptr) << c.text;
        EXPECT_EQ(PriceFitsField(p, c.width), fits) << c.text;
        if (fits) {
            EXPECT_EQ(std::string(out, static_cast<size_t>(c.width)), c.field) << c.text;
            PriceUnits back = 0;
            ASSERT_EQ(ReadPrice(c.field, false, back), PriceRead::Ok);
            EXPECT_EQ(RoundToField(p, c.width), back) << c.text;
        }
    }
}

// The cheap fit test must agree with the formatter everywhere, above all at the edges of each width.
TEST(ImportPrice, FitTestAgreesWithTheFormatterAtEveryEdge) {
    for (int width = 3; width <= 9; ++width) {
        std::vector<PriceUnits> edges = {1, 5, 49, 50, 51};
        for (PriceUnits p10 = 10; p10 <= 100000000000000000; p10 *= 10) {
            for (PriceUnits d : {-5000001, -5000000, -4999999, -51, -50, -49, -1, 0, 1, 49, 50, 51}) {
                if (p10 + d > 0) edges.push_back(p10 + d);
                if (p10 / 2 + d > 0) edges.push_back(p10 / 2 + d);
            }
        }
        for (const PriceUnits p : edges) {
            char out[16];
            EXPECT_EQ(PriceFitsField(p, width), FormatPriceField(p, width, out)) << p << " width " << width;
        }
    }
}

TEST(ImportTime, ReadsEveryDateStyleAndClock) {
    const BarMinute jan4 = DaysFromDate(2021, 1, 4) * kMinutesPerDay;
    struct Case {
        const char* field;
        DateStyle style;
        TimeFault fault;
        BarMinute utc;  // the minute in UTC
        bool clock;
        int offset = 0;
    };
    using S = DateStyle;
    using F = TimeFault;
    const std::vector<Case> cases = {
        {"2021.01.04", S::YearFirst, F::None, jan4, false},
        {"2021-01-04T13:05:00Z", S::YearFirst, F::None, jan4 + 785, true},
        {"2021/1/4 13:05", S::YearFirst, F::None, jan4 + 785, true},
        {"04.01.2021 00:00:00.000", S::DayFirst, F::None, jan4, true},
        {"4/1/2021 0:00", S::DayFirst, F::None, jan4, true},
        {"04-01-2021", S::DayFirst, F::None, jan4, false},
        {"1/4/2021 13:05", S::MonthFirst, F::None, jan4 + 785, true},
        {"01.04.2021", S::MonthFirst, F::None, jan4, false},
        {"13/1/2021", S::YearLast, F::None, jan4 + 9 * kMinutesPerDay, false},
        {"1/13/2021", S::YearLast, F::None, jan4 + 9 * kMinutesPerDay, false},
        {"20210104 170000", S::Compact, F::None, jan4 + 1020, true},
        {"20210104 1700", S::Compact, F::None, jan4 + 1020, true},
        {"1609718400", S::UnixSeconds, F::None, jan4, true},
        {"1609718400000", S::UnixMillis, F::None, jan4, true},
        {"1609718400000000", S::UnixMicros, F::None, jan4, true},
        {"2020.02.29", S::YearFirst, F::None, DaysFromDate(2020, 2, 29) * kMinutesPerDay, false},
        // Zones: the time goes to UTC.
        {"2021-01-04 13:05:00+00:00", S::YearFirst, F::None, jan4 + 785, true},
        {"2021-01-04 13:05:00+01:00", S::YearFirst, F::None, jan4 + 725, true, 60},
        {"2021-01-04T13:05:00-05:00", S::YearFirst, F::None, jan4 + 1085, true, -300},
        {"2021-01-04 00:30:00+0100", S::YearFirst, F::None, jan4 - 30, true, 60},
        {"2021-01-04 13:05+05:30", S::YearFirst, F::None, jan4 + 455, true, 330},
        {"2021-01-04 13:05 +02", S::YearFirst, F::None, jan4 + 665, true, 120},
        {"04.01.2021 00:00:00.000 GMT+0800", S::DayFirst, F::None, jan4 - 480, true, 480},
        {"04.01.2021 23:00 UTC-8", S::DayFirst, F::None, jan4 + 1860, true, -480},
        {"04.01.2021 13:05 GMT", S::DayFirst, F::None, jan4 + 785, true},
        {"20210104 170000 Z", S::Compact, F::None, jan4 + 1020, true},
        // Faults.
        {"2021.02.29", S::YearFirst, F::Date, 0, false},
        {"2021.13.01", S::YearFirst, F::Date, 0, false},
        {"2021.01.041", S::YearFirst, F::Date, 0, false},
        {"2021-01.04", S::YearFirst, F::Date, 0, false},
        {"2021.01.04x", S::YearFirst, F::Date, 0, false},
        {"0999.01.04", S::YearFirst, F::Year, 0, false},
        {"13/1/2021", S::MonthFirst, F::Date, 0, false},
        {"1/13/2021", S::DayFirst, F::Date, 0, false},
        {"1/1-2021", S::DayFirst, F::Date, 0, false},
        {"1/1/21", S::DayFirst, F::Date, 0, false},
        {"13/13/2021", S::YearLast, F::Date, 0, false},
        {"2021.01.04 24:00", S::YearFirst, F::Time, 0, false},
        {"2021.01.04 12:60", S::YearFirst, F::Time, 0, false},
        {"2021.01.04 12:00:30", S::YearFirst, F::NotWholeMinute, 0, false},
        {"2021.01.04 12:00:00.5", S::YearFirst, F::NotWholeMinute, 0, false},
        {"2021.01.04T", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+24:00", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+01:60", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+010", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+01:0", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05 GMT+", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05 CET", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05Z+01:00", S::YearFirst, F::Time, 0, false},
        {"2021-01-04 13:05+01:00x", S::YearFirst, F::Time, 0, false},
        {"1609718430", S::UnixSeconds, F::NotWholeMinute, 0, false},
        {"1609718400001", S::UnixMillis, F::NotWholeMinute, 0, false},
        {"1609718400000001", S::UnixMicros, F::NotWholeMinute, 0, false},
        {"16097184000000000", S::UnixMicros, F::Date, 0, false},
        {"999999999999", S::UnixSeconds, F::Year, 0, false},
        {"1609718400 12:00", S::UnixSeconds, F::Date, 0, false},
    };
    for (const auto& c : cases) {
        FieldTime t;
        t.local = -1;
        EXPECT_EQ(ReadDateTime(c.field, c.style, t), c.fault) << c.field;
        if (c.fault == TimeFault::None) {
            EXPECT_EQ(t.utc(), c.utc) << c.field;
            EXPECT_EQ(t.offset, c.offset) << c.field;
            EXPECT_EQ(t.hasClock, c.clock) << c.field;
        }
    }
}

TEST(ImportTime, GuessesTheStyleAndTellsClocksFromPrices) {
    struct Case {
        const char* field;
        bool known;
        DateStyle style;
    };
    const std::vector<Case> cases = {
        {"2021.01.04", true, DateStyle::YearFirst},       {"2021-01-04T00:00", true, DateStyle::YearFirst},
        {"4.1.2021", true, DateStyle::YearLast},          {"12/28/2012 19:00", true, DateStyle::YearLast},
        {"20210104 000000", true, DateStyle::Compact},    {"1609718400", true, DateStyle::UnixSeconds},
        {"1609718400000", true, DateStyle::UnixMillis},   {"1609718400000000", true, DateStyle::UnixMicros},
        {"1.22396", true, DateStyle::YearLast},           {"Date", false, DateStyle::YearFirst},
        {"2021x01", false, DateStyle::YearFirst},         {"16097184000000", false, DateStyle::YearFirst},
        {"160971840000000", false, DateStyle::YearFirst},
    };
    for (const auto& c : cases) {
        DateStyle s = DateStyle::YearFirst;
        EXPECT_EQ(GuessDateStyle(c.field, s), c.known) << c.field;
        if (c.known) {
            EXPECT_EQ(s, c.style) << c.field;
        }
    }
    for (const char* clock :
         {"00:00", "9:30", "17:00:00", "170000", "0800", " 12:00:00.000 ", "12:00+01:00"}) {
        EXPECT_TRUE(LooksLikeClock(clock)) << clock;
    }
    for (const char* price : {"1.22396", "108.1", "2400", "12345", "12:7x", ""}) {
        EXPECT_FALSE(LooksLikeClock(price)) << price;
    }
}

// A date shows its order only when it reads in one order alone.
TEST(ImportTime, DatesWithTheYearLastShowTheirOrderOnlyAbove12) {
    const std::vector<std::pair<const char*, DateStyle>> cases = {
        {"28/12/2012", DateStyle::DayFirst},
        {"12/28/2012 19:00", DateStyle::MonthFirst},
        {"13.01.2021 00:00:00.000 GMT+0800", DateStyle::DayFirst},
        {"12/28/2012 19:00:30", DateStyle::MonthFirst},  // a fault after the date still shows it
        {"11.10.2021", DateStyle::YearLast},
        {"1/1/2007 0:00", DateStyle::YearLast},
        {"13/13/2021", DateStyle::YearLast},
        {"31/02/2021", DateStyle::YearLast},
        {"Date", DateStyle::YearLast},
    };
    for (const auto& [field, order] : cases) EXPECT_EQ(DateOrderShown(field), order) << field;
}

TEST(ImportTime, CalendarArithmeticRoundTripsAndKnowsTheWeekday) {
    for (int64_t d = DaysFromDate(1000, 1, 1); d < DaysFromDate(10000, 1, 1); d += 17) {
        const Date date = DateFromDays(d);
        ASSERT_EQ(DaysFromDate(date.year, date.month, date.day), d);
    }
    EXPECT_EQ(DaysFromDate(1970, 1, 1), 0);
    EXPECT_EQ(DateFromDays(-1), (Date{1969, 12, 31}));
    EXPECT_EQ(WeekdayOfDays(DaysFromDate(2021, 1, 4)), 1);  // Monday
    EXPECT_EQ(WeekdayOfDays(DaysFromDate(2021, 1, 9)), 6);
    EXPECT_EQ(WeekdayOfDays(DaysFromDate(2021, 1, 10)), 7);
    EXPECT_EQ(WeekdayOfDays(DaysFromDate(1969, 12, 28)), 7);
    EXPECT_EQ(FloorDiv(-1, 1440), -1);
}

}  // namespace
}  // namespace kavro
