// The price chart on a store of 10,000,000 hourly bars (and their 416,667 days)
// with 40,000 trades: building the chart once, then a frame (the whole picture
// of a 1600 x 900 window) at every zoom a user reaches, zoomed out to the whole
// store, panned across it, down to single candles, a trade selected.
// Usage: QT_QPA_PLATFORM=offscreen price_chart_bench
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_util.h"
#include "evaluation/price_chart.h"
#include "evaluation/random.h"
#include "evaluation/render/evaluation_render.h"
#include "import/bar_time.h"

using namespace kavro;

namespace {

constexpr int kBars = 10'000'000;
constexpr int kHoursADay = 24;

// A random walk of hourly bars on weekdays from 1900, the days built from them,
// the daily figures drawn at random (the chart only reads them).
void FillStore(QuoteStore& q) {
    Xoshiro256 rng(11);
    q.reserveHours(kBars);
    q.reserveDays(kBars / kHoursADay + 1);
    int64_t day = DaysFromDate(Date{1900, 1, 1});
    float price = 1.2f;
    for (int b = 0; b < kBars; ++b) {
        if (b % kHoursADay == 0) {
            // Weekends are not traded: the chart closes up the gap.
            while (WeekdayOfDays(day) >= 6) ++day;
            const int d = q.appendDay();
            q.dayDate[d] = DateText::from(DateKey(DateFromDays(day)));
            q.dayAverage200[d] = price;
            q.dayStochastic[d] = static_cast<float>(rng.below(101));
            q.dayOhlc[d] = {price, price, price, price};
            ++day;
        }
        const float open = price;
        price = std::max(0.5f, price + (static_cast<float>(rng.below(2001)) - 1000.0f) * 1e-6f);
        const float high = std::max(open, price) + 0.0004f, low = std::min(open, price) - 0.0004f;
        const int h = q.appendHour();
        q.hourOhlc[h] = {open, high, low, price};
        q.hourOfBar[h] = static_cast<float>(b % kHoursADay);
        q.hourDate[h] = q.dayDate[q.dayBarCount];
        auto& dayBar = q.dayOhlc[q.dayBarCount];
        dayBar[QuoteStore::High] = std::max(dayBar[QuoteStore::High], high);
        dayBar[QuoteStore::Low] = std::min(dayBar[QuoteStore::Low], low);
        dayBar[QuoteStore::Close] = price;
    }
    q.hourSet.bars = q.hourBarCount;
    q.daySet.bars = q.dayBarCount;
    ++q.generation;
}

std::vector<TradeRecord> SomeTrades(const QuoteStore& q, int count) {
    std::vector<TradeRecord> trades;
    Xoshiro256 rng(5);
    const int64_t step = q.hourBarCount / count;
    for (int k = 0; k < count; ++k) {
        TradeRecord t;
        t.side = k % 2 ? TradeSide::Sell : TradeSide::Buy;
        t.entryBar = 1 + k * step;
        t.exitBar = t.entryBar + 1 + static_cast<int64_t>(rng.below(static_cast<uint64_t>(step)));
        t.entryPrice = q.hourBar(static_cast<size_t>(t.entryBar))[QuoteStore::Open];
        t.exitPrice = q.hourBar(static_cast<size_t>(t.exitBar))[QuoteStore::Close];
        t.profit = rng.below(2) ? 949.0f : -200.0f;
        t.takeProfit = 0.01f;
        t.stopLoss = 0.002f;
        trades.push_back(t);
    }
    return trades;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QuoteStore q;
    std::printf("filling a store of %d hourly bars...\n", kBars);
    FillStore(q);
    RunRecord record;
    record.hourly = q.hourSet;
    record.daily = q.daySet;
    record.firstBar = 1;
    record.lastBar = static_cast<float>(q.hourBarCount);
    const std::vector<TradeRecord> trades = SomeTrades(q, 40000);
    std::shared_ptr<const PriceChart> chart;
    bench::Time("build the hourly chart (once per run shown)", 3,
                [&] { chart = PriceChart::Build(q, record, trades, Timeframe::Hourly); });

    QImage frame(1600, 900, QImage::Format_RGB32);
    const QRectF area(0, 0, 1600, 900);
    const double width = LayoutPriceChart(area).price.width();
    auto paint = [&](const PriceView& v, const PriceMarks& marks = {}) {
        frame.fill(Qt::white);
        QPainter p(&frame);
        PaintPriceChart(p, area, *chart, v, marks);
    };
    // Each frame is a new view, as a wheel turn or a drag gives.
    struct Zoom {
        const char* what;
        double barsInSight;
    };
    const Zoom zooms[] = {
        {"frame: the whole 10,000,000 bars", static_cast<double>(kBars)},
        {"frame: 1,000,000 bars in sight", 1e6},
        {"frame: 50,000 bars in sight", 5e4},
        {"frame: 1,500 bars (a pixel each)", 1500},
        {"frame: 200 candles", 200},
    };
    for (const Zoom& z : zooms) {
        PriceView v;
        v.fit(0, z.barsInSight - 1, width, chart->size());
        bench::Time(z.what, 30, [&] {
            // Panned by a tenth of the width each frame, across the whole store.
            v.pan(width / 10 + std::fmod(v.first, 7.0), width, chart->size());
            if (v.first >= static_cast<double>(chart->size()) - z.barsInSight) v.first = 0;
            paint(v);
        });
    }
    PriceView zoom;
    zoom.fit(0, kBars - 1, width, chart->size());
    bench::Time("frame: one wheel notch in at the pointer", 40, [&] {
        zoom.zoomAt(width * 0.37, 1.25, width, chart->size());
        if (zoom.perPixel < 0.2) zoom.fit(0, kBars - 1, width, chart->size());
        paint(zoom);
    });
    PriceMarks selected;
    selected.selected = 20000;
    selected.crosshair = QPointF(800, 300);
    PriceView around;
    const ChartTrade* t = chart->trade(20000);
    around.centreOn(static_cast<double>(t->entry), static_cast<double>(t->exit), width, chart->size());
    bench::Time("frame: a trade selected, crosshair shown", 30, [&] { paint(around, selected); });
    frame.save(QStringLiteral("/tmp/price_chart_bench.png"));
    return 0;
}
