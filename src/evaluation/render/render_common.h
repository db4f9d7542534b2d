#pragma once
// Pieces every evaluation picture shares: colours, fonts, nice axis steps and frames.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <vector>

#include "platform/dates.h"

namespace kavro::render {

inline const QColor kInk(40, 40, 40);
inline const QColor kGridLine(225, 225, 225);
inline const QColor kEquityLine(30, 90, 180);
inline const QColor kGain(26, 150, 65);
inline const QColor kLoss(215, 48, 39);
inline const QColor kDrawdownFill(215, 48, 39, 60);
inline const QColor kMuted(150, 150, 150);

QFont TitleFont();
QFont LabelFont();

// A value axis with round steps covering [lo, hi].
struct Axis {
    double lo = 0, hi = 1;
    std::vector<double> ticks;
    double map(double v, double from, double to) const;  // lo -> from, hi -> to
};
Axis NiceAxis(double lo, double hi, int maxTicks);

// Ticks of a time axis over [lo, hi] hours since 1970-01-01, at round times:
// hours, days, months or years, whichever gives at most `maxTicks`.
struct TimeTick {
    double hours;
    QString label;
};
std::vector<TimeTick> TimeTicks(double lo, double hi, int maxTicks);

// Short label text: whole numbers without decimals, others with at most two.
QString Label(double v);
// dd.mm.yyyy, "" for an invalid date.
QString DayText(const Date& d);
// dd.mm.yy of a valid date.
QString ShortDayText(const Date& d);
// " hh:00" after a date, "" for an hour not known (< 0).
QString HourText(int hour);
// A share (0..1) as a percentage with one decimal: "12.5 %".
QString PercentText(double share);

// What is left of `area` below its title line.
QRectF TitleBody(const QRectF& area);
// Paints the title at the top of `area` and returns what is left below it (TitleBody).
QRectF PaintTitle(QPainter& p, const QRectF& area, const QString& title, const QString& note = QString());
// Horizontal grid lines with their labels left of `plot`; the frame around it.
void PaintValueAxis(QPainter& p, const QRectF& plot, const Axis& axis);
// Tick labels under `plot` for the values of a horizontal axis.
void PaintCountAxis(QPainter& p, const QRectF& plot, const Axis& axis, const QString& name);
// The name of the vertical axis above its labels.
void VerticalName(QPainter& p, const QRectF& plot, const QString& name);
// A short centred text where there is nothing to draw.
void PaintNothing(QPainter& p, const QRectF& area, const QString& text);

// The plot of a picture's body: room above for the labels of its marks, margins for the axes.
QRectF PlotBelow(const QRectF& body);
// Whether a plot can be drawn: false with `nothing` written in the body when
// there is nothing to draw, false quietly when the plot has no room.
bool CanPlot(QPainter& p, const QRectF& body, const QRectF& plot, bool anything, const QString& nothing);
// A vertical axis from 0 to the largest of `counts` (at least 1).
Axis CountsAxis(const std::vector<int64_t>& counts);

// The margins every plot keeps for its labels.
inline constexpr double kLeftMargin = 62, kBottomMargin = 34, kRightMargin = 28;

}  // namespace kavro::render
