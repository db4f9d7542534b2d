#pragma once
// The one painting code of the evaluation: the window paints its panes with it and
// the PNG export paints the same pictures into images. Every function paints into
// `area` of any QPainter and leaves the painter's state as it found it.
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "evaluation/heatmap.h"
#include "evaluation/monte_carlo.h"
#include "evaluation/price_chart.h"
#include "evaluation/render/render_common.h"
#include "evaluation/sweep_figures.h"
#include "evaluation/trade_stats.h"
#include "evaluation/walkforward_view.h"

namespace kavro {

// "Эквити" above: the closed-trade equity (EquityCurve: element 0 the starting
// 0), the fall from each running peak shaded and the maximum drawdown's stretch
// marked; "Просадка" below: the distance under the running peak, its deepest
// point marked. Along dates when `hours` (EquityHours) are given, else by trade number.
void PaintEquity(QPainter& p, const QRectF& area, std::span<const double> equity, const Drawdown& maxDrawdown,
                 std::span<const double> hours = {});

// Where PaintEquity puts its two plots and each equity point.
struct EquityLayout {
    QRectF upper, lower;
    bool byDate = false;
    double lo = 0, hi = 1;          // the horizontal axis: hours, or trade numbers
    render::Axis tradeAxis;         // the trade numbers' ticks
    std::span<const double> hours;  // by date: the time of each point
    // Pixels from the plots' left edge to point i.
    double x(size_t i) const;
};
EquityLayout LayoutEquity(const QRectF& area, std::span<const double> equity,
                          std::span<const double> hours = {});
// The trade (1-based) whose point lies nearest a click at `at`; empty off the plots.
std::optional<size_t> EquityTradeAt(const EquityLayout& layout, size_t points, QPointF at);

// Two runs' closed-trade equity on one chart by trade number, each in its own
// colour and named in a legend (`first` blue, `second` orange).
void PaintEquityPair(QPainter& p, const QRectF& area, std::span<const double> first, const QString& firstName,
                     std::span<const double> second, const QString& secondName);

struct GridCell {
    size_t x = 0, y = 0;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Where a heatmap's cells lie inside `area`: y grows upwards, like the axis values.
struct HeatmapLayout {
    QRectF plot;  // the cells, legend and labels outside it
    size_t columns = 0, rows = 0;
    // The cell under a point (window pixels); empty outside the cells.
    std::optional<GridCell> cellAt(const QPointF& point) const;
    QRectF cellRect(const GridCell& cell) const;
};
HeatmapLayout LayoutHeatmap(const QRectF& area, const HeatGrid& grid);

// The diverging colour of a result: losses red, gains green, 0 white, full
// colour at |value| = scale. A cell never run has its own grey (kEmptyCell).
QColor HeatColour(float value, float scale);
inline constexpr QRgb kEmptyCell = 0xFFC4C4C4;
inline constexpr QRgb kBestOutline = 0xFF000000;
inline constexpr QRgb kHoverOutline = 0xFF1F5FD0;

// The figure's name as the window and the titles write it ("фактор прибыли").
QString HeatFigureName(HeatFigure figure);

// The cells as an image, one pixel a cell, top row = highest y, coloured for the
// figure the grid shows: around 0 (around 1 for the profit factor) red to green,
// from 0 white to red for the drawdown and to blue for the trades; grey for a
// value not known. Painting scales it, so a window can build it once per grid
// and paint it at any size.
QImage HeatmapCells(const HeatGrid& grid);
// "Тепловая карта: TP × SL, час 9" or "Тепловая карта: час × TP, лучший SL".
QString HeatmapTitle(const HeatGrid& grid);
// The grid with its title, axis labels, legend, the values in cells large enough
// to hold them and the best cell outlined; `cells`
// is HeatmapCells(grid) when the caller keeps one, `hover` a cell to outline too.
void PaintHeatmap(QPainter& p, const QRectF& area, const HeatGrid& grid, const QImage* cells = nullptr,
                  std::optional<GridCell> hover = std::nullopt);

// "Форвардный результат": each window's forward result as a bar and the
// cumulative result as a line; windows whose search found nothing drawn hollow.
void PaintForwardEquity(QPainter& p, const QRectF& area, const WalkForwardView& view);
// "Стабильность параметров": take-profit, stop-loss and entry hour per window.
void PaintParameterStability(QPainter& p, const QRectF& area, const WalkForwardView& view);

// A Monte Carlo histogram with its 5 %, 50 % and 95 % points; `belowZero` (0..1),
// when given, is written under the title.
void PaintMonteCarlo(QPainter& p, const QRectF& area, const Distribution& d, const QString& title,
                     std::optional<double> belowZero = std::nullopt);

// The equity by trade number over the Monte Carlo's runs: the 5-95 % and 25-75 %
// bands and the median; with `ruinEquity`, the equity at which a run is ruined.
void PaintEquityFan(QPainter& p, const QRectF& area, const EquityFan& fan, const QString& title,
                    std::optional<double> ruinEquity = std::nullopt);

// What PBO means for this sweep, in one sentence; the deflated Sharpe ratio in one line.
QString OverfitSentence(const OverfitReport& report);
QString DeflatedSharpeText(const DeflatedSharpe& deflated);
// The logits' histogram, the overfit side (λ <= 0) in red.
void PaintLogitHistogram(QPainter& p, const QRectF& area, const OverfitReport& report);
// The chosen pass's in-sample against its out-of-sample result, one dot a split, with the degradation line.
void PaintDegradation(QPainter& p, const QRectF& area, const OverfitReport& report);
// overfit.png: PBO with its sentence, the deflated Sharpe ratio, and the two plots above side by side.
void PaintOverfit(QPainter& p, const QRectF& area, const OverfitReport& report);

// Where the price chart's parts lie in `area`: a title line (when it has one),
// the candles above and the stochastic below, the time labels under it.
struct PriceLayout {
    QRectF title, price, oscillator;
};
PriceLayout LayoutPriceChart(const QRectF& area, bool titled = false);

// What the price chart draws besides the candles: the selected trade's levels,
// the crosshair at the pointer, a title.
struct PriceMarks {
    std::optional<size_t> selected;  // trade number (1-based)
    std::optional<QPointF> crosshair;
    QString title;
};
// Hourly or daily candles (each pixel column's range once a candle is narrower
// than a pixel), the 200-day average as steps over the candles its day applies
// to, the 24-day stochastic with the days that allow a buy or a sell shaded, and
// every trade: its entry (buy a green triangle up, sell a red one down), its exit
// and the line between coloured by its result.
void PaintPriceChart(QPainter& p, const QRectF& area, const PriceChart& chart, const PriceView& view,
                     const PriceMarks& marks = {});
// The prices the chart's vertical axis spans for a view `width` pixels wide:
// the candles in sight, the selected trade's levels, a margin.
PriceRange VisiblePriceRange(const PriceChart& chart, const PriceView& view, double width,
                             std::optional<size_t> selected = std::nullopt);
// "dd.mm.yy" of candle i, with " hh:00" when asked and known.
QString CandleTime(const PriceChart& chart, size_t i, bool withHour);
// What the crosshair reads out at candle i: "dd.mm.yyyy hh:00   O …   H …   L …   C …".
QString CandleReadout(const PriceChart& chart, size_t i);
// A price as the quote file has it: seven significant digits, enough for any quote and
// clean for a level worked out from one ("1.3976").
QString PriceText(float price);

// price.png: the run's interval as daily candles with every trade.
void PaintRunPrices(QPainter& p, const QRectF& area, const PriceChart& daily);
// trade-N.png: the hourly candles around trade `number` with its entry, exit,
// take-profit and stop-loss; false when the chart has no such trade.
bool PaintTradePrices(QPainter& p, const QRectF& area, const PriceChart& hourly, size_t number);

// Paints `paint` onto a white image of `size` and writes it as a PNG under a
// temporary name, renamed onto `path` when complete. False with a Russian message.
bool SavePng(const std::string& path, const QSize& size,
             const std::function<void(QPainter&, const QRectF&)>& paint, std::string& error);

// The pictures an export writes, painted as the window paints them: the equity
// ("equity.png"), the take-profit x stop-loss heatmap of the best pass's hour
// ("heatmap.png", when there is a sweep) and the walk-forward dashboard
// ("dashboard.png", when there are windows). False with the first failure's message.
struct EvaluationPictures {
    std::span<const double> equity;
    std::span<const double> equityHours;  // the equity by date when given (EquityHours)
    Drawdown maxDrawdown;
    const HeatGrid* heatmap = nullptr;
    const WalkForwardView* windows = nullptr;
    const OverfitReport* overfit = nullptr;  // a sweep's check: overfit.png
    const PriceChart* prices = nullptr;      // the run's daily candles: price.png
    const PriceChart* hourly = nullptr;      // with chartTrade > 0: trade-N.png of that trade
    size_t chartTrade = 0;
};
inline constexpr const char* kPictureFiles[] = {"equity.png", "heatmap.png", "dashboard.png", "price.png",
                                                "overfit.png"};
bool SaveEvaluationPictures(const std::string& dir, const EvaluationPictures& pictures, std::string& error);

// The same pictures painted, each with its file name, to be written later (a
// window paints on its own thread and writes on another).
struct NamedPicture {
    std::string name;
    QImage image;
};
std::vector<NamedPicture> PaintEvaluationPictures(const EvaluationPictures& pictures);
// Writes painted pictures into `dir`; false with the first failure's message.
bool WritePictures(const std::string& dir, const std::vector<NamedPicture>& pictures, std::string& error);

}  // namespace kavro
