#include <gtest/gtest.h>

#include "chart_fixture.h"

namespace kavro::testing {
namespace {

class ChartModelTest : public ::testing::Test, protected ChartSession {
  protected:
    ChartModel m{s};
};

TEST_F(ChartModelTest, BuildLaysOutTheStaircase) {
    s.form.pair = Pair::JPY;
    trades({500, -250, 0, 1000});
    OpenModel(m);
    EXPECT_EQ(m.caption(), "USDJPY");
    EXPECT_EQ(pump.calls, 4);  // the fit pass lets events run once per trade
    // Few trades: 80-twip bars 100 apart from x = 100; the first starts at y = 4000.
    const auto& b = m.bars();
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[3].left, 400);
    EXPECT_EQ(m.barLeft(3), 300);
    EXPECT_EQ(b[0].width, 80);
    EXPECT_EQ(b[0].top, 3900);  // a win rises from the level
    EXPECT_EQ(b[0].height, 100);
    EXPECT_EQ(b[1].top, 3900);  // a loss hangs from it
    EXPECT_EQ(b[1].height, 50);
    EXPECT_EQ(b[1].lossStyle, 1);
    EXPECT_EQ(b[2].height, 0);  // a zero result leaves the level alone
    EXPECT_EQ(b[3].top, 3750);  // the next win starts from the loss's bottom
    EXPECT_EQ(m.barLevel(), (std::vector<float>{4000, 3900, 3950, 3950, 3750}));

