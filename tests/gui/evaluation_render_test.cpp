#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <vector>

#include "evaluation/render/evaluation_render.h"
#include "import/bar_time.h"

using namespace kavro;

namespace {

// A sweep of two hours, take-profits 20 and 30, stop-losses 10 and 15: at hour 9
// TP 30 / SL 15 never ran, TP 20 / SL 15 lost.
const std::vector<PassRow> kSweep = {
    {9, 20, 10, 5}, {9, 20, 15, -30}, {9, 30, 10, 12}, {10, 20, 10, 4}, {10, 20, 15, 0},
};

const QRectF kArea(0, 0, 640, 420);

QImage Paint(const std::function<void(QPainter&, const QRectF&)>& paint, QSize size = QSize(640, 420)) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    p.end();
    return img;
}

QRgb At(const QImage& img, QPointF pt) {
    return img.pixel(static_cast<int>(std::floor(pt.x())), static_cast<int>(std::floor(pt.y()))) |
           0xFF000000u;
}

// A point of a large cell that shows its colour: its value is written in the middle.
QPointF Fill(const QRectF& cell) {
    return cell.topLeft() + QPointF(4, 4);
}

bool Reddish(QRgb c) {
    return qRed(c) > 150 && qGreen(c) < qRed(c) - 60 && qBlue(c) < qRed(c) - 60;
}
bool Greenish(QRgb c) {
    return qGreen(c) > qRed(c) + 20 && qGreen(c) > qBlue(c) + 20;
}

int Count(const QImage& img, const std::function<bool(QRgb)>& match) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += match(img.pixel(x, y));
    return n;
}

bool NotWhite(QRgb c) {
    return (c & 0xFFFFFF) != 0xFFFFFF;
}

Distribution SomeDistribution() {
    Distribution d;
    d.values = {-30, -10, 0, 5, 5, 12, 20, 20, 35, 60};
    d.histogram = MakeHistogram(d.values, 8);
    d.p5 = -30;
    d.p50 = 5;
    d.p95 = 60;
    d.min = -30;
    d.max = 60;
    return d;
}

WalkForwardView SomeWindows() {
    std::vector<WindowRecord> w(5);
    const float tp[] = {60, 70, 70, 40, 55}, fwd[] = {50, -20, 30, 100, -5};
    for (size_t i = 0; i < w.size(); ++i) {
        w[i].optFirstBar = 1 + 250.0 * i;
        w[i].optLastBar = 1000 + 250.0 * i;
        w[i].fwdFirstBar = 1001 + 250.0 * i;
        w[i].fwdLastBar = 1250 + 250.0 * i;
        w[i].entryHour = 9 + static_cast<float>(i);
        w[i].target = tp[i];
        w[i].stop = 30;
        w[i].bestFound = i != 2;
        w[i].inSampleTotal = 200;
        w[i].forwardResult = fwd[i];
    }
    return BuildWalkForwardView(w);
}

}  // namespace

class EvaluationRenderTest : public QObject {
    Q_OBJECT
  private slots:
    void coloursDivergeAroundWhite();
    void heatmapCellsShowTheirResultsAndTheEmptyOnesApart();
    void heatmapOutlinesTheBestAndTheHoveredCell();
    void pixelsMapBackToTheirCells();
    void bigGridPaintsThroughOneImage();
    void equityShowsTheLineAndTheDrawdown();
    void everyPictureCopesWithNothingToShow();
    void dashboardAndMonteCarloPaint();
    void savePngWritesAReadableImageAtomically();
    void savePngRefusesWhatItCannotWrite();
    void zoomedOutPriceColumnsKeepEverySpike();
    void pricePicturesHaveTheirNamesAndSizes();
    void stabilityPointsStayInsideTheirPlots();
    void monteCarloMarksAreEvenDashes();
    void timeTicksFallOnRoundTimes();
};

void EvaluationRenderTest::coloursDivergeAroundWhite() {
    QCOMPARE(HeatColour(0, 10).rgb(), qRgb(255, 255, 255));
    QVERIFY(Reddish(HeatColour(-10, 10).rgb()));
    QVERIFY(Greenish(HeatColour(10, 10).rgb()));
    // Half way is half as strong; beyond the scale no stronger than at it.
    QVERIFY(qGreen(HeatColour(-5, 10).rgb()) > qGreen(HeatColour(-10, 10).rgb()));
    QCOMPARE(HeatColour(-50, 10).rgb(), HeatColour(-10, 10).rgb());
    QCOMPARE(HeatColour(7, 0).rgb(), qRgb(255, 255, 255));
    QCOMPARE(HeatColour(NAN, 10).rgb(), kEmptyCell);
}

