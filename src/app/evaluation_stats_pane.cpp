// "Статистика": every figure of the trades, the result of each month and the equity.
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

const QColor kLossText(170, 30, 25);
const QColor kBestMonth(200, 238, 205);
const QColor kWorstMonth(248, 205, 200);

const char* const kMonthNames[12] = {"Янв", "Фев", "Мар", "Апр", "Май", "Июн",
                                     "Июл", "Авг", "Сен", "Окт", "Ноя", "Дек"};

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

QFont Bold(QFont f) {
    f.setBold(true);
    return f;
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
    months_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    months_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    right->addWidget(months_, 2);

    auto* axisRow = new QHBoxLayout;
    right->addLayout(axisRow);
    axisRow->addWidget(new QLabel(QStringLiteral("Эквити по оси X:"), this));
    axis_ = new QComboBox(this);
    axis_->setObjectName(QStringLiteral("EquityAxis"));
    axis_->addItem(QStringLiteral("даты закрытия"));
    axis_->addItem(QStringLiteral("номера сделок"));
    axisRow->addWidget(axis_);
    auto* hint =
        new QLabel(QStringLiteral("щелчок по кривой выбирает сделку во вкладках «Сделки» и «Цена»"), this);
    hint->setStyleSheet(QStringLiteral("color: #666"));
    axisRow->addWidget(hint, 1);
    equity_ = new PictureView("EquityView", this);
    equity_->setCursor(Qt::PointingHandCursor);
    right->addWidget(equity_, 3);
    connect(axis_, &QComboBox::currentIndexChanged, this, [this] { showEquity(); });
    equity_->onPress = [this](QPointF at) {
        if (!e_ || !onTradeChosen) return;
        const EquityLayout l = LayoutEquity(QRectF(equity_->rect()), e_->equity, shownHours());
        // Points are counted over the trades with a numeric profit: map back to the trade's own number.
        if (const auto point = EquityTradeAt(l, e_->equity.size(), at)) onTradeChosen(tradeOfPoint(*point));
    };
}

std::span<const double> StatsPane::shownHours() const {
    if (!e_ || axis_->currentIndex() != 0) return {};
    return equityHours_;
}

bool StatsPane::equityByDate() const {
    return !shownHours().empty();
}

size_t StatsPane::tradeOfPoint(size_t point) const {
    size_t seen = 0;
    for (size_t i = 0; e_ && i < e_->trades.size(); ++i)
        if (std::isfinite(e_->trades[i].profit) && ++seen == point) return i + 1;
    return point;
}

void StatsPane::showEquity() {
    if (!e_) {
        equity_->setPaint({});
        return;
    }
    auto hours = std::make_shared<std::vector<double>>(shownHours().begin(), shownHours().end());
    equity_->setPaint([e = e_, hours](QPainter& p, const QRectF& r) {
        PaintEquity(p, r, e->equity, e->stats.maxDrawdown, *hours);
    });
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
    equityHours_ = e ? EquityHours(e->trades) : std::vector<double>{};
    // Without dated trades there is no date axis to choose.
    axis_->setEnabled(!equityHours_.empty());
    showEquity();
}

