#include <algorithm>
#include <cmath>

#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

namespace {

using namespace render;

// Window numbers along the bottom: 1..n, the first and the last always there.
Axis WindowAxis(size_t windows) {
    Axis a = NiceAxis(1, static_cast<double>(std::max<size_t>(windows, 2)), 10);
    a.lo = 0.5;
    a.hi = static_cast<double>(std::max<size_t>(windows, 1)) + 0.5;
    a.ticks.erase(std::remove_if(a.ticks.begin(), a.ticks.end(),
                                 [&](double t) { return t < 1 || t > static_cast<double>(windows); }),
                  a.ticks.end());
    if (a.ticks.empty() || a.ticks.front() != 1) a.ticks.insert(a.ticks.begin(), 1);
    return a;
}

void Marker(QPainter& p, const QPointF& at, const QColor& colour, bool filled) {
    p.setPen(QPen(filled ? colour : kMuted, 1.5));
    p.setBrush(filled ? QBrush(colour) : QBrush(Qt::white));
    p.drawEllipse(at, 3.5, 3.5);
}

// The hours of the day: the whole day, in quarters.
Axis HourAxis() {
    Axis a;
    a.lo = 0;
    a.hi = 23;
    a.ticks = {0, 6, 12, 18, 23};
    return a;
}

// One series per window against the window number, in `plot`, its name above
// it. A value that is not a finite number (a damaged record) leaves a gap
// instead of a point. `hours`: the axis is the day's hours.
void Series(QPainter& p, const QRectF& plot, const Axis& xs, const WalkForwardView& v, const QString& name,
            const QColor& colour, double (*value)(const WindowRow&), bool hours = false) {
    double lo = 0, hi = 0;
    bool any = false;
    for (const WindowRow& r : v.rows) {
        const double y = value(r);
        if (!std::isfinite(y)) continue;
        lo = any ? std::min(lo, y) : y;
        hi = any ? std::max(hi, y) : y;
        any = true;
    }
    Axis ys = hours && lo >= 0 && hi <= 23 ? HourAxis() : NiceAxis(lo, hi, 3);
    // Room above and below the ticks, so a point on the highest or lowest one is drawn whole.
    const double pad = (ys.hi - ys.lo) * 8 / std::max(plot.height(), 16.0);
    ys.lo -= pad;
    ys.hi += pad;
    PaintValueAxis(p, plot, ys);
    p.save();
    p.setFont(LabelFont());
    p.setPen(colour);
    p.drawText(QRectF(plot.left(), plot.top() - 16, plot.width(), 15), Qt::AlignLeft | Qt::AlignBottom, name);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colour, 1.2));
    QPolygonF line;
    auto finishLine = [&] {
        p.setPen(QPen(colour, 1.2));
        p.setBrush(Qt::NoBrush);
        if (line.size() > 1) p.drawPolyline(line);
        line.clear();
    };
    for (const WindowRow& r : v.rows) {
        const double y = value(r);
        if (!std::isfinite(y)) {
            finishLine();
            continue;
        }
        line << QPointF(xs.map(static_cast<double>(r.number), plot.left(), plot.right()),
                        ys.map(y, plot.bottom(), plot.top()));
    }
    finishLine();
    for (const WindowRow& r : v.rows) {
        const double y = value(r);
        if (std::isfinite(y))
            Marker(p,
                   QPointF(xs.map(static_cast<double>(r.number), plot.left(), plot.right()),
                           ys.map(y, plot.bottom(), plot.top())),
                   colour, r.bestFound);
    }
    p.restore();
}

}  // namespace

