// "Сделки": every trade of the run, to sort, copy and find on the price chart.
#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/evaluation_panes.h"
#include "evaluation/trade_stats.h"

namespace kavro {

namespace {

const QColor kLossText(170, 30, 25);
const QColor kGainText(20, 110, 45);

// dd.mm.yyyy hh:00, or the date alone when the hour is not known.
QString TimeCell(const Date& d, int hour) {
    if (!d.valid()) return QStringLiteral("—");
    QString text = Day(d);
    if (hour >= 0) text += QStringLiteral(" %1:00").arg(hour, 2, 10, QLatin1Char('0'));
    return text;
}

QString Points(float v) {
    return std::isfinite(v) ? Short(v) : QStringLiteral("—");
}

}  // namespace

TradesPane::TradesPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TradesPane"));
    QVBoxLayout* body = NoteAndBody(this, "TradesNote", note_, body_);
    auto* top = new QHBoxLayout;
    body->addLayout(top);
    auto* hint = new QLabel(
        QStringLiteral("Щелчок по заголовку сортирует, Ctrl+C копирует выбранные строки. MAE и MFE — "
                       "наибольший ход цены против сделки и в её пользу, в пунктах, от бара входа до бара "
                       "выхода."),
        body_);
    hint->setWordWrap(true);
    top->addWidget(hint, 1);
    show_ = new QPushButton(QStringLiteral("Показать на графике"), body_);
    show_->setObjectName(QStringLiteral("ShowOnChart"));
    show_->setEnabled(false);
    top->addWidget(show_);

    table_ = MakeTable("TradesTable",
                       {QStringLiteral("№"), QStringLiteral("Сторона"), QStringLiteral("Вход"),
                        QStringLiteral("Цена входа"), QStringLiteral("Выход"), QStringLiteral("Цена выхода"),
                        QStringLiteral("Результат"), QStringLiteral("Эквити"), QStringLiteral("Часов"),
                        QStringLiteral("MAE, пунктов"), QStringLiteral("MFE, пунктов")},
                       body_);
    body->addWidget(table_, 1);
    auto* chart = new QAction(QStringLiteral("Показать на графике"), table_);
    chart->setObjectName(QStringLiteral("ShowOnChartAction"));
    table_->addAction(chart);

    connect(show_, &QPushButton::clicked, this, [this] { showChosen(); });
    connect(chart, &QAction::triggered, this, [this] { showChosen(); });
    connect(table_, &QTableWidget::itemDoubleClicked, this, [this] { showChosen(); });
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto chosen = selectedTrades();
        show_->setEnabled(chosen.size() == 1);
        if (!selecting_ && chosen.size() == 1 && onSelect) onSelect(chosen.front());
    });
    setEvaluation(nullptr);
}

void TradesPane::setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing) {
    // The same run evaluated again has the same trades: the rows, their order and the selection stay.
    if (e && e_ && e->run == e_->run) {
        e_ = e;
        return;
    }
    e_ = e;
    if (!e || !e->run || journalMissing || e->trades.empty()) {
        table_->setRowCount(0);
        note_->setText(
            !e || !e->run ? QString::fromUtf8(kNothingToEvaluate)
            : journalMissing
                ? QStringLiteral("Перебор настроек не ведёт журнал сделок. Дважды щёлкните клетку на "
                                 "вкладке «Тепловая карта»: её настройка пройдёт одиночным тестом, и "
                                 "здесь появятся её сделки.")
                : QStringLiteral("Сделок нет: эта настройка на этом интервале не открыла ни одной."));
        note_->show();
        body_->hide();
        filled_ = true;
        return;
    }
    const bool measured = std::any_of(e->trades.begin(), e->trades.end(),
                                      [](const TradeRecord& t) { return std::isfinite(t.maePoints); });
    note_->setText(
        QStringLiteral("Котировки сменились до конца запуска: часы, длительность, MAE и MFE "
                       "неизвестны."));
    note_->setVisible(!measured);
    body_->show();
    filled_ = false;
    if (isVisible()) fill();
}

void TradesPane::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!filled_) fill();
}

