#include "engine/pass_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
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

    // The kernel and the day table of the whole file, on the quotes built so far.
    void PrepareKernel() {
        table.prepare(session.store, static_cast<float>(session.store.hourBarCount));
        kernel.prepare(session.store, table);
    }

    // The pass walked bar by bar with the strategy's own rules: what the kernel must give.
    static KernelResult BarLoop(const QuoteStore& q, const DayMatchTable& table, const KernelSetting& k,
                                long from, long to, ProfitOrder order, std::vector<KernelClose>& closes) {
        KernelResult r;
        Position pos;
        closes.clear();
        int32_t opened[2] = {0, 0};  // the bar each side's position was opened on
        for (long b = from; b <= to; ++b) {
            const BarDay day = table.at(b);
            const auto& bar = q.hourBar(static_cast<size_t>(b));
            const bool hour = q.hourOf(static_cast<size_t>(b)) == k.entryHour;
            ApplyBarRules(
                pos, day.buy && hour, day.sell && hour, bar[QuoteStore::Open], bar[QuoteStore::High],
                bar[QuoteStore::Low], k.tp, k.tpi,
                [&](TradeSide side) {
                    ++r.opened;
                    (side == TradeSide::Buy ? r.buyTouched : r.sellTouched) = true;
                    opened[side == TradeSide::Buy ? 0 : 1] = static_cast<int32_t>(b);
                },
                [&](TradeSide side, bool win, float) {
                    const float amount = win ? k.winAmount : k.lossAmount;
                    (side == TradeSide::Buy ? pos.buyBarProfit : pos.sellBarProfit) = amount;
                    ++r.closed;
                    ++(win ? r.wins : r.losses);
                    closes.push_back(
                        {static_cast<int32_t>(b), amount, side, opened[side == TradeSide::Buy ? 0 : 1]});
                });
            r.profit =
                order == ProfitOrder::TotalFirst
                    ? static_cast<float>(static_cast<double>(r.profit) + pos.buyBarProfit + pos.sellBarProfit)
                    : static_cast<float>((pos.buyBarProfit + static_cast<double>(r.profit)) +
                                         pos.sellBarProfit);
            pos.buyBarProfit = pos.sellBarProfit = 0;
        }
        r.buyOpen = pos.buyOpen != 0;
        r.sellOpen = pos.sellOpen != 0;
        r.buyEntryPrice = pos.buyEntryPrice;
        r.sellEntryPrice = pos.sellEntryPrice;
        return r;
    }

    // Every field a caller reads, the closes included; `what` names the case.
    static void ExpectSamePass(const KernelResult& got, const KernelResult& want,
                               const std::vector<KernelClose>& wantCloses, const std::string& what) {
        EXPECT_EQ(got.profit, want.profit) << what;
        EXPECT_EQ(std::signbit(got.profit), std::signbit(want.profit)) << what;
        EXPECT_EQ(got.opened, want.opened) << what;
        EXPECT_EQ(got.closed, want.closed) << what;
        EXPECT_EQ(got.wins, want.wins) << what;
        EXPECT_EQ(got.losses, want.losses) << what;
        EXPECT_EQ(got.buyOpen, want.buyOpen) << what;
        EXPECT_EQ(got.sellOpen, want.sellOpen) << what;
        EXPECT_EQ(got.buyTouched, want.buyTouched) << what;
        EXPECT_EQ(got.sellTouched, want.sellTouched) << what;
        if (want.buyTouched) {
            EXPECT_EQ(got.buyEntryPrice, want.buyEntryPrice) << what;
        }
        if (want.sellTouched) {
            EXPECT_EQ(got.sellEntryPrice, want.sellEntryPrice) << what;
        }
        if (!got.closes.empty() || !wantCloses.empty()) {
            EXPECT_TRUE(
                std::equal(got.closes.begin(), got.closes.end(), wantCloses.begin(), wantCloses.end()))
                << what;
        }
    }

    // What a run left: RIPOT (and RIPOT1 after a walk-forward run), the walk-forward box,
    // the labels, the passes run and the yields made.
    struct Outcome {
        std::string reports, box;
        std::array<std::string, 7> labels;
        int64_t passes = 0;
        long long yields = 0;
    };
    // The form's run (walk-forward when `thorough`) with the bar loop, then through the kernel.
    std::array<Outcome, 2> RunBothWays(bool thorough) {
        FormState& f = session.form;
        std::array<Outcome, 2> out;
        for (Outcome& o : out) {
            session.run.fastPasses = &o == &out[1];
            f.text10.clear();
            const int64_t passes = session.run.passesDone;
            const long long yields = pump.calls;
            if (thorough) {
                ToolbarButton(session, "Kach");
                for (int i = 0; i < 5 && f.timer3; ++i) Timer3Tick(session);
            } else {
                RunSimpleTest();
            }
            o.reports = ReadFile(session.workDir + "/RIPOT");
            if (thorough) o.reports += "|" + ReadFile(session.workDir + "/RIPOT1");
            o.box = f.text10;
            o.labels = f.label1;
            o.passes = session.run.passesDone - passes;
            o.yields = pump.calls - yields;
        }
        return out;
    }

    DayMatchTable table;
    PassKernel kernel;
};

