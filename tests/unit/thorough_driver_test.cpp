// The Kach command and Timer3's run: what Kach captures and refuses, the reports
// (Text10, RIPOT, RIPOT1), a fresh journal per run, faults and bars past the store.
#include <filesystem>

#include "engine/strategy_rules.h"
#include "platform/numbers.h"
#include "thorough_fixture.h"
#include "walkforward/search_order.h"
#include "walkforward/thorough_test.h"

namespace kavro::testing {
namespace {

using ThoroughDriver = ThoroughFixture;

TEST_F(ThoroughDriver, KachCapturesTheSettingsAndEnablesTimer3) {
    BuildStore(400, 100);
    s().run.firstBar = 1;
    s().run.lastBar = 2400;
    KachCommand(s());
    const Settings& v = s().run.s;
    EXPECT_EQ(v.U, 0.0001f);
    EXPECT_EQ(v.TP, 0.01f);
    EXPECT_EQ(FormatGeneral(v.SL, Locale{}), "0.002");
    EXPECT_EQ(FormatGeneral(v.ST, Locale{}), "0.0005");
    EXPECT_EQ(v.TP1, 100);
    EXPECT_EQ(v.SL1, 20);
    EXPECT_EQ(v.ST1, 5);
    EXPECT_EQ(s().run.lastEntryHour, 23);
    EXPECT_EQ(s().form.label15, kStatusEstimate);
    EXPECT_TRUE(s().form.timer3);

    s().form.pair = Pair::JPY;
    KachCommand(s());
    EXPECT_EQ(s().run.s.U, 0.01f);

    s().form.timer3 = false;
    s().form.text2 = "0";
    KachCommand(s());
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_FALSE(s().form.timer3);
    EXPECT_TRUE(dialogs.messages.empty());
    // A refused run changes nothing the earlier one showed.
    EXPECT_EQ(s().form.label15, kStatusEstimate);
}

struct Refusal {
    std::string FormState::*field;
    const char* text;
    const char* message;  // with quotes loaded
};

class KachRefuses : public ThoroughFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(KachRefuses, UnreadableOrTooBigSettingsNameTheirField) {
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "quotes loaded" : "no quotes");
        dialogs.messages.clear();
        if (loaded) BuildStore(400, 100);
        s().form.*GetParam().field = GetParam().text;
        s().run.firstBar = 1;
        s().run.lastBar = 2400;
        AppendToFile(s().ripotPath(), "old\r\n");
        AppendToFile(s().ripot1Path(), "old\r\n");
        const std::string report = ReadFile(s().ripotPath()), trades = ReadFile(s().ripot1Path());
        s().form.label15 = "earlier";
        RunKach();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
        EXPECT_EQ(dialogs.messages[0].text, loaded ? GetParam().message : kStartFailed);
        EXPECT_FALSE(s().form.timer3);
        EXPECT_EQ(s().run.passesStarted, 0);
        // A refused run changes nothing: the status line and both reports are as they were.
        EXPECT_EQ(s().form.label15, "earlier");
        EXPECT_EQ(ReadFile(s().ripotPath()), report);
        EXPECT_EQ(ReadFile(s().ripot1Path()), trades);
    }
}

constexpr const char* kForward = "Поле «Период» (проверка): введите число больше 0";
constexpr const char* kTooManyPasses =
    "Тест из 3072768048 проходов слишком велик (допускается не более 100000000): сблизьте поля «TP» и «SL» в "
    "рамке «TP/SL», увеличьте поле «Шаг» или сократите часы в рамке «Время»";

