// A sweep's passes, its overfitting check, the heatmap by a figure and the Monte
// Carlo's fan and risk of ruin in the evaluation window, driven through the real
// program on the bundled sample and checked against the same figures computed
// without the window.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "app/evaluation_panes.h"
#include "app/evaluation_window.h"
#include "evaluation/number_text.h"
#include "main_test_support.h"

using namespace kavro;
using namespace kavro::test;

namespace {

// The default sweep run and its evaluation open, its check done.
EvaluationWindow* SweepAndOpen(Desk& desk) {
    if (!RunOnSample(desk, "Start")) return nullptr;
    desk.window->action("Ocen")->trigger();
    EvaluationWindow* w = desk.window->evaluationWindow();
    if (w && !WaitUntil([&] { return !w->checking() && !w->heatmapPane()->building(); })) return nullptr;
    return w;
}

// The sweep's figures computed apart from the window, as the batch runner does.
SweepFigures Expected(Desk& desk, const RunRecord& sweep, int blocks) {
    SweepFigures f;
    std::string error;
    FiguresRequest request;
    request.blocks = blocks;
    if (!ComputeSweepFigures(desk.session->store, sweep, request, f, error)) qWarning("%s", error.c_str());
    return f;
}

QString Cell(QTableView* t, int row, int column) {
    return t->model()->data(t->model()->index(row, column)).toString();
}

}  // namespace

class EvaluationOverfitTest : public QObject {
    Q_OBJECT
  private slots:
    void passesTableSortsFiltersCopiesAndRunsAPass();
    void overfitTabShowsTheCheckAndFollowsTheBlocks();
    void heatmapColoursByAChosenFigure();
    void replacedQuotesLeaveTheResultsAndSayWhy();
    void monteCarloShowsTheFanAndTheRiskOfRuin();
};

void EvaluationOverfitTest::passesTableSortsFiltersCopiesAndRunsAPass() {
    Desk desk;
    EvaluationWindow* w = SweepAndOpen(desk);
    QVERIFY(w);
    PassesPane* pane = w->passesPane();
    w->tabs()->setCurrentWidget(pane);
    const auto sweep = w->evaluation()->sweep;
    const SweepFigures expected = Expected(desk, *sweep, 0);
    QTableView* t = pane->table();
    QCOMPARE(t->model()->rowCount(), 408);
    // In pass order: number, setting, result, then the figures.
    for (int row : {0, 100, 407}) {
        const PassRow& r = sweep->passes[size_t(row)];
        const PassFigures& f = expected.passes[size_t(row)];
        QCOMPARE(Cell(t, row, 0), QString::number(row + 1));
        QCOMPARE(Cell(t, row, 1).toDouble(), double(r.entryHour));
        QCOMPARE(Cell(t, row, 4).toDouble(), double(r.total));
        QCOMPARE(Cell(t, row, 5).toLongLong(), qlonglong(f.trades));
        QCOMPARE(Cell(t, row, 11).toDouble(), f.maxDrawdown);
        QCOMPARE(Cell(t, row, 10), Figure(f.profitFactor, 2));
    }

    // Sorted by the profit factor, highest first; the best pass in the first row.
    t->sortByColumn(10, Qt::DescendingOrder);
    double best = 0;
    for (const PassFigures& f : expected.passes) best = std::max(best, f.profitFactor);
    QCOMPARE(Cell(t, 0, 10), Figure(best, 2));
    for (int row = 1; row < 408; ++row)
        QVERIFY(Cell(t, row - 1, 10).toDouble() >= Cell(t, row, 10).toDouble());

    // At least as many trades as the busiest pass: only the passes that many.
    int64_t most = 0;
    for (const PassFigures& f : expected.passes) most = std::max(most, f.trades);
    pane->minTradesBox()->setValue(int(most));
    const auto busiest = std::count_if(expected.passes.begin(), expected.passes.end(),
                                       [&](const PassFigures& f) { return f.trades == most; });
    QCOMPARE(t->model()->rowCount(), int(busiest));
    pane->minTradesBox()->setValue(0);
    QCOMPARE(t->model()->rowCount(), 408);

    // The first row copied with the header, as every table of the window copies.
    t->selectRow(0);
    const QStringList lines = RowsText(t).split(QLatin1Char('\n'));
    QVERIFY(lines[0].startsWith(QStringLiteral("№\tЧас\tTP\tSL\tРезультат\tСделок")));
    QCOMPARE(lines[1].split(QLatin1Char('\t')).size(), 14);
    QCOMPARE(lines[1].split(QLatin1Char('\t'))[10], Figure(best, 2));

    // A double click runs that pass on its own: its statistics are the row's figures.
    const size_t pass = pane->model()->passAt(0);
    emit t->doubleClicked(t->model()->index(0, 0));
    QVERIFY(WaitUntil([&] { return !desk.session->form.timer1; }));
    QVERIFY(WaitUntil([&] { return w->evaluation()->run->kind == RunKind::Cell; }, 5000));
    const auto e = w->evaluation();
    QCOMPARE(e->run->parent, sweep->number);
    QCOMPARE(e->stats.trades, expected.passes[pass].trades);
    QCOMPARE(e->stats.profitFactor, expected.passes[pass].profitFactor);
    QCOMPARE(e->stats.sharpeMonthly, expected.passes[pass].sharpeMonthly);
    // The cell's table is still its sweep's.
    QCOMPARE(t->model()->rowCount(), 408);
}

