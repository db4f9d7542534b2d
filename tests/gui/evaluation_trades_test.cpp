// The trades of a run in the evaluation window, driven through the real program on
// the bundled sample: the trade list, the price chart, the equity by date, the
// tables' sorting and copying, and the window's rough edges. The screen is a
// 1280 x 1000 one whose windows have frames, as a desktop's have.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "app/evaluation_panes.h"
#include "app/evaluation_window.h"
#include "app/window_placement.h"
#include "main_test_support.h"

using namespace kavro;
using namespace kavro::test;

namespace {

void Wheel(QWidget* w, QPointF at, int notches) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Clicks the header of column `c`, as a user sorts.
void ClickHeader(QTableWidget* t, int c) {
    QHeaderView* h = t->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
}

QStringList Column(const QTableWidget* t, int c) {
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) out << t->item(r, c)->text();
    return out;
}

int RowOfTrade(const QTableWidget* t, size_t number) {
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->text().toULongLong() == number) return r;
    return -1;
}

// How many pixels of row y between x0 and x1 pass `match`.
int CountRow(const QImage& img, int y, int x0, int x1, const std::function<bool(QRgb)>& match) {
    int n = 0;
    for (int x = std::max(x0, 0); x < std::min(x1, img.width()); ++x) n += match(img.pixel(x, y));
    return n;
}

}  // namespace

class EvaluationTradesTest : public QObject {
    Q_OBJECT
  private slots:
    void tradeListSortsCopiesAndShowsATradeOnTheChart();
    void priceChartZoomsPansAndReadsTheCandleOut();
    void equityRunsAlongTheDatesAndAClickChoosesATrade();
    void figureAndMonthTablesSortAndCopyTheirRows();
    void windowsOpenInsideTheScreen();
    void monteCarloKeepsItsChoiceAndALongOneCanBeCancelled();
    void replacedQuotesAreNamedNotDrawn();
    void folderDialogTakesAFolderStillToBeMade();
};

