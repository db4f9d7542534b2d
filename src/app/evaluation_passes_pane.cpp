// "Проходы": every pass of a sweep with the figures of its setting run alone.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

enum Column {
    kNumber,
    kHour,
    kTarget,
    kStop,
    kResult,
    kTrades,
    kWins,
    kLosses,
    kGrossProfit,
    kGrossLoss,
    kProfitFactor,
    kDrawdown,
    kRecovery,
    kSharpe,
    kColumns
};

const char* const kHeaders[kColumns] = {"№",
                                        "Час",
                                        "TP",
                                        "SL",
                                        "Результат",
                                        "Сделок",
                                        "Прибыльных",
                                        "Убыточных",
                                        "Валовая прибыль",
                                        "Валовой убыток",
                                        "Фактор прибыли",
                                        "Макс. просадка",
                                        "Фактор восстановления",
                                        "Шарп (мес.)"};

}  // namespace

bool PassesModel::figuresKnown() const {
    return sweep_ && check_ && check_->ok && check_->figures.passes.size() == sweep_->passes.size();
}

void PassesModel::setPasses(std::shared_ptr<const RunRecord> sweep, std::shared_ptr<const SweepCheck> check) {
    beginResetModel();
    sweep_ = std::move(sweep);
    check_ = std::move(check);
    money_ = 0;
    if (sweep_)
        for (const PassRow& r : sweep_->passes)
            if (std::isfinite(r.total) && std::trunc(r.total) != r.total) money_ = 2;
    arrange();
    endResetModel();
}

void PassesModel::setMinTrades(int64_t trades) {
    if (trades == minTrades_) return;
    beginResetModel();
    minTrades_ = trades;
    arrange();
    endResetModel();
}

void PassesModel::arrange() {
    rows_.clear();
    if (!sweep_) return;
    // The minimum of trades filters only passes whose trades are known.
    const bool filter = figuresKnown() && minTrades_ > 0;
    for (size_t i = 0; i < sweep_->passes.size(); ++i)
        if (!filter || check_->figures.passes[i].trades >= minTrades_) rows_.push_back(i);
    if (sortColumn_ < 0) return;
    // Passes of equal value keep their pass order either way; values not known go last.
    std::stable_sort(rows_.begin(), rows_.end(), [&](size_t a, size_t b) {
        const double x = key(a, sortColumn_), y = key(b, sortColumn_);
        if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
        return order_ == Qt::AscendingOrder ? x < y : x > y;
    });
}

void PassesModel::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    sortColumn_ = column;
    order_ = order;
    arrange();
    endResetModel();
}

int PassesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PassesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

double PassesModel::key(size_t pass, int column) const {
    const PassRow& r = sweep_->passes[pass];
    switch (column) {
        case kNumber:
            return static_cast<double>(pass + 1);
        case kHour:
            return r.entryHour;
        case kTarget:
            return r.target;
        case kStop:
            return r.stop;
        case kResult:
            return r.total;
        default:
            break;
    }
    if (!figuresKnown()) return NAN;
    const PassFigures& f = check_->figures.passes[pass];
    switch (column) {
        case kTrades:
            return static_cast<double>(f.trades);
        case kWins:
            return static_cast<double>(f.wins);
        case kLosses:
            return static_cast<double>(f.losses);
        case kGrossProfit:
            return f.grossProfit;
        case kGrossLoss:
            return f.grossLoss;
        case kProfitFactor:
            return f.profitFactor;
        case kDrawdown:
            return f.maxDrawdown;
        case kRecovery:
            return f.recoveryFactor;
        default:
            return f.sharpeMonthly;
    }
}

QString PassesModel::text(size_t pass, int column) const {
    const double v = key(pass, column);
    if (std::isnan(v)) return {};
    switch (column) {
        case kNumber:
        case kTrades:
        case kWins:
        case kLosses:
            return QString::number(static_cast<qlonglong>(v));
        case kHour:
        case kTarget:
        case kStop:
            return Short(v);
        case kResult:
        case kGrossProfit:
        case kGrossLoss:
        case kDrawdown:
            return Figure(v, money_);
        default:
            return Figure(v, 2);
    }
}

QVariant PassesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return {};
    const size_t pass = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) return text(pass, index.column());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PassesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return QString::fromUtf8(kHeaders[section]);
}

PassesPane::PassesPane(std::function<QString(const PassRow&)> runSetting, QWidget* parent)
    : QWidget(parent), runSetting_(std::move(runSetting)) {
    setObjectName(QStringLiteral("PassesPane"));
    QVBoxLayout* body = NoteAndBody(this, "PassesNote", note_, body_);
    auto* top = new QHBoxLayout;
    body->addLayout(top);
    auto* caption = new QLabel(QStringLiteral("Не меньше сделок:"), body_);
    top->addWidget(caption);
    minTrades_ = new QSpinBox(body_);
    minTrades_->setObjectName(QStringLiteral("MinTrades"));
    minTrades_->setRange(0, 1000000000);
    minTrades_->setMinimumWidth(100);
    caption->setBuddy(minTrades_);
    top->addWidget(minTrades_);
    top->addSpacing(16);
    status_ = new QLabel(body_);
    status_->setObjectName(QStringLiteral("PassesStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(status_, 1);
    model_ = new PassesModel(this);
    table_ = MakeTableView("PassesTable", model_, body_);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    body->addWidget(table_, 1);

    connect(minTrades_, &QSpinBox::valueChanged, this, [this](int trades) { model_->setMinTrades(trades); });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid() || !sweep_) return;
        const PassRow setting = sweep_->passes.at(model_->passAt(index.row()));
        // Running the setting may refresh or close the window: keep only what outlives it.
        QPointer<QLabel> label = status_;
        const auto run = runSetting_;
        const QString said = run(setting);
        if (label) label->setText(said);
    });
    setEvaluation(nullptr, false);
}

void PassesPane::setEvaluation(const std::shared_ptr<const Evaluation>& e, bool checking) {
    if (!e || !e->sweep) {
        sweep_.reset();
        check_.reset();
        model_->setPasses(nullptr, nullptr);
        note_->setText(
            QStringLiteral("Таблицы проходов нет: она строится по перебору настроек. Выполните простое "
                           "тестирование с шагом больше 0 или с несколькими часами входа."));
        note_->show();
        body_->hide();
        return;
    }
    body_->show();
    note_->hide();
    if (e->sweep != sweep_ || e->check != check_) {
        sweep_ = e->sweep;
        check_ = e->check;
        model_->setPasses(sweep_, check_);
    }
    minTrades_->setEnabled(model_->figuresKnown());
    const QString hint = QStringLiteral(
        "Щелчок по заголовку сортирует, Ctrl+C копирует выбранные строки, двойной щелчок запускает "
        "настройку одиночным тестом.");
    if (checking)
        status_->setText(
            QStringLiteral("Считаются цифры каждого прохода (проходы повторяются по записи "
                           "перебора)…"));
    else if (check_ && !check_->ok)
        status_->setText(QString::fromStdString(check_->error) +
                         QStringLiteral(" Показаны только результаты."));
    else
        status_->setText(QStringLiteral("Проходов: %1. ").arg(sweep_->passes.size()) + hint);
}

}  // namespace kavro