void EvaluationOverfitTest::overfitTabShowsTheCheckAndFollowsTheBlocks() {
    Desk desk;
    EvaluationWindow* w = SweepAndOpen(desk);
    QVERIFY(w);
    OverfitPane* pane = w->overfitPane();
    w->tabs()->setCurrentWidget(pane);
    QCOMPARE(pane->blocksBox()->value(), 16);
    const auto check = w->evaluation()->check;
    QVERIFY(check && check->ok && check->overfit);
    const SweepFigures expected = Expected(desk, *w->evaluation()->sweep, 16);
    const OverfitReport report = ReportOverfit(expected, w->evaluation()->sweep->passes);
    QCOMPARE(check->overfit->cscv.pbo, report.cscv.pbo);
    QCOMPARE(check->overfit->deflated.dsr, report.deflated.dsr);
    const QString pbo = QString::fromStdString(DisplayNumber(report.cscv.pbo * 100, 1));
    QVERIFY2(pane->headline()->text().contains(QStringLiteral("PBO = %1 %").arg(pbo)),
             qPrintable(pane->headline()->text()));
    QVERIFY(pane->headline()->text().contains(QStringLiteral("разбиений 12870")));
    QCOMPARE(pane->sentence()->text(), OverfitSentence(report));
    QCOMPARE(pane->deflated()->text(), DeflatedSharpeText(report.deflated));
    // The histogram is drawn: red bars left of 0, green right of it.
    const QImage histogram = pane->histogramView()->grab().toImage();
    bool red = false, green = false;
    for (int y = 0; y < histogram.height(); y += 2)
        for (int x = 0; x < histogram.width(); x += 2) {
            const QRgb c = histogram.pixel(x, y);
            red = red || (qRed(c) > 200 && qGreen(c) < 150);
            green = green || (qGreen(c) > 150 && qRed(c) < 150);
        }
    QVERIFY(red && green);

    // Four blocks: six splits, computed again; the choice outlives the window.
    pane->blocksBox()->setValue(4);
    QVERIFY(w->checking());
    QVERIFY(!w->exportButton()->isEnabled());
    QVERIFY(WaitUntil([&] { return !w->checking(); }));
    QCOMPARE(w->evaluation()->check->overfit->cscv.combinations, int64_t(6));
    QVERIFY(pane->headline()->text().contains(QStringLiteral("блоков 4, разбиений 6")));
    QCOMPARE(desk.session->overfit.blocks, 4);
    // A typed odd number is not taken.
    pane->blocksBox()->setValue(5);
    QVERIFY(!w->checking());
    QCOMPARE(desk.session->overfit.blocks, 4);
}

void EvaluationOverfitTest::heatmapColoursByAChosenFigure() {
    Desk desk;
    EvaluationWindow* w = SweepAndOpen(desk);
    QVERIFY(w);
    HeatmapPane* pane = w->heatmapPane();
    w->tabs()->setCurrentWidget(pane);
    const auto sweep = w->evaluation()->sweep;
    const SweepFigures expected = Expected(desk, *sweep, 0);
    const HeatGrid net = pane->targetStopMap()->grid();
    QCOMPARE(net.figure, HeatFigure::Net);

    // Trades: the same cells (the passes with the best result), each holding its pass's trades.
    pane->figureSelector()->setCurrentIndex(4);
    QCOMPARE(pane->figure(), HeatFigure::Trades);
    QVERIFY(WaitUntil([&] { return !pane->building(); }));
    const HeatGrid& g = pane->targetStopMap()->grid();
    QCOMPARE(g.figure, HeatFigure::Trades);
    QCOMPARE(g.passes, net.passes);
    QCOMPARE(g.bestX, net.bestX);
    QCOMPARE(g.bestY, net.bestY);
    for (size_t i = 0; i < g.cells.size(); ++i) {
        if (g.passes[i] < 0) continue;
        QCOMPARE(double(g.cells[i]), double(expected.passes[size_t(g.passes[i])].trades));
        QCOMPARE(g.results[i], net.cells[i]);
    }
    QVERIFY(pane->hourTargetMap()->grid().figure == HeatFigure::Trades);
    QVERIFY(HeatmapTitle(g).endsWith(QStringLiteral("сделок")));
    // Back to the result: the grid the sweep's rows give.
    pane->figureSelector()->setCurrentIndex(0);
    QVERIFY(WaitUntil([&] { return !pane->building(); }));
    QCOMPARE(pane->targetStopMap()->grid().cells, net.cells);
    // A check asked anew drops the figures until it is done: the grids go back to the result.
    pane->figureSelector()->setCurrentIndex(4);
    QVERIFY(WaitUntil([&] { return !pane->building(); }));
    w->overfitPane()->blocksBox()->setValue(4);
    QVERIFY(w->checking());
    QCOMPARE(pane->figure(), HeatFigure::Net);
    QVERIFY(WaitUntil([&] { return !pane->building() && !w->checking(); }));
    QCOMPARE(pane->targetStopMap()->grid().figure, HeatFigure::Net);
    QCOMPARE(pane->hourTargetMap()->grid().figure, HeatFigure::Net);
    QCOMPARE(pane->targetStopMap()->grid().cells, net.cells);
}