void EvaluationRenderTest::heatmapCellsShowTheirResultsAndTheEmptyOnesApart() {
    const HeatGrid g = TargetStopGrid(kSweep, AxesOf(kSweep), 9);
    const QImage img = Paint([&](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, g); });
    const HeatmapLayout l = LayoutHeatmap(kArea, g);
    QCOMPARE(l.columns, size_t(2));
    QCOMPARE(l.rows, size_t(2));
    // TP 20 / SL 15 lost 30: the strongest red (the scale is 30).
    const QRgb loss = At(img, Fill(l.cellRect({0, 1})));
    QVERIFY(Reddish(loss));
    QCOMPARE(loss, HeatColour(-30, 30).rgb());
    QVERIFY(Greenish(At(img, Fill(l.cellRect({1, 0})))));
    QCOMPARE(At(img, Fill(l.cellRect({0, 0}))), HeatColour(5, 30).rgb());
    // Never run: grey, told apart from a 0 result's white.
    const QRgb empty = At(img, l.cellRect({1, 1}).center());
    QCOMPARE(empty, kEmptyCell);
    QVERIFY(NotWhite(empty));

    // The cells image alone: one pixel a cell, the highest stop-loss on top.
    const QImage cells = HeatmapCells(g);
    QCOMPARE(cells.size(), QSize(2, 2));
    QCOMPARE(cells.pixel(0, 0) | 0xFF000000u, HeatColour(-30, 30).rgb());
    QCOMPARE(cells.pixel(1, 0) | 0xFF000000u, kEmptyCell);
    QCOMPARE(cells.pixel(1, 1) | 0xFF000000u, HeatColour(12, 30).rgb());
}

void EvaluationRenderTest::heatmapOutlinesTheBestAndTheHoveredCell() {
    const HeatGrid g = TargetStopGrid(kSweep, AxesOf(kSweep), 9);
    QVERIFY(g.hasBest);
    QCOMPARE(g.bestX, size_t(1));
    QCOMPARE(g.bestY, size_t(0));
    const QImage img = Paint([&](QPainter& p, const QRectF& r) {
        PaintHeatmap(p, r, g, nullptr, GridCell{0, 1});
    });
    const HeatmapLayout l = LayoutHeatmap(kArea, g);
    const QRectF best = l.cellRect({1, 0});
    // The outline runs just inside the cell's edges; the middle keeps the cell's colour.
    for (QPointF pt :
         {QPointF(best.left() + 1.5, best.center().y()), QPointF(best.center().x(), best.bottom() - 1.5),
          QPointF(best.right() - 1.5, best.center().y())})
        QCOMPARE(At(img, pt), kBestOutline);
    QVERIFY(Greenish(At(img, best.center() - QPointF(0, best.height() / 4))));
    const QRectF hover = l.cellRect({0, 1});
    QCOMPARE(At(img, QPointF(hover.left() + 1.5, hover.center().y())), kHoverOutline);
    // No outline on a cell that is neither.
    const QRectF plain = l.cellRect({0, 0});
    QCOMPARE(At(img, QPointF(plain.left() + 1.5, plain.center().y())), HeatColour(5, 30).rgb());
}

void EvaluationRenderTest::pixelsMapBackToTheirCells() {
    const HeatGrid g = HourTargetGrid(kSweep);
    const HeatmapLayout l = LayoutHeatmap(kArea, g);
    QVERIFY(l.plot.width() > 100 && l.plot.height() > 100);
    for (size_t x = 0; x < l.columns; ++x) {
        for (size_t y = 0; y < l.rows; ++y) {
            const QRectF r = l.cellRect({x, y});
            for (QPointF pt :
                 {r.center(), r.topLeft() + QPointF(0.5, 0.5), r.bottomRight() - QPointF(0.5, 0.5)}) {
                const auto c = l.cellAt(pt);
                QVERIFY(c.has_value());
                QCOMPARE(c->x, x);
                QCOMPARE(c->y, y);
            }
        }
    }
    QVERIFY(!l.cellAt(l.plot.topLeft() - QPointF(1, 1)).has_value());
    QVERIFY(!l.cellAt(QPointF(l.plot.right() + 1, l.plot.center().y())).has_value());
    QVERIFY(!l.cellAt(QPointF(l.plot.center().x(), l.plot.bottom() + 1)).has_value());
    // The top-left pixel is the highest row.
    QCOMPARE(l.cellAt(l.plot.topLeft() + QPointF(0.5, 0.5))->y, l.rows - 1);
    QVERIFY(!LayoutHeatmap(kArea, HeatGrid{}).cellAt(kArea.center()).has_value());
}

