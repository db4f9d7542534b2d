#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "evaluation/number_text.h"
#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

using namespace render;

QString OverfitSentence(const OverfitReport& r) {
    if (r.cscv.combinations == 0)
        return QStringLiteral("Для проверки нужно хотя бы два прохода: выбирать лучший было не из чего.");
    const double pbo = r.cscv.pbo;
    const QString verdict =
        pbo >= 0.5  ? QStringLiteral("выбор лучшего прохода не лучше случайного: его первенство — везение")
        : pbo < 0.1 ? QStringLiteral("лучший проход, по всей видимости, лучший не случайно")
                    : QStringLiteral("заметная доля первенства лучшего прохода — везение");
    return QStringLiteral(
               "В %1 разбиений истории на две половины проход, лучший на одной половине, на другой оказался "
               "не выше середины всех проходов: %2.")
        .arg(PercentText(pbo), verdict);
}

QString DeflatedSharpeText(const DeflatedSharpe& d) {
    const QString dsr = d.dsr ? QString::fromStdString(DisplayNumber(*d.dsr, 3)) : QStringLiteral("—");
    return QStringLiteral(
               "Дефлированный коэффициент Шарпа лучшего прохода: %1 (Шарп %2 в месяц против ожидаемого "
               "максимума %3 из %4 проходов, месяцев %5)")
        .arg(dsr, QString::fromStdString(DisplayNumber(d.sharpe, 3)),
             QString::fromStdString(DisplayNumber(d.expectedMaxSharpe, 3)))
        .arg(d.trials)
        .arg(d.months);
}

void PaintLogitHistogram(QPainter& p, const QRectF& area, const OverfitReport& r) {
    p.save();
    const QRectF body = PaintTitle(p, area, QStringLiteral("Логиты λ = ln(ω / (1 − ω)) по разбиениям"),
                                   QStringLiteral("λ ≤ 0: %1").arg(PercentText(r.cscv.pbo)));
    const QRectF plot = PlotBelow(body);
    const Histogram& h = r.logitHistogram;
    if (!CanPlot(p, body, plot,
                 r.cscv.combinations > 0 && !h.counts.empty() && h.edges.size() == h.counts.size() + 1,
                 QStringLiteral("Нет разбиений"))) {
        p.restore();
        return;
    }
    const Axis ys = CountsAxis(h.counts);
    Axis xs = NiceAxis(h.edges.front(), h.edges.back(), 8);
    PaintValueAxis(p, plot, ys);
    const size_t half = h.counts.size() / 2;
    for (size_t i = 0; i < h.counts.size(); ++i) {
        const double x0 = xs.map(h.edges[i], plot.left(), plot.right());
        const double x1 = xs.map(h.edges[i + 1], plot.left(), plot.right());
        const double y = ys.map(static_cast<double>(h.counts[i]), plot.bottom(), plot.top());
        const QColor& c = i < half ? kLoss : kGain;
        p.fillRect(QRectF(QPointF(x0, y), QPointF(std::max(x1 - 1, x0 + 1), plot.bottom())),
                   QColor(c.red(), c.green(), c.blue(), 170));
    }
    const double zero = std::round(xs.map(0, plot.left(), plot.right()));
    p.setPen(QPen(kInk, 1, Qt::DashLine));
    p.drawLine(QPointF(zero, plot.top()), QPointF(zero, plot.bottom()));
    PaintCountAxis(p, plot, xs, QStringLiteral("λ → (слева от 0 — переобучение)"));
    VerticalName(p, plot, QStringLiteral("↑ разбиений"));
    p.restore();
}

void PaintDegradation(QPainter& p, const QRectF& area, const OverfitReport& r) {
    p.save();
    const OverfitResult& o = r.cscv;
    const QString note = std::isfinite(o.degradationSlope)
                             ? QStringLiteral("наклон %1, P(убыток) %2")
                                   .arg(QString::fromStdString(DisplayNumber(o.degradationSlope, 3)),
                                        PercentText(o.probabilityOfLoss))
                             : QStringLiteral("P(убыток) %1").arg(PercentText(o.probabilityOfLoss));
    const QRectF body = PaintTitle(p, area, QStringLiteral("Лучший проход: обучение и проверка"), note);
    const QRectF plot = PlotBelow(body);
    if (!CanPlot(p, body, plot, !o.inSample.empty(), QStringLiteral("Нет разбиений"))) {
        p.restore();
        return;
    }
    const auto [xlo, xhi] = std::minmax_element(o.inSample.begin(), o.inSample.end());
    const auto [ylo, yhi] = std::minmax_element(o.outOfSample.begin(), o.outOfSample.end());
    const Axis xs = NiceAxis(*xlo, *xhi, 6);
    const Axis ys = NiceAxis(std::min(*ylo, 0.0), std::max(*yhi, 0.0), 5);
    PaintValueAxis(p, plot, ys);
    p.setClipRect(plot);
    // One dot a split; thousands of them overlap, so each is faint.
    QPolygonF dots;
    dots.reserve(static_cast<int>(o.inSample.size()));
    for (size_t i = 0; i < o.inSample.size(); ++i)
        dots << QPointF(xs.map(o.inSample[i], plot.left(), plot.right()),
                        ys.map(o.outOfSample[i], plot.bottom(), plot.top()));
    p.setPen(QPen(QColor(kEquityLine.red(), kEquityLine.green(), kEquityLine.blue(), 90), 3, Qt::SolidLine,
                  Qt::RoundCap));
    p.drawPoints(dots);
    if (std::isfinite(o.degradationSlope) && std::isfinite(o.degradationIntercept)) {
        auto at = [&](double x) {
            return QPointF(
                xs.map(x, plot.left(), plot.right()),
                ys.map(o.degradationIntercept + o.degradationSlope * x, plot.bottom(), plot.top()));
        };
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kLoss, 2));
        p.drawLine(at(xs.lo), at(xs.hi));
    }
    p.setClipping(false);
    PaintCountAxis(p, plot, xs, QStringLiteral("результат на обучающих блоках →"));
    VerticalName(p, plot, QStringLiteral("↑ результат на проверочных блоках"));
    p.restore();
}

void PaintOverfit(QPainter& p, const QRectF& area, const OverfitReport& r) {
    p.save();
    const QRectF body =
        PaintTitle(p, area,
                   QStringLiteral("Переобучение: вероятность PBO = %1")
                       .arg(r.cscv.combinations > 0 ? PercentText(r.cscv.pbo) : QStringLiteral("—")),
                   QStringLiteral("блоков %1, разбиений %2").arg(r.cscv.blocks).arg(r.cscv.combinations));
    p.setFont(LabelFont());
    p.setPen(kInk);
    const double line = QFontMetricsF(p.font()).height() + 4;
    const QRectF text(body.left() + 6, body.top(), body.width() - 12, 2 * line);
    p.drawText(QRectF(text.left(), text.top(), text.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               OverfitSentence(r));
    p.drawText(QRectF(text.left(), text.top() + line, text.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               DeflatedSharpeText(r.deflated));
    const QRectF plots(body.left(), text.bottom() + 6, body.width(),
                       std::max(0.0, body.bottom() - text.bottom() - 6));
    const double half = plots.width() / 2;
    PaintLogitHistogram(p, QRectF(plots.left(), plots.top(), half, plots.height()), r);
    PaintDegradation(p, QRectF(plots.left() + half, plots.top(), half, plots.height()), r);
    p.restore();
}

}  // namespace kavro
