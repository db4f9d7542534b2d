#include <gtest/gtest.h>

#include "engine/test_pass.h"
#include "engine_fixture.h"
#include "program/commands.h"

namespace kavro::testing {
namespace {

// 300 quiet days; hourly bars on days 281..290, 24 a day, flat at 1.1.
class SimpleTest : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDaysWithHours(290);
        SetInterval(1, session.store.hourBarCount);
        session.form.check2 = false;
    }
};

TEST_F(SimpleTest, BuyWinnerEarns949AndIsJournalled) {
    MakeBuyDay(283);
    SetBar(BarOf(283, 10), 1.1f, 1.1f, 1.1f);
    SetBar(BarOf(284, 5), 1.1f, 1.1102f, 1.1f);
    SingleSetting("10");
    RunSimpleTest();
    const RunState& r = session.run;
    EXPECT_EQ(r.passProfit, 949.0f);
    EXPECT_EQ(session.form.label6[3], "949");
    EXPECT_EQ(session.form.label6[0], "10");
    EXPECT_EQ(r.openedTradeCount, 1);
    EXPECT_EQ(r.closedTradeCount, 1);
    EXPECT_EQ(r.winCount, 1);
    const JournalRow& row = r.journal.row(1);
    EXPECT_EQ(row.entryPrice, 1.1f);
    EXPECT_EQ(row.entryDate->view(), DayText(283));
    EXPECT_EQ(row.side, TradeSide::Buy);
    EXPECT_EQ(row.profit, 949.0f);
    EXPECT_EQ(row.exitDate->view(), DayText(284));
    EXPECT_EQ(*row.exitPrice, 1.1f + r.s.TP);
    EXPECT_EQ(r.journal.row(0).equity, 0.0f);
    EXPECT_EQ(r.journal.row(1).equity, 949.0f);
    EXPECT_EQ(session.form.label15, "Тест окончен");
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(dialogs.beeps, 1);
}

TEST_F(SimpleTest, LosersFollowTheSingleStopDistance) {
    for (const auto& [stop, expected] : {std::pair{"20", -200.0f}, std::pair{"30", -301.0f}}) {
        MakeSellDay(285);
        SetBar(BarOf(285, 10), 1.1f, 1.1f, 1.1f);
        SetBar(BarOf(286, 3), 1.1f, 1.104f, 1.1f);
        SingleSetting("10");
        session.form.text3 = stop;
        RunSimpleTest();
        EXPECT_EQ(session.run.passProfit, expected) << stop;
        EXPECT_EQ(session.run.lossCount, 1);
        EXPECT_EQ(*session.run.journal.row(1).exitPrice, 1.1f + session.run.s.SL) << stop;
    }
    // The report line of the last pass: hour, target, stop, result in the print format.
    const auto lines = ReportLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], " 10  100  30 -301 ");
}

TEST_F(SimpleTest, TakeProfitWinsABarThatReachesBothLevels) {
    MakeBuyDay(283);
    SetBar(BarOf(283, 10), 1.1f, 1.1f, 1.1f);
    SetBar(BarOf(284, 0), 1.1f, 1.12f, 1.08f);
    SingleSetting("10");
    RunSimpleTest();
    EXPECT_EQ(session.run.passProfit, 949.0f);
    EXPECT_EQ(session.run.lossCount, 0);
}

TEST_F(SimpleTest, APositionCanOpenAndCloseOnItsEntryBarButNotReopen) {
    MakeBuyDay(283);
    // The entry bar itself reaches the target.
    SetBar(BarOf(283, 10), 1.1f, 1.115f, 1.1f);
    SingleSetting("10");
    RunSimpleTest();
    EXPECT_EQ(session.run.openedTradeCount, 1);
    EXPECT_EQ(session.run.closedTradeCount, 1);
    EXPECT_EQ(*session.run.journal.row(1).exitDate, session.run.journal.row(1).entryDate);
}