void EvaluationRenderTest::bigGridPaintsThroughOneImage() {
    // 300 x 200 cells, a diagonal of losses, a corner never run.
    std::vector<PassRow> rows;
    for (int tp = 0; tp < 300; ++tp)
        for (int sl = 0; sl < 200; ++sl)
            if (tp + sl > 5) rows.push_back({9, float(tp), float(sl), float(tp == sl ? -300 : tp)});
    const HeatGrid g = TargetStopGrid(rows);
    QCOMPARE(g.width(), size_t(300));
    QCOMPARE(g.height(), size_t(200));
    const QImage img = Paint([&](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, g); }, QSize(1200, 900));
    const HeatmapLayout l = LayoutHeatmap(QRectF(0, 0, 1200, 900), g);
    QCOMPARE(At(img, l.cellRect({0, 0}).center()), kEmptyCell);
    QVERIFY(Reddish(At(img, l.cellRect({150, 150}).center())));
    QVERIFY(Greenish(At(img, l.cellRect({290, 10}).center())));
}

void EvaluationRenderTest::equityShowsTheLineAndTheDrawdown() {
    const std::vector<double> equity = {0, 100, 50, 20, 220, 220, 180};
    Drawdown dd;
    dd.money = 80;
    dd.peakTrade = 1;
    dd.troughTrade = 3;
    dd.start = {2020, 1, 3};
    dd.end = {2020, 1, 15};
    const QImage img = Paint([&](QPainter& p, const QRectF& r) { PaintEquity(p, r, equity, dd); });
    const int line = Count(img, [](QRgb c) { return qBlue(c) > 140 && qRed(c) < 90 && qGreen(c) < 140; });
    const int shade = Count(img, [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 235 && qGreen(c) > 150; });
    QVERIFY2(line > 200, qPrintable(QString::number(line)));
    QVERIFY2(shade > 500, qPrintable(QString::number(shade)));
    // The fall at the trough is drawn in full red.
    QVERIFY(Count(img, [](QRgb c) { return Reddish(c) && qRed(c) < 230 && qGreen(c) < 80; }) > 20);

    // 200,000 trades squeeze into the width without losing the plot.
    std::vector<double> many(200001);
    for (size_t i = 1; i < many.size(); ++i) many[i] = many[i - 1] + ((i * 7919) % 13 < 7 ? 3.0 : -2.5);
    const QImage big = Paint([&](QPainter& p, const QRectF& r) { PaintEquity(p, r, many, Drawdown{}); });
    QVERIFY(Count(big, [](QRgb c) { return qBlue(c) > 140 && qRed(c) < 90 && qGreen(c) < 140; }) > 200);
}

void EvaluationRenderTest::everyPictureCopesWithNothingToShow() {
    const QImage blank = Paint([](QPainter&, const QRectF&) {});
    for (const auto& paint : std::vector<std::function<void(QPainter&, const QRectF&)>>{
             [](QPainter&p, const QRectF&r) { PaintEquity(p, r, {}, Drawdown{}); },
             [](QPainter&p, const QRectF&r) { PaintEquity(p, r, std::vector<double>{0}, Drawdown{}); },
             [](QPainter&p, const QRectF&r) { PaintHeatmap(p, r, HeatGrid{}); },
             [](QPainter&p, const QRectF&r) { PaintForwardEquity(p, r, WalkForwardView{}); },
             [](QPainter&p, const QRectF&r) { PaintParameterStability(p, r, WalkForwardView{}); },
             [](QPainter&p, const QRectF&r) {
                 PaintMonteCarlo(p, r, Distribution{}, QStringLiteral("Итог"));
             },
         }) {
        // A title and a note, nothing else, and no crash.
        const QImage img = Paint(paint);
        QVERIFY(img != blank);
    }
    // Damaged figures: gaps and a note, no crash.
    std::vector<WindowRecord> damaged(3);
    damaged[1].target = NAN;
    damaged[2].entryHour = INFINITY;
    Paint(
        [&](QPainter& p, const QRectF& r) { PaintParameterStability(p, r, BuildWalkForwardView(damaged)); });
    Paint([](QPainter& p, const QRectF& r) {
        PaintEquity(p, r, std::vector<double>{0, NAN, 3}, Drawdown{});
    });
    // Too small to hold a plot: still no crash, at any size.
    for (QSize s : {QSize(1, 1), QSize(40, 30), QSize(120, 60)}) {
        Paint(
            [](QPainter& p, const QRectF& r) {
                PaintEquity(p, r, std::vector<double>{0, 5, -3}, Drawdown{});
            },
            s);
        Paint([](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, HourTargetGrid(kSweep)); }, s);
        Paint([](QPainter& p, const QRectF& r) { PaintParameterStability(p, r, SomeWindows()); }, s);
        Paint([](QPainter& p, const QRectF& r) { PaintForwardEquity(p, r, SomeWindows()); }, s);
        Paint([](QPainter& p, const QRectF& r) { PaintMonteCarlo(p, r, SomeDistribution(), QString()); }, s);
    }
}

