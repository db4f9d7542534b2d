// The evaluation window driven through the real program on the bundled sample:
// what each pane shows is checked against the reports the runs wrote.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/evaluation_panes.h"
#include "app/evaluation_window.h"
#include "batch/batch_runner.h"
#include "evaluation/export.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"
#include "main_test_support.h"

using namespace kavro;
using namespace kavro::test;

namespace {

// One RIPOT line: a simple test's four numbers, a thorough test's after its date.
struct RipotLine {
    double hour = 0, target = 0, stop = 0, result = 0;
};

std::vector<RipotLine> ReadReport(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<RipotLine> lines;
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream words(text);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.size() < 4) continue;
        const size_t first = w.size() - 4;
        lines.push_back(
            {std::stod(w[first]), std::stod(w[first + 1]), std::stod(w[first + 2]), std::stod(w[first + 3])});
    }
    return lines;
}

size_t CountLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return static_cast<size_t>(f.readAll().count('\n'));
}

// The heatmap's grids are built off the window's thread.
bool MapsBuilt(EvaluationWindow* w) {
    return WaitUntil([&] { return !w->heatmapPane()->building(); });
}

EvaluationWindow* Ocen(Desk& desk) {
    desk.window->action("Ocen")->trigger();
    EvaluationWindow* w = desk.window->evaluationWindow();
    if (w && !MapsBuilt(w)) return nullptr;
    return w;
}

// Where the cell of (x value, y value) lies in a heatmap view; empty when the grid has no such cell.
std::optional<QPointF> CellCentre(const HeatmapView* v, float x, float y) {
    const HeatGrid& g = v->grid();
    const auto ix = std::find(g.xValues.begin(), g.xValues.end(), x);
    const auto iy = std::find(g.yValues.begin(), g.yValues.end(), y);
    if (ix == g.xValues.end() || iy == g.yValues.end()) return std::nullopt;
    return v->cellLayout()
        .cellRect({static_cast<size_t>(ix - g.xValues.begin()), static_cast<size_t>(iy - g.yValues.begin())})
        .center();
}

QString Plain(double v) {
    return QString::number(v, 'g', 15);
}

}  // namespace

class EvaluationWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void ocenBeforeAnyRunOnlySaysSo();
    void heatmapShowsTheSweepOfRipot();
    void doubleClickRunsTheCellAsASingleSetting();
    void thoroughTestEndingWhileOpenFillsTheDashboard();
    void notesSayWhatTheFiguresRestOn();
    void monteCarloFollowsItsSeed();
    void exportWritesEveryFileOrSaysWhyNot();
    void runsListComparesAndRepeats();
    void refusedRunKeepsWhatTheLastRunShowed();
};

void EvaluationWindowTest::ocenBeforeAnyRunOnlySaysSo() {
    Desk desk;
    LoadSample(desk);
    desk.dialogs.shown.clear();
    QCOMPARE(Ocen(desk), nullptr);
    QCOMPARE(desk.dialogs.texts_shown(), QStringList{QString::fromUtf8(kNothingToEvaluate)});
    QCOMPARE(desk.dialogs.shown[0].title, QStringLiteral("Сообщение"));
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<EvaluationWindow*>(w));
    for (const char* label : {"Label16", "Label17", "Label25"})
        QCOMPARE(desk.find<QLabel>(label)->text(), QString());
}

