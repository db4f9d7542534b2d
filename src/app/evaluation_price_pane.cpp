// "Цена": the candles the run traded on, its trades and the daily figures behind them.
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "app/evaluation_panes.h"
#include "program/run_export.h"

namespace kavro {

namespace {

constexpr double kWheelZoom = 1.25;  // one notch of the wheel
constexpr double kKeyPan = 0.1;      // of the width, per arrow key

}  // namespace

PriceChartView::PriceChartView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PriceChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(360, 260);
    setCursor(Qt::CrossCursor);
}

PriceLayout PriceChartView::layout() const {
    return LayoutPriceChart(QRectF(rect()));
}

// The chart reads the store it was built from: only while that store is unchanged.
bool PriceChartView::usable() {
    if (!chart_ || !store_) return false;
    if (chart_->current(*store_)) return true;
    chart_.reset();
    crosshair_.reset();
    if (onStale) {
        // Told from the event loop: the pane may build a new chart into this view.
        QPointer<PriceChartView> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->onStale) self->onStale();
        });
    }
    return false;
}

void PriceChartView::setChart(std::shared_ptr<const PriceChart> chart, const QuoteStore* store) {
    chart_ = std::move(chart);
    store_ = store;
    selected_.reset();
    crosshair_.reset();
    setCrosshair(std::nullopt);
    home();
}

void PriceChartView::home() {
    pendingTrade_.reset();
    if (!usable()) return;
    if (plotWidth() <= 0) {
        pendingHome_ = true;
        return;
    }
    pendingHome_ = false;
    view_.fit(static_cast<double>(chart_->intervalFirst()), static_cast<double>(chart_->intervalLast()),
              plotWidth(), chart_->size());
    update();
}

void PriceChartView::setSelected(std::optional<size_t> number) {
    selected_ = number;
    update();
}

void PriceChartView::centreOnTrade(size_t number) {
    selected_ = number;
    if (!usable()) return;
    const ChartTrade* t = chart_->trade(number);
    if (!t) {
        update();
        return;
    }
    if (plotWidth() <= 0 || !isVisible()) {
        // Laid out later: centred then.
        pendingTrade_ = number;
        pendingHome_ = false;
        return;
    }
    pendingTrade_.reset();
    // Close enough to see the trade's own bars: a few days around it at most.
    const double span = static_cast<double>(t->exit - t->entry + 1);
    const double wanted = std::max(span * 1.6, 72.0) / plotWidth();
    if (view_.perPixel > wanted) view_.perPixel = wanted;
    view_.centreOn(static_cast<double>(t->entry), static_cast<double>(t->exit), plotWidth(), chart_->size());
    update();
}

void PriceChartView::applyPending() {
    if (plotWidth() <= 0 || !isVisible()) return;
    if (pendingTrade_) centreOnTrade(*pendingTrade_);
    if (pendingHome_) home();
}

void PriceChartView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (pendingTrade_ || pendingHome_) {
        applyPending();
        return;
    }
    if (usable()) view_.clamp(plotWidth(), chart_->size());
}

void PriceChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (pendingTrade_ || pendingHome_) applyPending();
    if (!usable()) return;
    PriceMarks marks;
    marks.selected = selected_;
    marks.crosshair = crosshair_;
    PaintPriceChart(p, QRectF(rect()), *chart_, view_, marks);
}

void PriceChartView::setCrosshair(std::optional<QPointF> at) {
    crosshair_ = at;
    QString text;
    if (at && usable()) {
        const PriceLayout l = layout();
        const double candle = std::floor(view_.candleAt(at->x() - l.price.left()));
        if (l.price.united(l.oscillator).contains(*at) && candle >= 0 &&
            candle < static_cast<double>(chart_->size()))
            text = CandleReadout(*chart_, static_cast<size_t>(candle));
    }
    if (text != readout_) {
        readout_ = text;
        if (onReadout) onReadout(readout_);
    }
    update();
}

void PriceChartView::wheelEvent(QWheelEvent* e) {
    if (!usable()) return;
    const double notches = e->angleDelta().y() / 120.0;
    if (notches == 0) return;
    const double x = e->position().x() - layout().price.left();
    view_.zoomAt(x, std::pow(kWheelZoom, notches), plotWidth(), chart_->size());
    setCrosshair(e->position());
    e->accept();
}

void PriceChartView::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    if (e->button() != Qt::LeftButton || !usable()) return;
    dragFrom_ = e->position();
    dragFirst_ = view_.first;
    setCursor(Qt::ClosedHandCursor);
}