void EvaluationRenderTest::dashboardAndMonteCarloPaint() {
    const WalkForwardView v = SomeWindows();
    const QImage forward = Paint([&](QPainter& p, const QRectF& r) { PaintForwardEquity(p, r, v); });
    // Bars of the winning and the losing windows.
    QVERIFY(Count(forward, [](QRgb c) { return Greenish(c); }) > 100);
    QVERIFY(Count(forward, [](QRgb c) { return qRed(c) > qGreen(c) + 30 && qRed(c) > qBlue(c) + 30; }) > 100);
    const QImage params = Paint([&](QPainter& p, const QRectF& r) { PaintParameterStability(p, r, v); });
    QVERIFY(Count(params, NotWhite) > 2000);
    const QImage mc = Paint([&](QPainter& p, const QRectF& r) {
        PaintMonteCarlo(p, r, SomeDistribution(), QStringLiteral("Итог: выборка с возвращением"), 0.2);
    });
    QVERIFY(Count(mc, [](QRgb c) { return qBlue(c) > qRed(c) + 40; }) > 1000);
    QVERIFY(Count(mc, [](QRgb c) { return Reddish(c); }) > 50);  // the three dashed marks
}

void EvaluationRenderTest::savePngWritesAReadableImageAtomically() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("heatmap.png")).toStdString();
    const HeatGrid g = HourTargetGrid(kSweep);
    std::string error;
    QVERIFY(SavePng(
        path, QSize(800, 500), [&](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, g); }, error));
    QImage back(QString::fromStdString(path));
    QVERIFY(!back.isNull());
    QCOMPARE(back.size(), QSize(800, 500));
    const HeatmapLayout l = LayoutHeatmap(QRectF(0, 0, 800, 500), g);
    // Hour 9, TP 30: the grid's highest result, 12, so the strongest green.
    QCOMPARE(back.pixel(Fill(l.cellRect({0, 1})).toPoint()) | 0xFF000000u, HeatColour(12, 12).rgb());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("heatmap.png")});
}