void EvaluationWindowTest::heatmapShowsTheSweepOfRipot() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));
    EvaluationWindow* w = Ocen(desk);
    QVERIFY(w && w->isVisible());
    QCOMPARE(Ocen(desk), w);  // one window per session, raised again

    const std::vector<RipotLine> ripot = ReadReport(desk.session->ripotPath());
    QCOMPARE(ripot.size(), size_t(408));
    RipotLine best = ripot.front();
    for (const RipotLine& l : ripot)
        if (l.result >= best.result) best = l;  // ties go to the later pass

    // A sweep writes no journal: its statistics say so rather than count empty rows as trades.
    QCOMPARE(w->statsPane()->note()->text(), QString::fromUtf8(kSweepKeepsNoJournal));
    QCOMPARE(w->statsPane()->figure(QStringLiteral("Trades")), QStringLiteral("0"));
    QVERIFY(!w->evaluation()->run->journaled);
    QVERIFY(w->evaluation()->trades.empty());

    HeatmapPane* pane = w->heatmapPane();
    w->tabs()->setCurrentWidget(pane);
    QVERIFY(!pane->note()->isVisible());
    QCOMPARE(Number(pane->hourSelector()->currentText()), best.hour);
    const HeatGrid& hourTarget = pane->hourTargetMap()->grid();
    QVERIFY(hourTarget.hasBest);
    const auto bestCell = CellAt(hourTarget, hourTarget.bestX, hourTarget.bestY);
    QCOMPARE(double(bestCell->value), best.result);
    QCOMPARE(double(bestCell->setting.entryHour), best.hour);
    QCOMPARE(double(bestCell->setting.target), best.target);
    QCOMPARE(double(bestCell->setting.stop), best.stop);

    // The TP x SL grid of the best hour and of hour 0: every cell a RIPOT line, no other cell run.
    for (const double hour : {best.hour, 0.0}) {
        pane->hourSelector()->setCurrentIndex(pane->hourSelector()->findText(QString::number(hour)));
        QVERIFY(MapsBuilt(w));
        HeatmapView* map = pane->targetStopMap();
        const HeatGrid& g = map->grid();
        QCOMPARE(double(g.hour), hour);
        size_t lines = 0;
        for (const RipotLine& l : ripot) {
            if (l.hour != hour) continue;
            ++lines;
            const auto at = CellCentre(map, float(l.target), float(l.stop));
            QVERIFY(at);
            const auto cell = map->cellLayout().cellAt(*at);
            QVERIFY(cell);
            QCOMPARE(double(g.cells[cell->y * g.width() + cell->x]), l.result);
            // The value under the mouse, read from the label.
            Mouse(map, QEvent::MouseMove, *at);
            QVERIFY2(pane->valueLabel()->text().startsWith(
                         QStringLiteral("Час %1, TP %2, SL %3: результат %4")
                             .arg(Plain(hour), Plain(l.target), Plain(l.stop), Plain(l.result))),
                     qPrintable(pane->valueLabel()->text()));
        }
        QCOMPARE(g.runCells, lines);
        QCOMPARE(lines, size_t(17));
        if (hour == best.hour) {
            QVERIFY(g.hasBest);
            QCOMPARE(double(g.bestValue), best.result);
        }
    }
}