INSTANTIATE_TEST_SUITE_P(
    Fields, KachRefuses,
    ::testing::Values(
        Refusal{&FormState::text8, "0", kForward}, Refusal{&FormState::text8, "-1", kForward},
        Refusal{&FormState::text8, "abc", kForward},
        Refusal{&FormState::text8, "1e-300",  // countless windows
                "Тест из 2.00e+300 окон слишком велик (допускается не более 100000): увеличьте поле «Период» "
                "(проверка) или выберите более короткий интервал"},
        Refusal{&FormState::text7, "-0.5", "Поле «Период» (оптимизация): введите число не меньше 0"},
        Refusal{&FormState::text7, "1e999", "Поле «Период» (оптимизация): введите число не меньше 0"},
        Refusal{&FormState::text2, "abc", "Поле «TP» в рамке «TP/SL»: введите число"},
        Refusal{&FormState::text3, "", "Поле «SL» в рамке «TP/SL»: введите число"},
        Refusal{&FormState::text4, "x", "Поле «Первый час» в рамке «Время»: введите число"},
        Refusal{&FormState::text5, "1,5", "Поле «Последний час» в рамке «Время»: введите число"},
        Refusal{&FormState::text6, "5x", "Поле «Шаг»: введите число"},
        Refusal{&FormState::text6, "-5", "Поле «Шаг»: введите число больше 0"},
        // 19,997 take-profit values, as many stops, 24 hours, two windows: far too many passes.
        Refusal{&FormState::text2, "1e5",
                "Тест из 19194240432 проходов слишком велик (допускается не более "
                "100000000): сблизьте поля «TP» и «SL» в рамке «TP/SL», увеличьте "
                "поле «Шаг» или сократите часы в рамке «Время»"},
        Refusal{&FormState::text6, "0.01", kTooManyPasses}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return "Case" + std::to_string(info.index); });

TEST_F(ThoroughDriver, RunsThatWouldDoNothingOrOverflowAreRefused) {
    BuildStore(400, 100);
    s().run.firstBar = 1;
    s().run.lastBar = 1000;  // shorter than the 1440-bar optimisation window
    RunKach();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    EXPECT_NE(dialogs.messages[0].text.find("ни одно окно"), std::string::npos);
    EXPECT_EQ(s().form.label15, "");  // nothing ran before it, nothing set it

    // A point value whose results overflow is refused as the simple test refuses it.
    dialogs.messages.clear();
    s().run.lastBar = 2400;
    s().form.text11 = "1e300";
    RunKach();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, kFaultOverflow);
    EXPECT_EQ(s().run.passesStarted, 0);

    // No quotes at all: nothing to test.
    dialogs.messages.clear();
    s().form.text11 = "10";
    s().store = QuoteStore();
    RunKach();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, kStartFailed);
}

// Kach refuses exactly the grids whose search would try no setting; every other
// grid searches all of its settings.
TEST_F(ThoroughDriver, OnlyAGridWithoutASettingIsRefused) {
    BuildStore(400, 100);
    s().run.firstBar = 1;
    s().run.lastBar = 2400;
    FormState& f = s().form;
    f.check3 = true;  // one window's search shows the grid
    f.text4 = f.text5 = "3";
    struct Grid {
        const char* tp;
        const char* sl;
        const char* step;
        int settings;
    };
    const Grid grids[] = {
        {"20", "100", "5", 0},  // the take-profit range counted down to the stop holds nothing
        {"99.5", "100", "5", 0},
        {"20", "20", "5", 1},
        {"20", "20", "1e-3", 1},
        {"22", "20", "5", 1},      // take-profit 22 (17 is past the stop) x stop 20 (25 is past 22)
        {"30", "20", "5", 9},      // 30, 25, 20 x 20, 25, 30
        {"20.5", "20", "0.5", 4},  // 20.5, 20 x 20, 20.5
        {"3.3333333333", "3.3333333333", "1", 1},  // read the long way a little below the text
        {"0.1234567891", "0.1234567891", "1", 0},  // read the long way above it: no stop fits
    };
    for (const Grid& g : grids) {
        SCOPED_TRACE(std::string(g.tp) + " / " + g.sl + " / " + g.step);
        dialogs.messages.clear();
        f.text2 = g.tp;
        f.text3 = g.sl;
        f.text6 = g.step;
        AppendToFile(s().ripotPath(), "old\r\n");
        const std::string report = ReadFile(s().ripotPath()), status = f.label15;
        const long long before = s().run.passesDone;
        RunKach();
        EXPECT_FALSE(f.timer3);
        EXPECT_EQ(s().run.passesDone - before, g.settings);
        if (g.settings == 0) {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
            EXPECT_EQ(dialogs.messages[0].text, kNoSearchSettings);
            // Refused before it started: what the last run left stays.
            EXPECT_EQ(f.label15, status);
            EXPECT_EQ(ReadFile(s().ripotPath()), report);
        } else {
            EXPECT_TRUE(dialogs.messages.empty());
            EXPECT_EQ(Lines(s().ripotPath()).size(), 1u);
        }
    }
}