void EvaluationOverfitTest::replacedQuotesLeaveTheResultsAndSayWhy() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));
    // Other hourly quotes loaded before the evaluation opens: the passes cannot be replayed.
    QVERIFY(LoadShortHours(desk, 2000));
    desk.window->action("Ocen")->trigger();
    EvaluationWindow* w = desk.window->evaluationWindow();
    QVERIFY(w && !w->checking());
    const auto check = w->evaluation()->check;
    QVERIFY(check && !check->ok);
    QVERIFY(QString::fromStdString(check->error).contains(QStringLiteral("котировки заменены")));
    // The results stay: every pass with its result, no figures and no filter.
    PassesPane* passes = w->passesPane();
    QCOMPARE(passes->table()->model()->rowCount(), 408);
    QCOMPARE(Cell(passes->table(), 0, 5), QString());
    QVERIFY(!passes->minTradesBox()->isEnabled());
    // A minimum typed before cannot filter trades not known: every pass stays.
    passes->minTradesBox()->setValue(50);
    QCOMPARE(passes->table()->model()->rowCount(), 408);
    QVERIFY(passes->status()->text().contains(QStringLiteral("котировки заменены")));
    QVERIFY(w->overfitPane()->headline()->text().contains(QStringLiteral("котировки заменены")));
    // Only the result colours the heatmap.
    auto* figures = qobject_cast<QStandardItemModel*>(w->heatmapPane()->figureSelector()->model());
    QVERIFY(figures->item(0)->isEnabled());
    QVERIFY(!figures->item(4)->isEnabled());
    // The export still goes, and says what it left out.
    desk.dialogs.shown.clear();
    desk.dialogs.folders = {desk.dir.filePath(QStringLiteral("out"))};
    QVERIFY(w->exportButton()->isEnabled());
    w->exportButton()->click();
    QVERIFY(WaitUntil([&] { return !w->exporting(); }));
    QCOMPARE(desk.dialogs.shown.size(), size_t(1));
    QVERIFY(desk.dialogs.shown[0].text.contains(QStringLiteral("Цифры проходов не записаны")));
}

void EvaluationOverfitTest::monteCarloShowsTheFanAndTheRiskOfRuin() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9");
    QVERIFY(w);
    MonteCarloPane* mc = w->monteCarloPane();
    QCOMPARE(mc->result()->balance, 10000.0);
    QCOMPARE(mc->result()->ruinLevel, 50.0);

    // A small balance and a low level: many runs are ruined, the same share as the core says.
    mc->balanceBox()->setValue(1000);
    mc->ruinLevelBox()->setValue(10);
    mc->runButton()->click();
    QVERIFY(WaitUntil([&] { return !mc->running(); }));
    const auto r = mc->result();
    QCOMPARE(r->balance, 1000.0);
    QCOMPARE(r->ruinLevel, 10.0);
    MonteCarloOptions o = desk.session->monteCarlo;
    QCOMPARE(o.balance, 1000.0);
    const MonteCarloResult again = RunMonteCarlo(w->evaluation()->trades, o);
    QCOMPARE(r->resampled.riskOfRuin, again.resampled.riskOfRuin);
    QVERIFY(r->resampled.riskOfRuin > 0);
    QCOMPARE(mc->table()->item(2, 6)->text(),
             Figure(r->resampled.riskOfRuin * 100, 1) + QStringLiteral(" %"));
    QCOMPARE(mc->table()->item(1, 6)->text(), QString());  // a drawdown row has none
    // The fan instead of the histograms.
    mc->viewSelector()->setCurrentIndex(1);
    QVERIFY(mc->fanView(1)->isVisibleTo(mc));
    QVERIFY(!mc->fanView(0)->grab().toImage().isNull());
    QCOMPARE(r->resampled.fan.trades.back(), r->trades);
}

QTEST_MAIN(EvaluationOverfitTest)
#include "evaluation_overfit_test.moc"