void EvaluationWindowTest::doubleClickRunsTheCellAsASingleSetting() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));
    EvaluationWindow* w = Ocen(desk);
    HeatmapPane* pane = w->heatmapPane();
    HeatmapView* map = pane->targetStopMap();
    const float hour = map->grid().hour;
    RipotLine chosen;
    for (const RipotLine& l : ReadReport(desk.session->ripotPath()))
        if (l.hour == hour && l.stop == 40) chosen = l;
    QCOMPARE(chosen.stop, 40.0);
    const QPointF at = *CellCentre(map, float(chosen.target), float(chosen.stop));

    // While a run goes, a cell does not start another one.
    desk.window->action("Start")->trigger();
    QVERIFY(desk.session->form.timer1);
    Mouse(map, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    QVERIFY(pane->valueLabel()->text().startsWith(QStringLiteral("Идёт тест")));
    QCOMPARE(desk.find<QLineEdit>("Text6")->text(), QStringLiteral("5"));
    QVERIFY(WaitUntil([&] { return !desk.session->form.timer1; }));
    QVERIFY(MapsBuilt(w));

    const auto sweep = w->evaluation()->sweep;
    const int hourIndex = pane->hourSelector()->currentIndex();
    const std::vector<float> cellsBefore = map->grid().cells;
    Mouse(map, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    // The cell runs as a run of its own: the main window's fields stay as typed.
    const std::pair<const char*, QString> fields[] = {
        {"Text2", QStringLiteral("100")}, {"Text3", QStringLiteral("20")}, {"Text4", QStringLiteral("0")},
        {"Text5", QStringLiteral("23")},  {"Text6", QStringLiteral("5")},
    };
    for (const auto& [name, text] : fields) QCOMPARE(desk.find<QLineEdit>(name)->text(), text);
    QVERIFY(desk.session->form.timer1);
    QVERIFY(WaitUntil([&] { return !desk.session->form.timer1; }));
    for (const auto& [name, text] : fields) QCOMPARE(desk.find<QLineEdit>(name)->text(), text);

    // One pass of that setting, with the cell's result.
    const std::vector<RipotLine> single = ReadReport(desk.session->ripotPath());
    QCOMPARE(single.size(), size_t(1));
    QCOMPARE(single[0].hour, chosen.hour);
    QCOMPARE(single[0].target, chosen.target);
    QCOMPARE(single[0].stop, chosen.stop);
    QCOMPARE(single[0].result, chosen.result);

    // The statistics show that pass's trades; the heatmap still the sweep it came from.
    const auto e = w->evaluation();
    QCOMPARE(e->run->kind, RunKind::Cell);
    QCOMPARE(e->run->parent, sweep->number);
    QCOMPARE(e->run->passes.size(), size_t(1));
    QCOMPARE(e->sweep, sweep);
    QVERIFY(w->header()->text().contains(QStringLiteral("Клетка перебора")));
    StatsPane* stats = w->statsPane();
    QVERIFY(!e->run->trades.empty());
    QCOMPARE(stats->figure(QStringLiteral("Trades")).toLongLong(), qlonglong(e->run->trades.size()));
    QCOMPARE(Number(stats->figure(QStringLiteral("NetResult"))), chosen.result);
    QCOMPARE(pane->hourSelector()->currentIndex(), hourIndex);
    QVERIFY(map->grid().cells == cellsBefore);
}

void EvaluationWindowTest::thoroughTestEndingWhileOpenFillsTheDashboard() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));
    EvaluationWindow* w = Ocen(desk);
    const auto sweep = w->evaluation()->sweep;
    WalkForwardPane* pane = w->walkForwardPane();
    QCOMPARE(pane->table()->rowCount(), 0);
    QVERIFY(pane->findChild<QLabel*>(QStringLiteral("WalkForwardNote"))->text().contains("качественному"));

    // The window stays open while the thorough test runs, and shows it once it ends.
    QVERIFY(RunToEnd(desk, "Kach"));
    QCOMPARE(desk.window->evaluationWindow(), w);
    const std::vector<RipotLine> ripot = ReadReport(desk.session->ripotPath());
    QCOMPARE(ripot.size(), size_t(27));
    QTableWidget* t = pane->table();
    QCOMPARE(t->rowCount(), int(ripot.size()));
    int profitable = 0;
    for (int i = 0; i < t->rowCount(); ++i) {
        const RipotLine& l = ripot[size_t(i)];
        QCOMPARE(t->item(i, 0)->text(), QString::number(i + 1));
        QCOMPARE(Number(t->item(i, 3)->text()), l.hour);
        QCOMPARE(Number(t->item(i, 4)->text()), l.target);
        QCOMPARE(Number(t->item(i, 5)->text()), l.stop);
        QCOMPARE(Number(t->item(i, 7)->text()), l.result);
        profitable += l.result > 0;
    }
    QVERIFY2(pane->summary()->text().contains(QStringLiteral("%1 из 27").arg(profitable)),
             qPrintable(pane->summary()->text()));
    QCOMPARE(Number(t->item(t->rowCount() - 1, 9)->text()), 1671.0);  // the full test's result label

    // The statistics now rest on the forward trades (RIPOT1). A thorough test has
    // no heatmap of its own; the sweep is one choice away in "Запуски".
    QCOMPARE(w->statsPane()->figure(QStringLiteral("Trades")).toULongLong(),
             qulonglong(CountLines(QString::fromStdString(desk.session->ripot1Path()))));
    QVERIFY(!w->evaluation()->sweep);
    QVERIFY(w->heatmapPane()->note()->text().startsWith(QStringLiteral("Тепловой карты нет")));
    QTableWidget* runs = w->runsPane()->table();
    QCOMPARE(runs->rowCount(), 2);
    QCOMPARE(runs->item(0, 0)->text(), QStringLiteral("2"));  // newest first
    runs->selectRow(1);
    QCOMPARE(w->evaluation()->run, sweep);
    QCOMPARE(w->evaluation()->sweep, sweep);
    QVERIFY(MapsBuilt(w));
    QVERIFY(w->heatmapPane()->hourTargetMap()->grid().hasBest);
    QCOMPARE(w->walkForwardPane()->table()->rowCount(), 0);
}