void StatsPane::fillFigures(const Evaluation& e) {
    const TradeStats& s = e.stats;
    const int money = MoneyDecimals(e.trades);
    struct Row {
        const char* key;
        QString value;
        double sort = NAN;  // what the value column sorts by; NaN: its text
    };
    auto month = [&](int64_t i) {
        return i >= 0 && i < static_cast<int64_t>(s.months.size()) ? s.months[static_cast<size_t>(i)].result
                                                                   : NAN;
    };
    const double n = static_cast<double>(s.trades);
    std::vector<Row> rows = {
        {"NetResult", Figure(s.netResult, money), s.netResult},
        {"GrossProfit", Figure(s.grossProfit, money), s.grossProfit},
        {"GrossLoss", Figure(s.grossLoss, money), s.grossLoss},
        {"ProfitFactor", Figure(s.profitFactor, 2), s.profitFactor},
        {"Trades", QString::number(s.trades), n},
        {"BuySellTrades", QStringLiteral("%1 / %2").arg(s.buyTrades).arg(s.sellTrades), n},
        {"WinsLosses", QStringLiteral("%1 / %2").arg(s.wins).arg(s.losses), static_cast<double>(s.wins)},
        {"WinRate", Percent(s.winRate), s.winRate},
        {"BuySellWinRate", Percent(s.buyWinRate) + QStringLiteral(" / ") + Percent(s.sellWinRate), s.winRate},
        {"AverageWin", Figure(s.averageWin, 2), s.averageWin},
        {"AverageLoss", Figure(s.averageLoss, 2), s.averageLoss},
        {"AverageTrade", Figure(s.averageTrade, 2), s.averageTrade},
        {"LargestWin", Figure(s.largestWin, money), s.largestWin},
        {"LargestLoss", Figure(s.largestLoss, money), s.largestLoss},
        {"MaxConsecutiveWins", QString::number(s.maxConsecutiveWins),
         static_cast<double>(s.maxConsecutiveWins)},
        {"MaxConsecutiveLosses", QString::number(s.maxConsecutiveLosses),
         static_cast<double>(s.maxConsecutiveLosses)},
        {"MaxDrawdown", Figure(s.maxDrawdown.money, money), s.maxDrawdown.money},
        {"MaxDrawdownPeriod",
         s.maxDrawdown.money > 0 ? Period(s.maxDrawdown.start, s.maxDrawdown.end) : QStringLiteral("—")},
        {"RecoveryFactor", Figure(s.recoveryFactor, 2), s.recoveryFactor},
        {"SharpeMonthly", Figure(s.sharpeMonthly, 2), s.sharpeMonthly},
        {"SQN", Figure(s.sqn, 2), s.sqn},
        {"AverageTradeDays", s.timedTrades > 0 ? Figure(s.averageTradeDays, 1) : QStringLiteral("—"),
         s.timedTrades > 0 ? s.averageTradeDays : NAN},
        {"BestMonth", MonthText(s, s.bestMonth, money), month(s.bestMonth)},
        {"WorstMonth", MonthText(s, s.worstMonth, money), month(s.worstMonth)},
    };
    if (s.undatedTrades > 0)
        rows.push_back(
            {"UndatedTrades", QString::number(s.undatedTrades), static_cast<double>(s.undatedTrades)});
    if (s.skippedTrades > 0)
        rows.push_back(
            {"SkippedTrades", QString::number(s.skippedTrades), static_cast<double>(s.skippedTrades)});

    TableFill fill(figures_);
    figures_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const Row& r = rows[static_cast<size_t>(i)];
        // The rows keep the order they are written in until a header is clicked.
        auto* name = TableItem(FigureCaption(QString::fromLatin1(r.key)), Qt::AlignLeft | Qt::AlignVCenter);
        name->setData(Qt::UserRole, QString::fromLatin1(r.key));
        figures_->setItem(i, 0, name);
        auto* value = TableItem(r.value, Qt::AlignRight | Qt::AlignVCenter, r.sort);
        if (r.value.startsWith(QLatin1Char('-'))) value->setForeground(kLossText);
        figures_->setItem(i, 1, value);
    }
    // As wide as its longest name and value, so no figure is ever cut short; the
    // values take the room kept for a scroll bar when there is none.
    figures_->horizontalHeader()->setStretchLastSection(false);
    FitColumns(figures_);
    const int width = figures_->columnWidth(0) + figures_->columnWidth(1) + 2 * figures_->frameWidth() +
                      figures_->verticalScrollBar()->sizeHint().width();
    figures_->setFixedWidth(std::max(width, 360));
    figures_->horizontalHeader()->setStretchLastSection(true);
}

void StatsPane::fillMonths(const TradeStats& s) {
    TableFill fill(months_);
    months_->clearContents();
    if (s.months.empty()) {
        months_->setRowCount(0);
        fitMonthColumns();
        return;
    }
    const int money = e_ ? MoneyDecimals(e_->trades) : 0;
    const int firstYear = s.months.front().year;
    const int years = s.months.back().year - firstYear + 1;
    months_->setRowCount(years);
    std::map<int, double> totals;
    for (int y = 0; y < years; ++y) {
        auto* year = TableItem(QString::number(firstYear + y), Qt::AlignCenter, firstYear + y);
        year->setFont(Bold(year->font()));
        months_->setItem(y, 0, year);
        // A month before the first or after the last trade is no result: it sorts below every number.
        for (int c = 1; c <= 13; ++c)
            months_->setItem(y, c, TableItem(QString(), Qt::AlignRight | Qt::AlignVCenter));
    }
    for (size_t i = 0; i < s.months.size(); ++i) {
        const MonthResult& m = s.months[i];
        totals[m.year] += m.result;
        auto* item = NumberItem(Figure(m.result, money), m.result);
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
            item->setFont(Bold(item->font()));
            item->setToolTip(item->toolTip() + (index == s.bestMonth ? QStringLiteral(", лучший месяц")
                                                                     : QStringLiteral(", худший месяц")));
        }
        months_->setItem(m.year - firstYear, m.month, item);
    }
    for (const auto& [year, total] : totals) {
        auto* item = NumberItem(Figure(total, money), total);
        item->setFont(Bold(item->font()));
        if (total < 0) item->setForeground(kLossText);
        months_->setItem(year - firstYear, 13, item);
    }
    fitMonthColumns();
}

// Every column as wide as its widest text in bold, and the table never narrower
// than all of them: no month is cut short and the year's total never scrolls away.
void StatsPane::fitMonthColumns() {
    const QFontMetrics bold(Bold(months_->font()));
    int widest = 0;
    for (int r = 0; r < months_->rowCount(); ++r)
        for (int c = 0; c < months_->columnCount(); ++c)
            if (const QTableWidgetItem* item = months_->item(r, c))
                widest = std::max(widest, bold.horizontalAdvance(item->text()) + 12);
    for (int c = 0; c < months_->columnCount(); ++c)
        if (const QTableWidgetItem* h = months_->horizontalHeaderItem(c))
            widest = std::max(widest, bold.horizontalAdvance(h->text()) + 16);
    months_->horizontalHeader()->setMinimumSectionSize(widest);
    months_->setMinimumWidth(widest * months_->columnCount() + 2 * months_->frameWidth() +
                             months_->verticalScrollBar()->sizeHint().width());
}

QString StatsPane::figure(const QString& key) const {
    for (int i = 0; i < figures_->rowCount(); ++i)
        if (figures_->item(i, 0)->data(Qt::UserRole).toString() == key) return figures_->item(i, 1)->text();
    return {};
}

}  // namespace kavro
