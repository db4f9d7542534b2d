// The price chart: candles (or each pixel column's range when zoomed out), the
// 200-day average, the stochastic with the days that allow a trade, and the trades.
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

using namespace render;

namespace {

const QColor kUpCandle(38, 120, 70);
const QColor kDownCandle(190, 60, 50);
const QColor kAverageLine(230, 120, 20);
const QColor kStochasticLine(110, 60, 170);
const QColor kBuyDay(26, 150, 65, 45);
const QColor kSellDay(215, 48, 39, 45);
const QColor kCrosshair(90, 90, 90);

constexpr double kTimeLabelSpacing = 110;  // pixels between labels of the time axis
constexpr size_t kMostTradesDrawn = 2000;  // beyond this, one marker per pixel column and side

// The candles a pixel column covers: [from, to), at least one.
struct Column {
    size_t from = 0, to = 0;
};

Column ColumnAt(const PriceView& v, double x, size_t count) {
    const double a = std::floor(v.candleAt(x)), b = std::floor(v.candleAt(x + 1));
    Column c;
    if (b <= 0 || a >= static_cast<double>(count)) return c;
    c.from = static_cast<size_t>(std::max(0.0, a));
    c.to = std::min(count, std::max(c.from + 1, static_cast<size_t>(std::max(0.0, b))));
    return c;
}

// A price with as many decimals as the step between ticks needs.
QString PriceLabel(double v, double step) {
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    return QString::number(v, 'f', decimals);
}

// Where the view's candles lie: the whole candles in sight.
struct Visible {
    size_t from = 0, to = 0;  // [from, to)
};

// The part of segment a-b with x in [lo, hi]: painters are kept away from
// coordinates far beyond the device (a zoomed-in view of a long trade).
bool ClipX(QPointF& a, QPointF& b, double lo, double hi) {
    if (a.x() > b.x()) std::swap(a, b);
    if (b.x() < lo || a.x() > hi) return false;
    auto at = [&](double x) {
        const double t = (x - a.x()) / (b.x() - a.x());
        return QPointF(x, a.y() + t * (b.y() - a.y()));
    };
    if (a.x() < lo) a = at(lo);
    if (b.x() > hi) b = at(hi);
    return true;
}

Visible VisibleCandles(const PriceView& v, double width, size_t count) {
    Visible s;
    const double a = std::floor(v.first), b = std::ceil(v.candleAt(width));
    s.from = static_cast<size_t>(std::clamp(a, 0.0, static_cast<double>(count)));
    s.to = static_cast<size_t>(std::clamp(b, 0.0, static_cast<double>(count)));
    return s;
}

// Walks the view in segments: whole candles when zoomed in, pixel columns when
// zoomed out; calls f(x0, x1, first candle, end candle) for each.
template <class F>
void ForEachSegment(const PriceView& v, double width, size_t count, F f) {
    if (v.perPixel < 1) {
        const Visible s = VisibleCandles(v, width, count);
        for (size_t i = s.from; i < s.to; ++i)
            f(v.xOf(static_cast<double>(i)), v.xOf(static_cast<double>(i) + 1), i, i + 1);
        return;
    }
    for (double x = 0; x < width; ++x) {
        const Column c = ColumnAt(v, x, count);
        if (c.to > c.from) f(x, x + 1, c.from, c.to);
    }
}

class Painter {
  public:
    Painter(QPainter& p, const PriceLayout& l, const PriceChart& c, const PriceView& v, const PriceMarks& m)
        : p_(p), l_(l), c_(c), v_(v), m_(m), width_(l.price.width()) {}

    void paint() {
        ys_ = VisiblePriceRange(c_, v_, width_, m_.selected);
        if (ys_.empty()) {
            PaintNothing(p_, l_.price, QStringLiteral("Здесь нет котировок"));
            return;
        }
        shadeDays();
        priceAxis();
        oscillatorAxis();
        timeAxis();
        p_.save();
        p_.setClipRect(l_.price);
        candles();
        steppedLine(
            l_.price, kAverageLine, [](const CandleDay& d) { return d.average > 0; },
            [this](const CandleDay& d) { return priceY(d.average); });
        trades();
        p_.restore();
        p_.save();
        p_.setClipRect(l_.oscillator);
        steppedLine(
            l_.oscillator, kStochasticLine, [](const CandleDay&) { return true; },
            [this](const CandleDay& d) { return oscY(d.stochastic); });
        p_.restore();
        legends();
        crosshair();
    }

