#include "platform/dates.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace kavro {
namespace {

TEST(DateFromParts, RollsOverLikeCalendarArithmetic) {
    struct Case {
        long y, m, d;
        Date expected;
    };
    const std::vector<Case> cases = {
        {2021, 1, 1, {2021, 1, 1}},     {2020, 13, 1, {2021, 1, 1}},  {2020, 25, 1, {2022, 1, 1}},
        {2020, 0, 15, {2019, 12, 15}},  {2020, -1, 1, {2019, 11, 1}}, {2020, -12, 1, {2018, 12, 1}},
        {2020, 3, 0, {2020, 2, 29}},    {2021, 3, 0, {2021, 2, 28}},  {2020, 1, 32, {2020, 2, 1}},
        {2020, 12, 32, {2021, 1, 1}},   {2020, 2, 29, {2020, 2, 29}}, {2021, 2, 29, {2021, 3, 1}},
        {2000, 2, 29, {2000, 2, 29}},   {1900, 2, 29, {1900, 3, 1}},  {2021, 1, -30, {2020, 12, 1}},
        {2020, 1, 366, {2020, 12, 31}}, {2021, 1, 366, {2022, 1, 1}}, {2019, 1, 32, {2019, 2, 1}},
        {2019, 2, 30, {2019, 3, 2}},    {100, 1, 1, {100, 1, 1}},     {9999, 12, 31, {9999, 12, 31}},
    };
    for (const auto& c : cases) {
        Date out;
        ASSERT_TRUE(DateFromParts(c.y, c.m, c.d, out)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(out, c.expected) << c.y << "-" << c.m << "-" << c.d;
    }
}

TEST(DateFromParts, RefusesDatesOutsideTheCalendar) {
    struct Case {
        long y, m, d;
    };
    const std::vector<Case> cases = {
        {99, 1, 1},
        {0, 1, 1},
        {10000, 1, 1},
        {9999, 12, 32},
        {100, 1, 0},
        {-5, 1, 1},
        {32767, 32767, 32767},
        {2020, 1, 1000000000},
        {2020, 1, -1000000000},
        {LONG_MAX, 1, 1},
        {LONG_MIN, 1, 1},
        {2020, LONG_MAX, 1},
        {2020, LONG_MIN, 1},
        {2020, 1, LONG_MAX},
        {2020, 1, LONG_MIN},
    };
    for (const auto& c : cases) {
        Date out{1, 2, 3};
        EXPECT_FALSE(DateFromParts(c.y, c.m, c.d, out)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(out, (Date{1, 2, 3}));
    }
}

TEST(DaysInMonth, KnowsLeapYears) {
    EXPECT_EQ(DaysInMonth(2020, 2), 29);
    EXPECT_EQ(DaysInMonth(2021, 2), 28);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2021, 4), 30);
    EXPECT_EQ(DaysInMonth(2021, 12), 31);
    // Months outside 1..12 have no days rather than reading beyond the table.
    EXPECT_EQ(DaysInMonth(2021, 0), 0);
    EXPECT_EQ(DaysInMonth(2021, 13), 0);
    EXPECT_EQ(DaysInMonth(2021, -11), 0);
}

TEST(DateKey, IsEightDigits) {
    EXPECT_EQ(DateKey({2021, 4, 2}), "20210402");
    EXPECT_EQ(DateKey({2019, 12, 31}), "20191231");
    EXPECT_EQ(DateKey({100, 1, 1}), "01000101");
}

TEST(ShortDate, FollowsTheLocalePattern) {
    const Date d{2021, 4, 5};
    struct Case {
        const char* locale;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"C", "05.04.2021"},     {"ru_RU", "05.04.2021"}, {"en_US", "4/5/2021"},
        {"en_GB", "05/04/2021"}, {"fr_FR", "05/04/2021"}, {"ru_RU.UTF-8", "05.04.2021"},
    };
    for (const auto& c : cases) {
        Locale l;
        ASSERT_TRUE(Locale::fromName(c.locale, l)) << c.locale;
        EXPECT_EQ(ShortDate(d, l), c.expected) << c.locale;
    }
    EXPECT_EQ(ShortDate({2021, 12, 25}, Locale{}), "25.12.2021");
    Locale custom;
    custom.shortDatePattern = "yy-M-d";
    EXPECT_EQ(ShortDate(d, custom), "21-4-5");
    EXPECT_EQ(ShortDate(Date{}, Locale{}), "");
}

TEST(Locale, UnknownNameFailsAndKeepsTheTarget) {
    Locale l;
    l.decimalSeparator = '#';
    EXPECT_FALSE(Locale::fromName("xx_XX", l));
    EXPECT_EQ(l.decimalSeparator, '#');
    ASSERT_TRUE(Locale::fromName("de_DE.UTF-8", l));
    EXPECT_EQ(l.decimalSeparator, ',');
    ASSERT_TRUE(Locale::fromName("C", l));
    EXPECT_EQ(l.decimalSeparator, '.');
}

TEST(IsoDate, ParsesOnlyWellFormedDates) {
    Date out;
    ASSERT_TRUE(ParseIsoDate("2021-04-02", out));
    EXPECT_EQ(out, (Date{2021, 4, 2}));
    ASSERT_TRUE(ParseIsoDate("2020-02-29", out));
    EXPECT_EQ(IsoDate(out), "2020-02-29");

    const std::vector<std::string> bad = {
        "",           "2021-4-2",   "2021/04/02",  "2021-02-30", "2021-02-29", "2021-13-01", "2021-00-10",
        "2021-01-00", "0099-01-01", " 202-01-01",  "+202-01-01", "-202-01-01", "2021-+1-01", "2021- 1-01",
        "2021-01- 1", "2021-01-+1", "2021-01-01x", "20210102",   "abcd-ef-gh", "2021-01-0a", "2021-01-01 ",
    };
    for (const auto& text : bad) {
        Date keep{1, 2, 3};
        EXPECT_FALSE(ParseIsoDate(text, keep)) << "'" << text << "'";
        EXPECT_EQ(keep, (Date{1, 2, 3})) << "'" << text << "'";
    }
}

}  // namespace
}  // namespace kavro
