// "Тепловая карта": where the good settings of the latest sweep lie.
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <span>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

const QString kHint = QStringLiteral(
    "Наведите указатель на клетку, чтобы увидеть её результат; двойной щелчок запускает эту настройку "
    "одиночным тестом.");
const QString kBuilding = QStringLiteral("Карта строится…");

// Builds a grid showing `figure` and its cells image on a thread of its own;
// the sweep, its axes and its check are shared, never changed, so the thread
// may read them freely.
template <class MakeGrid>
auto Build(std::shared_ptr<const Evaluation> e, HeatFigure figure, MakeGrid make) {
    return StartBackground<HeatmapPane::Built>([e = std::move(e), figure, make] {
        HeatmapPane::Built b;
        b.grid = make(e->sweep->passes, e->axes);
        if (figure != HeatFigure::Net && e->check && e->check->ok)
            b.grid = ShowFigure(std::move(b.grid), figure,
                                FigureValues(figure, e->sweep->passes, e->check->figures.passes));
        b.cells = HeatmapCells(b.grid);
        return b;
    });
}

}  // namespace

HeatmapPane::HeatmapPane(std::function<QString(const PassRow&)> runSetting, QWidget* parent)
    : QWidget(parent), runSetting_(std::move(runSetting)) {
    setObjectName(QStringLiteral("HeatmapPane"));
    QVBoxLayout* body = NoteAndBody(this, "HeatmapNote", note_, body_);
    auto* top = new QHBoxLayout;
    body->addLayout(top);
    auto* caption = new QLabel(QStringLiteral("Час входа (карта TP × SL):"), body_);
    top->addWidget(caption);
    hours_ = new QComboBox(body_);
    hours_->setObjectName(QStringLiteral("HourSelector"));
    hours_->setMinimumContentsLength(4);
    caption->setBuddy(hours_);
    top->addWidget(hours_);
    top->addSpacing(12);
    auto* figureCaption = new QLabel(QStringLiteral("Цвет:"), body_);
    top->addWidget(figureCaption);
    figures_ = new QComboBox(body_);
    figures_->setObjectName(QStringLiteral("HeatFigureSelector"));
    for (HeatFigure f : kHeatFigures) {
        QString name = HeatFigureName(f);
        name[0] = name[0].toUpper();
        figures_->addItem(name, QVariant(static_cast<int>(f)));
    }
    figures_->setToolTip(
        QStringLiteral("Чем раскрашены клетки; клетка — всё тот же проход с лучшим результатом"));
    figureCaption->setBuddy(figures_);
    top->addWidget(figures_);
    top->addSpacing(16);
    value_ = new QLabel(kHint, body_);
    value_->setObjectName(QStringLiteral("HeatmapValue"));
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Two lines kept for it, so that a long cell text wraps without the maps jumping.
    value_->setWordWrap(true);
    value_->setMinimumHeight(2 * value_->fontMetrics().lineSpacing() + 2);
    top->addWidget(value_, 1);

    auto* maps = new QHBoxLayout;
    body->addLayout(maps, 1);
    targetStop_ = new HeatmapView("TargetStopMap", body_);
    hourTarget_ = new HeatmapView("HourTargetMap", body_);
    maps->addWidget(targetStop_, 1);
    maps->addWidget(hourTarget_, 1);

    for (HeatmapView* v : {targetStop_, hourTarget_}) {
        const GridKind kind = v == targetStop_ ? GridKind::TargetStop : GridKind::HourTarget;
        v->onHover = [this, kind, v](const std::optional<HeatCell>& c) {
            showHover(c, kind, v->grid().figure);
        };
        v->onActivate = [this](const HeatCell& c) {
            // Running the setting may refresh or close the window: keep only what outlives it.
            QPointer<QLabel> label = value_;
            const auto run = runSetting_;
            const QString said = run(c.setting);
            if (label) label->setText(said);
        };
    }
    connect(hours_, &QComboBox::currentIndexChanged, this, [this](int i) { showHour(i); });
    connect(figures_, &QComboBox::currentIndexChanged, this, [this] { buildGrids(); });
    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, [this] { poll(); });
    setEvaluation(nullptr);
}

HeatFigure HeatmapPane::figure() const {
    return static_cast<HeatFigure>(figures_->currentData().toInt());
}

bool HeatmapPane::offerFigures() {
    // The figures other than the result come with the sweep's check.
    const bool known = e_ && e_->check && e_->check->ok;
    auto* model = qobject_cast<QStandardItemModel*>(figures_->model());
    for (int i = 1; model && i < figures_->count(); ++i) model->item(i)->setEnabled(known);
    if (known || figure() == HeatFigure::Net) return false;
    const QSignalBlocker block(figures_);
    figures_->setCurrentIndex(0);
    return true;
}