// The kernel on its own against the bar loop, for grids of a few up to several
// hundred distances, with exits from the plans and searched on the spot, closes
// listed or not, and money results small enough to add in any order or not.
TEST_F(KernelAgainstBarLoop, PassesMatchTheBarLoopAtAnyGridSize) {
    std::mt19937 rng(5);
    BuildRandomQuotes(rng);
    const QuoteStore& q = session.store;
    const long bars = q.hourBarCount;
    PrepareKernel();
    KernelScratch scratch, listing;
    listing.keepCloses = true;
    std::vector<KernelClose> closes;
    int compared = 0, booked = 0, planned = 0;
    for (int round = 0; round < 24; ++round) {
        const size_t size = std::vector<size_t>{3, 40, 70, 300}[round % 4];
        std::vector<float> distances;
        for (size_t i = 0; i < size; ++i)
            distances.push_back(static_cast<float>(static_cast<double>(1 + rng() % 1500) * 0.00001));
        if (round % 5 == 0) distances.push_back(0.0f);  // reached on the opening bar itself
        const long from = static_cast<long>(rng() % static_cast<unsigned>(bars / 2));
        const long to =
            std::min(bars + 20, from + 50 + static_cast<long>(rng() % static_cast<unsigned>(bars)));
        ASSERT_TRUE(kernel.covers(from, to));
        planned += kernel.precompute(distances, from, to);
        for (int pass = 0; pass < 60; ++pass) {
            KernelSetting k;
            k.entryHour = static_cast<float>(rng() % 25);
            k.tp = distances[rng() % distances.size()];
            k.tpi = distances[rng() % distances.size()];
            // Whole numbers that may add up beyond what a float holds, and fractions.
            k.winAmount = std::vector<float>{50, 0, 2.5e7f, 0.3f, -4}[rng() % 5];
            k.lossAmount = std::vector<float>{-20, -3e7f, -0.7f, 0}[rng() % 4];
            const ProfitOrder order = rng() % 2 ? ProfitOrder::TotalFirst : ProfitOrder::BuyFirst;
            const KernelResult want = BarLoop(q, table, k, from, to, order, closes);
            const std::string what = "round " + std::to_string(round) + " pass " + std::to_string(pass);
            ExpectSamePass(kernel.run(k, from, to, order, scratch), want, {}, what + " plan");
            ExpectSamePass(kernel.run(k, from, to, order, scratch, false), want, {}, what + " direct");
            const KernelResult listed = kernel.run(k, from, to, order, listing);
            ExpectSamePass(listed, want, closes, what + " listed");
            EXPECT_EQ(listed.closes.size(), closes.size()) << what;
            ++compared;
            booked += std::fabs(want.profit) > 16777216.0f;
        }
    }
    EXPECT_EQ(compared, 24 * 60);
    // Every grid here fits the budget, and some totals went past what a float holds exactly.
    EXPECT_EQ(planned, 24);
    EXPECT_GT(booked, 20);
}