TEST_F(SimpleTest, BuyAndSellOpenTogetherAndAnOpenPositionAddsNothing) {
    // Both signals cannot hold on one day, so the buy opens on day 283 and the sell on 284.
    MakeBuyDay(283);
    MakeSellDay(284);
    SetBar(BarOf(283, 10), 1.1f, 1.1f, 1.1f);
    SetBar(BarOf(284, 10), 1.1f, 1.1f, 1.1f);
    // The sell reaches its target; the buy, with a wide stop, stays open to the end.
    SetBar(BarOf(285, 1), 1.09f, 1.1f, 1.0895f);
    SingleSetting("10");
    session.form.text3 = "150";
    RunSimpleTest();
    EXPECT_EQ(session.run.openedTradeCount, 2);
    EXPECT_EQ(session.run.closedTradeCount, 1);
    EXPECT_EQ(session.run.passProfit, 949.0f);
    EXPECT_EQ(session.run.journal.row(1).side, TradeSide::Buy);
    EXPECT_EQ(session.run.journal.row(2).side, TradeSide::Sell);
    // Exit row 1 holds the sell's close (rows pair in the order of closing).
    EXPECT_EQ(*session.run.journal.row(1).exitPrice, 1.1f - session.run.s.TP);
}

TEST_F(SimpleTest, OtherHoursAndDaysWithoutDailyBarOpenNothing) {
    MakeBuyDay(283);
    SingleSetting("11");
    RunSimpleTest();
    EXPECT_EQ(session.run.openedTradeCount, 1);  // hour 11 of the buy day opens
    // Remove the buy day's date from the daily data: the bar finds no day.
    session.store.dayDate[283] = DateText::from("19990101");
    ++session.store.generation;
    RunSimpleTest();
    EXPECT_EQ(session.run.openedTradeCount, 0);
}

TEST_F(SimpleTest, DefaultSweepRuns408PassesInOneTick) {
    ToolbarButton(session, "Start");
    EXPECT_EQ(session.form.label15, " Оценка времени ");
    Timer1Tick(session);
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(session.run.passesDone, 408);
    EXPECT_EQ(session.form.progressMax, 408);
    EXPECT_EQ(dialogs.beeps, 1);
    const auto lines = ReportLines();
    ASSERT_EQ(lines.size(), 408u);
    EXPECT_EQ(lines[0], " 0  100  20  0 ");
    EXPECT_EQ(lines[16], " 0  100  100  0 ");
    EXPECT_EQ(lines[17], " 1  100  20  0 ");
    EXPECT_EQ(lines[407], " 23  100  100  0 ");
    // Every pass scored 0: ties go to the later pass.
    EXPECT_EQ(session.form.label1[3], "23");
    EXPECT_EQ(session.form.label1[1], "100");
    // A second sweep tests every hour again.
    ToolbarButton(session, "Start");
    Timer1Tick(session);
    EXPECT_EQ(ReportLines().size(), 408u);
    EXPECT_EQ(ReportLines()[0], " 0  100  20  0 ");
}

TEST_F(SimpleTest, SweepDirectionAndHourRules) {
    session.form.text3 = "100";
    session.form.text2 = "20";
    session.form.text5 = "30";  // treated as 23
    RunSimpleTest();
    auto lines = ReportLines();
    ASSERT_EQ(lines.size(), 408u);
    EXPECT_EQ(lines[0], " 0  20  100  0 ");
    EXPECT_EQ(lines[1], " 0  20  95  0 ");
    EXPECT_EQ(lines[16], " 0  20  20  0 ");

    // Equal texts, or a negative step: no pass would run, so Start refuses the run
    // instead of leaving its timer ticking without work, and what the sweep left stays.
    const std::string label15 = session.form.label15;
    const std::string best = session.form.label1[0];
    for (const auto& [stop, step] : {std::pair{"20", "5"}, std::pair{"100", "-5"}}) {
        dialogs.messages.clear();
        session.form.text3 = stop;
        session.form.text6 = step;
        session.form.text5 = "23";
        ToolbarButton(session, "Start");
        EXPECT_FALSE(session.form.timer1);
        EXPECT_EQ(session.form.label15, label15);
        EXPECT_EQ(session.form.label1[0], best);
        EXPECT_EQ(ReportLines().size(), 408u);
        ASSERT_EQ(dialogs.messages.size(), 1u);
    }
    EXPECT_EQ(dialogs.messages[0].text, "Поле «Шаг»: введите число больше 0");
}