void PriceChartView::mouseMoveEvent(QMouseEvent* e) {
    if (dragFrom_ && (e->buttons() & Qt::LeftButton) && usable()) {
        // The candle under the pointer stays under it.
        view_.first = dragFirst_;
        view_.pan(dragFrom_->x() - e->position().x(), plotWidth(), chart_->size());
    }
    setCrosshair(e->position());
}

void PriceChartView::mouseReleaseEvent(QMouseEvent*) {
    dragFrom_.reset();
    setCursor(Qt::CrossCursor);
}

void PriceChartView::leaveEvent(QEvent*) {
    setCrosshair(std::nullopt);
}

void PriceChartView::keyPressEvent(QKeyEvent* e) {
    if (!usable()) {
        QWidget::keyPressEvent(e);
        return;
    }
    const double width = plotWidth();
    const size_t count = chart_->size();
    const double page = e->modifiers() & Qt::ShiftModifier ? 1.0 : kKeyPan;
    switch (e->key()) {
        case Qt::Key_Left:
            view_.pan(-width * page, width, count);
            break;
        case Qt::Key_Right:
            view_.pan(width * page, width, count);
            break;
        case Qt::Key_PageUp:
            view_.pan(-width, width, count);
            break;
        case Qt::Key_PageDown:
            view_.pan(width, width, count);
            break;
        case Qt::Key_Up:
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            view_.zoomAt(width / 2, kWheelZoom, width, count);
            break;
        case Qt::Key_Down:
        case Qt::Key_Minus:
            view_.zoomAt(width / 2, 1 / kWheelZoom, width, count);
            break;
        case Qt::Key_Home:
            home();
            break;
        default:
            QWidget::keyPressEvent(e);
            return;
    }
    if (crosshair_) setCrosshair(crosshair_);
    update();
    e->accept();
}

PricePane::PricePane(const QuoteStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName(QStringLiteral("PricePane"));
    QVBoxLayout* body = NoteAndBody(this, "PriceNote", note_, body_);
    auto* top = new QHBoxLayout;
    body->addLayout(top);
    readout_ = new QLabel(body_);
    readout_->setObjectName(QStringLiteral("PriceReadout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setMinimumWidth(readout_->fontMetrics().horizontalAdvance(
        QStringLiteral("00.00.0000 00:00   O 000.000   H 000.000   L 000.000   C 000.000")));
    top->addWidget(readout_);
    auto* hint = new QLabel(
        QStringLiteral("Колесо — масштаб, перетаскивание и стрелки — сдвиг, Home — весь интервал"), body_);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #666"));
    top->addWidget(hint, 1);
    view_ = new PriceChartView(body_);
    body->addWidget(view_, 1);
    view_->onReadout = [this](const QString& text) { readout_->setText(text); };
    view_->onStale = [this] {
        built_ = false;
        if (isVisible()) build();
    };
    setEvaluation(nullptr);
}

void PricePane::setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing) {
    // The same run evaluated again: the chart, its view and its chosen trade stay.
    if (e && e_ && e->run == e_->run && view_->chart()) {
        e_ = e;
        return;
    }
    e_ = e;
    journalMissing_ = journalMissing;
    built_ = false;
    if (isVisible()) build();
}

void PricePane::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!built_) build();
}

void PricePane::build() {
    built_ = true;
    std::shared_ptr<const PriceChart> chart;
    if (e_ && e_->run) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        chart = PriceChart::Build(store_, *e_->run, e_->trades, Timeframe::Hourly);
        QApplication::restoreOverrideCursor();
    }
    const std::optional<size_t> selected = view_->selected();
    const bool sameRun = e_ && e_->run == shownRun_;
    shownRun_ = e_ ? e_->run : nullptr;
    view_->setChart(chart, &store_);
    if (!e_ || !e_->run) {
        note_->setText(
            QStringLiteral("Графика цены нет: сначала выполните простое или качественное тестирование, "
                           "и здесь появятся его котировки и сделки."));
    } else if (!chart) {
        note_->setText(QString::fromStdString(QuotesGoneMessage(*e_->run)));
    } else if (journalMissing_) {
        note_->setText(
            QStringLiteral("Перебор настроек не ведёт журнал сделок: на графике только котировки. "
                           "Запустите клетку тепловой карты, чтобы увидеть её сделки."));
    } else {
        note_->clear();
    }
    note_->setVisible(!note_->text().isEmpty());
    body_->setVisible(chart != nullptr);
    // The same run built again (the quotes were loaded anew) keeps its chosen trade.
    if (chart && sameRun && selected) view_->setSelected(selected);
}

void PricePane::showTrade(size_t number) {
    if (!built_) build();
    view_->centreOnTrade(number);
}

}  // namespace kavro
