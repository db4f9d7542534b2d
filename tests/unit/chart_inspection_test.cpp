#include <gtest/gtest.h>

#include "chart_fixture.h"

namespace kavro::testing {
namespace {

class ChartInspectionTest : public ::testing::Test, protected ChartSession {
  protected:
    void SetUp() override {
        alternating(20, 949, -301);
        JournalRow& r = s.run.journal.at(3);
        r = {1.2345f, DateText::from("20210105"), TradeSide::Sell,
             -301.0f, DateText::from("20210107"), 1.2375f,
             1597.0f};
        s.run.winCount = 4;
        s.run.lossCount = 6;
        OpenModel(m);
    }
    ChartModel m{s};
};

TEST_F(ChartInspectionTest, PointerShowsTheRecordOfTheTradeUnderIt) {
    m.mouseMove(0, 350, 2000);
    EXPECT_EQ(m.infoText(),
              "Sell $-301\r\nДата открытия-20210105\r\nЦена открытия-1.2345\r\nДата закрытия-20210107\r\n"
              "Цена закрытия-1.2375\r\nРезультат-$1597\r\nПрибыльные сделки4\r\nУбыточные сделки6");
    EXPECT_EQ(m.tradeUnder(399), 3);  // the gap after a bar belongs to it
    EXPECT_EQ(m.tradeUnder(400), 4);
    s.locale.decimalSeparator = ',';
    m.mouseMove(0, 50, 2000);  // the first w twips: row 0 with the counts
    EXPECT_EQ(
        m.infoText(),
        " $0\r\nДата открытия-\r\nЦена открытия-\r\nДата закрытия-\r\nЦена закрытия-\r\nРезультат-$0\r\n"
        "Прибыльные сделки4\r\nУбыточные сделки6");
    m.mouseMove(0, 310, 0);
    EXPECT_NE(m.infoText().find("Цена открытия-1,2345\r\n"), std::string::npos);
}

TEST_F(ChartInspectionTest, PanDecidesWhichTradeIsUnderThePointer) {
    m.keyDown(kKeyLeft, 0);
    m.mouseMove(0, 150, 100);
    EXPECT_EQ(m.tradeUnder(150), 11);
    const std::string shown = m.infoText();
    EXPECT_EQ(shown.substr(0, 8), "Buy $949");
    m.mouseMove(0, 1500, 100);  // beyond the last trade: the box keeps its text
    EXPECT_EQ(m.infoText(), shown);
    m.keyDown(kKeyRight, 0);
    m.keyDown(kKeyRight, 0);
    EXPECT_EQ(m.tradeUnder(150), std::nullopt);  // k < 0

    s.chart.hScrol = 1000;  // k = 1000, whose left reads as 0: a hit, if the journal has the row
    EXPECT_EQ(m.tradeUnder(50), std::nullopt);
    s.store.hourBarCount = 2000;
    EXPECT_EQ(m.tradeUnder(50), 1000);
    s.chart.hScrol2 = -100;  // no spacing: always row 0, which the strict test misses
    EXPECT_EQ(m.tradeUnder(0), std::nullopt);
}

TEST_F(ChartInspectionTest, RightButtonDragsTheBoxClearOfTheOscillatorBand) {
    const float ys[] = {2000, 2599, 2600, 4200, 4201, 5000};  // H = 6000: bands end at 2600 and 4200
    const float tops[] = {2000, 2599, 905, 2505, 2600, 2600};
    for (int i = 0; i < 6; ++i) {
        m.mouseMove(kButtonRight, 700 + i, ys[i]);
        EXPECT_EQ(m.infoPosition().top, tops[i]) << ys[i];
        EXPECT_EQ(m.infoPosition().left, 700 + i);
    }
    m.mouseMove(kButtonLeft | kButtonRight, 10, 10);
    EXPECT_EQ(m.infoPosition().left, 705);

    m.resize(9000, 7000);
    EXPECT_EQ(m.commandLeft(), 9000 - 585);
    EXPECT_EQ(m.guides()[0].y1, 6200);
    EXPECT_EQ(m.guides()[4].y2, 5400);
    EXPECT_EQ(m.guides()[4].x2, 9000);
    EXPECT_FALSE(m.guides()[4].visible);
}

}  // namespace
}  // namespace kavro::testing