TEST_F(SimpleTest, SingleSettingRunCoversItsHoursEveryTime) {
    session.form.text6 = "0";
    session.form.text4 = "10";
    session.form.text5 = "12";
    session.form.check2 = true;
    for (int run = 0; run < 2; ++run) {
        RunSimpleTest();
        const auto lines = ReportLines();
        ASSERT_EQ(lines.size(), 3u) << run;
        EXPECT_EQ(lines[0], " 10  100  20  0 ");
        EXPECT_EQ(lines[2], " 12  100  20  0 ");
        EXPECT_EQ(session.form.label15, "Тест окончен");
        EXPECT_FALSE(session.form.timer2);
    }
    EXPECT_EQ(dialogs.beeps, 0);
}

TEST_F(SimpleTest, FullSweepRunsTargetsDownAndStopsUpToTheFirstTarget) {
    session.form.check1 = true;
    session.form.text6 = "40";
    session.form.text4 = "22";
    RunSimpleTest();
    const auto lines = ReportLines();
    // Targets 100, 60, 20; hours 22, 23; stops 20, 60, 100 each time.
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], " 22  100  20  0 ");
    EXPECT_EQ(lines[5], " 23  100  100  0 ");
    EXPECT_EQ(lines[6], " 22  60  20  0 ");
    EXPECT_EQ(lines[14], " 22  20  100  0 ");
    EXPECT_EQ(lines[15], " 23  20  20  0 ");
    EXPECT_EQ(lines[17], " 23  20  100  0 ");
    EXPECT_FALSE(session.form.timer1);
}

TEST_F(SimpleTest, EndlessFullSweepsAreRefused) {
    session.form.check1 = true;
    session.form.text6 = "0";
    session.form.text2 = "20";
    session.form.text3 = "20";
    ToolbarButton(session, "Start");
    EXPECT_FALSE(session.form.timer1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    // A step too small to move a 32-bit counter cannot hang a sweep either.
    session.form.check1 = false;
    session.form.text6 = "0.0000001";
    session.form.text2 = "100";
    RunSimpleTest();
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(SimpleTest, StartRefusesUnreadableFieldsByName) {
    const std::vector<std::pair<std::string FormState::*, const char*>> cases = {
        {&FormState::text2, "Поле «TP» в рамке «TP/SL»: введите число"},
        {&FormState::text3, "Поле «SL» в рамке «TP/SL»: введите число"},
        {&FormState::text4, "Поле «Первый час» в рамке «Время»: введите число"},
        {&FormState::text5, "Поле «Последний час» в рамке «Время»: введите число"},
        {&FormState::text6, "Поле «Шаг»: введите число"},
    };
    for (const bool loaded : {true, false}) {
        if (!loaded) session.store.dayBarCount = 0;  // the daily file is missing
        for (const auto& [field, message] : cases) {
            dialogs.messages.clear();
            session.form = FormState{};
            session.form.*field = "abc";
            ToolbarButton(session, "Start");
            EXPECT_FALSE(session.form.timer1);
            EXPECT_EQ(session.form.label15, "");
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, loaded ? message : "Необходимо открыть файл с данными");
        }
    }
    // A zero target only beeps, and leaves the status line empty.
    dialogs.messages.clear();
    session.form = FormState{};
    session.form.text2 = "0";
    ToolbarButton(session, "Start");
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(session.form.label15, "");
}

TEST_F(SimpleTest, RunsTooBigToFinishAreRefusedWithTheirSize) {
    struct Case {
        const char *tp, *step, *last;
        bool full;
        const char* count;
    };
    const std::vector<Case> cases = {
        {"1e30", "5", "23", false, "4.80e+30"},        // the stop sweep to a huge target
        {"100", "0.00001", "23", false, "192000024"},  // a tiny step
        {"2000", "1", "23", true, "94184664"},         // a full sweep just below the limit runs
        {"100", "0", "1e9", false, "1000000001"},      // a single-setting run over countless hours
    };
    for (const Case& c : cases) {
        dialogs.messages.clear();
        session.form = FormState{};
        session.form.text2 = c.tp;
        session.form.text6 = c.step;
        session.form.text5 = c.last;
        session.form.check1 = c.full;
        ToolbarButton(session, "Start");
        const bool refused = !dialogs.messages.empty();
        EXPECT_EQ(refused, std::string(c.count) != "94184664") << c.tp;
        if (refused) {
            EXPECT_FALSE(session.form.timer1);
            EXPECT_NE(dialogs.messages[0].text.find(std::string("Тест из ") + c.count + " проходов"),
                      std::string::npos)
                << dialogs.messages[0].text;
        }
    }
    session.form.timer1 = false;
    // Money results that overflow: refused before the first pass.
    dialogs.messages.clear();
    session.form = FormState{};
    session.form.text11 = "1e300";
    ToolbarButton(session, "Start");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, kFaultOverflow);
    EXPECT_FALSE(session.form.timer1);
}

