// "Статистика": every figure of the trades, the result of each month and the equity.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

const QColor kLossText(170, 30, 25);
const QColor kBestMonth(200, 238, 205);
const QColor kWorstMonth(248, 205, 200);

const char* const kMonthNames[12] = {"Янв", "Фев", "Мар", "Апр", "Май", "Июн",
                                     "Июл", "Авг", "Сен", "Окт", "Ноя", "Дек"};

// Whole money when every profit is whole (the usual case), cents otherwise, so a
// column never mixes the two.
int MoneyDecimals(const std::vector<TradeRecord>& trades) {
    for (const TradeRecord& t : trades)
        if (std::isfinite(t.profit) && std::trunc(t.profit) != t.profit) return 2;
    return 0;
}

QString Percent(double v) {
    return Figure(v, 1) + QStringLiteral(" %");
}

QString MonthText(const TradeStats& s, int64_t index, int money) {
    if (index < 0 || index >= static_cast<int64_t>(s.months.size())) return QStringLiteral("—");
    const MonthResult& m = s.months[static_cast<size_t>(index)];
    return QStringLiteral("%1.%2: %3")
        .arg(m.month, 2, 10, QLatin1Char('0'))
        .arg(m.year)
        .arg(Figure(m.result, money));
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    return item;
}

}  // namespace

StatsPane::StatsPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatsPane"));
    auto* root = new QVBoxLayout(this);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("StatsNote"));
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);  // a run's failure message is shown as written
    note_->setStyleSheet(
        QStringLiteral("QLabel { background: #fff4c2; border: 1px solid #e0c860; padding: 4px; }"));
    note_->hide();
    root->addWidget(note_);

    auto* row = new QHBoxLayout;
    root->addLayout(row, 1);
    figures_ = MakeTable("StatsTable", {QStringLiteral("Показатель"), QStringLiteral("Значение")}, this);
    row->addWidget(figures_);

    auto* right = new QVBoxLayout;
    row->addLayout(right, 1);
    auto* title = new QLabel(
        QStringLiteral("<b>Результат по месяцам</b> (зелёным — лучший месяц, красным — худший)"), this);
    right->addWidget(title);
    QStringList heads{QStringLiteral("Год")};
    for (const char* m : kMonthNames) heads << QString::fromUtf8(m);
    heads << QStringLiteral("Итог");
    months_ = MakeTable("MonthTable", heads, this);
    months_->setSelectionMode(QAbstractItemView::NoSelection);
    months_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    months_->horizontalHeader()->setMinimumSectionSize(44);
    right->addWidget(months_, 2);
    equity_ = new PictureView("EquityView", this);
    right->addWidget(equity_, 3);
}

void StatsPane::setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing) {
    e_ = e;
    QStringList notes;
    if (e && e->run && e->run->end == RunEnd::Stopped)
        notes << QStringLiteral("Тест остановлен: оценка по завершённой части");
    if (e && e->run && e->run->end == RunEnd::Failed) {
        QString text = QStringLiteral("Тест прерван ошибкой: оценка по завершённой части");
        if (!e->run->failure.empty())
            text += QStringLiteral(" (%1)").arg(QString::fromStdString(e->run->failure));
        notes << text;
    }
    if (!e || !e->run)
        notes << QString::fromUtf8(kNothingToEvaluate);
    else if (journalMissing)
        notes << QString::fromUtf8(kSweepKeepsNoJournal);
    else if (e->stats.trades == 0)
        notes << QStringLiteral("Сделок нет: оценивать нечего, кроме итога в ноль");
    note_->setText(notes.join(QLatin1Char('\n')));
    note_->setVisible(!notes.isEmpty());

    static const Evaluation kNone;
    fillFigures(e ? *e : kNone);
    fillMonths(e ? e->stats : kNone.stats);
    if (e)
        equity_->setPaint(
            [e](QPainter& p, const QRectF& r) { PaintEquity(p, r, e->equity, e->stats.maxDrawdown); });
    else
        equity_->setPaint({});
}

