#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

namespace {

using namespace render;

// Equity and running peak sampled for the plot: every trade when they fit the
// width, otherwise each pixel column's lowest and highest equity (100,000 trades
// become a few thousand points, and the line keeps every spike).
struct Trace {
    std::vector<QPointF> equity, peak, under;  // under: equity - peak (<= 0)
};

// `x(i)`: the pixel of point i from the plot's left edge, never decreasing.
template <class X>
Trace Sample(std::span<const double> equity, double width, X x) {
    Trace t;
    const size_t n = equity.size();
    double peak = 0;
    if (static_cast<double>(n) <= 2 * width) {
        for (size_t i = 0; i < n; ++i) {
            peak = std::max(peak, equity[i]);
            t.equity.emplace_back(x(i), equity[i]);
            t.peak.emplace_back(x(i), peak);
            t.under.emplace_back(x(i), equity[i] - peak);
        }
        return t;
    }
    size_t i = 0;
    while (i < n) {
        // The points that fall into one pixel column.
        const double column = std::floor(x(i));
        size_t end = i + 1;
        while (end < n && std::floor(x(end)) == column) ++end;
        double lo = equity[i], hi = equity[i], deepest = 0;
        size_t loAt = i, hiAt = i;
        for (size_t k = i; k < end; ++k) {
            peak = std::max(peak, equity[k]);
            if (equity[k] < lo) lo = equity[k], loAt = k;
            if (equity[k] > hi) hi = equity[k], hiAt = k;
            deepest = std::min(deepest, equity[k] - peak);
        }
        // In the order they happened, so the line goes down and up the way the money did.
        if (loAt < hiAt) {
            t.equity.emplace_back(x(loAt), lo);
            t.equity.emplace_back(x(hiAt), hi);
        } else {
            t.equity.emplace_back(x(hiAt), hi);
            t.equity.emplace_back(x(loAt), lo);
        }
        t.peak.emplace_back(x(end - 1), peak);
        t.under.emplace_back(x(end - 1), deepest);
        i = end;
    }
    return t;
}

QPolygonF ToPixels(const std::vector<QPointF>& points, const QRectF& plot, const Axis& ys) {
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(points.size()));
    for (const QPointF& pt : points)
        poly << QPointF(plot.left() + pt.x(), ys.map(pt.y(), plot.bottom(), plot.top()));
    return poly;
}

// The tick labels under the lower plot: dates, or trade numbers.
void PaintXAxis(QPainter& p, const QRectF& plot, const EquityLayout& l) {
    if (!l.byDate) {
        PaintCountAxis(p, plot, l.tradeAxis, QStringLiteral("Сделка"));
        return;
    }
    p.save();
    p.setFont(LabelFont());
    p.setPen(kInk);
    for (const TimeTick& t : TimeTicks(l.lo, l.hi, std::max(2, static_cast<int>(plot.width() / 110)))) {
        const double x = plot.left() + (t.hours - l.lo) / (l.hi - l.lo) * plot.width();
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        p.drawText(QRectF(x - 45, plot.bottom() + 3, 90, 14), Qt::AlignHCenter | Qt::AlignTop, t.label);
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 17, plot.width(), 14), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("Дата закрытия сделки"));
    p.restore();
}

}  // namespace

EquityLayout LayoutEquity(const QRectF& area, std::span<const double> equity, std::span<const double> hours) {
    EquityLayout l;
    const QRectF body = TitleBody(area);
    // Upper plot, the lower plot's title line, the lower plot, the axis labels.
    const double titleGap = 34;
    const double avail = body.height() - 8 - titleGap - kBottomMargin;
    const double width = std::max(0.0, body.width() - kLeftMargin - kRightMargin);
    l.upper = QRectF(body.left() + kLeftMargin, body.top() + 8, width, std::max(0.0, avail * 0.7));
    l.lower = QRectF(l.upper.left(), l.upper.bottom() + titleGap, width, std::max(0.0, avail * 0.3));
    const size_t trades = equity.empty() ? 0 : equity.size() - 1;
    l.tradeAxis = NiceAxis(0, static_cast<double>(trades), 8);
    l.byDate = !hours.empty() && hours.size() == equity.size() && std::isfinite(hours.front()) &&
               std::isfinite(hours.back());
    if (l.byDate) {
        l.lo = hours.front();
        // A day at least, so a run of one day still spreads out.
        l.hi = std::max(hours.back(), l.lo + 24);
        l.hours = hours;
    } else {
        l.lo = l.tradeAxis.lo;
        l.hi = l.tradeAxis.hi;
    }
    return l;
}

