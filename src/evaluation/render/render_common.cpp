#include "evaluation/render/render_common.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "evaluation/number_text.h"
#include "evaluation/trade_record.h"
#include "platform/dates.h"

namespace kavro::render {

QFont TitleFont() {
    QFont f;
    f.setPixelSize(13);
    f.setBold(true);
    return f;
}

QFont LabelFont() {
    QFont f;
    f.setPixelSize(11);
    return f;
}

double Axis::map(double v, double from, double to) const {
    if (!(hi > lo)) return from;
    return from + (v - lo) / (hi - lo) * (to - from);
}

Axis NiceAxis(double lo, double hi, int maxTicks) {
    Axis a;
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
    if (lo > hi) std::swap(lo, hi);
    if (!(hi > lo)) {
        const double pad = lo == 0 ? 1.0 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    if (maxTicks < 2) maxTicks = 2;
    const double raw = (hi - lo) / maxTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (step >= raw) break;
    }
    a.lo = std::floor(lo / step) * step;
    a.hi = std::ceil(hi / step) * step;
    for (int i = 0; i <= 4 * maxTicks; ++i) {
        const double t = a.lo + i * step;
        if (t > a.hi + step * 1e-9) break;
        a.ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    }
    return a;
}

namespace {

QString Two(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// Months since year 0 of a day number, and back.
int64_t MonthIndex(int64_t day) {
    const Date d = DateFromDays(day);
    return static_cast<int64_t>(d.year) * 12 + (d.month - 1);
}

}  // namespace

std::vector<TimeTick> TimeTicks(double lo, double hi, int maxTicks) {
    std::vector<TimeTick> ticks;
    if (!std::isfinite(lo) || !std::isfinite(hi)) return ticks;
    if (!(hi > lo)) hi = lo + 1;
    maxTicks = std::max(maxTicks, 2);
    const double span = hi - lo;
    for (int step : {1, 2, 3, 6, 12}) {
        if (span / step > maxTicks) continue;
        for (double h = std::ceil(lo / step) * step; h <= hi; h += step) {
            const Date d = DateFromDays(static_cast<int64_t>(std::floor(h / 24)));
            const int hour = static_cast<int>(h - std::floor(h / 24) * 24);
            ticks.push_back({h, Two(d.day) + '.' + Two(d.month) + HourText(hour)});
        }
        return ticks;
    }
    const double days = span / 24;
    for (int step : {1, 2, 7, 14}) {
        if (days / step > maxTicks) continue;
        for (double day = std::ceil(lo / 24 / step) * step; day * 24 <= hi; day += step) {
            const Date d = DateFromDays(static_cast<int64_t>(day));
            ticks.push_back({day * 24, ShortDayText(d)});
        }
        return ticks;
    }
    const int64_t firstMonth = MonthIndex(static_cast<int64_t>(std::ceil(lo / 24)));
    const int64_t lastMonth = MonthIndex(static_cast<int64_t>(std::floor(hi / 24)));
    for (int step : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200}) {
        if (static_cast<double>(lastMonth - firstMonth) / step > maxTicks) continue;
        for (int64_t m = (firstMonth + step - 1) / step * step; m <= lastMonth + 1; m += step) {
            const Date d{static_cast<int>(m / 12), static_cast<int>(m % 12) + 1, 1};
            const double at = static_cast<double>(DaysFromDate(d)) * 24;
            if (at < lo || at > hi) continue;
            ticks.push_back(
                {at, step < 12 ? Two(d.month) + '.' + QString::number(d.year) : QString::number(d.year)});
        }
        return ticks;
    }
    return ticks;
}

QString Label(double v) {
    if (!std::isfinite(v)) return QStringLiteral("—");
    if (std::fabs(v) >= 1e7) return QString::number(v, 'g', 4);
    if (v == std::trunc(v)) return QString::number(static_cast<long long>(v));
    QString s = QString::number(v, 'f', 2);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString DayText(const Date& d) {
    if (!d.valid()) return QString();
    return QStringLiteral("%1.%2.%3")
        .arg(d.day, 2, 10, QLatin1Char('0'))
        .arg(d.month, 2, 10, QLatin1Char('0'))
        .arg(d.year, 4, 10, QLatin1Char('0'));
}

QString ShortDayText(const Date& d) {
    return Two(d.day) + '.' + Two(d.month) + '.' + Two(d.year % 100);
}

QString HourText(int hour) {
    return hour >= 0 ? QStringLiteral(" ") + Two(hour) + QStringLiteral(":00") : QString();
}

QString PercentText(double share) {
    return QString::fromStdString(DisplayNumber(share * 100, 1)) + QStringLiteral(" %");
}

namespace {

// The height of a title's line.
double TitleLine() {
    return QFontMetricsF(TitleFont()).height() + 6;
}

}  // namespace

QRectF TitleBody(const QRectF& area) {
    const double h = TitleLine();
    return QRectF(area.left(), area.top() + h + 2, area.width(), std::max(0.0, area.height() - h - 2));
}

QRectF PaintTitle(QPainter& p, const QRectF& area, const QString& title, const QString& note) {
    p.save();
    p.setPen(kInk);
    p.setFont(TitleFont());
    const double h = TitleLine();
    const QRectF line(area.left() + 6, area.top() + 2, area.width() - 12, h);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, title);
    if (!note.isEmpty()) {
        // A note that does not fit beside the title is cut short rather than drawn over it.
        const double room = line.width() - QFontMetricsF(p.font()).horizontalAdvance(title) - 16;
        p.setFont(LabelFont());
        const QString shown = QFontMetricsF(p.font()).elidedText(note, Qt::ElideRight, room);
        p.drawText(line, Qt::AlignRight | Qt::AlignVCenter, shown);
    }
    p.restore();
    return TitleBody(area);
}

void PaintValueAxis(QPainter& p, const QRectF& plot, const Axis& axis) {
    p.save();
    p.setFont(LabelFont());
    for (double t : axis.ticks) {
        const double y = axis.map(t, plot.bottom(), plot.top());
        p.setPen(QPen(t == 0 ? kMuted : kGridLine, 0));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(kInk);
        p.drawText(QRectF(plot.left() - kLeftMargin, y - 8, kLeftMargin - 4, 16),
                   Qt::AlignRight | Qt::AlignVCenter, Label(t));
    }
    p.setPen(QPen(kMuted, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.restore();
}

void PaintCountAxis(QPainter& p, const QRectF& plot, const Axis& axis, const QString& name) {
    p.save();
    p.setFont(LabelFont());
    p.setPen(kInk);
    for (double t : axis.ticks) {
        const double x = axis.map(t, plot.left(), plot.right());
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        p.drawText(QRectF(x - 40, plot.bottom() + 3, 80, 14), Qt::AlignHCenter | Qt::AlignTop, Label(t));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 17, plot.width(), 14), Qt::AlignHCenter | Qt::AlignTop,
               name);
    p.restore();
}

void VerticalName(QPainter& p, const QRectF& plot, const QString& name) {
    p.save();
    p.setFont(LabelFont());
    p.setPen(kInk);
    p.drawText(QRectF(plot.left() - kLeftMargin + 2, plot.top() - 17, plot.width(), 14),
               Qt::AlignLeft | Qt::AlignBottom, name);
    p.restore();
}

void PaintNothing(QPainter& p, const QRectF& area, const QString& text) {
    p.save();
    p.setPen(kMuted);
    p.setFont(LabelFont());
    p.drawText(area, Qt::AlignCenter, text);
    p.restore();
}

QRectF PlotBelow(const QRectF& body) {
    return QRectF(body.left() + kLeftMargin, body.top() + 18,
                  std::max(0.0, body.width() - kLeftMargin - kRightMargin),
                  std::max(0.0, body.height() - 18 - kBottomMargin));
}

bool CanPlot(QPainter& p, const QRectF& body, const QRectF& plot, bool anything, const QString& nothing) {
    if (!anything) {
        PaintNothing(p, body, nothing);
        return false;
    }
    return plot.width() >= 4 && plot.height() >= 4;
}

Axis CountsAxis(const std::vector<int64_t>& counts) {
    int64_t most = 1;
    for (int64_t c : counts) most = std::max(most, c);
    return NiceAxis(0, static_cast<double>(most), 5);
}

}  // namespace kavro::render