TEST_F(ThoroughDriver, TextChangedToGarbageDuringTheRunEndsItWithTheMessage) {
    BuildStore(400, 100);
    s().run.firstBar = 1;
    s().run.lastBar = 2400;
    s().form.text2 = s().form.text3 = "20";
    s().form.text4 = s().form.text5 = "0";
    pump.onYield = [this] {
        if (s().run.passesDone == 1) s().form.text4 = "nine";  // read again by window 2
    };
    RunKach();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Поле «Первый час» в рамке «Время»: введите число");
    EXPECT_FALSE(s().form.timer3);
    EXPECT_EQ(Lines(s().ripotPath()).size(), 1u);
}

// Text2 below Text3 runs no search: the forward passes trade the setting left from
// start-up (hour 0, both distances 0), closing each trade on its entry bar at -50,
// and start where the last search window ended, at bar 0 since start-up.
class ZeroBestRun : public ThoroughFixture {
  protected:
    // Kach refuses such a grid, so Text2 drops below Text3 only once the run has
    // started: every window reads it again and searches nothing.
    void RunKach() {
        const std::string target = s().form.text2;
        s().form.text2 = s().form.text3;
        ToolbarButton(s(), "Kach");
        s().form.text2 = target;
        for (int i = 0; i < 5 && s().form.timer3; ++i) Timer3Tick(s());
    }
    void SetUp() override {
        ThoroughFixture::SetUp();
        BuildStore(400, 100);
        s().run.firstBar = 1;
        s().run.lastBar = 2400;  // two windows, both forward-testing bars 0..480
        s().form.text2 = "10";
        s().form.text3 = "20";
        BuyDay(5);
        SellDay(12);
    }
    std::string D(int hourDay) const {
        const std::string k = DateOfHourDay(hourDay);
        return k.substr(6, 2) + "." + k.substr(4, 2) + "." + k.substr(0, 4);
    }
};

TEST_F(ZeroBestRun, WritesTheReportsInTheirFormats) {
    s().form.text10 = "earlier";
    RunKach();
    const FormState& f = s().form;
    EXPECT_EQ(s().run.passesDone, 2);  // two forward passes, no search pass
    // Each window ends on bar 481, hour 0 of hourly day 20.
    // The run's first line starts on a line of its own after what the box held.
    EXPECT_EQ(f.text10, "earlier\r\n" + D(20) + "  0  0  0  -100\r\n17.05.2020  0  0  0  -100");
    EXPECT_EQ(ReadFile(s().ripotPath()), D(20) + " 0  0  0 -100 \r\n17.05.2020 0  0  0 -100 \r\n");
    const std::string d5 = DateOfHourDay(5), d12 = DateOfHourDay(12);
    const std::string buy = "Buy $-50 Open " + d5 + " 1 Close " + d5 + " 1 Profit $";
    const std::string sell = "Sell $-50 Open " + d12 + " 1 Close " + d12 + " 1 Profit $";
    EXPECT_EQ(ReadFile(s().ripot1Path()), buy + "-50 +4 -0\r\n" + sell + "-100 +4 -0\r\n" + buy +
                                              "-150 +4 -0\r\n" + sell + "-200 +4 -0\r\n");
    EXPECT_EQ(f.label1[6], D(20));
    EXPECT_EQ(f.label1[4], "17.05.2020");
    EXPECT_EQ(f.label1[5], "-200");
    EXPECT_FALSE(f.timer3);
}

