#include "engine/pass_kernel.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/run_checks.h"
#include "engine_fixture.h"
#include "walkforward/search_order.h"

namespace kavro::testing {
namespace {

// Sweeps over random quotes and settings must give the same report, labels and
// counts whether the passes walk every bar or go through the kernel.
class KernelAgainstBarLoop : public EngineFixture {
  protected:
    void BuildRandomQuotes(std::mt19937& rng) {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        AddQuietDays(300);
        for (int d = 250; d <= 300; ++d) {
            const float pick = unit(rng);
            if (pick < 0.3f)
                MakeBuyDay(d);
            else if (pick < 0.6f)
                MakeSellDay(d);
            else if (pick < 0.65f)
                ShiftDays(d, 0.00003f, -5.0f);  // at the threshold: no signal
        }
        // Some days lose their date, so their bars find no daily bar; an early day takes
        // the date of a later one, so that date's bars have two days to choose from.
        for (int i = 0; i < 3; ++i) session.store.dayDate[260 + rng() % 40] = DateText::from("19990101");
        session.store.dayDate[100] = session.store.dayDate[280];
        float price = 1.1f;
        for (int d = 261; d <= 300; ++d) {
            for (int h = 0; h < 24; ++h) {
                if (unit(rng) < 0.15f) continue;  // a missing hour
                const float open = price;
                const float high = open + unit(rng) * 0.004f;
                const float low = open - unit(rng) * 0.004f;
                price = low + unit(rng) * (high - low);
                float hour = static_cast<float>(h);
                float o = open, hi = high, lo = low;
                const float oddity = unit(rng);
                if (oddity < 0.01f)
                    o = 0;  // an entry that can never close
                else if (oddity < 0.02f)
                    lo = 0;  // a low that never counts
                else if (oddity < 0.03f)
                    hi = 0;
                AddBar(d, hour, o, hi, lo, price);
            }
        }
    }
};

TEST_F(KernelAgainstBarLoop, RandomSweepsGiveTheSameReport) {
    std::mt19937 rng(7);
    BuildRandomQuotes(rng);
    const int bars = session.store.hourBarCount;
    int nonEmpty = 0, traded = 0;
    for (int round = 0; round < 40; ++round) {
        FormState& f = session.form;
        f.pair = rng() % 4 == 0 ? Pair::JPY : Pair::EUR;
        const int tp = 5 + static_cast<int>(rng() % 60);
        const int sl = 5 + static_cast<int>(rng() % 60);
        f.text2 = std::to_string(tp);
        f.text3 = std::to_string(sl);
        f.text6 = std::to_string(1 + rng() % 15);
        f.text4 = std::to_string(rng() % 6);
        f.text5 = std::to_string(18 + rng() % 6);
        f.text11 = rng() % 2 ? "10" : "3.7";
        f.text13 = rng() % 2 ? "0.0005" : "0";
        f.check1 = rng() % 5 == 0;
        f.check2 = true;
        // Intervals cut at odd places, some reaching past the data.
        const int first = 1 + static_cast<int>(rng() % (bars / 2));
        const int last = first + static_cast<int>(rng() % (bars - first + 30));
        SetInterval(first, last);

        session.run.fastPasses = true;
        RunSimpleTest();
        const auto fast = ReportLines();
        const auto fastLabels = session.form.label1;
        const auto fastClosed = session.run.closedTradeCount;
        const auto fastWins = session.run.winCount;

        session.run.fastPasses = false;
        RunSimpleTest();
        nonEmpty += fast.empty() ? 0 : 1;
        for (const auto& line : fast) traded += line.size() < 3 || line.substr(line.size() - 3) != " 0 ";
        ASSERT_EQ(ReportLines(), fast) << "round " << round << " interval " << first << ".." << last;
        EXPECT_EQ(session.form.label1, fastLabels);
        EXPECT_EQ(session.run.closedTradeCount, fastClosed);
        EXPECT_EQ(session.run.winCount, fastWins);
    }
    // Equal stop and target, or a full sweep from a smaller target, run no pass.
    EXPECT_GE(nonEmpty, 30);
    EXPECT_GT(traded, 1000);
    // The only messages are refusals of settings that run no pass.
    for (const auto& m : dialogs.messages) EXPECT_EQ(m.text, kNoPasses);
}

// The walk-forward run gives the same reports whether its windows' searches go
// through the kernel on several threads or walk their bars one pass at a time.
TEST_F(KernelAgainstBarLoop, RandomWalkForwardRunsGiveTheSameReports) {
    std::mt19937 rng(11);
    BuildRandomQuotes(rng);
    const int bars = session.store.hourBarCount;
    auto file = [&](const std::string& name) { return ReadFile(session.workDir + "/" + name); };
    int withTrades = 0, fastWindows = 0;
    for (int round = 0; round < 16; ++round) {
        FormState& f = session.form;
        f.pair = rng() % 4 == 0 ? Pair::JPY : Pair::EUR;
        f.text2 = std::to_string(20 + rng() % 40);
        f.text3 = std::to_string(5 + rng() % 20);
        f.text6 = std::to_string(5 + rng() % 10);
        f.text4 = std::to_string(rng() % 20);
        f.text5 = std::to_string(20 + rng() % 5);
        // Windows of whole bars, and windows moved by a fraction of a bar (0.3 * 480 and
        // 0.01 * 480 are no whole numbers in double arithmetic).
        f.text7 = std::vector<const char*>{"0.5", "1", "0.3"}[rng() % 3];
        f.text8 = std::vector<const char*>{"0.25", "0.5", "0.3", "0.01"}[rng() % 4];
        f.text11 = rng() % 2 ? "10" : "2.5";
        f.check2 = true;
        f.check3 = rng() % 6 == 0;
        f.text10.clear();
        const int first = 1 + static_cast<int>(rng() % 100);
        SetInterval(first, first + 500 + static_cast<int>(rng() % (bars - 450)));

        std::string reports[2], box[2];
        std::array<std::string, 7> labels[2];
        int64_t passes[2], yields[2];
        for (int fast = 0; fast < 2; ++fast) {
            session.run.fastPasses = fast == 1;
            f.text10.clear();
            const int64_t before = session.run.passesDone;
            const long long yieldsBefore = pump.calls;
            ToolbarButton(session, "Kach");
            for (int i = 0; i < 5 && f.timer3; ++i) Timer3Tick(session);
            reports[fast] = file("RIPOT") + "|" + file("RIPOT1");
            box[fast] = f.text10;
            labels[fast] = f.label1;
            passes[fast] = session.run.passesDone - before;
            yields[fast] = pump.calls - yieldsBefore;
        }
        ASSERT_EQ(reports[1], reports[0]) << "round " << round;
        EXPECT_EQ(box[1], box[0]) << "round " << round;
        EXPECT_EQ(labels[1], labels[0]) << "round " << round;
        EXPECT_EQ(passes[1], passes[0]);
        // A take-profit below the stop-loss searches nothing: Kach refuses it in both modes.
        EXPECT_EQ(passes[0] == 0, std::stoi(f.text2) < std::stoi(f.text3)) << "round " << round;
        fastWindows += yields[1] * 10 < yields[0];
        withTrades += reports[0].find("$") != std::string::npos;
    }
    EXPECT_GE(withTrades, 6);
    // Most runs went through the kernel (far fewer yields than a bar loop makes), fractional ones included.
    EXPECT_GE(fastWindows, 10);
    for (const auto& m : dialogs.messages) EXPECT_EQ(m.text, kNoSearchSettings);
}

}  // namespace
}  // namespace kavro::testing