void EvaluationWindowTest::notesSayWhatTheFiguresRestOn() {
    {
        // Stopped after two windows: what completed is evaluated, and the panes say so.
        Desk desk;
        LoadSample(desk);
        QTimer stopper;
        stopper.setInterval(0);
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            const auto& r = desk.session->thoroughRun;
            if (r && r->windows.size() >= 2) {
                stopper.stop();
                desk.window->action("Stop")->trigger();
            }
        });
        stopper.start();
        QVERIFY(RunToEnd(desk, "Kach"));
        EvaluationWindow* w = Ocen(desk);
        const auto latest = w->evaluation()->run;
        QCOMPARE(latest->end, RunEnd::Stopped);
        QVERIFY(latest->windows.size() >= 2 && latest->windows.size() < 27);
        QLabel* note = w->statsPane()->note();
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("Тест остановлен: оценка по завершённой части"));
        QCOMPARE(w->statsPane()->figure(QStringLiteral("Trades")).toULongLong(),
                 qulonglong(latest->trades.size()));
        QCOMPARE(w->walkForwardPane()->table()->rowCount(), int(latest->windows.size()));
    }
    {
        // A setting that never trades: the figures are zeros and say so, never NaN.
        Desk desk;
        LoadSample(desk);
        SingleSetting(desk, "24");
        QVERIFY(RunToEnd(desk, "Start"));
        EvaluationWindow* w = Ocen(desk);
        QVERIFY(w);
        StatsPane* stats = w->statsPane();
        QVERIFY(stats->note()->text().startsWith(QStringLiteral("Сделок нет")));
        const std::pair<const char*, const char*> figures[] = {
            {"Trades", "0"}, {"ProfitFactor", "0.00"}, {"MaxDrawdown", "0"},
            {"SQN", "0.00"}, {"BestMonth", "—"},
        };
        for (const auto& [key, text] : figures)
            QCOMPARE(stats->figure(QString::fromLatin1(key)), QString::fromUtf8(text));
        QVERIFY(w->heatmapPane()->note()->text().startsWith(QStringLiteral("Тепловой карты нет")));
        QVERIFY(WaitUntil([&] { return !w->monteCarloPane()->running(); }));
        QVERIFY(w->monteCarloPane()->status()->text().startsWith(QStringLiteral("Сделок нет")));
        QCOMPARE(w->monteCarloPane()->result(), nullptr);
    }
}