void EvaluationTradesTest::tradeListSortsCopiesAndShowsATradeOnTheChart() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    TradesPane* pane = w->tradesPane();
    w->tabs()->setCurrentWidget(pane);
    QTableWidget* t = pane->table();
    const auto record = w->evaluation()->run;
    QCOMPARE(t->rowCount(), int(record->trades.size()));
    QCOMPARE(record->extents.size(), record->trades.size());

    // Each row is its journal row with what the quotes said of it.
    const QuoteStore& q = desk.session->store;
    for (const int row : {0, 7, t->rowCount() - 1}) {
        const JournalRow& j = record->trades[size_t(row)];
        const TradeExtent& x = record->extents[size_t(row)];
        QCOMPARE(t->item(row, 1)->text(), QString::fromLatin1(SideText(j.side)));
        QCOMPARE(float(Number(t->item(row, 3)->text())), *j.entryPrice);
        QCOMPARE(Number(t->item(row, 6)->text()), double(j.profit));
        QCOMPARE(Number(t->item(row, 9)->text()), double(x.maePoints));
        QCOMPARE(Number(t->item(row, 10)->text()), double(x.mfePoints));
        QVERIFY(t->item(row, 2)->text().endsWith(
            QStringLiteral(" %1:00").arg(int(q.hourOfBar[size_t(j.entryBar)]), 2, 10, QLatin1Char('0'))));
        // A stop-loss of 70 means a move of at least 70 points against every loser.
        if (j.profit < 0) QVERIFY(x.maePoints >= 70);
    }

    // Sorted by the result, then the other way; numbers by value, not by text.
    ClickHeader(t, 6);
    QStringList results = Column(t, 6);
    QVERIFY(std::is_sorted(results.begin(), results.end(),
                           [](const QString& a, const QString& b) { return Number(a) < Number(b); }));
    ClickHeader(t, 6);
    results = Column(t, 6);
    QVERIFY(Number(results.front()) > Number(results.back()));

    // Ctrl+C and the context menu copy the selected rows, with the header.
    t->clearSelection();
    t->selectRow(2);
    t->selectionModel()->select(t->model()->index(5, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    auto rowText = [&](int r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c) cells << t->item(r, c)->text();
        return cells.join('\t');
    };
    QStringList headers;
    for (int c = 0; c < t->columnCount(); ++c) headers << t->horizontalHeaderItem(c)->text();
    const QString expected = headers.join('\t') + '\n' + rowText(2) + '\n' + rowText(5) + '\n';
    QApplication::clipboard()->clear();
    t->setFocus();
    QTest::keyClick(t, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), expected);
    QApplication::clipboard()->clear();
    t->findChild<QAction*>(QStringLiteral("CopyRows"))->trigger();
    QCOMPARE(QApplication::clipboard()->text(), expected);

    // "Показать на графике" on one trade: the price chart, centred on it, its levels drawn.
    const size_t number = 12;
    t->clearSelection();
    t->selectRow(RowOfTrade(t, number));
    QVERIFY(pane->showButton()->isEnabled());
    pane->showButton()->click();
    QCOMPARE(w->tabs()->currentWidget(), w->pricePane());
    PriceChartView* view = w->pricePane()->chartView();
    QCOMPARE(view->selected(), std::optional<size_t>(number));
    const ChartTrade* trade = view->chart()->trade(number);
    QVERIFY(trade);
    const double width = view->layout().price.width();
    QVERIFY(view->view().xOf(double(trade->entry)) > 0);
    QVERIFY(view->view().xOf(double(trade->exit) + 1) < width);

    // Its take-profit and stop-loss as green and red lines across its candles.
    const QImage img = view->grab().toImage();
    const PriceLayout l = view->layout();
    const PriceRange ys = VisiblePriceRange(*view->chart(), view->view(), width, number);
    auto y = [&](float price) {
        return int(l.price.bottom() - (price - ys.low) / (ys.high - ys.low) * l.price.height());
    };
    const int x0 = int(l.price.left() + view->view().xOf(double(trade->entry))) + 2;
    const int x1 = int(l.price.left() + view->view().xOf(double(trade->exit) + 1)) - 2;
    const auto green = [](QRgb c) { return qGreen(c) > qRed(c) + 60 && qGreen(c) > qBlue(c) + 40; };
    const auto red = [](QRgb c) { return qRed(c) > qGreen(c) + 100 && qRed(c) > qBlue(c) + 100; };
    QVERIFY2(CountRow(img, y(*trade->takeProfit), x0, x1, green) > (x1 - x0) / 3, "no take-profit line");
    QVERIFY2(CountRow(img, y(*trade->stopLoss), x0, x1, red) > (x1 - x0) / 3, "no stop-loss line");

    // Selecting another row centres the chart on that trade too, without leaving the list.
    w->tabs()->setCurrentWidget(pane);
    t->clearSelection();
    t->selectRow(RowOfTrade(t, 30));
    QCOMPARE(view->selected(), std::optional<size_t>(30));
    QCOMPARE(w->tabs()->currentWidget(), pane);
}