void StatsPane::fillFigures(const Evaluation& e) {
    const TradeStats& s = e.stats;
    const int money = MoneyDecimals(e.trades);
    struct Row {
        const char* key;
        QString value;
    };
    std::vector<Row> rows = {
        {"NetResult", Figure(s.netResult, money)},
        {"GrossProfit", Figure(s.grossProfit, money)},
        {"GrossLoss", Figure(s.grossLoss, money)},
        {"ProfitFactor", Figure(s.profitFactor, 2)},
        {"Trades", QString::number(s.trades)},
        {"BuySellTrades", QStringLiteral("%1 / %2").arg(s.buyTrades).arg(s.sellTrades)},
        {"WinsLosses", QStringLiteral("%1 / %2").arg(s.wins).arg(s.losses)},
        {"WinRate", Percent(s.winRate)},
        {"BuySellWinRate", Percent(s.buyWinRate) + QStringLiteral(" / ") + Percent(s.sellWinRate)},
        {"AverageWin", Figure(s.averageWin, 2)},
        {"AverageLoss", Figure(s.averageLoss, 2)},
        {"AverageTrade", Figure(s.averageTrade, 2)},
        {"LargestWin", Figure(s.largestWin, money)},
        {"LargestLoss", Figure(s.largestLoss, money)},
        {"MaxConsecutiveWins", QString::number(s.maxConsecutiveWins)},
        {"MaxConsecutiveLosses", QString::number(s.maxConsecutiveLosses)},
        {"MaxDrawdown", Figure(s.maxDrawdown.money, money)},
        {"MaxDrawdownPeriod",
         s.maxDrawdown.money > 0 ? Period(s.maxDrawdown.start, s.maxDrawdown.end) : QStringLiteral("—")},
        {"RecoveryFactor", Figure(s.recoveryFactor, 2)},
        {"SharpeMonthly", Figure(s.sharpeMonthly, 2)},
        {"SQN", Figure(s.sqn, 2)},
        {"AverageTradeDays", s.timedTrades > 0 ? Figure(s.averageTradeDays, 1) : QStringLiteral("—")},
        {"BestMonth", MonthText(s, s.bestMonth, money)},
        {"WorstMonth", MonthText(s, s.worstMonth, money)},
    };
    if (s.undatedTrades > 0) rows.push_back({"UndatedTrades", QString::number(s.undatedTrades)});
    if (s.skippedTrades > 0) rows.push_back({"SkippedTrades", QString::number(s.skippedTrades)});

    figures_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const Row& r = rows[static_cast<size_t>(i)];
        auto* name = Cell(FigureCaption(QString::fromLatin1(r.key)), Qt::AlignLeft | Qt::AlignVCenter);
        name->setData(Qt::UserRole, QString::fromLatin1(r.key));
        figures_->setItem(i, 0, name);
        auto* value = Cell(r.value);
        if (r.value.startsWith(QLatin1Char('-'))) value->setForeground(kLossText);
        figures_->setItem(i, 1, value);
    }
    // As wide as its longest name and value, so no figure is ever cut short; the
    // values take the room kept for a scroll bar when there is none.
    figures_->horizontalHeader()->setStretchLastSection(false);
    figures_->resizeColumnsToContents();
    const int width = figures_->columnWidth(0) + figures_->columnWidth(1) + 2 * figures_->frameWidth() +
                      figures_->verticalScrollBar()->sizeHint().width();
    figures_->setFixedWidth(std::max(width, 360));
    figures_->horizontalHeader()->setStretchLastSection(true);
}

void StatsPane::fillMonths(const TradeStats& s) {
    months_->clearContents();
    if (s.months.empty()) {
        months_->setRowCount(0);
        return;
    }
    const int money = e_ ? MoneyDecimals(e_->trades) : 0;
    const int firstYear = s.months.front().year;
    const int years = s.months.back().year - firstYear + 1;
    months_->setRowCount(years);
    std::map<int, double> totals;
    for (int y = 0; y < years; ++y) {
        auto* year = Cell(QString::number(firstYear + y), Qt::AlignCenter);
        QFont bold = year->font();
        bold.setBold(true);
        year->setFont(bold);
        months_->setItem(y, 0, year);
    }
    for (size_t i = 0; i < s.months.size(); ++i) {
        const MonthResult& m = s.months[i];
        totals[m.year] += m.result;
        auto* item = Cell(Figure(m.result, money));
        if (m.trades == 0)
            item->setForeground(QColor(150, 150, 150));
        else if (m.result < 0)
            item->setForeground(kLossText);
        item->setToolTip(QStringLiteral("%1.%2: сделок %3")
                             .arg(m.month, 2, 10, QLatin1Char('0'))
                             .arg(m.year)
                             .arg(m.trades));
        const auto index = static_cast<int64_t>(i);
        if (index == s.bestMonth || index == s.worstMonth) {
            item->setBackground(index == s.bestMonth ? kBestMonth : kWorstMonth);
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
            item->setToolTip(item->toolTip() + (index == s.bestMonth ? QStringLiteral(", лучший месяц")
                                                                     : QStringLiteral(", худший месяц")));
        }
        months_->setItem(m.year - firstYear, m.month, item);
    }
    for (const auto& [year, total] : totals) {
        auto* item = Cell(Figure(total, money));
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
        if (total < 0) item->setForeground(kLossText);
        months_->setItem(year - firstYear, 13, item);
    }
}

QString StatsPane::figure(const QString& key) const {
    for (int i = 0; i < figures_->rowCount(); ++i)
        if (figures_->item(i, 0)->data(Qt::UserRole).toString() == key) return figures_->item(i, 1)->text();
    return {};
}

}  // namespace kavro