void EvaluationWindowTest::monteCarloFollowsItsSeed() {
    Desk desk;
    LoadSample(desk);
    SingleSetting(desk, "10");
    QVERIFY(RunToEnd(desk, "Start"));
    EvaluationWindow* w = Ocen(desk);
    MonteCarloPane* mc = w->monteCarloPane();
    const std::vector<TradeRecord> trades = w->evaluation()->trades;
    QVERIFY(trades.size() > 20);

    // Opening the window runs the defaults: 1,000 runs, seed 1.
    QVERIFY(WaitUntil([&] { return !mc->running(); }));
    QVERIFY(mc->result());
    QCOMPARE(mc->result()->runs, 1000);
    QCOMPARE(mc->result()->seed, uint64_t(1));

    auto runWith = [&](int runs, const QString& seed) {
        mc->runsBox()->setValue(runs);
        mc->seedEdit()->setText(seed);
        mc->runButton()->click();
        return WaitUntil([&] { return !mc->running(); });
    };
    auto column = [&](int c) {
        QStringList out;
        for (int r = 0; r < 4; ++r) out << mc->table()->item(r, c)->text();
        return out;
    };
    QVERIFY(runWith(500, QStringLiteral("18446744073709551615")));
    MonteCarloOptions options;
    options.runs = 500;
    options.seed = 18446744073709551615ull;
    const MonteCarloResult expected = RunMonteCarlo(trades, options);
    QCOMPARE(mc->result()->seed, options.seed);
    const Distribution* rows[4] = {&expected.shuffled.finalResult, &expected.shuffled.maxDrawdown,
                                   &expected.resampled.finalResult, &expected.resampled.maxDrawdown};
    for (int r = 0; r < 4; ++r) {
        QCOMPARE(Number(mc->table()->item(r, 1)->text()), rows[r]->p5);
        QCOMPARE(Number(mc->table()->item(r, 2)->text()), rows[r]->p50);
        QCOMPARE(Number(mc->table()->item(r, 3)->text()), rows[r]->p95);
    }
    QCOMPARE(mc->table()->item(2, 5)->text(),
             Figure(expected.resampled.probabilityBelowZero * 100, 1) + QStringLiteral(" %"));
    QCOMPARE(mc->table()->item(1, 5)->text(), QString());  // no "below 0" for a drawdown
    const QStringList medians = column(2);

    // The same seed again gives the same figures; another seed other ones.
    QVERIFY(runWith(500, QStringLiteral("7")));
    QVERIFY(mc->result()->resampled.finalResult.values != expected.resampled.finalResult.values);
    QVERIFY(runWith(500, QStringLiteral("18446744073709551615")));
    QCOMPARE(column(2), medians);

    // A seed past 64 bits is refused, and the figures shown stay.
    const auto shown = mc->result();
    mc->seedEdit()->setText(QStringLiteral("18446744073709551616"));
    mc->runButton()->click();
    QVERIFY(!mc->running());
    QVERIFY(mc->status()->text().startsWith(QStringLiteral("Зерно")));
    QCOMPARE(mc->result(), shown);
}

