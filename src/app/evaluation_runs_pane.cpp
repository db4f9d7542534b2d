// "Запуски": the session's runs, one chosen for evaluation, two compared.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/evaluation_panes.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"

namespace kavro {

namespace {

// TP/SL/step/hours as typed: what a trader reads to tell two runs apart.
QString SettingsText(const RunRecord& r) {
    const SettingFields& f = r.fields;
    return QStringLiteral("%1/%2/%3, %4–%5")
        .arg(QString::fromStdString(f.text2), QString::fromStdString(f.text3),
             QString::fromStdString(f.text6), QString::fromStdString(f.text4),
             QString::fromStdString(f.text5));
}

}  // namespace

RunsPane::RunsPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RunsPane"));
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    hint_ = new QLabel(
        QStringLiteral(
            "Выберите запуск, чтобы оценить его на других вкладках, или два (Ctrl+щелчок), чтобы сравнить."),
        this);
    hint_->setWordWrap(true);
    top->addWidget(hint_, 1);
    repeat_ = new QPushButton(QStringLiteral("Повторить"), this);
    repeat_->setObjectName(QStringLiteral("RepeatButton"));
    repeat_->setToolTip(QStringLiteral("Записать настройки выбранного запуска в поля главного окна"));
    repeat_->setEnabled(false);
    top->addWidget(repeat_);

    auto* split = new QSplitter(Qt::Vertical, this);
    root->addWidget(split, 1);
    table_ = MakeTable("RunsTable",
                       {QStringLiteral("№"), QStringLiteral("Время"), QStringLiteral("Вид"),
                        QStringLiteral("Пара"), QStringLiteral("Интервал"), QStringLiteral("TP/SL/шаг, часы"),
                        QStringLiteral("Итог"), QStringLiteral("Сделок"), QStringLiteral("Макс. просадка")},
                       split);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    split->addWidget(table_);

    comparePanel_ = new QWidget(split);
    auto* row = new QHBoxLayout(comparePanel_);
    row->setContentsMargins(0, 0, 0, 0);
    compare_ = MakeTable("ComparisonTable",
                         {QStringLiteral("Показатель"), QString(), QString(), QStringLiteral("Разница")},
                         comparePanel_);
    row->addWidget(compare_, 2);
    compareNote_ = new QLabel(comparePanel_);
    compareNote_->setObjectName(QStringLiteral("ComparisonNote"));
    compareNote_->setWordWrap(true);
    compareNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    compareNote_->hide();
    row->addWidget(compareNote_, 1);
    compareEquity_ = new PictureView("ComparisonEquity", comparePanel_);
    row->addWidget(compareEquity_, 3);
    split->addWidget(comparePanel_);
    comparePanel_->hide();

    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(repeat_, &QPushButton::clicked, this, [this] {
        const auto runs = selectedRuns();
        if (runs.size() == 1 && onRepeat) onRepeat(runs.front());
    });
}

void RunsPane::setRuns(const RunHistory& history, int64_t shown) {
    history_ = &history;
    filling_ = true;
    const auto& entries = history.entries();
    {
        TableFill fill(table_);
        table_->clearSelection();
        table_->setRowCount(static_cast<int>(entries.size()));
        // Newest first: the run a trader just made is the one they look for.
        for (size_t k = 0; k < entries.size(); ++k) {
            const RunEntry& e = entries[entries.size() - 1 - k];
            const RunRecord& r = *e.record;
            const int row = static_cast<int>(k);
            auto* number = NumberItem(QString::number(r.number), static_cast<double>(r.number));
            number->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(r.number));
            table_->setItem(row, 0, number);
            table_->setItem(row, 1, TableItem(QString::fromStdString(r.startTime)));
            QString kind = RunKindText(r.kind);
            if (r.end == RunEnd::Running) kind += QStringLiteral(" (идёт)");
            if (r.end == RunEnd::Stopped) kind += QStringLiteral(" (остановлен)");
            if (r.end == RunEnd::Failed) kind += QStringLiteral(" (ошибка)");
            table_->setItem(row, 2, TableItem(kind));
            table_->setItem(row, 3, TableItem(QString::fromLatin1(PairName(r.settings.pair))));
            // The interval sorts by its first date.
            table_->setItem(row, 4,
                            TableItem(DayOfText(r.firstDate) + QStringLiteral(" – ") + DayOfText(r.lastDate),
                                      Qt::AlignLeft | Qt::AlignVCenter, r.firstBar));
            table_->setItem(row, 5, TableItem(SettingsText(r)));
            const bool done = r.finished();
            const bool traded = done && !r.isSweep();
            table_->setItem(row, 6,
                            done ? NumberItem(Figure(e.summary.net, 0), e.summary.net) : TableItem({}));
            table_->setItem(
                row, 7,
                traded ? NumberItem(QString::number(e.summary.trades), static_cast<double>(e.summary.trades))
                       : TableItem({}));
            table_->setItem(
                row, 8,
                traded ? NumberItem(Figure(e.summary.maxDrawdown, 0), e.summary.maxDrawdown) : TableItem({}));
        }
    }
    // Selected after the sort the user chose is back, so the row is the run's wherever it went.
    for (int row = 0; row < table_->rowCount(); ++row)
        if (table_->item(row, 0)->data(Qt::UserRole).toLongLong() == shown) table_->selectRow(row);
    FitColumns(table_);
    filling_ = false;
    selectionChanged();
}

