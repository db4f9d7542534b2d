#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "evaluation/render/evaluation_render.h"
#include "evaluation/render/render_common.h"

namespace kavro {

namespace {

using namespace render;

constexpr double kLegendWidth = 96;

QString AxisName(const HeatGrid& g, bool x) {
    if (g.kind == GridKind::TargetStop) return x ? QStringLiteral("TP") : QStringLiteral("SL");
    return x ? QStringLiteral("Час") : QStringLiteral("TP");
}

// Every k-th value's label, k chosen so neighbouring labels keep `room` pixels apart.
size_t LabelStep(size_t count, double length, double room) {
    if (count == 0 || length <= 0) return 1;
    const double per = length / static_cast<double>(count);
    return std::max<size_t>(1, static_cast<size_t>(std::ceil(room / std::max(per, 1e-9))));
}

// The values a grid's colours run between, bottom to top: around the figure's
// neutral value for figures with a good and a bad side, from 0 for the others.
struct ColourRange {
    bool diverging = true;
    double centre = 0, span = 0;
    double bottom() const { return diverging ? centre - span : 0; }
    double top() const { return diverging ? centre + span : span; }
};

ColourRange RangeOf(const HeatGrid& g) {
    ColourRange r;
    switch (g.figure) {
        case HeatFigure::MaxDrawdown:
        case HeatFigure::Trades:
            r.diverging = false;
            r.span = std::max(0.0, static_cast<double>(g.maxValue));
            return r;
        case HeatFigure::ProfitFactor:
            r.centre = 1;  // a profit factor below 1 loses money
            break;
        default:
            break;
    }
    r.span = std::max(std::fabs(g.minValue - r.centre), std::fabs(g.maxValue - r.centre));
    return r;
}

QColor Mix(const QColor& end, double a) {
    a = std::clamp(a, 0.0, 1.0);
    auto mix = [&](int c) { return static_cast<int>(std::lround(255 + (c - 255) * a)); };
    return QColor(mix(end.red()), mix(end.green()), mix(end.blue()));
}

QColor ColourIn(const HeatGrid& g, const ColourRange& r, float value) {
    if (std::isnan(value)) return QColor::fromRgb(kEmptyCell);
    const double v = std::isinf(value) ? (value > 0 ? r.top() : r.bottom()) : value;
    if (!r.diverging) {
        const double a = r.span > 0 ? v / r.span : 0.0;
        return Mix(g.figure == HeatFigure::MaxDrawdown ? kLoss : kEquityLine, a);
    }
    return HeatColour(static_cast<float>(v - r.centre), static_cast<float>(r.span));
}

// A cell's value as written inside it: "∞" for an infinity.
QString CellText(float v) {
    if (std::isinf(v)) return v > 0 ? QStringLiteral("∞") : QStringLiteral("-∞");
    return Label(v);
}

void PaintLegend(QPainter& p, const QRectF& plot, const HeatGrid& g) {
    const ColourRange range = RangeOf(g);
    const QRectF bar(plot.right() + 14, plot.top(), 14, std::max(0.0, plot.height() - 40));
    if (bar.height() < 10) return;
    QImage ramp(1, 256, QImage::Format_RGB32);
    for (int i = 0; i < 256; ++i) {
        const double v = range.bottom() + (range.top() - range.bottom()) * i / 255.0;
        ramp.setPixel(0, 255 - i, ColourIn(g, range, static_cast<float>(v)).rgb());
    }
    p.drawImage(bar, ramp);
    p.setPen(QPen(kMuted, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar);
    p.setFont(LabelFont());
    p.setPen(kInk);
    const QRectF labels(bar.right() + 4, bar.top(), kLegendWidth - 32, bar.height());
    p.drawText(QRectF(labels.left(), bar.top() - 7, labels.width(), 14), Qt::AlignLeft | Qt::AlignVCenter,
               Label(range.top()));
    p.drawText(QRectF(labels.left(), bar.center().y() - 7, labels.width(), 14),
               Qt::AlignLeft | Qt::AlignVCenter, Label((range.top() + range.bottom()) / 2));
    p.drawText(QRectF(labels.left(), bar.bottom() - 7, labels.width(), 14), Qt::AlignLeft | Qt::AlignVCenter,
               Label(range.bottom()));
    // The grey of a cell no pass ran.
    const QRectF swatch(bar.left(), bar.bottom() + 16, 14, 14);
    p.fillRect(swatch, QColor::fromRgb(kEmptyCell));
    p.setPen(QPen(kMuted, 0));
    p.drawRect(swatch);
    p.setPen(kInk);
    p.drawText(QRectF(swatch.right() + 4, swatch.top() - 2, kLegendWidth - 32, 18),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("не было"));
}

// Each cell's value inside it, when every cell is large enough to hold its text.
void PaintCellValues(QPainter& p, const HeatmapLayout& l, const HeatGrid& g) {
    const QFontMetricsF metrics(LabelFont());
    const QRectF first = l.cellRect({0, 0});
    if (first.height() < metrics.height() + 2) return;
    for (size_t i = 0; i < g.cells.size(); ++i)
        if (g.passes[i] >= 0 && first.width() < metrics.horizontalAdvance(CellText(g.cells[i])) + 6) return;
    const ColourRange range = RangeOf(g);
    p.setFont(LabelFont());
    for (size_t y = 0; y < g.height(); ++y)
        for (size_t x = 0; x < g.width(); ++x) {
            const size_t i = y * g.width() + x;
            if (g.passes[i] < 0) continue;
            // Dark cells get light text.
            const QColor back = ColourIn(g, range, g.cells[i]);
            p.setPen(back.lightness() < 130 ? QColor(Qt::white) : kInk);
            p.drawText(l.cellRect({x, y}), Qt::AlignCenter, CellText(g.cells[i]));
        }
}

void Outline(QPainter& p, const QRectF& r, QRgb colour) {
    // Inside the cell, at least a few pixels across, so it shows on tiny cells too.
    const QRectF box = r.width() < 6 || r.height() < 6 ? r.adjusted(-2, -2, 2, 2) : r.adjusted(1, 1, -1, -1);
    p.setPen(QPen(QColor::fromRgb(colour), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
}

}  // namespace

QColor HeatColour(float value, float scale) {
    if (!std::isfinite(value)) return QColor::fromRgb(kEmptyCell);
    double t = scale > 0 && std::isfinite(scale) ? value / static_cast<double>(scale) : 0.0;
    t = std::clamp(t, -1.0, 1.0);
    return Mix(t < 0 ? kLoss : kGain, std::fabs(t));
}

QString HeatFigureName(HeatFigure figure) {
    switch (figure) {
        case HeatFigure::Net:
            return QStringLiteral("чистый результат");
        case HeatFigure::ProfitFactor:
            return QStringLiteral("фактор прибыли");
        case HeatFigure::MaxDrawdown:
            return QStringLiteral("максимальная просадка");
        case HeatFigure::RecoveryFactor:
            return QStringLiteral("фактор восстановления");
        case HeatFigure::Trades:
            return QStringLiteral("сделок");
        case HeatFigure::Sharpe:
            return QStringLiteral("Шарп по месяцам");
    }
    return {};
}

QImage HeatmapCells(const HeatGrid& g) {
    if (g.empty()) return QImage();
    const int w = static_cast<int>(g.width()), h = static_cast<int>(g.height());
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull()) return img;
    const ColourRange range = RangeOf(g);
    for (int y = 0; y < h; ++y) {
        // Row 0 of the image is the top: the highest y value.
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(h - 1 - y));
        const size_t row = static_cast<size_t>(y) * g.width();
        for (int x = 0; x < w; ++x) {
            const size_t i = row + static_cast<size_t>(x);
            line[x] = g.passes[i] < 0 ? kEmptyCell : ColourIn(g, range, g.cells[i]).rgb();
        }
    }
    return img;
}

QString HeatmapTitle(const HeatGrid& g) {
    const QString title = g.kind == GridKind::TargetStop
                              ? QStringLiteral("Тепловая карта: TP × SL, час %1").arg(Label(g.hour))
                              : QStringLiteral("Тепловая карта: час × TP, лучший SL");
    return g.figure == HeatFigure::Net ? title : title + QStringLiteral(" — ") + HeatFigureName(g.figure);
}

HeatmapLayout LayoutHeatmap(const QRectF& area, const HeatGrid& g) {
    HeatmapLayout l;
    const double titleHeight = QFontMetricsF(TitleFont()).height() + 8;
    l.plot = QRectF(area.left() + kLeftMargin, area.top() + titleHeight + 4,
                    std::max(0.0, area.width() - kLeftMargin - kLegendWidth),
                    std::max(0.0, area.height() - titleHeight - 4 - kBottomMargin));
    if (!g.empty()) {
        l.columns = g.width();
        l.rows = g.height();
    }
    return l;
}

std::optional<GridCell> HeatmapLayout::cellAt(const QPointF& pt) const {
    if (columns == 0 || rows == 0 || plot.width() <= 0 || plot.height() <= 0) return std::nullopt;
    if (!(pt.x() >= plot.left() && pt.x() < plot.right() && pt.y() > plot.top() && pt.y() <= plot.bottom()))
        return std::nullopt;
    const double cx = (pt.x() - plot.left()) / plot.width() * static_cast<double>(columns);
    const double cy = (plot.bottom() - pt.y()) / plot.height() * static_cast<double>(rows);
    GridCell c;
    c.x = std::min(columns - 1, static_cast<size_t>(cx));
    c.y = std::min(rows - 1, static_cast<size_t>(cy));
    return c;
}

QRectF HeatmapLayout::cellRect(const GridCell& c) const {
    if (columns == 0 || rows == 0) return QRectF();
    const double w = plot.width() / static_cast<double>(columns),
                 h = plot.height() / static_cast<double>(rows);
    return QRectF(plot.left() + static_cast<double>(c.x) * w,
                  plot.bottom() - static_cast<double>(c.y + 1) * h, w, h);
}

void PaintHeatmap(QPainter& p, const QRectF& area, const HeatGrid& g, const QImage* cells,
                  std::optional<GridCell> hover) {
    p.save();
    QString note;
    if (g.hasBest) {
        const auto best = CellAt(g, g.bestX, g.bestY);
        note = QStringLiteral("лучшая клетка %1: TP %2, SL %3, час %4")
                   .arg(Label(best->setting.total), Label(best->setting.target), Label(best->setting.stop),
                        Label(best->setting.entryHour));
        if (g.figure != HeatFigure::Net)
            note += QStringLiteral(", %1 %2").arg(HeatFigureName(g.figure), CellText(g.bestValue));
    }
    PaintTitle(p, area, HeatmapTitle(g), note);
    const HeatmapLayout l = LayoutHeatmap(area, g);
    if (g.tooLarge) {
        PaintNothing(p, l.plot, QStringLiteral("Слишком много разных значений для сетки"));
        p.restore();
        return;
    }
    if (g.empty() || l.plot.width() < 2 || l.plot.height() < 2) {
        PaintNothing(p, l.plot, QStringLiteral("Нет проходов"));
        p.restore();
        return;
    }
    QImage own;
    if (!cells || cells->width() != static_cast<int>(g.width()) ||
        cells->height() != static_cast<int>(g.height())) {
        own = HeatmapCells(g);
        cells = &own;
    }
    // One pixel a cell, scaled without smoothing: sharp cells at any size, and
    // a grid of hundreds of thousands of cells costs one image draw.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(l.plot, *cells);
    p.setPen(QPen(kMuted, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(l.plot);

    // Axis labels: the grid's own values, thinned out where they would crowd.
    p.setFont(LabelFont());
    p.setPen(kInk);
    const size_t xStep = LabelStep(g.width(), l.plot.width(), 44);
    for (size_t x = 0; x < g.width(); x += xStep) {
        const QRectF r = l.cellRect({x, 0});
        p.drawText(QRectF(r.center().x() - 30, l.plot.bottom() + 3, 60, 14), Qt::AlignHCenter | Qt::AlignTop,
                   Label(g.xValues[x]));
    }
    const size_t yStep = LabelStep(g.height(), l.plot.height(), 16);
    for (size_t y = 0; y < g.height(); y += yStep) {
        const QRectF r = l.cellRect({0, y});
        p.drawText(QRectF(l.plot.left() - kLeftMargin, r.center().y() - 7, kLeftMargin - 6, 14),
                   Qt::AlignRight | Qt::AlignVCenter, Label(g.yValues[y]));
    }
    p.drawText(QRectF(l.plot.left(), l.plot.bottom() + 17, l.plot.width(), 14),
               Qt::AlignHCenter | Qt::AlignTop, AxisName(g, true) + QStringLiteral(" →"));
    p.drawText(QRectF(area.left() + 2, l.plot.bottom() + 17, kLeftMargin - 6, 14),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("↑ ") + AxisName(g, false));
    PaintLegend(p, l.plot, g);
    PaintCellValues(p, l, g);

    if (g.hasBest) Outline(p, l.cellRect({g.bestX, g.bestY}), kBestOutline);
    if (hover && hover->x < g.width() && hover->y < g.height()) Outline(p, l.cellRect(*hover), kHoverOutline);
    p.restore();
}

}  // namespace kavro