TEST_F(SimpleTest, AReportThatCannotGrowStopsTheRunAndKeepsEarlierLinesWhole) {
    // The report may not grow past its first four lines and a few bytes: the fifth
    // line gets partly in, is cut back off, and the run ends with the cause.
    const SizeLimit limit;
    pump.onYield = [&] {
        if (session.run.passesDone == 4 && !limit.active())
            limit.set(static_cast<long>(ReadFile(session.ripotPath()).size()) + 3);
    };
    RunSimpleTest();
    limit.lift();
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(session.run.passesDone, 4);
    const std::string report = ReadFile(session.ripotPath());
    EXPECT_EQ(ReportLines().size(), 4u);
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_NE(dialogs.messages[0].text.find("превышен допустимый размер файла"), std::string::npos);
}

TEST_F(SimpleTest, StopHaltsARunningSweepAtTheNextYield) {
    pump.onYield = [&] {
        if (session.run.passesDone == 7) ToolbarButton(session, "Stop");
    };
    RunSimpleTest();
    EXPECT_FALSE(session.form.timer1);
    EXPECT_FALSE(session.form.timer2);
    EXPECT_EQ(session.form.label15, "Тест остановлен");
    EXPECT_EQ(session.run.passesDone, 7);
    EXPECT_EQ(ReportLines().size(), 7u);
    EXPECT_FALSE(session.run.stopRequested);
    // Stop with nothing running does nothing.
    ToolbarButton(session, "Stop");
    EXPECT_EQ(session.form.label15, "Тест остановлен");
}

TEST_F(SimpleTest, EveryRunFindsItsOwnBest) {
    MakeBuyDay(283);
    SetBar(BarOf(283, 10), 1.1f, 1.1f, 1.1f);
    SetBar(BarOf(284, 5), 1.1f, 1.1102f, 1.1f);
    SingleSetting("10");
    RunSimpleTest();
    EXPECT_EQ(session.form.label1[0], "949");
    // Now the same trade loses: the best panel must not keep the old 949.
    SetBar(BarOf(284, 5), 1.1f, 1.1f, 1.09f);
    RunSimpleTest();
    EXPECT_EQ(session.run.passProfit, -200.0f);
    EXPECT_EQ(session.form.label1[0], "");
    EXPECT_FALSE(session.run.bestTotal.has_value());
    EXPECT_EQ(session.run.winCount, 0);
    EXPECT_EQ(session.run.lossCount, 1);
}