void HeatmapPane::setEvaluation(const std::shared_ptr<const Evaluation>& e) {
    const bool newCheck = !e_ || !e || e->check != e_->check;
    e_ = e;
    const bool backToNet = e && offerFigures();
    if (!e || !e->sweep) {
        sweep_.reset();
        targetStopJob_.reset();
        hourTargetJob_.reset();
        targetStop_->setGrid({});
        hourTarget_->setGrid({});
        hours_->clear();
        note_->setText(QStringLiteral(
            "Тепловой карты нет: она строится по перебору настроек. Выполните простое тестирование с шагом "
            "больше 0 или с несколькими часами входа."));
        note_->show();
        body_->hide();
        return;
    }
    // The same sweep (a cell run as a single setting since): the grids and the chosen hour stay,
    // unless they show a figure the new check holds or one the check no longer holds.
    if (e->sweep == sweep_) {
        if ((newCheck && figure() != HeatFigure::Net) || backToNet) buildGrids();
        return;
    }
    sweep_ = e->sweep;
    const RunEnd end = sweep_->end;
    note_->setText(end == RunEnd::Done
                       ? QString()
                       : QStringLiteral("Перебор не закончен: карта по выполненным проходам (%1).")
                             .arg(sweep_->passes.size()));
    note_->setVisible(end != RunEnd::Done);
    body_->show();

    const SweepAxes& axes = e->axes;
    const float bestHour = axes.bestPass ? sweep_->passes[*axes.bestPass].entryHour : 0.0f;
    {
        const QSignalBlocker block(hours_);
        hours_->clear();
        int best = 0;
        for (size_t i = 0; i < axes.hours.size(); ++i) {
            hours_->addItem(Short(axes.hours[i]), QVariant(static_cast<double>(axes.hours[i])));
            if (axes.hours[i] == bestHour) best = static_cast<int>(i);
        }
        hours_->setCurrentIndex(axes.hours.empty() ? -1 : best);
    }
    buildGrids();
}

void HeatmapPane::buildGrids() {
    if (!sweep_ || !e_) return;
    // The old grids go at once: they must not be taken for the new ones.
    hourTarget_->setGrid({});
    hourTargetJob_ = Build(e_, figure(), [](std::span<const PassRow> passes, const SweepAxes& a) {
        return HourTargetGrid(passes, a);
    });
    showHour(hours_->currentIndex());
}

std::optional<float> HeatmapPane::chosenHour() const {
    if (!sweep_ || hours_->currentIndex() < 0) return std::nullopt;
    return static_cast<float>(hours_->currentData().toDouble());
}

void HeatmapPane::showHour(int index) {
    targetStop_->setGrid({});
    if (!sweep_ || !e_ || index < 0) {
        targetStopJob_.reset();
        return;
    }
    const float hour = static_cast<float>(hours_->itemData(index).toDouble());
    // A job still building another hour is left to finish unseen.
    targetStopJob_ = Build(e_, figure(), [hour](std::span<const PassRow> passes, const SweepAxes& a) {
        return TargetStopGrid(passes, a, hour);
    });
    value_->setText(kBuilding);
    poll_.start();
}

void HeatmapPane::poll() {
    QString failure;
    const std::pair<Job*, HeatmapView*> jobs[] = {{&targetStopJob_, targetStop_},
                                                  {&hourTargetJob_, hourTarget_}};
    for (const auto& [job, view] : jobs) {
        if (!*job || !(*job)->done.load(std::memory_order_acquire)) continue;
        Built built = std::move((*job)->result);
        if (!(*job)->error.empty()) failure = QString::fromStdString((*job)->error);
        job->reset();
        view->setGrid(std::move(built.grid), std::move(built.cells));
    }
    if (building()) return;
    poll_.stop();
    value_->setText(failure.isEmpty() ? kHint : QStringLiteral("Карта не построена: %1.").arg(failure));
}

void HeatmapPane::showHover(const std::optional<HeatCell>& c, GridKind kind, HeatFigure shown) {
    if (!c) {
        value_->setText(kHint);
        return;
    }
    const PassRow& s = c->setting;
    QString text =
        kind == GridKind::TargetStop
            ? QStringLiteral("Час %1, TP %2, SL %3").arg(Short(s.entryHour), Short(s.target), Short(s.stop))
            : (c->ran ? QStringLiteral("Час %1, TP %2, лучший SL %3")
                            .arg(Short(s.entryHour), Short(s.target), Short(s.stop))
                      : QStringLiteral("Час %1, TP %2").arg(Short(s.entryHour), Short(s.target)));
    if (c->ran) {
        text += QStringLiteral(": результат %1").arg(Short(s.total));
        if (shown != HeatFigure::Net)
            text += QStringLiteral(", %1 %2").arg(HeatFigureName(shown), Figure(c->value, 2));
        text += QStringLiteral(" (двойной щелчок — запустить эту настройку)");
    } else
        text += QStringLiteral(": прохода не было");
    value_->setText(text);
}

}  // namespace kavro