void EvaluationRenderTest::savePngRefusesWhatItCannotWrite() {
    QTemporaryDir dir;
    std::string error;
    const std::string inMissing = dir.filePath(QStringLiteral("missing/x.png")).toStdString();
    QVERIFY(!SavePng(inMissing, QSize(100, 100), {}, error));
    QVERIFY2(error.find("x.png") != std::string::npos && error.find("папка не найдена") != std::string::npos,
             error.c_str());
    error.clear();
    QVERIFY(!SavePng(dir.filePath(QStringLiteral("y.png")).toStdString(), QSize(0, 10), {}, error));
    QVERIFY(error.find("размер") != std::string::npos);
    // A picture whose memory could not be had is said to be that, not a bad size.
    error.clear();
    QVERIFY(!WritePictures(dir.path().toStdString(), {NamedPicture{"z.png", QImage()}}, error));
    QVERIFY2(error.find("z.png") != std::string::npos && error.find("не хватает памяти") != std::string::npos,
             error.c_str());
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

namespace {

// A store of `count` flat hourly bars at 1.0 on consecutive days, a run over all of
// them, and two spikes: up at bar 7777, down at bar 12345.
struct FlatQuotes {
    QuoteStore q;
    RunRecord record;
    explicit FlatQuotes(int count) {
        for (int b = 1; b <= count; ++b) {
            q.appendHour();
            q.hourOhlc[b] = {1.0f, 1.001f, 0.999f, 1.0f};
            q.hourOfBar[b] = static_cast<float>(b % 24);
            q.hourDate[b] = DateText::from(DateKey(DateFromDays(b / 24)));
        }
        q.hourOhlc[7777][QuoteStore::High] = 1.5f;
        q.hourOhlc[12345][QuoteStore::Low] = 0.5f;
        record.firstBar = 1;
        record.lastBar = static_cast<float>(count + 1);
    }
};

// The first row, from the top, of column x whose pixel passes `match`; -1 when none.
int FirstRow(const QImage& img, int x, const std::function<bool(QRgb)>& match, int from = 0) {
    for (int y = from; y < img.height(); ++y)
        if (match(img.pixel(x, y))) return y;
    return -1;
}

bool Grey(QRgb c) {
    return qRed(c) == 150 && qGreen(c) == 150 && qBlue(c) == 150;
}

}  // namespace

void EvaluationRenderTest::zoomedOutPriceColumnsKeepEverySpike() {
    FlatQuotes f(20000);
    const auto chart = PriceChart::Build(f.q, f.record, {}, Timeframe::Hourly);
    QVERIFY(chart);
    const QRectF area(0, 0, 800, 500);
    const PriceLayout l = LayoutPriceChart(area);
    PriceView v;
    v.fit(0, 19999, l.price.width(), chart->size());
    QVERIFY(v.perPixel > 20);  // many bars a column
    const QImage img =
        Paint([&](QPainter& p, const QRectF& r) { PaintPriceChart(p, r, *chart, v); }, QSize(800, 500));
    const PriceRange ys = VisiblePriceRange(*chart, v, l.price.width());
    QCOMPARE(ys.high > 1.5f && ys.low < 0.5f, true);
    auto y = [&](double price) {
        return int(l.price.bottom() - (price - ys.low) / (ys.high - ys.low) * l.price.height());
    };
    const int up = int(l.price.left() + v.xOf(7777.5)), down = int(l.price.left() + v.xOf(12345.5));
    // The column of each spike reaches it; a column further on does not.
    QVERIFY(NotWhite(img.pixel(up, y(1.45))));
    QVERIFY(NotWhite(img.pixel(down, y(0.55))));
    QVERIFY(!NotWhite(img.pixel(up + 30, y(1.45))));
    QVERIFY(!NotWhite(img.pixel(down + 30, y(0.55))));
}

void EvaluationRenderTest::pricePicturesHaveTheirNamesAndSizes() {
    FlatQuotes f(2000);
    TradeRecord t;
    t.side = TradeSide::Sell;
    t.entryBar = 500;
    t.exitBar = 530;
    t.entryPrice = 1.0f;
    t.exitPrice = 0.99f;
    t.profit = 949;
    t.takeProfit = 0.01f;
    t.stopLoss = 0.002f;
    const std::vector<TradeRecord> trades = {t};
    const auto hourly = PriceChart::Build(f.q, f.record, trades, Timeframe::Hourly);
    QVERIFY(hourly);
    EvaluationPictures pictures;
    pictures.prices = hourly.get();  // the daily chart is drawn by the same code
    pictures.hourly = hourly.get();
    pictures.chartTrade = 1;
    const std::vector<NamedPicture> painted = PaintEvaluationPictures(pictures);
    QCOMPARE(painted.size(), size_t(3));
    QCOMPARE(painted[1].name, std::string("price.png"));
    QCOMPARE(painted[2].name, TradePictureFile(1));
    QCOMPARE(painted[2].name, std::string("trade-1.png"));
    for (const NamedPicture& n : painted)
        QVERIFY2(n.image.width() >= 1200 && n.image.height() >= 700, n.name.c_str());
    for (size_t i = 1; i < painted.size(); ++i) QVERIFY(Count(painted[i].image, NotWhite) > 10000);
    // The trade's chart: its sell marker (red) at its entry.
    QVERIFY(Count(painted[2].image, Reddish) > 50);
    QImage none(640, 420, QImage::Format_RGB32);
    QPainter p(&none);
    QVERIFY(!PaintTradePrices(p, QRectF(0, 0, 640, 420), *hourly, 2));  // no such trade
}

void EvaluationRenderTest::stabilityPointsStayInsideTheirPlots() {
    // Take-profits from 35 to 100 (an axis of round steps ends right at 100), the hours the day's ends.
    std::vector<WindowRecord> w(4);
    const float hours[] = {0, 23, 0, 23};
    for (size_t i = 0; i < w.size(); ++i) {
        w[i].target = i % 2 ? 35 : 100;
        w[i].stop = 20 + 10 * static_cast<float>(i);
        w[i].entryHour = hours[i];
        w[i].bestFound = true;
    }
    const QImage img =
        Paint([&](QPainter& p, const QRectF& r) { PaintParameterStability(p, r, BuildWalkForwardView(w)); },
              QSize(640, 600));
    const int x = static_cast<int>(62 + 0.5 / 4 * (640 - 62 - 28));  // window 1's column
    const auto green = [](QRgb c) { return qGreen(c) > 120 && qRed(c) < 80; };
    const auto blue = [](QRgb c) { return qBlue(c) > 150 && qRed(c) < 80; };
    // The take-profit plot's frame, then its point wholly below the frame.
    const int frame = FirstRow(img, x, Grey, 30);
    const int point = FirstRow(img, x, green, frame);
    QVERIFY(frame > 0 && point > 0);
    QVERIFY2(point > frame + 1, qPrintable(QStringLiteral("frame %1, point %2").arg(frame).arg(point)));
    // Hour 23 is the top of the hour plot (its axis ends at 23, not 40) and hour 0 the bottom.
    const int x2 = static_cast<int>(62 + 1.5 / 4 * (640 - 62 - 28));
    const int top = FirstRow(img, x2, blue, 2 * 600 / 3);
    const int bottom = FirstRow(img, x, blue, 2 * 600 / 3);
    QVERIFY(top > 0 && bottom > top);
    const int hourFrame = FirstRow(img, x2, Grey, top - 20);
    QVERIFY2(top - hourFrame < 12,
             qPrintable(QStringLiteral("hour 23 at %1 under a frame at %2").arg(top).arg(hourFrame)));
}

void EvaluationRenderTest::monteCarloMarksAreEvenDashes() {
    const QImage img = Paint([](QPainter& p, const QRectF& r) {
        PaintMonteCarlo(p, r, SomeDistribution(), QStringLiteral("Итог"));
    });
    const auto dashRed = [](QRgb c) { return qRed(c) == 215 && qGreen(c) == 48 && qBlue(c) == 39; };
    // Each dashed mark is two whole pixels wide on every row it is drawn on.
    int rows = 0;
    for (int y = 100; y < 380; ++y) {
        for (int x = 63; x < img.width() - 1; ++x) {
            if (!dashRed(img.pixel(x, y)) || dashRed(img.pixel(x - 1, y))) continue;
            int width = 0;
            while (x + width < img.width() && dashRed(img.pixel(x + width, y))) ++width;
            QCOMPARE(width, 2);
            ++rows;
        }
    }
    QVERIFY(rows > 100);
}

void EvaluationRenderTest::timeTicksFallOnRoundTimes() {
    auto hours = [](Date d, int h) { return static_cast<double>(DaysFromDate(d) * 24 + h); };
    struct Case {
        Date from, to;
        const char* first;  // the first label
    };
    for (const Case& c :
         {Case{{2020, 3, 2}, {2020, 3, 2}, "02.03 06:00"}, Case{{2020, 3, 2}, {2020, 3, 6}, "03.03.20"},
          Case{{2019, 11, 20}, {2021, 4, 2}, "01.2020"}, Case{{1990, 5, 5}, {2021, 1, 1}, "1995"}}) {
        const double lo = hours(c.from, 5), hi = hours(c.to, 20);
        const std::vector<render::TimeTick> ticks = render::TimeTicks(lo, hi, 8);
        QVERIFY(!ticks.empty() && ticks.size() <= 9);
        QCOMPARE(ticks.front().label, QString::fromLatin1(c.first));
        for (size_t i = 0; i < ticks.size(); ++i) {
            QVERIFY(ticks[i].hours >= lo && ticks[i].hours <= hi);
            if (i > 0) QVERIFY(ticks[i].hours > ticks[i - 1].hours);
        }
    }
    QVERIFY(render::TimeTicks(NAN, 5, 8).empty());
}

QTEST_MAIN(EvaluationRenderTest)
#include "evaluation_render_test.moc"