double EquityLayout::x(size_t i) const {
    const double v = byDate ? hours[i] : static_cast<double>(i);
    return hi > lo ? (v - lo) / (hi - lo) * upper.width() : 0;
}

std::optional<size_t> EquityTradeAt(const EquityLayout& l, size_t points, QPointF at) {
    if (points < 2 || at.x() < l.upper.left() - 4 || at.x() > l.upper.right() + 4) return std::nullopt;
    if (at.y() < l.upper.top() || at.y() > l.lower.bottom()) return std::nullopt;
    const double x = at.x() - l.upper.left();
    size_t best = 1;
    double bestDistance = std::fabs(l.x(1) - x);
    // Points run left to right: a binary search would do, but a click is no loop.
    for (size_t i = 2; i < points; ++i) {
        const double d = std::fabs(l.x(i) - x);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

void PaintEquity(QPainter& p, const QRectF& area, std::span<const double> equity, const Drawdown& dd,
                 std::span<const double> hours) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QString note;
    if (dd.money > 0) {
        note = QStringLiteral("Макс. просадка %1").arg(Label(dd.money));
        if (dd.start.valid() && dd.end.valid())
            note += QStringLiteral(" (%1 – %2)").arg(DayText(dd.start), DayText(dd.end));
    }
    const QRectF body = PaintTitle(p, area, QStringLiteral("Эквити"), note);
    const EquityLayout l = LayoutEquity(area, equity, hours);
    const QRectF upper = l.upper, lower = l.lower;
    if (equity.size() < 2 || upper.width() < 4 || lower.height() < 4) {
        if (equity.size() < 2) PaintNothing(p, body, QStringLiteral("Нет сделок"));
        p.restore();
        return;
    }
    const size_t trades = equity.size() - 1;
    double lo = 0, hi = 0;
    for (double v : equity) {
        if (!std::isfinite(v)) {
            // EquityCurve never gives one; a damaged curve is not drawn at all.
            PaintNothing(p, body, QStringLiteral("Нет данных"));
            p.restore();
            return;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const Axis ys = NiceAxis(lo, hi, 6);
    const Trace t = Sample(equity, upper.width(), [&](size_t i) { return l.x(i); });

    PaintValueAxis(p, upper, ys);
    p.setClipRect(upper.adjusted(-1, -1, 1, 1));
    // The fall below each running peak.
    QPolygonF shade = ToPixels(t.peak, upper, ys);
    const QPolygonF line = ToPixels(t.equity, upper, ys);
    for (auto it = line.crbegin(); it != line.crend(); ++it) shade << *it;
    p.setPen(Qt::NoPen);
    p.setBrush(kDrawdownFill);
    p.drawPolygon(shade);
    // The maximum drawdown's stretch: tinted, with the fall drawn at the trough.
    const bool marked = dd.money > 0 && dd.peakTrade >= 0 && dd.peakTrade <= dd.troughTrade &&
                        dd.troughTrade <= static_cast<int64_t>(trades);
    const double troughX = marked ? upper.left() + l.x(static_cast<size_t>(dd.troughTrade)) : upper.left();
    if (marked) {
        const double x0 = upper.left() + l.x(static_cast<size_t>(dd.peakTrade));
        const double top = ys.map(equity[static_cast<size_t>(dd.peakTrade)], upper.bottom(), upper.top());
        const double bottom =
            ys.map(equity[static_cast<size_t>(dd.troughTrade)], upper.bottom(), upper.top());
        p.setBrush(QColor(kLoss.red(), kLoss.green(), kLoss.blue(), 28));
        p.drawRect(QRectF(QPointF(x0, upper.top()), QPointF(std::max(troughX, x0 + 1), upper.bottom())));
        p.setPen(QPen(kLoss, 1.5, Qt::DashLine));
        p.drawLine(QPointF(x0, top), QPointF(troughX, top));
        p.setPen(QPen(kLoss, 2));
        p.drawLine(QPointF(troughX, top), QPointF(troughX, bottom));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kEquityLine, 1.5));
    p.drawPolyline(line);
    p.setClipping(false);

    // The distance under the running peak, its deepest point marked.
    PaintTitle(p, QRectF(body.left(), upper.bottom() + 10, body.width(), 22), QStringLiteral("Просадка"));
    double deepest = 0;
    for (const QPointF& pt : t.under) deepest = std::min(deepest, pt.y());
    const Axis us = NiceAxis(deepest, 0, 3);
    PaintValueAxis(p, lower, us);
    QPolygonF under = ToPixels(t.under, lower, us);
    under.prepend(QPointF(under.first().x(), us.map(0, lower.bottom(), lower.top())));
    under << QPointF(under.last().x(), us.map(0, lower.bottom(), lower.top()));
    p.setPen(QPen(kLoss, 1));
    p.setBrush(kDrawdownFill);
    p.drawPolygon(under);
    if (marked) {
        const double y = us.map(-dd.money, lower.bottom(), lower.top());
        p.setPen(QPen(kLoss, 2));
        p.drawLine(QPointF(troughX, us.map(0, lower.bottom(), lower.top())), QPointF(troughX, y));
        p.setBrush(kLoss);
        p.drawEllipse(QPointF(troughX, y), 3.5, 3.5);
        p.setFont(LabelFont());
        const QString text = QStringLiteral("макс. −%1").arg(Label(dd.money));
        const double w = QFontMetricsF(p.font()).horizontalAdvance(text) + 8;
        const double left = troughX + 6 + w <= lower.right() ? troughX + 6 : troughX - 6 - w;
        p.drawText(QRectF(left, std::min(y, lower.bottom() - 16), w, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   text);
    }
    PaintXAxis(p, lower, l);
    p.restore();
}

void PaintEquityPair(QPainter& p, const QRectF& area, std::span<const double> first, const QString& firstName,
                     std::span<const double> second, const QString& secondName) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = PaintTitle(p, area, QStringLiteral("Эквити двух запусков"));
    const QRectF plot(body.left() + kLeftMargin, body.top() + 28,
                      std::max(0.0, body.width() - kLeftMargin - kRightMargin),
                      std::max(0.0, body.height() - 28 - kBottomMargin));
    const size_t trades = std::max(first.size(), second.size());
    if (trades < 2 || plot.width() < 4 || plot.height() < 4) {
        PaintNothing(p, body, QStringLiteral("Нет сделок"));
        p.restore();
        return;
    }
    double lo = 0, hi = 0;
    for (auto series : {first, second})
        for (double v : series)
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    const Axis xs = NiceAxis(0, static_cast<double>(trades - 1), 8);
    const Axis ys = NiceAxis(lo, hi, 6);
    PaintValueAxis(p, plot, ys);
    PaintCountAxis(p, plot, xs, QStringLiteral("Сделка"));
    const QColor colours[2] = {kEquityLine, QColor(230, 120, 20)};
    const std::span<const double> series[2] = {first, second};
    const QString names[2] = {firstName, secondName};
    p.setFont(LabelFont());
    for (int k = 0; k < 2; ++k) {
        const Trace t = Sample(series[k], plot.width(),
                               [&](size_t i) { return xs.map(static_cast<double>(i), 0, plot.width()); });
        p.setClipRect(plot.adjusted(-1, -1, 1, 1));
        p.setPen(QPen(colours[k], 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(ToPixels(t.equity, plot, ys));
        p.setClipping(false);
        // The legend above the plot, one name after the other.
        const QRectF key(plot.left() + 8 + k * plot.width() / 2, body.top() + 4, plot.width() / 2 - 8, 20);
        p.fillRect(QRectF(key.left(), key.center().y() - 2, 18, 4), colours[k]);
        p.setPen(kInk);
        p.drawText(key.adjusted(24, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, names[k]);
    }
    p.restore();
}

}  // namespace kavro