void PaintForwardEquity(QPainter& p, const QRectF& area, const WalkForwardView& v) {
    p.save();
    const QString note = v.windows == 0 ? QString()
                                        : QStringLiteral("прибыльных окон %1 из %2, итог %3")
                                              .arg(v.profitableWindows)
                                              .arg(v.windows)
                                              .arg(Label(v.totalForward));
    const QRectF body = PaintTitle(p, area, QStringLiteral("Форвардный результат"), note);
    const QRectF plot(body.left() + kLeftMargin, body.top() + 4,
                      std::max(0.0, body.width() - kLeftMargin - kRightMargin),
                      std::max(0.0, body.height() - 4 - kBottomMargin));
    if (v.rows.empty()) {
        PaintNothing(p, body, QStringLiteral("Нет окон"));
        p.restore();
        return;
    }
    if (plot.width() < 4 || plot.height() < 4) {
        p.restore();
        return;
    }
    const Axis xs = WindowAxis(v.rows.size());
    double lo = 0, hi = 0;
    for (const WindowRow& r : v.rows) {
        lo = std::min({lo, r.forwardResult, r.cumulativeForward});
        hi = std::max({hi, r.forwardResult, r.cumulativeForward});
    }
    const Axis ys = NiceAxis(lo, hi, 6);
    PaintValueAxis(p, plot, ys);
    const double zero = ys.map(0, plot.bottom(), plot.top());
    const double slot = plot.width() / static_cast<double>(v.rows.size());
    // Each window's own forward result as a bar.
    for (const WindowRow& r : v.rows) {
        const double x = xs.map(static_cast<double>(r.number), plot.left(), plot.right());
        const double y = ys.map(r.forwardResult, plot.bottom(), plot.top());
        const QColor c = r.forwardResult >= 0 ? kGain : kLoss;
        const QRectF bar(QPointF(x - slot * 0.35, std::min(y, zero)),
                         QPointF(x + slot * 0.35, std::max(y, zero)));
        if (r.bestFound) {
            p.fillRect(bar, QColor(c.red(), c.green(), c.blue(), 110));
        } else {
            p.setPen(QPen(kMuted, 1, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(bar);
        }
    }
    // The forward equity across the windows, from 0 before the first.
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF line;
    line << QPointF(xs.map(0.5, plot.left(), plot.right()), zero);
    for (const WindowRow& r : v.rows)
        line << QPointF(xs.map(static_cast<double>(r.number), plot.left(), plot.right()),
                        ys.map(r.cumulativeForward, plot.bottom(), plot.top()));
    p.setPen(QPen(kEquityLine, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
    for (size_t i = 0; i < v.rows.size(); ++i)
        Marker(p, line[static_cast<qsizetype>(i + 1)], kEquityLine, v.rows[i].bestFound);
    p.setRenderHint(QPainter::Antialiasing, false);
    PaintCountAxis(p, plot, xs, QStringLiteral("Окно"));
    p.restore();
}

void PaintParameterStability(QPainter& p, const QRectF& area, const WalkForwardView& v) {
    p.save();
    const QString note =
        v.searchedNothing == 0
            ? QString()
            : QStringLiteral("полые точки: окно ничего не нашло (%1)").arg(v.searchedNothing);
    const QRectF body = PaintTitle(p, area, QStringLiteral("Стабильность параметров"), note);
    if (v.rows.empty()) {
        PaintNothing(p, body, QStringLiteral("Нет окон"));
        p.restore();
        return;
    }
    const double gap = 24;  // each plot's name above it, clear of the labels of the plot before
    const double h = (body.height() - kBottomMargin - 3 * gap) / 3;
    const double width = std::max(0.0, body.width() - kLeftMargin - kRightMargin);
    if (h < 12 || width < 4) {
        p.restore();
        return;
    }
    const Axis xs = WindowAxis(v.rows.size());
    const QRectF tp(body.left() + kLeftMargin, body.top() + gap, width, h);
    const QRectF sl = tp.translated(0, h + gap);
    const QRectF hour = sl.translated(0, h + gap);
    Series(p, tp, xs, v, QStringLiteral("TP, пунктов"), kGain,
           [](const WindowRow& r) { return double{r.target}; });
    Series(p, sl, xs, v, QStringLiteral("SL, пунктов"), kLoss,
           [](const WindowRow& r) { return double{r.stop}; });
    Series(
        p, hour, xs, v, QStringLiteral("Час входа"), kEquityLine,
        [](const WindowRow& r) { return double{r.entryHour}; }, true);
    PaintCountAxis(p, hour, xs, QStringLiteral("Окно"));
    p.restore();
}

}  // namespace kavro