void EvaluationWindowTest::exportWritesEveryFileOrSaysWhyNot() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));  // the sweep: passes.csv
    SingleSetting(desk, "10");
    QVERIFY(RunToEnd(desk, "Start"));  // a single setting: its trades and Monte Carlo
    EvaluationWindow* w = Ocen(desk);
    QVERIFY(!w->evaluation()->trades.empty());
    QVERIFY(WaitUntil([&] { return !w->monteCarloPane()->running(); }));
    auto exportTo = [&](const QString& folder) {
        desk.dialogs.shown.clear();
        desk.dialogs.folders = {folder};
        w->exportButton()->click();
        return WaitUntil([&] { return !w->exporting(); });
    };

    // The single setting's own files: its trades, no passes, no heatmap.
    const QString single = desk.dir.filePath(QStringLiteral("оценка/single"));  // made with its parent
    QVERIFY(exportTo(single));
    QCOMPARE(desk.dialogs.shown.size(), size_t(1));
    QCOMPARE(desk.dialogs.shown[0].icon, QMessageBox::Information);
    QVERIFY(desk.dialogs.shown[0].text.contains(single));
    QCOMPARE(QDir(single).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"blocks.csv", "equity.png", "monthly.csv", "passes.csv", "price.png", "stats.json",
                          "trades.csv", "windows.csv"}));
    QVERIFY(desk.dialogs.shown[0].text.endsWith(QStringLiteral("equity.png, price.png")));
    QCOMPARE(CountLines(single + "/passes.csv"), size_t(1));
    QCOMPARE(CountLines(single + "/trades.csv"), w->evaluation()->trades.size() + 1);
    QFile json(single + "/stats.json");
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QByteArray stats = json.readAll();
    QVERIFY(stats.contains("\"monteCarlo\""));
    QVERIFY(stats.contains("\"passes\": 0") || stats.contains("\"passes\":0"));
    QVERIFY(stats.contains("\"complete\": true") || stats.contains("\"complete\":true"));

    // The batch runner's export of the same run writes the same bytes.
    const QString sample = QStringLiteral(KAVRO_SAMPLE_DIR);
    // Exports with the batch runner into `name`; the first way it differs from `exported`, or nothing.
    auto batchDiffers = [&](const QString& exported, const char* name,
                            const std::vector<std::string>& options) {
        const QString batch = desk.dir.filePath(QString::fromLatin1(name));
        std::vector<std::string> args = {"simple", "--hourly", (sample + "/EURUSD_H1.PRN").toStdString(),
                                         "--daily", (sample + "/EURUSD_D1.PRN").toStdString()};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(),
                    {"--no-beep", "--dir", desk.dir.path().toStdString(), "--export", batch.toStdString()});
        std::ostringstream out, err;
        if (const int code = RunBatch(args, out, err)) return QStringLiteral("batch exit %1").arg(code);
        for (const char* file : kExportFiles) {
            QFile a(exported + "/" + file), b(batch + "/" + file);
            if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
                return QStringLiteral("%1 missing").arg(file);
            if (a.readAll() != b.readAll()) return QStringLiteral("%1 differs").arg(file);
        }
        return QString();
    };
    QCOMPARE(batchDiffers(single, "batch", {"--step", "0", "--first-hour", "10", "--last-hour", "10"}),
             QString());

    // Another run chosen while the files are written: the message tells what was written.
    desk.dialogs.shown.clear();
    desk.dialogs.folders = {desk.dir.filePath(QStringLiteral("оценка/again"))};
    w->exportButton()->click();
    QVERIFY(w->exporting());
    w->runsPane()->table()->selectRow(1);
    QCOMPARE(w->evaluation()->run->kind, RunKind::Sweep);
    QVERIFY(WaitUntil([&] { return !w->exporting(); }));
    QCOMPARE(desk.dialogs.shown.size(), size_t(1));
    QVERIFY2(desk.dialogs.shown[0].text.endsWith(QStringLiteral("equity.png, price.png")),
             qPrintable(desk.dialogs.shown[0].text));

    // The sweep, chosen in "Запуски": its passes and its heatmap, no trades.
    w->runsPane()->table()->selectRow(1);
    QCOMPARE(w->evaluation()->run->kind, RunKind::Sweep);
    QVERIFY(MapsBuilt(w));
    // The export waits for the passes' figures and the overfitting check.
    QVERIFY(WaitUntil([&] { return !w->checking(); }));
    QVERIFY(w->exportButton()->isEnabled());
    const QString out = desk.dir.filePath(QStringLiteral("оценка/sweep"));
    QVERIFY(exportTo(out));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"blocks.csv", "equity.png", "heatmap.png", "monthly.csv", "overfit.png",
                          "passes.csv", "price.png", "stats.json", "trades.csv", "windows.csv"}));
    QCOMPARE(CountLines(out + "/passes.csv"), size_t(409));
    QCOMPARE(CountLines(out + "/blocks.csv"), size_t(409));
    QCOMPARE(QImage(out + "/overfit.png").size(), QSize(1400, 800));
    // The batch runner's check of the same sweep writes the same bytes.
    QCOMPARE(batchDiffers(out, "batch-sweep", {"--overfit"}), QString());
    QCOMPARE(CountLines(out + "/trades.csv"), size_t(1));
    const std::pair<const char*, QSize> pictures[] = {
        {"equity.png", QSize(1400, 800)}, {"heatmap.png", QSize(1400, 900)}, {"price.png", QSize(1400, 800)}};
    for (const auto& [name, size] : pictures) QCOMPARE(QImage(out + "/" + name).size(), size);
    // heatmap.png is the TP x SL grid the window shows: its best cell in its colour.
    const HeatGrid& g = w->heatmapPane()->targetStopMap()->grid();
    QVERIFY(g.hasBest);
    const QRectF best = LayoutHeatmap(QRectF(0, 0, 1400, 900), g).cellRect({g.bestX, g.bestY});
    // Off the middle, where the cell's value is written.
    QCOMPARE(QImage(out + "/heatmap.png").pixel((best.topLeft() + QPointF(4, 4)).toPoint()) | 0xFF000000u,
             HeatColour(g.bestValue, std::max(std::fabs(g.minValue), std::fabs(g.maxValue))).rgb());

    // A file where the folder should be, or in the way of its parent: a message naming it, nothing written.
    const QString blocker = desk.writeFile("blocker", {QStringLiteral("x")});
    for (const QString& target : {blocker, blocker + "/out"}) {
        QVERIFY(exportTo(target));
        QCOMPARE(desk.dialogs.shown.size(), size_t(1));
        QCOMPARE(desk.dialogs.shown[0].icon, QMessageBox::Critical);
        QVERIFY2(desk.dialogs.shown[0].text.contains(QStringLiteral("blocker")),
                 qPrintable(desk.dialogs.shown[0].text));
        QVERIFY(QFileInfo(blocker).isFile());
    }
    QCOMPARE(QDir(desk.dir.path()).entryList({QStringLiteral("*.png")}, QDir::Files), QStringList());

    // A cancelled dialog does nothing.
    desk.dialogs.shown.clear();
    w->exportButton()->click();
    QVERIFY(!w->exporting());
    QVERIFY(desk.dialogs.shown.empty());
}