void EvaluationTradesTest::priceChartZoomsPansAndReadsTheCandleOut() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    w->tabs()->setCurrentWidget(w->pricePane());
    PriceChartView* v = w->pricePane()->chartView();
    QVERIFY(v->chart());
    const PriceChart& chart = *v->chart();
    const double left = v->layout().price.left(), width = v->layout().price.width();
    const QuoteStore& q = desk.session->store;

    // Home: the run's interval across the width.
    QCOMPARE(v->view().first, double(chart.intervalFirst()));
    QCOMPARE(v->view().perPixel, double(chart.intervalLast() - chart.intervalFirst() + 1) / width);
    QCOMPARE(chart.intervalFirst(), size_t(desk.session->history.latest()->firstBar) - 1);

    // The wheel zooms around the pointer: the candle under it stays under it.
    const QPointF at(left + width * 0.3, v->layout().price.center().y());
    const double candle = v->view().candleAt(at.x() - left), perPixel = v->view().perPixel;
    Wheel(v, at, 3);
    QCOMPARE(v->view().perPixel, perPixel / std::pow(1.25, 3));
    QVERIFY(std::fabs(v->view().candleAt(at.x() - left) - candle) < 1e-6);

    // Dragging left moves later candles in; the arrow keys move a tenth of the width.
    const double first = v->view().first;
    Mouse(v, QEvent::MouseButtonPress, at, Qt::LeftButton);
    Mouse(v, QEvent::MouseMove, at - QPointF(120, 0), Qt::LeftButton);
    Mouse(v, QEvent::MouseButtonRelease, at - QPointF(120, 0));
    QCOMPARE(v->view().first, first + 120 * v->view().perPixel);
    const double dragged = v->view().first;
    QTest::keyClick(v, Qt::Key_Right);
    QCOMPARE(v->view().first, dragged + width * 0.1 * v->view().perPixel);
    QTest::keyClick(v, Qt::Key_Left);
    QTest::keyClick(v, Qt::Key_Left);
    QCOMPARE(v->view().first, dragged - width * 0.1 * v->view().perPixel);

    // The crosshair reads out the candle under it: its date, hour and prices from the quote file.
    Wheel(v, at, 8);  // close enough that a candle is several pixels wide
    const QPointF over(left + width * 0.5 + 0.5, v->layout().price.center().y());
    Mouse(v, QEvent::MouseMove, over);
    const size_t i = size_t(std::floor(v->view().candleAt(over.x() - left)));
    const size_t bar = i + 1;
    const QString text = QString::fromLatin1(q.hourDate[bar].view().data(), 8);
    const auto& ohlc = q.hourOhlc[bar];
    auto price = [](float p) { return QString::number(double(p), 'g', 7); };
    const QString expected = QStringLiteral("%1.%2.%3 %4:00   O %5   H %6   L %7   C %8")
                                 .arg(text.mid(6, 2), text.mid(4, 2), text.left(4))
                                 .arg(int(q.hourOfBar[bar]), 2, 10, QLatin1Char('0'))
                                 .arg(price(ohlc[0]), price(ohlc[1]), price(ohlc[2]), price(ohlc[3]));
    QCOMPARE(v->readout(), expected);
    QCOMPARE(w->pricePane()->readout()->text(), expected);
    Mouse(v, QEvent::MouseMove, QPointF(2, 2));  // off the candles: nothing to read
    QCOMPARE(v->readout(), QString());

    // Home brings the interval back.
    QTest::keyClick(v, Qt::Key_Home);
    QCOMPARE(v->view().first, double(chart.intervalFirst()));
}

void EvaluationTradesTest::equityRunsAlongTheDatesAndAClickChoosesATrade() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    StatsPane* stats = w->statsPane();
    const auto e = w->evaluation();
    QVERIFY(stats->equityByDate());
    const QRectF area(stats->equityView()->rect());
    const EquityLayout byDate = LayoutEquity(area, e->equity, stats->shownHours());
    QVERIFY(byDate.byDate);
    // The first trade's point stands at its exit time, the last at the axis's end.
    const TradeRecord& first = e->trades.front();
    const double exitHours = double(DaysFromDate(first.exitDate) * 24 + first.exitHour);
    QCOMPARE(byDate.x(1), (exitHours - byDate.lo) / (byDate.hi - byDate.lo) * byDate.upper.width());
    QCOMPARE(byDate.x(e->equity.size() - 1), byDate.upper.width());
    // Weeks without trades take room on a date axis, none on a trade axis.
    stats->equityAxis()->setCurrentIndex(1);
    QVERIFY(!stats->equityByDate());
    const EquityLayout byTrade = LayoutEquity(area, e->equity, stats->shownHours());
    QVERIFY(!byTrade.byDate);
    QCOMPARE(byTrade.x(10) - byTrade.x(9), byTrade.x(20) - byTrade.x(19));

    // A click on a trade's point chooses it in the trade list and on the price chart.
    stats->equityAxis()->setCurrentIndex(0);
    const size_t number = 40;
    const QPointF at(byDate.upper.left() + byDate.x(number), byDate.upper.center().y());
    Mouse(stats->equityView(), QEvent::MouseButtonPress, at, Qt::LeftButton);
    QCOMPARE(w->tradesPane()->selectedTrades(), std::vector<size_t>{number});
    QCOMPARE(w->pricePane()->chartView()->selected(), std::optional<size_t>(number));
}