std::vector<int64_t> RunsPane::selectedRuns() const {
    std::vector<int64_t> runs;
    for (int row = 0; row < table_->rowCount(); ++row)
        if (table_->item(row, 0) && table_->item(row, 0)->isSelected())
            runs.push_back(table_->item(row, 0)->data(Qt::UserRole).toLongLong());
    return runs;
}

void RunsPane::selectionChanged() {
    const auto runs = selectedRuns();
    repeat_->setEnabled(runs.size() == 1);
    const bool compare = runs.size() == 2 && history_;
    comparePanel_->setVisible(compare);
    if (compare) {
        // The older first, whatever order the user sorted the rows in.
        const auto [older, newer] = std::minmax(runs[0], runs[1]);
        const RunEntry *a = history_->entry(older), *b = history_->entry(newer);
        if (a && b) showComparison(*a, *b);
    }
    if (!filling_ && runs.size() == 1 && onChoose) onChoose(runs.front());
}

void RunsPane::showComparison(const RunEntry& ea, const RunEntry& eb) {
    const RunRecord &a = *ea.record, &b = *eb.record;
    // Figures of trades no longer held would read as zeros: the runs are not compared.
    QString missing;
    for (const RunEntry* e : {&ea, &eb}) {
        if (e->record->isSweep())
            missing +=
                QStringLiteral(" Запуск %1 — перебор: он не ведёт журнал сделок.").arg(e->record->number);
        else if (e->rowsDropped)
            missing += QStringLiteral(" Сделки запуска %1 уже не хранятся: их место отдано новым запускам.")
                           .arg(e->record->number);
    }
    compareNote_->setText(QStringLiteral("Запуски не сравнить по сделкам.") + missing);
    compareNote_->setVisible(!missing.isEmpty());
    compare_->setVisible(missing.isEmpty());
    compareEquity_->setVisible(missing.isEmpty());
    if (!missing.isEmpty()) return;

    const std::vector<TradeRecord> ta = TradesFromRows(a.trades), tb = TradesFromRows(b.trades);
    const TradeStats sa = ComputeTradeStats(ta);
    const TradeStats sb = ComputeTradeStats(tb);
    const QString na = QStringLiteral("Запуск %1").arg(a.number),
                  nb = QStringLiteral("Запуск %1").arg(b.number);
    compare_->setHorizontalHeaderLabels({QStringLiteral("Показатель"), na, nb, QStringLiteral("Разница")});
    const auto fa = StatFigures(sa), fb = StatFigures(sb);
    TableFill fill(compare_);
    compare_->setRowCount(static_cast<int>(fa.size()));
    for (size_t i = 0; i < fa.size(); ++i) {
        const int row = static_cast<int>(i);
        // Counts and whole money whole; ratios and cents with two decimals.
        const bool whole =
            fa[i].count || (std::trunc(fa[i].value) == fa[i].value && std::trunc(fb[i].value) == fb[i].value);
        const int decimals = whole ? 0 : 2;
        const double difference = fb[i].value - fa[i].value;
        compare_->setItem(row, 0, TableItem(FigureCaption(QString::fromLatin1(fa[i].key))));
        compare_->setItem(row, 1, NumberItem(Figure(fa[i].value, decimals), fa[i].value));
        compare_->setItem(row, 2, NumberItem(Figure(fb[i].value, decimals), fb[i].value));
        compare_->setItem(row, 3, NumberItem(Figure(difference, decimals), difference));
    }
    FitColumns(compare_);
    auto qa = std::make_shared<std::vector<double>>(EquityCurve(ta));
    auto qb = std::make_shared<std::vector<double>>(EquityCurve(tb));
    compareEquity_->setPaint(
        [qa, qb, na, nb](QPainter& p, const QRectF& r) { PaintEquityPair(p, r, *qa, na, *qb, nb); });
}

}  // namespace kavro