void EvaluationWindowTest::runsListComparesAndRepeats() {
    Desk desk;
    QVERIFY(RunOnSample(desk, "Start"));  // run 1: the sweep
    for (const char* hour : {"10", "11"}) {
        SingleSetting(desk, hour);
        QVERIFY(RunToEnd(desk, "Start"));  // runs 2 and 3: single settings
    }
    EvaluationWindow* w = Ocen(desk);
    RunsPane* pane = w->runsPane();
    QTableWidget* t = pane->table();
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("3"));
    QCOMPARE(t->item(0, 2)->text(), QStringLiteral("одиночный"));
    QCOMPARE(t->item(2, 2)->text(), QStringLiteral("перебор"));
    QCOMPARE(t->item(0, 5)->text(), QStringLiteral("100/20/0, 11–11"));
    QVERIFY(t->item(0, 0)->isSelected());  // the latest is what the other tabs show
    QVERIFY(w->header()->text().contains(QStringLiteral("Запуск 3")));
    const auto run2 = desk.session->history.find(2), run3 = desk.session->history.find(3);
    const TradeStats s2 = ComputeTradeStats(TradesFromRows(run2->trades));
    const TradeStats s3 = ComputeTradeStats(TradesFromRows(run3->trades));
    QCOMPARE(Number(t->item(1, 6)->text()), s2.netResult);
    QCOMPARE(t->item(1, 7)->text(), QString::number(s2.trades));

    // Two runs selected: every statistic of both and the difference, and both equities.
    t->selectionModel()->select(t->model()->index(1, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(!pane->comparisonPanel()->isHidden());
    QTableWidget* c = pane->comparison();
    QCOMPARE(c->rowCount(), int(StatFigures(s2).size()));
    QCOMPARE(c->horizontalHeaderItem(1)->text(), QStringLiteral("Запуск 2"));
    for (int r = 0; r < c->rowCount(); ++r) {
        if (c->item(r, 0)->text() != FigureCaption(QStringLiteral("NetResult"))) continue;
        QCOMPARE(Number(c->item(r, 1)->text()), s2.netResult);
        QCOMPARE(Number(c->item(r, 2)->text()), s3.netResult);
        QCOMPARE(Number(c->item(r, 3)->text()), s3.netResult - s2.netResult);
    }
    QVERIFY(!pane->repeatButton()->isEnabled());
    QCOMPARE(w->evaluation()->run, run3);  // a comparison does not change what the tabs show

    // Run 2 alone: the tabs evaluate it, and "Повторить" writes its settings into the fields.
    t->selectRow(1);
    QCOMPARE(w->evaluation()->run, run2);
    QCOMPARE(w->statsPane()->figure(QStringLiteral("Trades")), QString::number(s2.trades));
    QVERIFY(pane->comparisonPanel()->isHidden());
    QVERIFY(pane->repeatButton()->isEnabled());
    pane->repeatButton()->click();
    QCOMPARE(desk.find<QLineEdit>("Text4")->text(), QStringLiteral("10"));
    QCOMPARE(desk.find<QLineEdit>("Text6")->text(), QStringLiteral("0"));
    // A new run is shown when the window follows the latest, not while one is chosen.
    QVERIFY(RunToEnd(desk, "Start"));
    w->refresh();
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(w->evaluation()->run, run2);

    // Sorted oldest first, the older of two runs is still the one compared first.
    t->sortItems(0, Qt::AscendingOrder);
    QCOMPARE(t->item(1, 0)->text(), QStringLiteral("2"));
    t->selectRow(1);
    t->selectionModel()->select(t->model()->index(2, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(c->horizontalHeaderItem(1)->text(), QStringLiteral("Запуск 2"));
    QCOMPARE(c->horizontalHeaderItem(2)->text(), QStringLiteral("Запуск 3"));
    QVERIFY(!c->isHidden() && pane->comparisonNote()->isHidden());
    // The sweep keeps no trades: a note says so instead of a table of zeros.
    t->selectRow(0);
    t->selectionModel()->select(t->model()->index(2, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(!pane->comparisonPanel()->isHidden());
    QVERIFY(c->isHidden() && pane->comparisonEquity()->isHidden());
    QVERIFY2(pane->comparisonNote()->text().contains(QStringLiteral("Запуск 1 — перебор")),
             qPrintable(pane->comparisonNote()->text()));
}

void EvaluationWindowTest::refusedRunKeepsWhatTheLastRunShowed() {
    Desk desk;
    LoadSample(desk);
    SingleSetting(desk, "10");
    QVERIFY(RunToEnd(desk, "Start"));
    QVERIFY(Ocen(desk));
    const char* labels[] = {"Label1_0", "Label1_1", "Label1_2", "Label1_3",
                            "Label6_3", "Label16",  "Label17",  "Label15"};
    auto shown = [&] {
        QStringList texts;
        for (const char* name : labels) texts << desk.find<QLabel>(name)->text();
        return texts;
    };
    const QStringList before = shown();
    QVERIFY(before.contains(QStringLiteral("Тест окончен")));

    // A point value that is no number: refused with the field named, nothing shown changes.
    desk.find<QLineEdit>("Text11")->setText(QString());
    desk.session->form.text11.clear();
    desk.dialogs.shown.clear();
    desk.window->action("Start")->trigger();
    QCOMPARE(desk.dialogs.texts_shown(),
             QStringList{QStringLiteral("Поле «Стоимость пункта» в рамке «Условия»: введите число с точкой, "
                                        "например 10")});
    QCOMPARE(shown(), before);
    QCOMPARE(desk.session->history.entries().size(), size_t(1));
}

QTEST_MAIN(EvaluationWindowTest)
#include "evaluation_window_test.moc"
