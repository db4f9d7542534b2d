#include <gtest/gtest.h>

#include "app/commands.h"
#include "engine/test_pass.h"
#include "engine_fixture.h"

namespace kavro::testing {
namespace {

// 300 quiet days; hourly bars on days 281..290, 24 a day, flat at 1.1.
class SimpleTest : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDays(300);
        for (int d = 281; d <= 290; ++d) AddFlatDay(d);
        SetInterval(1, session.store.hourBarCount);
        session.form.check2 = false;
    }
    // Bar of `hour` on day d (days 281.. hold 24 bars each).
    static int BarOf(int d, int hour) { return (d - 281) * 24 + hour + 1; }
    void SetBar(int bar, float open, float high, float low) {
        session.store.hourOhlc[bar] = {open, high, low, open};
        ++session.store.generation;
    }
    void SingleSetting(const char* hour) {
        session.form.text6 = "0";
        session.form.text4 = hour;
        session.form.text5 = hour;
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

    // Equal texts: no pass, and the timer keeps ticking.
    session.form.text3 = "20";
    session.form.text5 = "23";
    ToolbarButton(session, "Start");
    Timer1Tick(session);
    Timer1Tick(session);
    EXPECT_TRUE(session.form.timer1);
    EXPECT_TRUE(ReportLines().empty());
    ToolbarButton(session, "Stop");
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(session.form.label15, "Тест остановлен");
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

TEST_F(SimpleTest, StartRefusesUnreadableFields) {
    for (auto field : {&FormState::text2, &FormState::text5, &FormState::text6}) {
        dialogs.messages.clear();
        FormState fresh;
        session.form.text2 = fresh.text2;
        session.form.text5 = fresh.text5;
        session.form.text6 = fresh.text6;
        session.form.*field = "abc";
        ToolbarButton(session, "Start");
        EXPECT_FALSE(session.form.timer1);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "Необходимо открыть файл с данными");
    }
    // A zero target only beeps.
    dialogs.messages.clear();
    session.form = FormState{};
    session.form.text2 = "0";
    ToolbarButton(session, "Start");
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SimpleTest, AFaultStopsTheRunAndKeepsEarlierLines) {
    // The daily data disappears (as far as the pass can tell) during pass 5.
    pump.onYield = [&] {
        if (session.run.passesDone == 4) {
            session.store.dayBarCount = 0;
            ++session.store.generation;
        }
    };
    RunSimpleTest();
    EXPECT_FALSE(session.form.timer1);
    EXPECT_EQ(session.run.passesDone, 4);
    EXPECT_EQ(ReportLines().size(), 4u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_NE(dialogs.messages[0].text.find("Дневные котировки"), std::string::npos);
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