  private:
    double x(double candle) const { return l_.price.left() + v_.xOf(candle); }
    double priceY(double price) const {
        return l_.price.bottom() - (price - ys_.low) / (ys_.high - ys_.low) * l_.price.height();
    }
    double oscY(double value) const {
        return l_.oscillator.bottom() - std::clamp(value, 0.0, 100.0) / 100.0 * l_.oscillator.height();
    }

    void priceAxis() {
        const Axis a = NiceAxis(ys_.low, ys_.high, 6);
        const double step = a.ticks.size() > 1 ? a.ticks[1] - a.ticks[0] : 1;
        p_.save();
        p_.setFont(LabelFont());
        for (double t : a.ticks) {
            if (t < ys_.low || t > ys_.high) continue;
            const double y = priceY(t);
            p_.setPen(QPen(kGridLine, 0));
            p_.drawLine(QPointF(l_.price.left(), y), QPointF(l_.price.right(), y));
            p_.setPen(kInk);
            p_.drawText(QRectF(l_.price.left() - kLeftMargin, y - 8, kLeftMargin - 4, 16),
                        Qt::AlignRight | Qt::AlignVCenter, PriceLabel(t, step));
        }
        p_.setPen(QPen(kMuted, 0));
        p_.setBrush(Qt::NoBrush);
        p_.drawRect(l_.price);
        p_.restore();
    }

    void oscillatorAxis() {
        Axis a;
        a.lo = 0;
        a.hi = 100;
        a.ticks = {0, 50, 100};
        PaintValueAxis(p_, l_.oscillator, a);
    }

    // Dates (and hours, when a label spans less than two days) under the oscillator,
    // with a faint line through both panes: the gaps between sessions are closed
    // up, so the labels sit where the candles are, not at round times.
    void timeAxis() {
        p_.save();
        p_.setFont(LabelFont());
        const bool hourly = c_.timeframe() == Timeframe::Hourly;
        const bool withHours = hourly && v_.perPixel * kTimeLabelSpacing < 48;
        for (double px = 40; px < width_ - 30; px += kTimeLabelSpacing) {
            const double candle = std::floor(v_.candleAt(px));
            if (candle < 0 || candle >= static_cast<double>(c_.size())) continue;
            const size_t i = static_cast<size_t>(candle);
            const double at = x(candle + 0.5);
            p_.setPen(QPen(kGridLine, 0));
            p_.drawLine(QPointF(at, l_.price.top()), QPointF(at, l_.price.bottom()));
            p_.drawLine(QPointF(at, l_.oscillator.top()), QPointF(at, l_.oscillator.bottom()));
            p_.setPen(kInk);
            p_.drawText(QRectF(at - 60, l_.oscillator.bottom() + 3, 120, 14), Qt::AlignHCenter | Qt::AlignTop,
                        CandleTime(c_, i, withHours));
        }
        p_.restore();
    }

