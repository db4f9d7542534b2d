#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kavro {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

Locale Russian() {
    Locale l;
    EXPECT_TRUE(Locale::fromName("ru_RU", l));
    return l;
}

TEST(Val, ReadsTheLeadingNumber) {
    struct Case {
        std::string text;
        double expected;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"   ", 0},
        {"abc", 0},
        {"-", 0},
        {".", 0},
        {"--5", 0},
        {"+-5", 0},
        {"0x1A", 0},
        {"1.0485", 1.0485},
        {"1.0485,1.0490,", 1.0485},
        // The blank is skipped, so the high's digits join the open until its period.
        {"1.0485 1.0490", 1.04851},
        {" \t\n-12.5x", -12.5},
        {"- 1 2", -12},
        {"+7", 7},
        {"1.2.3", 1.2},
        {".5", 0.5},
        {"5.", 5},
        {"-.5e1", -5},
        {"1e3", 1000},
        {"1E-2", 0.01},
        {"1e", 1},
        {"1e+", 1},
        {"2 e 2", 200},
        {"1.5e2.5", 150},
        {"5.e3", 5000},
        {"12\r34", 12},  // a carriage return is not skipped
        {"1,000", 1},
        {"0007", 7},
        {"1e400", kInf},
        {"-1e400", -kInf},
        {"1e-400", 0},
        {"1" + std::string(400, '0'), kInf},
        {"1" + std::string(400, '0') + "e-390", 1e10},
        // A long run of zeros after the point is tiny, not huge.
        {"0." + std::string(400, '0') + "1", 0},
        {"-0." + std::string(400, '0') + "1", 0},
        {"1" + std::string(400, '0') + "e-1", kInf},
    };
    for (const auto& c : cases) EXPECT_EQ(Val(c.text), c.expected) << "text: " << c.text;
}

TEST(Val, StoredAsSingleKeepsThePrice) {
    EXPECT_EQ(static_cast<float>(Val("1.0485,")), 1.0485f);
    EXPECT_EQ(static_cast<float>(Val("1.0485 1.0490")), 1.04851f);
    EXPECT_EQ(static_cast<float>(Val("110.4500,")), 110.45f);
}

struct SingleCase {
    std::string text;
    bool ok;
    float expected;
};

void CheckSingles(const Locale& locale, const std::vector<SingleCase>& cases) {
    for (const auto& c : cases) {
        float out = 99.0f;
        EXPECT_EQ(ToSingle(c.text, locale, out), c.ok) << "text: '" << c.text << "'";
        // A failed conversion leaves the target alone.
        EXPECT_EQ(out, c.ok ? c.expected : 99.0f) << "text: '" << c.text << "'";
    }
}

TEST(ToSingle, DecimalPointLocaleIsStrict) {
    CheckSingles(Locale{}, {
                               {"12.5", true, 12.5f},     {" 7 ", true, 7.0f},    {"\t-3\t", true, -3.0f},
                               {"+4", true, 4.0f},        {"1e3", true, 1000.0f}, {"1.5E-2", true, 0.015f},
                               {".5", true, 0.5f},        {"5.", true, 5.0f},     {"0.0005", true, 0.0005f},
                               {"3.4e38", true, 3.4e38f}, {"", false, 0},         {" ", false, 0},
                               {"abc", false, 0},         {"12,5", false, 0},     {"1 2", false, 0},
                               {"12a", false, 0},         {"1e", false, 0},       {"1e+", false, 0},
                               {"-", false, 0},           {"1.2.3", false, 0},    {"1e39", false, 0},
                               {"5\n", false, 0},
                           });
}

TEST(ToSingle, DecimalCommaLocale) {
    CheckSingles(Russian(), {
                                {"12,5", true, 12.5f},
                                {"-0,25", true, -0.25f},
                                {",5", true, 0.5f},
                                {"100", true, 100.0f},
                                {"12.5", false, 0},
                                {"1,2,3", false, 0},
                            });
}

TEST(ValueInPoints, GoesTheLongWay) {
    struct Case {
        std::string text;
        bool russian;
        bool ok;
        double expected;
    };
    const std::vector<Case> cases = {
        {"12.5", false, true, 12.5},
        {"100", false, true, 100},
        {" 20 ", false, true, 20},
        {"1e3", false, true, 1000},
        // Back to text with 7 digits: "1.234568E+07", which Val reads in full.
        {"12345678", false, true, 12345680},
        {"0.1", false, true, 0.1},
        {"abc", false, false, 0},
        {"12,5", false, false, 0},
        // Under a decimal comma only the whole part survives the trip back through Val.
        {"12,5", true, true, 12},
        {"0,0005", true, true, 0},
        {"-3,9", true, true, -3},
        {"20", true, true, 20},
        {"12.5", true, false, 0},
        {"letters", true, false, 0},
    };
    for (const auto& c : cases) {
        double out = -1;
        EXPECT_EQ(ValueInPoints(c.text, c.russian ? Russian() : Locale{}, out), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(out, c.expected) << c.text;
        }
    }
}