TEST_F(SimpleTest, IntervalEdges) {
    SingleSetting("0");
    SetInterval(5, 5);
    RunSimpleTest();
    EXPECT_EQ(pump.calls, 1);
    pump.calls = 0;
    SetInterval(9, 5);
    RunSimpleTest();
    EXPECT_EQ(pump.calls, 0);
    EXPECT_EQ(ReportLines(), std::vector<std::string>{" 0  100  20  0 "});
    EXPECT_EQ(session.form.label6[3], "0");
}

// Real hourly files hold fewer or more than 23 bars a day, so the day search's
// estimate misses a bar's day by more than its 200-day margin on long intervals.
class DayDensity : public EngineFixture, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(DayDensity, AnEarlyBarStillTradesOnItsDay) {
    // `days` daily bars, the last 2000 of them with `barsPerDay` hourly bars each
    // (hours 0..barsPerDay-1); a buy signal on the second hourly day, at hour 5.
    const auto [days, barsPerDay] = GetParam();
    AddQuietDays(days);
    const int firstHourDay = days - 2000 + 1;
    for (int d = firstHourDay; d <= days; ++d)
        for (int h = 0; h < barsPerDay; ++h) AddBar(d, static_cast<float>(h), 1.1f, 1.1f, 1.1f, 1.1f);
    MakeBuyDay(firstHourDay + 1);
    const int entry = barsPerDay + 6;  // hour 5 of the second day
    SetBar(entry + 3, 1.1f, 1.1102f, 1.1f);
    SetInterval(1, session.store.hourBarCount);
    SingleSetting("5");
    RunSimpleTest();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(session.run.openedTradeCount, 1);
    EXPECT_EQ(session.run.passProfit, 949.0f);
    ASSERT_TRUE(session.run.journal.row(1).entryDate.has_value());
    EXPECT_EQ(session.run.journal.row(1).entryDate->view(), DayText(firstHourDay + 1));
    EXPECT_EQ(session.current->barsWithoutDay, 0);
}

// 20 bars a day: the estimate lands some 260 days late for the first bars. 24 bars
// a day on the first days of the daily file: it lands before day 1.
INSTANTIATE_TEST_SUITE_P(FewerAndMore, DayDensity,
                         ::testing::Values(std::pair{2200, 20}, std::pair{2000, 24}));

TEST_F(SimpleTest, BarsWithoutADayAreCountedPerRun) {
    session.store.dayDate[283] = DateText::from("19990101");
    session.store.dayDate[285] = DateText::from("19990102");
    ++session.store.generation;
    RunSimpleTest();
    EXPECT_EQ(session.current->barsWithoutDay, 48);
    // Only the interval counts.
    SetInterval(BarOf(284, 0), BarOf(286, 23));
    RunSimpleTest();
    EXPECT_EQ(session.current->barsWithoutDay, 24);
}

TEST(Othet, ShowsTheReportOrSaysThereIsNone) {
    HeadlessPump pump;
    RecordingDialogs dialogs;
    FixedClock clock;
    RecordingShell shell;
    const TempDir dir("kavro-othet");
    Session s(Ports{pump, dialogs, clock, shell}, Locale{}, dir.path());
    s.form.text10 = "old";
    ToolbarButton(s, "Othet");
    EXPECT_EQ(s.form.text10, "");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    // The name is matched without regard to case.
    dir.write("ripot", " 0  100  20  5 \r\n 1  100  20  6 \r\n");
    ToolbarButton(s, "Othet");
    EXPECT_EQ(s.form.text10, " 0  100  20  5 \r\n 1  100  20  6 \r\n");
}

}  // namespace
}  // namespace kavro::testing