void EvaluationTradesTest::figureAndMonthTablesSortAndCopyTheirRows() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    StatsPane* stats = w->statsPane();
    QTableWidget* figures = stats->figureTable();
    // The value with its figure, not the caption alone.
    int net = -1;
    for (int r = 0; r < figures->rowCount(); ++r)
        if (figures->item(r, 0)->data(Qt::UserRole).toString() == QStringLiteral("NetResult")) net = r;
    figures->clearSelection();
    figures->selectRow(net);
    QCOMPARE(RowsText(figures), QStringLiteral("Показатель\tЗначение\nЧистый результат\t%1\n")
                                    .arg(stats->figure(QStringLiteral("NetResult"))));

    // The months sorted by the year's total, lowest first; each year keeps its row.
    QTableWidget* months = stats->monthTable();
    QMap<QString, QString> totalOf;
    for (int r = 0; r < months->rowCount(); ++r)
        totalOf[months->item(r, 0)->text()] = months->item(r, 13)->text();
    ClickHeader(months, 13);
    const QStringList totals = Column(months, 13);
    QVERIFY(std::is_sorted(totals.begin(), totals.end(),
                           [](const QString& a, const QString& b) { return Number(a) < Number(b); }));
    for (int r = 0; r < months->rowCount(); ++r)
        QCOMPARE(months->item(r, 13)->text(), totalOf[months->item(r, 0)->text()]);

    // At the window's smallest size no month is cut short and the total stays in view.
    w->resize(w->minimumSizeHint());
    w->tabs()->setCurrentWidget(stats);
    QCoreApplication::processEvents();
    QVERIFY(!months->horizontalScrollBar()->isVisible());
    const QFontMetrics bold([&] {
        QFont f = months->font();
        f.setBold(true);
        return f;
    }());
    for (int r = 0; r < months->rowCount(); ++r)
        for (int c = 0; c < months->columnCount(); ++c)
            QVERIFY2(bold.horizontalAdvance(months->item(r, c)->text()) < months->columnWidth(c),
                     qPrintable(months->item(r, c)->text()));
    QVERIFY(months->horizontalHeader()->sectionViewportPosition(13) + months->columnWidth(13) <=
            months->viewport()->width());
}

void EvaluationTradesTest::windowsOpenInsideTheScreen() {
    Desk desk;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // The main window low on the screen: the evaluation would open centred over it.
    desk.window->show();
    desk.window->move(area.left() + 40, area.bottom() - desk.window->frameGeometry().height() - 10);
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    auto inside = [&](const QWidget* x) { return area.contains(x->frameGeometry()); };
    QVERIFY2(inside(w), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                       .arg(w->frameGeometry().x())
                                       .arg(w->frameGeometry().y())
                                       .arg(w->frameGeometry().width())
                                       .arg(w->frameGeometry().height())));
    QVERIFY(w->height() >= 700);  // as tall as the screen allows, not the bare minimum
    desk.window->action("Graf")->trigger();
    QWidget* chart = desk.window->chartWindow();
    QVERIFY(chart && chart->isVisible());
    QVERIFY(WaitUntil([&] { return inside(chart); }, 2000));
    // A window pushed off the screen comes back inside.
    chart->move(area.right() - 50, area.bottom() - 20);
    KeepOnScreen(chart);
    QVERIFY(inside(chart));
}

