// What a run leaves as plain data for later readers: its pass rows, its windows,
// its trades, and how it ended.
#include <gtest/gtest.h>

#include "engine/run_record.h"
#include "engine_fixture.h"
#include "program/run_history.h"
#include "thorough_fixture.h"

namespace kavro::testing {
namespace {

class SweepResults : public EngineFixture {
  protected:
    void SetUp() override {
        AddQuietDaysWithHours(290);
        MakeBuyDay(283);
        SetInterval(1, session.store.hourBarCount);
        session.form.check2 = true;
    }
};

TEST_F(SweepResults, EveryPassRowIsKeptAsTheReportWroteIt) {
    RunSimpleTest();
    const RunRecord& res = *session.current;
    EXPECT_EQ(res.kind, RunKind::Sweep);
    EXPECT_EQ(res.end, RunEnd::Done);
    EXPECT_TRUE(res.finished());
    EXPECT_EQ(res.fields.text2, "100");
    EXPECT_EQ(res.lastBar, session.run.lastBar);
    const auto lines = ReportLines();
    ASSERT_EQ(res.passes.size(), 408u);
    ASSERT_EQ(lines.size(), 408u);
    for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(ReportLine(res.passes[i]), lines[i] + "\r\n") << i;
    // Room for exactly the passes the run was sized for: 16 bytes a pass.
    EXPECT_EQ(res.passes.capacity(), 408u);
    // A sweep writes no journal.
    EXPECT_TRUE(res.trades.empty());

    // The next run starts a fresh record and leaves this one whole for whoever holds it;
    // a field typed after the run ended changes nothing kept.
    const std::shared_ptr<const RunRecord> sweep = session.current;
    SingleSetting("11");
    RunSimpleTest();
    const RunRecord& single = *session.current;
    EXPECT_EQ(single.passes.size(), 1u);
    EXPECT_EQ(single.trades.size(), 0u);  // the buy at hour 11 is still open at the end
    EXPECT_EQ(sweep->passes.size(), 408u);
    session.form.text2 = "50";
    EXPECT_EQ(single.fields.text2, "100");
}

TEST_F(SweepResults, AStoppedRunKeepsWhatItFinished) {
    pump.onYield = [&] {
        if (session.run.passesDone == 7) ToolbarButton(session, "Stop");
    };
    RunSimpleTest();
    const RunRecord& res = *session.current;
    EXPECT_EQ(res.end, RunEnd::Stopped);
    EXPECT_EQ(res.passes.size(), 7u);
}

TEST_F(SweepResults, AFieldTypedDuringARunIsNotedWhereTheRunReadIt) {
    // A full sweep reads the first hour again for each take-profit: typed during the
    // first take-profit's passes, the second one reads it.
    session.form.check1 = true;
    session.form.text6 = "40";  // take-profits 100, 60, 20; stops 20, 60, 100
    pump.onYield = [&] {
        if (session.run.passesDone == 5 && session.form.text4 == "0") session.form.text4 = "20";
    };
    RunSimpleTest();
    const RunRecord& res = *session.current;
    ASSERT_EQ(res.changes.size(), 1u);
    const SettingsChange& c = res.changes[0];
    EXPECT_EQ(c.field, "Первый час");
    EXPECT_EQ(c.before, "0");
    EXPECT_EQ(c.after, "20");
    EXPECT_EQ(c.pass, 6);              // typed during pass 6, read when pass 7 began
    EXPECT_EQ(res.fields.text4, "0");  // the record keeps the fields it started with
    // The later take-profits swept hours 20..23 only.
    EXPECT_EQ(res.passes.size(), 72u + 2 * 4 * 3);
    EXPECT_EQ(res.passes.back().entryHour, 23);
    // The progress bar counts the run's passes, not a square of them.
    EXPECT_EQ(res.expectedPasses, 3 * 24 * 3);
}

TEST_F(SweepResults, StartAgainDuringARunContinuesItsRecord) {
    pump.onYield = [&] {
        if (session.run.passesDone == 3 && session.form.text2 == "100") {
            session.form.text2 = "50";
            ToolbarButton(session, "Start");
        }
    };
    RunSimpleTest();
    EXPECT_EQ(session.history.entries().size(), 1u);
    const RunRecord& res = *session.current;
    EXPECT_EQ(res.end, RunEnd::Done);
    ASSERT_EQ(res.changes.size(), 2u);
    EXPECT_EQ(res.changes[0].field, "TP");
    EXPECT_EQ(res.changes[0].after, "50");
    EXPECT_EQ(res.changes[1].field, "Запуск");
    EXPECT_EQ(res.changes[1].pass, 3);
}

TEST(RunHistoryTest, KeepsTheLatestRecordsAndDropsOldRowsFirst) {
    // The session's limits scaled down: 1.5 sweeps' rows, ten records.
    RunHistory h(1500 * sizeof(PassRow), 10);
    auto sweep = [](size_t passes) {
        auto r = std::make_shared<RunRecord>();
        r->kind = RunKind::Sweep;
        r->end = RunEnd::Done;
        r->passes.assign(passes, PassRow{1, 100, 20, 5});
        r->passes.back().total = 7;
        return r;
    };
    // Three sweeps of 1000 passes: the budget holds the rows of one besides the latest;
    // the oldest loses its rows first and keeps its summary.
    std::shared_ptr<const RunRecord> reader;
    for (int i = 0; i < 3; ++i) {
        auto r = sweep(1000);
        h.add(r);
        h.finished(*r);
        if (i == 1) reader = r;
    }
    ASSERT_EQ(h.entries().size(), 3u);
    EXPECT_TRUE(h.entries()[0].rowsDropped);
    EXPECT_EQ(h.entries()[0].record->passes.capacity(), 0u);  // the storage is given back
    EXPECT_EQ(h.entries()[0].summary.net, 7);
    EXPECT_FALSE(h.entries()[1].rowsDropped);
    EXPECT_FALSE(h.entries()[2].rowsDropped);
    EXPECT_EQ(h.latestSweep()->number, 3);

    for (int i = 0; i < 10; ++i) {
        auto r = sweep(1);
        h.add(r);
        h.finished(*r);
        // The second sweep's rows go once the third is no longer the latest; a reader keeps its own.
        if (i == 0) {
            EXPECT_EQ(h.entry(2)->record->passes.capacity(), 0u);
            EXPECT_EQ(reader->passes.size(), 1000u);
        }
    }
    EXPECT_EQ(h.entries().size(), 10u);
    EXPECT_EQ(h.entries().front().record->number, 4);
    EXPECT_EQ(h.find(3), nullptr);
    EXPECT_EQ(h.latest()->number, 13);
}

class WalkForwardResults : public ThoroughFixture {
  protected:
    void SetUp() override {
        ThoroughFixture::SetUp();
        BuildStore(400, 100);
        s().run.firstBar = 1;
        s().run.lastBar = 2400;  // two windows
        s().form.text2 = s().form.text3 = "20";
        s().form.text4 = s().form.text5 = "0";
        BuyDay(5);
        SetBar(BarOf(5, 0), 1.0f, 1.0021f, 1.0f);  // bought and closed at the target on one bar
        BuyDay(70);
        SetBar(BarOf(70, 0), 1.0f, 1.0021f, 1.0f);
    }
};

TEST_F(WalkForwardResults, EveryWindowIsKeptWithItsDatesSettingAndResults) {
    RunKach();
    const RunRecord& res = *s().current;
    EXPECT_EQ(res.kind, RunKind::Thorough);
    EXPECT_EQ(res.end, RunEnd::Done);
    ASSERT_EQ(res.windows.size(), 2u);
    const WindowRecord& w1 = res.windows[0];
    EXPECT_EQ(w1.optFirstBar, 1);
    EXPECT_EQ(w1.optLastBar, 1441);
    EXPECT_EQ(w1.fwdFirstBar, 1441);
    EXPECT_EQ(w1.fwdLastBar, 1921);
    EXPECT_TRUE(w1.bestFound);
    EXPECT_TRUE(w1.forwardTested);
    EXPECT_EQ(w1.inSampleTotal, 149);  // the one trade of hour-day 5: floor(0.0015 * 10 * 10000)
    EXPECT_EQ(w1.entryHour, 0);
    EXPECT_EQ(w1.target, 20);
    EXPECT_EQ(w1.stop, 20);
    // Hour-day 70 lies in the first forward window, whose distances are points / 10000 in
    // 32 bits: a target just above 0.002 earns 150.
    EXPECT_EQ(w1.forwardResult, 150);
    EXPECT_EQ(w1.optStart, (Date{2019, 10, 28}));
    EXPECT_EQ(w1.fwdStart, (Date{2019, 12, 27}));
    // The second forward window runs past the loaded bars: its last date is the last bar's.
    const WindowRecord& w2 = res.windows[1];
    EXPECT_EQ(w2.fwdLastBar, 2401);
    EXPECT_EQ(w2.fwdEnd, (Date{2020, 2, 4}));
    // The trades are the run's RIPOT1 rows.
    ASSERT_EQ(res.trades.size(), 1u);
    EXPECT_EQ(res.trades[0].profit, 150);
    EXPECT_EQ(res.wins, 1);
    // Each window's forward result is the last number of its RIPOT line.
    const auto lines = Lines(s().ripotPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 5), " 150 ");
}

TEST_F(WalkForwardResults, RealWorkKeepsTheSearchOnly) {
    s().form.check3 = true;
    RunKach();
    const RunRecord& res = *s().current;
    ASSERT_EQ(res.windows.size(), 1u);
    EXPECT_FALSE(res.windows[0].forwardTested);
    EXPECT_EQ(res.windows[0].forwardResult, 0);
    EXPECT_EQ(res.windows[0].inSampleTotal, 149);
}

}  // namespace
}  // namespace kavro::testing
