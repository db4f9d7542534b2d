#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "evaluation/number_text.h"
#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

using namespace render;

namespace {

// Bars edge to edge: the histogram's own bins, not the axis steps.
void PaintBins(QPainter& p, const QRectF& plot, const Distribution& d, const Axis& xs, const Axis& ys) {
    const Histogram& h = d.histogram;
    for (size_t i = 0; i < h.counts.size(); ++i) {
        double x0 = xs.map(h.edges[i], plot.left(), plot.right());
        double x1 = xs.map(h.edges[i + 1], plot.left(), plot.right());
        if (d.max == d.min && h.counts[i] > 0) {
            // One value: a bar wide enough to see beside its percentile line.
            const double x = xs.map(d.min, plot.left(), plot.right());
            x0 = x - 4;
            x1 = x + 4;
        }
        const double y = ys.map(static_cast<double>(h.counts[i]), plot.bottom(), plot.top());
        const QRectF bar(QPointF(x0, y), QPointF(std::max(x1, x0 + 1), plot.bottom()));
        p.fillRect(bar, QColor(kEquityLine.red(), kEquityLine.green(), kEquityLine.blue(), 150));
    }
}

// The 5 %, 50 % and 95 % points, labelled above the plot. Points of the same
// value share one line and one label ("5% = 50% = 95%: ..."), so a spread of
// nothing (the shuffled final result) reads as one value.
void PaintPercentiles(QPainter& p, const QRectF& plot, const Distribution& d, const Axis& xs) {
    p.setFont(LabelFont());
    struct Mark {
        double value;
        QString names;
    };
    std::vector<Mark> marks;
    for (const auto& [value, name] :
         {std::pair{d.p5, "5%"}, std::pair{d.p50, "50%"}, std::pair{d.p95, "95%"}}) {
        if (!marks.empty() && marks.back().value == value)
            marks.back().names += QStringLiteral(" = ") + QLatin1String(name);
        else
            marks.push_back({value, QLatin1String(name)});
    }
    double lastRight = -1e9;
    int crowdedRows = 0;
    for (const Mark& m : marks) {
        // On whole pixels with a whole-pixel pen: a fractional position or width
        // spreads each dash over two columns unevenly.
        const double x = std::round(xs.map(m.value, plot.left(), plot.right()));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(kLoss, 2, Qt::DashLine, Qt::FlatCap));
        p.drawLine(QPointF(x, std::round(plot.top())), QPointF(x, std::round(plot.bottom())));
        p.setPen(kInk);
        const QString text = QStringLiteral("%1: %2").arg(m.names, Label(m.value));
        const double half = QFontMetricsF(p.font()).horizontalAdvance(text) / 2 + 3;
        // Points close together: the later label goes inside the plot, beside its
        // line, one row lower for each such label so none covers another.
        const bool crowded = x - half < lastRight;
        const QRectF box = crowded ? QRectF(x + 3, plot.top() + 2 + 14 * crowdedRows++, 2 * half, 14)
                                   : QRectF(x - half, plot.top() - 16, 2 * half, 14);
        p.drawText(box, crowded ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignHCenter | Qt::AlignBottom, text);
        lastRight = crowded ? lastRight : x + half;
    }
}

}  // namespace

void PaintMonteCarlo(QPainter& p, const QRectF& area, const Distribution& d, const QString& title,
                     std::optional<double> belowZero) {
    p.save();
    QString note;
    if (belowZero && std::isfinite(*belowZero))
        note = QStringLiteral("P(итог < 0) = ") + PercentText(*belowZero);
    const QRectF body = PaintTitle(p, area, title, note);
    const QRectF plot = PlotBelow(body);
    const Histogram& h = d.histogram;
    if (!CanPlot(p, body, plot, !h.counts.empty() && h.edges.size() == h.counts.size() + 1,
                 QStringLiteral("Нет прогонов"))) {
        p.restore();
        return;
    }
    const Axis ys = CountsAxis(h.counts);
    // Runs that all end alike (the shuffled final result always does) get an axis of
    // whole steps around their value, not fractions of a unit.
    double lo = h.edges.front(), hi = h.edges.back();
    if (d.max == d.min) {
        const double half = std::max(1.0, std::fabs(d.min) * 0.05);
        lo = std::min(lo, d.min - half);
        hi = std::max(hi, d.max + half);
    }
    const Axis xs = NiceAxis(lo, hi, 6);
    PaintValueAxis(p, plot, ys);
    PaintBins(p, plot, d, xs, ys);
    PaintPercentiles(p, plot, d, xs);
    PaintCountAxis(p, plot, xs, QString());
    p.restore();
}

void PaintEquityFan(QPainter& p, const QRectF& area, const EquityFan& f, const QString& title,
                    std::optional<double> ruinEquity) {
    p.save();
    const QRectF body = PaintTitle(p, area, title, QStringLiteral("5–95 %, 25–75 %, медиана"));
    const QRectF plot = PlotBelow(body);
    const size_t n = f.trades.size();
    const bool anything = n >= 2 && f.p5.size() == n && f.p25.size() == n && f.p50.size() == n &&
                          f.p75.size() == n && f.p95.size() == n;
    if (!CanPlot(p, body, plot, anything, QStringLiteral("Нет прогонов"))) {
        p.restore();
        return;
    }
    double lo = *std::min_element(f.p5.begin(), f.p5.end()),
           hi = *std::max_element(f.p95.begin(), f.p95.end());
    if (ruinEquity && std::isfinite(*ruinEquity) && *ruinEquity > lo - (hi - lo))
        lo = std::min(lo, *ruinEquity);
    const Axis xs = NiceAxis(0, static_cast<double>(f.trades.back()), 8);
    const Axis ys = NiceAxis(lo, hi, 5);
    PaintValueAxis(p, plot, ys);
    auto at = [&](size_t i, double v) {
        return QPointF(xs.map(static_cast<double>(f.trades[i]), plot.left(), plot.right()),
                       ys.map(v, plot.bottom(), plot.top()));
    };
    auto band = [&](const std::vector<double>& low, const std::vector<double>& high, int alpha) {
        QPolygonF poly;
        for (size_t i = 0; i < n; ++i) poly << at(i, high[i]);
        for (size_t i = n; i-- > 0;) poly << at(i, low[i]);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(kEquityLine.red(), kEquityLine.green(), kEquityLine.blue(), alpha));
        p.drawPolygon(poly);
    };
    p.setRenderHint(QPainter::Antialiasing, true);
    band(f.p5, f.p95, 45);
    band(f.p25, f.p75, 90);
    QPolygonF median;
    for (size_t i = 0; i < n; ++i) median << at(i, f.p50[i]);
    p.setPen(QPen(kEquityLine, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(median);
    if (ruinEquity && std::isfinite(*ruinEquity) && *ruinEquity >= ys.lo && *ruinEquity <= ys.hi) {
        const double y = ys.map(*ruinEquity, plot.bottom(), plot.top());
        p.setPen(QPen(kLoss, 1.5, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setFont(LabelFont());
        p.drawText(QRectF(plot.left() + 4, y - 16, plot.width() - 8, 14), Qt::AlignLeft | Qt::AlignBottom,
                   QStringLiteral("разорение"));
    }
    PaintCountAxis(p, plot, xs, QStringLiteral("сделка №"));
    VerticalName(p, plot, QStringLiteral("↑ эквити"));
    p.restore();
}

}  // namespace kavro