void EvaluationTradesTest::monteCarloKeepsItsChoiceAndALongOneCanBeCancelled() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    MonteCarloPane* mc = w->monteCarloPane();
    const auto first = mc->result();
    QVERIFY(first);

    // A million runs: progress shows, and Cancel stops them with the old figures kept.
    mc->runsBox()->setValue(1000000);
    mc->runButton()->click();
    QVERIFY(mc->running());
    QVERIFY(!mc->progressBar()->isHidden());
    QCOMPARE(mc->progressBar()->maximum(), 1000000);
    QVERIFY(mc->cancelButton()->isEnabled());
    mc->cancelButton()->click();
    QVERIFY(WaitUntil([&] { return !mc->running(); }, 20000));
    QVERIFY2(mc->status()->text().contains(QStringLiteral("отменён")), qPrintable(mc->status()->text()));
    QCOMPARE(mc->result(), first);
    QVERIFY(mc->progressBar()->isHidden());

    // The runs and the seed typed outlive the window.
    mc->runsBox()->setValue(700);
    mc->seedEdit()->setText(QStringLiteral("42"));
    // The old window is gone (its address may well be the new one's): a new window opens.
    const QPointer<EvaluationWindow> closed(w);
    w->close();
    QVERIFY(WaitUntil([&] { return !desk.window->evaluationWindow(); }, 2000));
    QVERIFY(!closed);
    desk.window->action("Ocen")->trigger();
    EvaluationWindow* again = desk.window->evaluationWindow();
    QVERIFY(again);
    QCOMPARE(again->monteCarloPane()->runsBox()->value(), 700);
    QCOMPARE(again->monteCarloPane()->seedEdit()->text(), QStringLiteral("42"));
    QVERIFY(WaitUntil([&] { return !again->monteCarloPane()->running(); }));
    QCOMPARE(again->monteCarloPane()->result()->runs, 700);
    QCOMPARE(again->monteCarloPane()->result()->seed, uint64_t(42));
}

void EvaluationTradesTest::replacedQuotesAreNamedNotDrawn() {
    Desk desk;
    EvaluationWindow* w = RunSingleAndOpen(desk, "9", "70");
    QVERIFY(w);
    PricePane* price = w->pricePane();
    w->tabs()->setCurrentWidget(price);
    QVERIFY(price->chartView()->chart());
    // Other hourly quotes in place of the run's: the first days of the sample only.
    QVERIFY(LoadShortHours(desk, 2000));
    QCOMPARE(desk.session->store.hourBarCount, 2000);

    // The chart says so rather than draw other prices under the run's trades.
    price->chartView()->update();
    QVERIFY(WaitUntil([&] { return !price->chartView()->chart() && price->note()->isVisible(); }, 5000));
    QVERIFY2(price->note()->text().contains(QStringLiteral("заменены")), qPrintable(price->note()->text()));
    // The trades stay listed with what was measured when the run ended.
    w->tabs()->setCurrentWidget(w->tradesPane());
    QVERIFY(w->tradesPane()->table()->rowCount() > 0);
    QVERIFY(!w->tradesPane()->table()->item(0, 9)->text().startsWith(QStringLiteral("—")));
}

void EvaluationTradesTest::folderDialogTakesAFolderStillToBeMade() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("there")));
    QFile file(dir.filePath(QStringLiteral("a-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        const char* typed;
        bool accepted;
    };
    for (const Case c : {Case{"not-yet", true}, Case{"there", true}, Case{"a-file", false}}) {
        FolderDialog d(nullptr, QStringLiteral("Папка"), dir.path());
        d.selectFile(QString::fromLatin1(c.typed));
        d.accept();
        QCOMPARE(d.result() == QDialog::Accepted, c.accepted);
        if (c.accepted)
            QCOMPARE(QFileInfo(d.folder()).absoluteFilePath(), dir.filePath(QString::fromLatin1(c.typed)));
    }
    QVERIFY(
        !QFileInfo::exists(dir.filePath(QStringLiteral("not-yet"))));  // the export makes it, not the dialog
}

// The screen of a desktop: 1280 x 1000, windows with frames.
int main(int argc, char** argv) {
    QTemporaryDir config;
    const QString json = config.filePath(QStringLiteral("screen.json"));
    QFile f(json);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(R"({"screens":[{"name":"desk","x":0,"y":0,"width":1280,"height":1000,"logicalDpi":96,)"
            R"("logicalBaseDpi":96,"dpr":1}],"windowFrameMargins":true})");
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + json).toLocal8Bit());
    QApplication app(argc, argv);
    EvaluationTradesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "evaluation_trades_test.moc"