TEST_F(ZeroBestRun, EveryRunStartsItsJournalAfresh) {
    // An earlier simple test left more rows and its counts.
    RunState& r = s().run;
    for (size_t k = 1; k <= 6; ++k) r.journal.at(k).side = TradeSide::Buy;
    r.closedTradeCount = 6;
    r.winCount = 7;
    r.forwardEquity = 1234;
    RunKach();
    const std::string first = ReadFile(s().ripot1Path());
    EXPECT_EQ(Lines(s().ripot1Path()).size(), 4u);
    EXPECT_NE(first.find("Profit $-50 +4 -0"), std::string::npos);
    RunKach();
    EXPECT_EQ(ReadFile(s().ripot1Path()), first);
    EXPECT_EQ(r.forwardOpenedCount, 4);
    EXPECT_EQ(r.forwardEquity, -200);
}

TEST_F(ZeroBestRun, BeepsAfterEveryWindowUnlessSwitchedOff) {
    s().form.check2 = false;
    RunKach();
    EXPECT_EQ(dialogs.beeps, 2);
    s().form.check2 = true;
    RunKach();
    EXPECT_EQ(dialogs.beeps, 2);
}

TEST_F(ZeroBestRun, DecimalCommaLocaleShowsCommasButWritesRipotWithPoints) {
    session = std::make_unique<Session>(Ports{pump, dialogs, clock, shell}, Locale{',', "dd.MM.yyyy"}, dir);
    BuildStore(400, 100);
    Session& ss = s();
    ss.form.check2 = true;
    ss.form.dtPicker2.value = Date{2020, 5, 17};
    ss.run.firstBar = 1;
    ss.run.lastBar = 1921;  // one window
    ss.form.text2 = "100";
    ss.form.text3 = "100";
    ss.form.text4 = ss.form.text5 = "10";
    BuyDay(62);
    SetBar(BarOf(62, 10), 1.25f, 1.2601f, 1.25f);  // bought and closed at the target on one bar
    RunKach();
    const std::string d62 = DateOfHourDay(62);
    EXPECT_EQ(ReadFile(ss.ripot1Path()),
              "Buy $949 Open " + d62 + " 1,25 Close " + d62 + " 1,26 Profit $949 +1 -0\r\n");
    EXPECT_EQ(ReadFile(ss.ripotPath()), "17.05.2020 10  100  100  949 \r\n");
}

TEST_F(ThoroughDriver, EarlyWindowsFindTheirDaysWhereTheSearchOnceFaulted) {
    // 200 days of hourly bars but only 100 daily bars before them: the day search of
    // every bar before 2489 starts below day 1, which used to fault the pass.
    BuildStore(300, 200);
    BuyDay(5);
    SetBar(BarOf(5, 0), 1.0f, 1.0021f, 1.0f);  // bought and closed at the target on one bar
    s().run.firstBar = 1;
    s().run.lastBar = 4800;  // seven windows
    s().form.text2 = s().form.text3 = "20";
    s().form.text4 = s().form.text5 = "0";
    RunKach();
    // Every search and every forward pass runs to its end.
    EXPECT_EQ(s().run.passesStarted, 14);
    EXPECT_EQ(s().run.passesDone, 14);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(s().form.timer3);
    const auto lines = Lines(s().ripotPath());
    ASSERT_EQ(lines.size(), 7u);
    // The first window's search found the trade of hour-day 5 and chose hour 0.
    EXPECT_EQ(s().run.runPassesDone, 14);
}

TEST_F(ThoroughDriver, WindowsPastTheStoreEndQuietlyWithEmptyDates) {
    s().store = QuoteStore(80000, 20000);
    BuildStore(400, 100);
    s().run.firstBar = 78000;
    s().run.lastBar = 79930;  // two windows; the second forward pass reaches bar 80400
    s().form.text2 = s().form.text3 = "20";
    s().form.text4 = s().form.text5 = "0";
    RunKach();
    EXPECT_FALSE(s().form.timer3);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(s().run.currentBar, 80001);
    EXPECT_EQ(s().run.passesDone, 3);
    EXPECT_EQ(ReadFile(s().ripotPath()), " 0  20  20  0 \r\n17.05.2020 0  20  20  0 \r\n");
    EXPECT_EQ(s().form.label1[6], "");
    EXPECT_EQ(s().form.text10, "  0  20  20  0\r\n17.05.2020  0  20  20  0");
}

}  // namespace
}  // namespace kavro::testing