    // The days whose conditions allow a buy (green) or a sell (red), across the
    // oscillator pane: one pixel per column, stretched over the pane in one call
    // (a translucent line or rectangle per column costs far more than its pixels).
    void shadeDays() {
        const int columns = static_cast<int>(std::ceil(width_));
        QImage strip(std::max(columns, 1), 1, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        auto* row = reinterpret_cast<QRgb*>(strip.scanLine(0));
        const QRgb buy = qPremultiply(kBuyDay.rgba()), sell = qPremultiply(kSellDay.rgba());
        bool any = false;
        ForEachSegment(v_, width_, c_.size(), [&](double x0, double x1, size_t first, size_t) {
            const CandleDay d = c_.day(first);
            if (!d.buy && !d.sell) return;
            any = true;
            const int from = std::max(0, static_cast<int>(std::floor(x0))),
                      to = std::min(columns, static_cast<int>(std::ceil(x1)));
            for (int x = from; x < to; ++x) row[x] = d.buy ? buy : sell;
        });
        if (!any) return;
        p_.save();
        p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p_.drawImage(QRectF(l_.oscillator.left(), l_.oscillator.top(), columns, l_.oscillator.height()),
                     strip);
        p_.restore();
    }

    void candles() {
        std::vector<QLineF> up, down;
        std::vector<QRectF> upBodies, downBodies;
        const size_t count = c_.size();
        if (v_.perPixel < 1) {
            const double w = 1 / v_.perPixel;
            const Visible s = VisibleCandles(v_, width_, count);
            for (size_t i = s.from; i < s.to; ++i) {
                const QuoteStore::Ohlc& k = c_.candle(i);
                if (!(k[QuoteStore::Low] > 0)) continue;
                const bool rising = k[QuoteStore::Close] >= k[QuoteStore::Open];
                const double mid = x(static_cast<double>(i) + 0.5);
                (rising ? up : down)
                    .emplace_back(mid, priceY(k[QuoteStore::High]), mid, priceY(k[QuoteStore::Low]));
                if (w >= 3) {
                    const double top = priceY(std::max(k[QuoteStore::Open], k[QuoteStore::Close]));
                    const double bottom = priceY(std::min(k[QuoteStore::Open], k[QuoteStore::Close]));
                    (rising ? upBodies : downBodies)
                        .emplace_back(QPointF(mid - w * 0.35, top),
                                      QPointF(mid + w * 0.35, std::max(bottom, top + 1)));
                }
            }
        } else {
            // Zoomed out: each pixel column shows the range of the candles it covers.
            for (double px = 0; px < width_; ++px) {
                const Column col = ColumnAt(v_, px, count);
                if (col.to <= col.from) continue;
                const PriceRange r = c_.range(col.from, col.to);
                if (r.empty()) continue;
                const bool rising =
                    c_.candle(col.to - 1)[QuoteStore::Close] >= c_.candle(col.from)[QuoteStore::Open];
                const double at = l_.price.left() + px + 0.5;
                (rising ? up : down).emplace_back(at, priceY(r.high), at, priceY(r.low) + 0.5);
            }
        }
        p_.setPen(QPen(kUpCandle, 1));
        p_.drawLines(up.data(), static_cast<int>(up.size()));
        p_.setPen(QPen(kDownCandle, 1));
        p_.drawLines(down.data(), static_cast<int>(down.size()));
        p_.setPen(QPen(kUpCandle, 1));
        p_.setBrush(QColor(255, 255, 255));
        p_.drawRects(upBodies.data(), static_cast<int>(upBodies.size()));
        p_.setPen(QPen(kDownCandle, 1));
        p_.setBrush(kDownCandle);
        p_.drawRects(downBodies.data(), static_cast<int>(downBodies.size()));
    }

    // A value of each candle's day drawn as steps over the candles it applies to.
    template <class Has, class Y>
    void steppedLine(const QRectF& pane, const QColor& colour, Has has, Y y) {
        QPolygonF line;
        // Zoomed out, a column holds several days: a thin line keeps them apart.
        p_.setPen(QPen(colour, v_.perPixel < 1 ? 2 : 1));
        p_.setBrush(Qt::NoBrush);
        auto finish = [&] {
            if (line.size() > 1) p_.drawPolyline(line);
            line.clear();
        };
        ForEachSegment(v_, width_, c_.size(), [&](double x0, double x1, size_t first, size_t) {
            const CandleDay d = c_.day(first);
            if (!d.known || !has(d)) {
                finish();
                return;
            }
            const double at = y(d);
            line << QPointF(pane.left() + x0, at) << QPointF(pane.left() + x1, at);
        });
        finish();
    }

    void trades() {
        const auto [begin, end] = c_.tradesBetween(v_.first, v_.candleAt(width_));
        const auto& all = c_.trades();
        p_.setRenderHint(QPainter::Antialiasing, true);
        if (end - begin > kMostTradesDrawn) {
            // Too many to tell apart: one entry tick per pixel column and side, a buy's
            // rising from below its price, a sell's hanging from above, drawn in two calls.
            std::vector<uint8_t> seen(static_cast<size_t>(width_) + 2, 0);
            std::vector<QLineF> ticks[2];
            for (size_t k = begin; k < end; ++k) {
                const ChartTrade& t = all[k];
                const double px = v_.xOf(static_cast<double>(t.entry) + 0.5);
                if (px < 0 || px >= width_) continue;
                const bool buy = t.side == TradeSide::Buy;
                const uint8_t bit = buy ? 1 : 2;
                uint8_t& s = seen[static_cast<size_t>(px)];
                if (s & bit) continue;
                s |= bit;
                const double x = l_.price.left() + std::floor(px) + 0.5, y = priceY(t.entryPrice);
                ticks[buy ? 0 : 1].emplace_back(x, y, x, buy ? y + 6 : y - 6);
            }
            p_.setRenderHint(QPainter::Antialiasing, false);
            for (int k = 0; k < 2; ++k) {
                p_.setPen(QPen(k == 0 ? kGain : kLoss, 0));
                p_.drawLines(ticks[k].data(), static_cast<int>(ticks[k].size()));
            }
            p_.setRenderHint(QPainter::Antialiasing, true);
        } else {
            // Many trades in sight: small marks, so the candles still show between them.
            const double scale = static_cast<double>(end - begin) > width_ / 12 ? 0.6 : 1.0;
            for (size_t k = begin; k < end; ++k) trade(all[k], false, scale);
        }
        if (m_.selected)
            if (const ChartTrade* t = c_.trade(*m_.selected)) {
                levels(*t);
                trade(*t, true, 1.0);
            }
        p_.setRenderHint(QPainter::Antialiasing, false);
    }

    static QColor ResultColour(float profit) { return profit > 0 ? kGain : profit < 0 ? kLoss : kMuted; }

    void entryMarker(const ChartTrade& t, double size) {
        const bool buy = t.side == TradeSide::Buy;
        const QPointF tip(x(static_cast<double>(t.entry) + 0.5), priceY(t.entryPrice));
        // Buy: a green triangle pointing up from below the price; sell: red, pointing down from above.
        const double d = buy ? 1 : -1;
        QPolygonF tri;
        tri << tip << QPointF(tip.x() - size, tip.y() + d * size * 1.7)
            << QPointF(tip.x() + size, tip.y() + d * size * 1.7);
        p_.setPen(QPen(Qt::white, 0.8));
        p_.setBrush(buy ? kGain : kLoss);
        p_.drawPolygon(tri);
    }

    void trade(const ChartTrade& t, bool selected, double scale) {
        const QPointF from(x(static_cast<double>(t.entry) + 0.5), priceY(t.entryPrice));
        const double exitX = x(static_cast<double>(t.exit) + 0.5);
        const QColor colour = ResultColour(t.profit);
        const double lo = l_.price.left() - 20, hi = l_.price.right() + 20;
        const QPointF to(exitX, t.exitPrice ? priceY(*t.exitPrice) : from.y());
        // Closed at a walk-forward window's end, a trade has no exit price: dashed to where the window ended.
        p_.setPen(QPen(colour, selected ? 2.5 : 1.3 * scale, t.exitPrice ? Qt::SolidLine : Qt::DashLine));
        QPointF a = from, b = to;
        if (ClipX(a, b, lo, hi)) p_.drawLine(a, b);
        if (to.x() >= lo && to.x() <= hi) {
            if (t.exitPrice) {
                p_.setBrush(Qt::white);
                p_.setPen(QPen(colour, selected ? 2.5 : 1.6 * scale));
                const double r = selected ? 5 : 3.5 * scale;
                p_.drawEllipse(to, r, r);
            } else {
                p_.drawLine(QPointF(to.x(), to.y() - 6), QPointF(to.x(), to.y() + 6));
            }
        }
        if (from.x() >= lo && from.x() <= hi) entryMarker(t, selected ? 7 : 5 * scale);
    }

    // The selected trade's take-profit and stop-loss, from its entry past its exit.
    void levels(const ChartTrade& t) {
        const double lo = l_.price.left() - 20, hi = l_.price.right() + 20;
        const double x0 = std::clamp(x(static_cast<double>(t.entry)), lo, hi);
        const double x1 = std::clamp(std::max(x(static_cast<double>(t.exit) + 1), x0 + 60), lo, hi);
        p_.setFont(LabelFont());
        auto level = [&](const std::optional<float>& at, const QColor& colour, const QString& name) {
            if (!at || x1 <= x0) return;
            const double y = priceY(*at);
            p_.setPen(QPen(colour, 1.5, Qt::DashLine));
            p_.drawLine(QPointF(x0, y), QPointF(x1, y));
            p_.setPen(colour);
            // The label inside the plot, left of the line's end when the end is near the edge.
            const QString text = name + QLatin1Char(' ') + PriceText(*at);
            const double w = QFontMetricsF(p_.font()).horizontalAdvance(text) + 6;
            const double left = x1 + 4 + w <= l_.price.right() ? x1 + 4 : x1 - w - 4;
            p_.drawText(QRectF(left, y - 17, w, 16), Qt::AlignLeft | Qt::AlignVCenter, text);
        };
        level(t.takeProfit, kGain, QStringLiteral("TP"));
        level(t.stopLoss, kLoss, QStringLiteral("SL"));
    }

    int PriceDecimals() const { return c_.pair() == Pair::JPY ? 3 : 5; }

    // A key in the top-left corner of a pane, on white so the lines under it do not hide it.
    void legend(const QRectF& pane, const QColor& colour, const QString& text) {
        const QFontMetricsF fm(p_.font());
        const QRectF box(pane.left() + 4, pane.top() + 3, fm.horizontalAdvance(text) + 34, fm.height() + 4);
        p_.fillRect(box, QColor(255, 255, 255, 215));
        p_.fillRect(QRectF(box.left() + 4, box.center().y() - 1.5, 16, 3), colour);
        p_.setPen(kInk);
        p_.drawText(box.adjusted(26, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    void legends() {
        p_.save();
        p_.setFont(LabelFont());
        legend(l_.price, kAverageLine,
               QStringLiteral("%1, %2 свечи · средняя 200 дней")
                   .arg(QLatin1String(InfoOf(c_.pair()).symbol), c_.timeframe() == Timeframe::Hourly
                                                                     ? QStringLiteral("часовые")
                                                                     : QStringLiteral("дневные")));
        legend(l_.oscillator, kStochasticLine,
               QStringLiteral("Стохастик 24 дня · фон: зелёный — день разрешает покупку, красный — продажу"));
        p_.restore();
    }

    void crosshair() {
        if (!m_.crosshair) return;
        const QPointF at = *m_.crosshair;
        const QRectF both = l_.price.united(l_.oscillator);
        if (!both.contains(at)) return;
        p_.save();
        p_.setPen(QPen(kCrosshair, 0, Qt::DotLine));
        p_.drawLine(QPointF(at.x(), l_.price.top()), QPointF(at.x(), l_.price.bottom()));
        p_.drawLine(QPointF(at.x(), l_.oscillator.top()), QPointF(at.x(), l_.oscillator.bottom()));
        if (l_.price.contains(at)) {
            p_.drawLine(QPointF(l_.price.left(), at.y()), QPointF(l_.price.right(), at.y()));
            const double price =
                ys_.low + (l_.price.bottom() - at.y()) / l_.price.height() * (ys_.high - ys_.low);
            const QRectF box(l_.price.left() - kLeftMargin + 2, at.y() - 8, kLeftMargin - 4, 16);
            p_.fillRect(box, kCrosshair);
            p_.setPen(Qt::white);
            p_.setFont(LabelFont());
            p_.drawText(box, Qt::AlignCenter, PriceLabel(price, std::pow(10.0, -PriceDecimals())));
        }
        p_.restore();
    }

    QPainter& p_;
    const PriceLayout& l_;
    const PriceChart& c_;
    const PriceView& v_;
    const PriceMarks& m_;
    double width_;
    PriceRange ys_;
};

}  // namespace

PriceLayout LayoutPriceChart(const QRectF& area, bool titled) {
    PriceLayout l;
    QRectF body = area;
    if (titled) {
        l.title = QRectF(area.left(), area.top(), area.width(), 24);
        body.setTop(area.top() + 26);
    }
    const double width = std::max(0.0, body.width() - kLeftMargin - kRightMargin);
    const double avail = std::max(0.0, body.height() - 8 - kBottomMargin - 10);
    l.price = QRectF(body.left() + kLeftMargin, body.top() + 8, width, avail * 0.74);
    l.oscillator = QRectF(l.price.left(), l.price.bottom() + 10, width, avail * 0.26);
    return l;
}

PriceRange VisiblePriceRange(const PriceChart& chart, const PriceView& view, double width,
                             std::optional<size_t> selected) {
    const Visible s = VisibleCandles(view, width, chart.size());
    PriceRange r = chart.range(s.from, s.to);
    if (selected)
        if (const ChartTrade* t = chart.trade(*selected)) {
            // The selected trade's levels stay in sight when its entry is.
            const double x = view.xOf(static_cast<double>(t->entry));
            if (x >= 0 && x <= width)
                for (const auto& level : {t->takeProfit, t->stopLoss})
                    if (level) r.add(PriceRange{*level, *level});
        }
    if (r.empty()) return r;
    const float pad = std::max((r.high - r.low) * 0.05f, r.high * 1e-4f);
    r.low -= pad;
    r.high += pad;
    return r;
}

QString CandleTime(const PriceChart& chart, size_t i, bool withHour) {
    const Date d = chart.date(i);
    if (!d.valid()) return QStringLiteral("—");
    return withHour ? ShortDayText(d) + HourText(chart.hour(i)) : ShortDayText(d);
}

QString PriceText(float price) {
    // Seven significant digits, as the reports write a 32-bit price: 1.3976, not 1.3975999, and a
    // level worked out in float arithmetic without the noise of its last bit.
    return QString::number(static_cast<double>(price), 'g', 7);
}

QString CandleReadout(const PriceChart& chart, size_t i) {
    if (i >= chart.size()) return {};
    const QuoteStore::Ohlc& k = chart.candle(i);
    const int h = chart.hour(i);
    QString when = DayText(chart.date(i));
    if (when.isEmpty()) when = QStringLiteral("—");
    when += HourText(h);
    return QStringLiteral("%1   O %2   H %3   L %4   C %5")
        .arg(when, PriceText(k[QuoteStore::Open]), PriceText(k[QuoteStore::High]),
             PriceText(k[QuoteStore::Low]), PriceText(k[QuoteStore::Close]));
}

void PaintPriceChart(QPainter& p, const QRectF& area, const PriceChart& chart, const PriceView& view,
                     const PriceMarks& marks) {
    p.save();
    const PriceLayout l = LayoutPriceChart(area, !marks.title.isEmpty());
    if (!marks.title.isEmpty()) PaintTitle(p, l.title, marks.title);
    if (l.price.width() >= 4 && l.price.height() >= 4 && l.oscillator.height() >= 4 && chart.size() > 0)
        Painter(p, l, chart, view, marks).paint();
    p.restore();
}

void PaintRunPrices(QPainter& p, const QRectF& area, const PriceChart& daily) {
    PriceMarks marks;
    const Date from = daily.date(daily.intervalFirst()), to = daily.date(daily.intervalLast());
    marks.title = QStringLiteral("Цена: %1, дневные свечи, %2 – %3 · сделок на графике: %4")
                      .arg(QLatin1String(InfoOf(daily.pair()).symbol), DayText(from), DayText(to))
                      .arg(daily.trades().size());
    PriceView view;
    view.fit(static_cast<double>(daily.intervalFirst()), static_cast<double>(daily.intervalLast()),
             LayoutPriceChart(area, true).price.width(), daily.size());
    PaintPriceChart(p, area, daily, view, marks);
}

bool PaintTradePrices(QPainter& p, const QRectF& area, const PriceChart& hourly, size_t number) {
    const ChartTrade* t = hourly.trade(number);
    if (!t) return false;
    auto when = [&](size_t i) { return DayText(hourly.date(i)) + HourText(hourly.hour(i)); };
    PriceMarks marks;
    marks.selected = number;
    marks.title = QStringLiteral("Сделка %1: %2, вход %3 по %4, ")
                      .arg(number)
                      .arg(QLatin1String(SideText(t->side)), when(t->entry), PriceText(t->entryPrice));
    marks.title += t->exitPrice
                       ? QStringLiteral("выход %1 по %2").arg(when(t->exit), PriceText(*t->exitPrice))
                       : QStringLiteral("закрыта в конце окна %1").arg(when(t->exit));
    marks.title += QStringLiteral(", результат %1").arg(Label(t->profit));
    // The trade and as many hours again either side, a day at least.
    const double span = static_cast<double>(t->exit - t->entry + 1);
    const double pad = std::max(24.0, span * 0.6);
    PriceView view;
    view.fit(static_cast<double>(t->entry) - pad, static_cast<double>(t->exit) + pad,
             LayoutPriceChart(area, true).price.width(), hourly.size());
    PaintPriceChart(p, area, hourly, view, marks);
    return true;
}

}  // namespace kavro
