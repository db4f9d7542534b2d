// "Walk-forward": what each window of the latest thorough test chose and earned going forward.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

const QColor kLossText(170, 30, 25);
const QColor kNothingFound(130, 130, 130);

}  // namespace

WalkForwardPane::WalkForwardPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WalkForwardPane"));
    QVBoxLayout* body = NoteAndBody(this, "WalkForwardNote", note_, body_);
    summary_ = new QLabel(body_);
    summary_->setObjectName(QStringLiteral("WalkForwardSummary"));
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->addWidget(summary_);
    table_ = MakeTable(
        "WindowsTable",
        {QStringLiteral("№"), QStringLiteral("Оптимизация"), QStringLiteral("Форвард"), QStringLiteral("Час"),
         QStringLiteral("TP"), QStringLiteral("SL"), QStringLiteral("Итог оптимизации"),
         QStringLiteral("Результат форварда"), QStringLiteral("Эффективность"), QStringLiteral("Накоплено")},
        body_);
    // Dates and settings as wide as they need; the figures share what is left.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int c = 6; c < 10; ++c) table_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
    body->addWidget(table_, 1);
    auto* pictures = new QHBoxLayout;
    body->addLayout(pictures, 1);
    forward_ = new PictureView("ForwardEquityView", body_);
    stability_ = new PictureView("StabilityView", body_);
    pictures->addWidget(forward_, 1);
    pictures->addWidget(stability_, 1);
    setEvaluation(nullptr);
}

void WalkForwardPane::setEvaluation(const std::shared_ptr<const Evaluation>& e) {
    e_ = e;
    if (!e || !e->walkForward) {
        run_.reset();
        table_->setRowCount(0);
        forward_->setPaint({});
        stability_->setPaint({});
        note_->setText(QStringLiteral(
            "Панели walk-forward нет: она строится по качественному тестированию. Выполните его, и здесь "
            "появится строка на каждое окно."));
        note_->show();
        body_->hide();
        return;
    }
    if (e->walkForward == run_) return;
    run_ = e->walkForward;
    body_->show();

    showSummary(e->windows);
    fillWindows(e->windows);
    forward_->setPaint([e](QPainter& p, const QRectF& r) { PaintForwardEquity(p, r, e->windows); });
    stability_->setPaint([e](QPainter& p, const QRectF& r) { PaintParameterStability(p, r, e->windows); });
}

// Why a window may be missing or zero, then the totals over the windows.
void WalkForwardPane::showSummary(const WalkForwardView& v) {
    const bool realWork =
        !run_->windows.empty() && std::none_of(run_->windows.begin(), run_->windows.end(),
                                               [](const WindowRecord& w) { return w.forwardTested; });
    QStringList notes;
    if (run_->end != RunEnd::Done) notes << QStringLiteral("Тест не закончен: показаны завершённые окна.");
    if (realWork) notes << QStringLiteral("Реальная работа: форвард не проверялся, его результаты равны 0.");
    if (v.windows == 0) notes << QStringLiteral("Тест не дошёл ни до одного окна.");
    note_->setText(notes.join(QLatin1Char(' ')));
    note_->setVisible(!notes.isEmpty());

    QString summary =
        QStringLiteral(
            "Окон: <b>%1</b> · прибыльных форвардов: <b>%2 из %1 (%3 %)</b> · общая эффективность: "
            "<b>%4</b> · итог форварда: <b>%5</b>")
            .arg(v.windows)
            .arg(v.profitableWindows)
            .arg(Figure(v.profitableShare, 1), Figure(v.overallEfficiency, 2), Short(v.totalForward));
    if (v.searchedNothing > 0)
        summary +=
            QStringLiteral(" · окон, где поиск ничего не нашёл: <b>%1</b> (серым; в эффективность не входят)")
                .arg(v.searchedNothing);
    summary_->setText(summary);
}

// A row per window; one whose search found nothing in grey italics.
void WalkForwardPane::fillWindows(const WalkForwardView& v) {
    TableFill fill(table_);
    table_->setRowCount(static_cast<int>(v.rows.size()));
    auto day = [](const Date& d) { return d.valid() ? static_cast<double>(DaysFromDate(d)) : NAN; };
    for (int i = 0; i < static_cast<int>(v.rows.size()); ++i) {
        const WindowRow& r = v.rows[static_cast<size_t>(i)];
        const QString cells[] = {
            QString::number(r.number),
            Period(r.optStart, r.optEnd),
            Period(r.fwdStart, r.fwdEnd),
            Short(r.entryHour),
            Short(r.target),
            Short(r.stop),
            r.bestFound ? Short(r.inSampleTotal) : QStringLiteral("ничего не найдено"),
            Short(r.forwardResult),
            Figure(r.efficiency, 2),
            Short(r.cumulativeForward),
        };
        // Periods by their first day; a window whose search found nothing has no in-sample figure.
        const double keys[] = {
            static_cast<double>(r.number),
            day(r.optStart),
            day(r.fwdStart),
            r.entryHour,
            r.target,
            r.stop,
            r.bestFound ? r.inSampleTotal : NAN,
            r.forwardResult,
            r.efficiency,
            r.cumulativeForward,
        };
        for (int c = 0; c < 10; ++c) {
            auto* item = TableItem(
                cells[c], (c == 1 || c == 2 ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter, keys[c]);
            if (!r.bestFound) {
                item->setForeground(kNothingFound);
                QFont f = item->font();
                f.setItalic(true);
                item->setFont(f);
                item->setToolTip(QStringLiteral(
                    "Поиск этого окна ничего не нашёл: форвард торговал настройкой прежнего окна"));
            } else if (cells[c].startsWith(QLatin1Char('-')) && c >= 6) {
                item->setForeground(kLossText);
            }
            table_->setItem(i, c, item);
        }
    }
}

}  // namespace kavro