    // More trades than fit at 100 twips: (7725 - 300) / 100 = 74.25 apart, Int(74.25 - 14.85) wide.
    EXPECT_EQ(BuildSpacing(7725, 100).left, 74);
    EXPECT_EQ(BuildSpacing(7725, 100).width, 59);
    EXPECT_EQ(BuildSpacing(7725, 74).left, 100);
    EXPECT_EQ(BuildSpacing(7725, 20000).left, 0);
}

TEST_F(ChartModelTest, FitPassFlattensTallWinsUntilTheFirstRelayout) {
    // 20000 / 5 reaches y = 0 and every later top stays above 300 (a loss's
    // top is the level it hangs from), so each trade adds 0.1 to the divisor.
    trades({20000, 20000, 100, -100});
    OpenModel(m);
    const double divisor = 5.0 + 0.1 + 0.1 + 0.1 + 0.1;
    EXPECT_DOUBLE_EQ(s.chart.sngTop, divisor);
    EXPECT_FLOAT_EQ(m.bars()[0].height, float(20000 / divisor));
    m.keyDown(kKeyUp, 0);  // re-layouts divide by 5 again
    EXPECT_EQ(m.bars()[0].height, 4000);
    EXPECT_EQ(m.bars()[0].top, -50);
}

TEST_F(ChartModelTest, NoClosedTradeBuildsNothingAndKeepsTheSpacing) {
    s.chart.sngLeft = 42;
    s.run.closedTradeCount = 0;
    OpenModel(m);
    EXPECT_TRUE(m.bars().empty());
    EXPECT_EQ(s.chart.vScrol, 4000);
    EXPECT_EQ(s.chart.sngLeft, 42);
    m.keyDown(kKeyLeft, 0);
    EXPECT_EQ(s.chart.hScrol, 10);
}

class ChartRelayoutTest : public ChartModelTest {
  protected:
    void SetUp() override {
        alternating(20);
        OpenModel(m);
        m.mouseDown(kButtonLeft, 500, 1000);
        m.mouseMove(kButtonLeft, 900, 1200);
    }
    const ChartLine& line() { return *m.userLine(1); }
};

TEST_F(ChartRelayoutTest, ArrowsPanBarsAndLinesTogether) {
    const auto before = m.bars();
    for (int i = 0; i < 5; ++i) m.keyDown(kKeyUp, 0);
    EXPECT_EQ(m.bars()[7].top, before[7].top - 250);
    EXPECT_EQ(line().y1, 750);
    EXPECT_EQ(line().y2, 950);
    for (int i = 0; i < 5; ++i) m.keyDown(kKeyDown, 0);
    EXPECT_EQ(m.bars()[7].top, before[7].top);

    m.keyDown(kKeyLeft, 0);  // ten trades on: bar 11 where bar 1 was
    EXPECT_EQ(m.bars()[10].left, 100);
    EXPECT_EQ(m.bars()[0].left, -900);
    EXPECT_EQ(m.barLeft(11), 100);
    EXPECT_EQ(line().x1, -500);
    EXPECT_EQ(line().x2, -100);
    s.chart.barLeft[3] = 12345;  // vertical moves leave the table alone
    m.keyDown(kKeyUp, 0);
    EXPECT_EQ(m.barLeft(3), 12345);
}

TEST_F(ChartRelayoutTest, ZoomShiftsLineEndsAndFailuresLeaveBarsInPlace) {
    m.keyDown(kKeyRight, kShiftOnly);
    EXPECT_EQ(m.bars()[1].left, 202);
    EXPECT_EQ(m.bars()[1].width, 81);
    EXPECT_EQ(line().x1, 540);  // + (100 - 60)
    EXPECT_EQ(line().x2, 959);  // + 60 - 1
    m.keyDown(kKeyLeft, 3);     // Ctrl+Shift counts as no Shift
    EXPECT_EQ(s.chart.hScrol, 10);

    for (int i = 0; i < 4; ++i) m.keyDown(kKeyUp, kShiftOnly);
    const auto before = m.bars();
    m.keyDown(kKeyUp, kShiftOnly);  // divisor 0: stops at trade 1
    EXPECT_EQ(s.chart.vScrol2, 0);
    EXPECT_EQ(m.bars()[0].height, before[0].height);
    for (int i = 0; i < 5; ++i) m.keyDown(kKeyUp, kShiftOnly);
    m.keyDown(kKeyDown, 0);
    EXPECT_EQ(m.bars()[0].height, 100);  // -5 draws like 5

    for (int i = 0; i < 82; ++i) m.keyDown(kKeyLeft, kShiftOnly);
    EXPECT_EQ(s.chart.hScrol2, -81);
    EXPECT_EQ(m.bars()[0].width, 0);  // width -1 was refused
    for (int i = 0; i < 19; ++i) m.keyDown(kKeyLeft, kShiftOnly);
    m.keyDown(kKeyDown, 0);  // spacing 0 collapses the staircase onto x = 0
    EXPECT_EQ(m.bars()[12].left, 0);
    m.keyDown(kKeyLeft, kShiftOnly);
    m.keyDown(kKeyRight, 0);  // spacing -1 mirrors it
    EXPECT_EQ(m.bars()[4].left, -5);
}

TEST_F(ChartRelayoutTest, ChangedJournalNeverReachesMissingBars) {
    alternating(25, 1000, -1000);
    m.keyDown(kKeyLeft, 0);
    ASSERT_EQ(m.bars().size(), 20u);
    EXPECT_EQ(m.bars()[19].left, 1000);
    EXPECT_EQ(m.bars()[0].height, 200);
    EXPECT_EQ(m.barLeft(21), 0);
    trades({100, 100});
    m.keyDown(kKeyRight, 0);
    EXPECT_EQ(m.bars()[0].left, 100);
    EXPECT_EQ(m.bars()[5].left, -400);  // beyond the journal: as before
}

TEST_F(ChartModelTest, UserLinesFollowTheLeftButtonAndOutliveNoWindow) {
    alternating(30);
    OpenModel(m);
    m.mouseDown(kButtonRight, 10, 10);
    m.mouseMove(kButtonLeft, 50, 60);  // no line yet: only the pointer changes
    EXPECT_TRUE(m.crossHair());
    m.mouseDown(kButtonLeft, 100, 200);
    m.mouseMove(kButtonLeft, 300, 400);
    m.mouseMove(kButtonLeft | kButtonRight, 999, 999);
    m.mouseUp(kButtonLeft);
    EXPECT_FALSE(m.crossHair());
    ASSERT_NE(m.userLine(1), nullptr);
    EXPECT_EQ(*m.userLine(1), (ChartLine{100, 200, 300, 400, kColourRed, true}));
    m.mouseDown(kButtonLeft, 700, 700);
    m.doubleClick();
    EXPECT_FALSE(m.userLine(1)->visible);
    EXPECT_FALSE(m.userLine(2)->visible);
    m.keyDown(kKeyLeft, 0);  // hidden lines still move
    EXPECT_EQ(m.userLine(2)->x1, -300);

    trades({500, 500, 500});
    ChartModel again(s);
    OpenModel(again);
    EXPECT_EQ(again.userLine(1), nullptr);
    EXPECT_EQ(again.bars()[0].left, 100);           // the build ignores the pan
    EXPECT_EQ(again.barLeft(25), float(15 * 100));  // entries beyond the new count stay
    again.mouseMove(kButtonLeft, 5, 5);             // line 2 went with the old window
    again.keyDown(kKeyDown, 0);                     // the first re-layout applies the pan
    EXPECT_EQ(again.bars()[0].left, -900);
    s.chart.drawnLineCount = 32767;  // no 16-bit wrap
    again.mouseDown(kButtonLeft, 8, 8);
    EXPECT_NE(again.userLine(32768), nullptr);
}

}  // namespace
}  // namespace kavro::testing