// Plans that would not fit are refused, and the passes searched directly stay exact.
TEST_F(KernelAgainstBarLoop, PlansBeyondTheBudgetAreRefused) {
    AddQuietDays(450);
    for (int d = 251; d <= 450; d += 2) MakeBuyDay(d);
    float price = 1.2f;
    for (int d = 251; d <= 450; ++d)
        for (int h = 0; h < 24; ++h) {
            const float open = price;
            price += (d + h) % 3 == 0 ? -0.0004f : 0.0003f;
            AddBar(d, static_cast<float>(h), open, std::max(open, price) + 0.0002f,
                   std::min(open, price) - 0.0002f, price);
        }
    const QuoteStore& q = session.store;
    const long bars = q.hourBarCount;
    PrepareKernel();
    std::vector<float> fine, tooMany;
    for (size_t i = 0; i < PassKernel::kMaxColumns; ++i) fine.push_back(static_cast<float>(i + 1) * 1e-6f);
    tooMany = fine;
    tooMany.push_back(1.0f);
    // About 2,400 signal bars by 4,096 distances in both directions: more than the budget.
    EXPECT_FALSE(kernel.precompute(fine, 1, bars));
    EXPECT_FALSE(kernel.precompute(tooMany, 1, 100));
    // A short interval fits.
    EXPECT_TRUE(kernel.precompute(fine, 1, 100));
    KernelScratch scratch;
    std::vector<KernelClose> closes;
    // The steady rise makes long chains of new highs: far targets are found through the block tables.
    for (const float hour : {3.0f, 17.0f})
        for (const auto& [tp, sl] : {std::pair{fine[5], fine[2]},
                                     {fine[300], fine[150]},
                                     {fine[4000], fine[2000]},
                                     {0.02f, 0.0009f},
                                     {0.05f, 0.0005f}}) {
            const KernelSetting k{hour, tp, sl, 100, -50};
            const KernelResult want = BarLoop(q, table, k, 1, bars, ProfitOrder::TotalFirst, closes);
            EXPECT_GT(want.closed, 5);
            ExpectSamePass(kernel.run(k, 1, bars, ProfitOrder::TotalFirst, scratch), want, {}, "whole");
            ExpectSamePass(kernel.run(k, 1, 100, ProfitOrder::TotalFirst, scratch),
                           BarLoop(q, table, k, 1, 100, ProfitOrder::TotalFirst, closes), {}, "short");
        }
    // Plans over half the budget, as a replay right after its sweep asks for them
    // again: what is built already stays, nothing is built twice.
    std::vector<float> half;
    for (size_t i = 0; i < PassKernel::kMaxColumns / 2; ++i)
        half.push_back(static_cast<float>(i + 1) * 1.5e-6f);
    ASSERT_TRUE(kernel.precompute(half, 1, bars));
    ASSERT_GT(kernel.heldBytes(), PassKernel::kPlanBudget / 2);
    const size_t built = kernel.plansBuilt();
    EXPECT_TRUE(kernel.precompute(half, 1, bars));
    EXPECT_EQ(kernel.plansBuilt(), built);
    // A grid is measured without its repeats.
    std::vector<float> repeated = fine;
    repeated.push_back(fine[7]);
    EXPECT_FALSE(kernel.ensureColumns(tooMany));
    EXPECT_TRUE(kernel.ensureColumns(repeated));
}

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
        const int first = 1 + static_cast<int>(rng() % 100);
        SetInterval(first, first + 500 + static_cast<int>(rng() % (bars - 450)));

        const auto [loop, fast] = RunBothWays(true);
        ASSERT_EQ(fast.reports, loop.reports) << "round " << round;
        EXPECT_EQ(fast.box, loop.box) << "round " << round;
        EXPECT_EQ(fast.labels, loop.labels) << "round " << round;
        EXPECT_EQ(fast.passes, loop.passes);
        // A take-profit below the stop-loss searches nothing: Kach refuses it in both modes.
        EXPECT_EQ(loop.passes == 0, std::stoi(f.text2) < std::stoi(f.text3)) << "round " << round;
        fastWindows += fast.yields * 10 < loop.yields;
        withTrades += loop.reports.find("$") != std::string::npos;
    }
    EXPECT_GE(withTrades, 6);
    // Most runs went through the kernel (far fewer yields than a bar loop makes), fractional ones included.
    EXPECT_GE(fastWindows, 10);
    for (const auto& m : dialogs.messages) EXPECT_EQ(m.text, kNoSearchSettings);
}