TEST(FormatGeneral, SingleHasSevenSignificantDigits) {
    const Locale c;
    const std::vector<std::pair<float, std::string>> cases = {
        {1.0485f, "1.0485"},
        {949.0f, "949"},
        {-301.0f, "-301"},
        {0.0001f, "0.0001"},
        {0.0005f, "0.0005"},
        {0.01f, "0.01"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {1.0f / 3.0f, "0.3333333"},
        {12345678.0f, "1.234568E+07"},
        {10000.0f, "10000"},
        {-2.5f, "-2.5"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatGeneral(value, c), text) << value;
}

TEST(FormatGeneral, DoubleHasFifteenSignificantDigits) {
    const Locale c;
    EXPECT_EQ(FormatGeneral(1.0485, c), "1.0485");
    EXPECT_EQ(FormatGeneral(0.1 + 0.2, c), "0.3");
    EXPECT_EQ(FormatGeneral(1.0 / 3.0, c), "0.333333333333333");
    // The same single value shows its binary tail only at double width.
    EXPECT_EQ(FormatGeneral(static_cast<double>(1.0485f), c), "1.04849994182587");
    EXPECT_EQ(FormatGeneral(1.0485f, c), "1.0485");
}

TEST(FormatGeneral, FollowsTheLocaleSeparator) {
    const Locale ru = Russian();
    EXPECT_EQ(FormatGeneral(1.0485f, ru), "1,0485");
    EXPECT_EQ(FormatGeneral(12.5f, ru), "12,5");
    EXPECT_EQ(FormatGeneral(-0.25, ru), "-0,25");
    EXPECT_EQ(FormatGeneral(949.0f, ru), "949");
}

TEST(PrintNumber, SignOrBlankBeforeOneBlankAfter) {
    EXPECT_EQ(PrintNumber(10.0f), " 10 ");
    EXPECT_EQ(PrintNumber(-301.0f), "-301 ");
    EXPECT_EQ(PrintNumber(0.0f), " 0 ");
    EXPECT_EQ(PrintNumber(-0.0f), " 0 ");
    EXPECT_EQ(PrintNumber(1.0485f), " 1.0485 ");
    EXPECT_EQ(PrintNumber(-2.5), "-2.5 ");
    EXPECT_EQ(PrintNumber(1.0 / 3.0), " 0.333333333333333 ");
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    const std::vector<std::pair<double, double>> cases = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-1.5, -2}, {-2.5, -2}, {3.49, 3}, {3.51, 4}, {7, 7},
    };
    for (const auto& [x, r] : cases) EXPECT_EQ(RoundHalfEven(x), r) << x;
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_TRUE(std::signbit(RoundHalfEven(-0.5)));
}

TEST(Rounding, IntIsTheWholeNumberAtOrBelow) {
    const std::vector<std::pair<double, double>> cases = {
        {-1.5, -2}, {1.5, 1}, {1.9999, 1}, {2.0, 2}, {-2.0, -2}, {-0.0001, -1}, {0.0, 0},
    };
    for (const auto& [x, r] : cases) EXPECT_EQ(Int(x), r) << x;
}

TEST(ToIndex, RoundsAndChecksBounds) {
    struct Case {
        double x;
        long lo, hi;
        bool ok;
        long expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {2.5, 0, 10, true, 2},
        {3.5, 0, 10, true, 4},
        {10.5, 0, 10, true, 10},
        {11.5, 0, 10, false, 0},
        {-0.5, 0, 10, true, 0},
        {-0.6, 0, 10, false, 0},
        {nan, 0, 10, false, 0},
        {kInf, 0, 10, false, 0},
        {-kInf, 0, 10, false, 0},
        {1e300, 0, 10, false, 0},
        {32767.4, -32768, 32767, true, 32767},
        {-32768.5, -32768, 32767, true, -32768},
    };
    for (const auto& c : cases) {
        long out = -77;
        EXPECT_EQ(ToIndex(c.x, c.lo, c.hi, out), c.ok) << c.x;
        EXPECT_EQ(out, c.ok ? c.expected : -77) << c.x;
    }
}

}  // namespace
}  // namespace kavro