void TradesPane::fill() {
    filled_ = true;
    if (!e_) return;
    const std::vector<TradeRecord>& trades = e_->trades;
    const int money = MoneyDecimals(trades);
    // Every price with as many decimals as the most precise one needs: 1.3960 beside 1.3905, not 1.396.
    int decimals = 0;
    for (const TradeRecord& t : trades)
        for (const auto& price : {t.entryPrice, t.exitPrice})
            if (price) {
                const QString text = PriceText(*price);
                const qsizetype dot = text.indexOf(QLatin1Char('.'));
                if (dot >= 0) decimals = std::max(decimals, static_cast<int>(text.size() - dot - 1));
            }
    decimals = std::min(decimals, 6);
    auto price = [&](float v) {
        return NumberItem(QString::number(static_cast<double>(v), 'f', decimals), v);
    };
    selecting_ = true;
    TableFill fill(table_);
    table_->clearSelection();
    table_->setRowCount(static_cast<int>(trades.size()));
    double equity = 0;
    for (size_t i = 0; i < trades.size(); ++i) {
        const TradeRecord& t = trades[i];
        const int row = static_cast<int>(i);
        auto* number = NumberItem(QString::number(i + 1), static_cast<double>(i + 1));
        number->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(i + 1));
        table_->setItem(row, 0, number);
        table_->setItem(row, 1, TableItem(QString::fromLatin1(SideText(t.side))));
        table_->setItem(row, 2,
                        TableItem(TimeCell(t.entryDate, t.entryHour), Qt::AlignLeft | Qt::AlignVCenter,
                                  TradeHour(t.entryDate, t.entryHour)));
        table_->setItem(row, 3, t.entryPrice ? price(*t.entryPrice) : TableItem({}));
        // A trade closed at a walk-forward window's end has no exit of its own.
        table_->setItem(row, 4,
                        t.exitDate.valid()
                            ? TableItem(TimeCell(t.exitDate, t.exitHour), Qt::AlignLeft | Qt::AlignVCenter,
                                        TradeHour(t.exitDate, t.exitHour))
                            : TableItem(QStringLiteral("конец окна")));
        table_->setItem(row, 5, t.exitPrice ? price(*t.exitPrice) : TableItem({}));
        const bool counted = std::isfinite(t.profit);
        if (counted) equity += t.profit;
        auto* profit = NumberItem(Figure(t.profit, money), t.profit);
        profit->setForeground(t.profit < 0 ? kLossText : t.profit > 0 ? kGainText : QColor(90, 90, 90));
        table_->setItem(row, 6, profit);
        table_->setItem(row, 7, counted ? NumberItem(Figure(equity, money), equity) : TableItem({}));
        const auto hours = t.durationHours();
        table_->setItem(
            row, 8, hours ? NumberItem(QString::number(*hours), static_cast<double>(*hours)) : TableItem({}));
        table_->setItem(row, 9, NumberItem(Points(t.maePoints), t.maePoints));
        table_->setItem(row, 10, NumberItem(Points(t.mfePoints), t.mfePoints));
    }
    FitColumns(table_);
    selecting_ = false;
}

std::vector<size_t> TradesPane::selectedTrades() const {
    std::vector<size_t> out;
    for (int row = 0; row < table_->rowCount(); ++row)
        if (table_->item(row, 0) && table_->item(row, 0)->isSelected())
            out.push_back(table_->item(row, 0)->data(Qt::UserRole).toULongLong());
    return out;
}

void TradesPane::selectTrade(size_t number) {
    if (!filled_) fill();
    for (int row = 0; row < table_->rowCount(); ++row) {
        QTableWidgetItem* item = table_->item(row, 0);
        if (!item || item->data(Qt::UserRole).toULongLong() != number) continue;
        // Chosen elsewhere: the row follows without telling back.
        selecting_ = true;
        table_->selectionModel()->setCurrentIndex(
            table_->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        table_->scrollToItem(item);
        selecting_ = false;
        show_->setEnabled(true);
        return;
    }
}

void TradesPane::showChosen() {
    const auto chosen = selectedTrades();
    if (chosen.size() == 1 && onShowOnChart) onShowOnChart(chosen.front());
}

}  // namespace kavro