// Grids of more distances than the exits were once kept for (over 64), and a
// grid finer than a point: sweeps, full sweeps and walk-forward runs through the
// exit plans against the bar loop. One entry hour keeps the bar loop short.
TEST_F(KernelAgainstBarLoop, FineGridRunsGiveTheSameReports) {
    std::mt19937 rng(23);
    BuildRandomQuotes(rng);
    const int bars = session.store.hourBarCount;
    FormState& f = session.form;
    f.check2 = true;
    f.text11 = "10";
    f.text13 = "0.0005";
    f.text7 = "0.5";
    f.text8 = "0.25";
    int traded = 0;
    for (int round = 0; round < 6; ++round) {
        const bool thorough = round >= 3;
        f.text2 = std::to_string((thorough ? 70 : 100) + rng() % 30);
        f.text3 = std::to_string(5 + rng() % 10);
        f.text6 = round == 0 ? "0.5" : "1";
        f.text4 = f.text5 = std::to_string(rng() % 24);
        f.check1 = round == 2;
        SetInterval(1 + static_cast<int>(rng() % 50), bars);
        const auto [loop, fast] = RunBothWays(thorough);
        // A walk-forward run's box is part of what it reports.
        auto report = [&](const Outcome& o) { return thorough ? o.reports + "|" + o.box : o.reports; };
        const std::string loopReport = report(loop);
        ASSERT_EQ(report(fast), loopReport) << "round " << round;
        EXPECT_EQ(fast.labels, loop.labels) << "round " << round;
        traded += std::count(loopReport.begin(), loopReport.end(), '\n') > 10 && loop.labels[0] != "0";
    }
    EXPECT_GE(traded, 5);
    EXPECT_TRUE(dialogs.messages.empty());
}

// Only whole bars in order within the store are an interval the kernel runs.
TEST(WholeBarSpan, TakesWholeBarsWithinTheCapacityOnly) {
    const struct {
        float first, last;
        std::optional<BarSpan> want;
    } cases[] = {
        {1, 10, BarSpan{1, 10}}, {0, 0, BarSpan{0, 0}},       {1, 100, BarSpan{1, 100}},
        {2, 1, std::nullopt},    {1.5f, 10, std::nullopt},    {1, 10.5f, std::nullopt},
        {-1, 5, std::nullopt},   {1, 101, std::nullopt},      {NAN, 5, std::nullopt},
        {1, NAN, std::nullopt},  {1, INFINITY, std::nullopt}, {1, 1e30f, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<BarSpan> got = WholeBarSpan(c.first, c.last, 100);
        ASSERT_EQ(got.has_value(), c.want.has_value()) << c.first << ".." << c.last;
        if (got) {
            EXPECT_EQ(got->from, c.want->from);
            EXPECT_EQ(got->to, c.want->to);
        }
    }
}

}  // namespace
}  // namespace kavro::testing
