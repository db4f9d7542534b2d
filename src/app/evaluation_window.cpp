#include "app/evaluation_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/evaluation_panes.h"
#include "app/window_placement.h"
#include "engine/trade_extent.h"
#include "evaluation/export.h"
#include "platform/qt/qt_dialogs.h"
#include "program/commands.h"
#include "program/run_export.h"

namespace kavro {

namespace {

bool RunGoing(const Session& s) {
    return s.form.timer1 || s.form.timer3 || s.timer1Running || s.timer3Running || s.loading;
}

}  // namespace

EvaluationWindow::EvaluationWindow(Session& s, CommandRunner run, QWidget* owner)
    : QWidget(owner, Qt::Window), s_(s), run_(std::move(run)) {
    setObjectName(QStringLiteral("EvaluationWindow"));
    setWindowTitle(QStringLiteral("Оценка"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);
    header_ = new QLabel(this);
    header_->setObjectName(QStringLiteral("EvaluationHeader"));
    header_->setWordWrap(true);
    header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(header_, 1);
    exportButton_ = new QPushButton(QStringLiteral("Экспорт…"), this);
    exportButton_->setObjectName(QStringLiteral("ExportButton"));
    exportButton_->setToolTip(QStringLiteral(
        "Записать trades.csv, passes.csv, windows.csv, monthly.csv, stats.json, blocks.csv и рисунки "
        "equity.png, heatmap.png, overfit.png, dashboard.png, price.png в выбранную папку (папку, которой "
        "ещё нет, можно вписать: она будет создана)"));
    top->addWidget(exportButton_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("EvaluationTabs"));
    root->addWidget(tabs_, 1);
    runs_ = new RunsPane(tabs_);
    runs_->onChoose = [this](int64_t number) { chooseRun(number); };
    runs_->onRepeat = [this](int64_t number) {
        const auto record = s_.history.find(number);
        if (!record) return;
        const CommandRunner run = run_;
        run([&] { RepeatCommand(s_, *record); });
    };
    tabs_->addTab(runs_, QStringLiteral("Запуски"));
    stats_ = new StatsPane(tabs_);
    trades_ = new TradesPane(tabs_);
    price_ = new PricePane(s_.store, tabs_);
    heatmap_ = new HeatmapPane([this](const PassRow& setting) { return runSetting(setting); }, tabs_);
    passes_ = new PassesPane([this](const PassRow& setting) { return runSetting(setting); }, tabs_);
    overfit_ = new OverfitPane(s_.overfit, tabs_);
    overfit_->onBlocksChanged = [this] { startCheck(); };
    walkForward_ = new WalkForwardPane(tabs_);
    monteCarlo_ = new MonteCarloPane(s_.monteCarlo, tabs_);
    // In the order of a trader's questions: how did it do, which trades, where on the chart.
    tabs_->addTab(stats_, QStringLiteral("Статистика"));
    tabs_->setCurrentWidget(stats_);
    tabs_->addTab(trades_, QStringLiteral("Сделки"));
    tabs_->addTab(price_, QStringLiteral("Цена"));
    tabs_->addTab(heatmap_, QStringLiteral("Тепловая карта"));
    tabs_->addTab(passes_, QStringLiteral("Проходы"));
    tabs_->addTab(overfit_, QStringLiteral("Переобучение"));
    tabs_->addTab(walkForward_, QStringLiteral("Walk-forward"));
    tabs_->addTab(monteCarlo_, QStringLiteral("Монте-Карло"));
    // One trade chosen anywhere is the trade everywhere.
    trades_->onSelect = [this](size_t number) { price_->showTrade(number); };
    trades_->onShowOnChart = [this](size_t number) {
        tabs_->setCurrentWidget(price_);
        price_->showTrade(number);
    };
    stats_->onTradeChosen = [this](size_t number) {
        trades_->selectTrade(number);
        price_->showTrade(number);
    };

    exportPoll_.setInterval(10);
    connect(&exportPoll_, &QTimer::timeout, this, [this] { pollExport(); });
    checkPoll_.setInterval(20);
    connect(&checkPoll_, &QTimer::timeout, this, [this] { pollCheck(); });
    connect(exportButton_, &QPushButton::clicked, this, [this] { exportToFolder(); });
    PlaceOnScreen(this, QSize(1280, 860), owner);
}

EvaluationWindow::~EvaluationWindow() {
    // A check nobody will look at is not worth the cores.
    if (checkProgress_) checkProgress_->cancel = true;
    // Closed with its owner rather than on its own: the files still go out whole.
    waitForExport();
}

void EvaluationWindow::refresh() {
    if (closing_ || (shownOnce_ && shownSerial_ == s_.history.serial())) return;
    shownOnce_ = true;
    shownSerial_ = s_.history.serial();
    try {
        Evaluation e = Evaluate(s_.history, ChosenRun(s_.history, chosen_));
        // A sweep's passes write no journal: there are no trades to judge.
        journalMissing_ = e.run && e.run->isSweep();
        e_ = std::make_shared<const Evaluation>(std::move(e));
        header_->setText(e_->run ? headerText() : QString::fromUtf8(kNothingToEvaluate));
    } catch (const std::bad_alloc&) {
        // The program goes on; the window shows nothing rather than half a result.
        journalMissing_ = false;
        e_ = std::make_shared<const Evaluation>();
        header_->setText(QStringLiteral("Не хватает памяти, чтобы оценить этот запуск."));
    }
    runs_->setRuns(s_.history, e_->run ? e_->run->number : 0);
    stats_->setEvaluation(e_, journalMissing_);
    trades_->setEvaluation(e_, journalMissing_);
    price_->setEvaluation(e_, journalMissing_);
    walkForward_->setEvaluation(e_);
    monteCarlo_->setEvaluation(e_);
    startCheck();
}

void EvaluationWindow::startCheck() {
    const auto sweep = e_ ? e_->sweep : nullptr;
    const int blocks = s_.overfit.blocks;
    // The check held (or in flight) for this sweep and these blocks serves again.
    if (!sweep || sweep != checkSweep_ || blocks != checkBlocks_) {
        if (checkProgress_) checkProgress_->cancel = true;
        checkJob_.reset();
        checkProgress_.reset();
        check_.reset();
        checkSweep_ = sweep;
        checkBlocks_ = blocks;
        if (sweep) {
            // Too many passes for the check, but not for their figures: the figures alone.
            const int asked = SweepCheckRefusal(sweep->passes.size(), blocks).empty() ? blocks : 0;
            // The check counts the passes, then the splits, when there are splits to rank.
            const size_t passes = sweep->passes.size();
            checkTotal_ =
                static_cast<int64_t>(passes) + (asked > 0 && passes >= 2 ? Choose(asked, asked / 2) : 0);
            if (!HoldsQuotesOf(s_.store, *sweep) || !SweepCheckRefusal(sweep->passes.size(), 0).empty()) {
                // Said at once, without a copy of quotes that would not be read.
                PassKernel kernel;
                DayMatchTable table;
                check_ = std::make_shared<const SweepCheck>(CheckSweep(
                    s_.store, *sweep, ReplayTools{kernel, table}, FiguresRequest{asked, 1, nullptr}));
            } else {
                // The job reads a copy: the window's quotes may be loaded anew while it runs.
                auto store = std::make_shared<const QuoteStore>(s_.store);
                checkProgress_ = std::make_shared<JobProgress>();
                checkJob_ = StartBackground<std::shared_ptr<const SweepCheck>>(
                    [store, sweep, asked, progress = checkProgress_] {
                        PassKernel kernel;
                        DayMatchTable table;
                        const FiguresRequest request{asked, static_cast<unsigned>(WorkerThreads()),
                                                     progress.get()};
                        return std::make_shared<const SweepCheck>(
                            CheckSweep(*store, *sweep, ReplayTools{kernel, table}, request));
                    });
                checkPoll_.start();
            }
        }
    }
    showCheck();
}

void EvaluationWindow::pollCheck() {
    if (checkJob_ && !checkJob_->done.load(std::memory_order_acquire)) {
        overfit_->showProgress(checkProgress_->done.load(), checkTotal_);
        return;
    }
    checkPoll_.stop();
    if (!checkJob_) return;
    check_ = checkJob_->result;
    if (!check_) {
        auto failed = std::make_shared<SweepCheck>();
        failed->error = "Цифры проходов не посчитаны: " + checkJob_->error;
        check_ = std::move(failed);
    }
    checkJob_.reset();
    checkProgress_.reset();
    showCheck();
}

void EvaluationWindow::showCheck() {
    if (e_ && e_->sweep && e_->sweep == checkSweep_ && e_->check != check_) {
        auto e = std::make_shared<Evaluation>(*e_);
        e->check = check_;
        e_ = std::move(e);
    }
    heatmap_->setEvaluation(e_);
    passes_->setEvaluation(e_, checking());
    overfit_->setEvaluation(e_, checking());
    // The export writes the figures of the sweep: it waits for them.
    exportButton_->setEnabled(e_ && e_->run && !exporting() && !checking());
}

void EvaluationWindow::chooseRun(int64_t number) {
    // Choosing the latest again means following the runs still to come.
    const auto latest = s_.history.latest();
    const int64_t chosen = latest && latest->number == number ? 0 : number;
    if (chosen == chosen_ && e_ && e_->run && e_->run->number == number) return;
    chosen_ = chosen;
    shownOnce_ = false;
    refresh();
}

QString EvaluationWindow::headerText() const {
    const RunRecord& r = *e_->run;
    const SettingFields& f = r.fields;
    QString text = QStringLiteral("<b>Запуск %1 · %2</b>").arg(r.number).arg(RunKindText(r.kind, true));
    if (r.kind == RunKind::Thorough)
        text += QStringLiteral(", окон: %1 · статистика по сделкам форвардных периодов (RIPOT1)")
                    .arg(r.windows.size());
    else if (journalMissing_)
        text += QStringLiteral(", проходов: %1 · перебор не ведёт журнал сделок").arg(r.passes.size());
    else if (r.kind == RunKind::Cell)
        text += QStringLiteral(" из перебора %1").arg(r.parent);
    text += QStringLiteral(" · %1, %2 – %3 · TP %4, SL %5, шаг %6, часы %7–%8")
                .arg(QLatin1String(PairName(r.settings.pair)), DayOfText(r.firstDate), DayOfText(r.lastDate),
                     QString::fromStdString(f.text2), QString::fromStdString(f.text3),
                     QString::fromStdString(f.text6), QString::fromStdString(f.text4),
                     QString::fromStdString(f.text5));
    if (!r.changes.empty()) text += QStringLiteral(" · изменений по ходу: %1").arg(r.changes.size());
    return text;
}

QString EvaluationWindow::runSetting(const PassRow& setting) {
    Session& s = s_;
    if (RunGoing(s))
        return QStringLiteral(
            "Идёт тест: дождитесь его окончания или нажмите «Стоп», затем запустите клетку снова.");
    const QString what = QStringLiteral("час %1, TP %2, SL %3")
                             .arg(Short(setting.entryHour), Short(setting.target), Short(setting.stop));
    // The command may show a box and let events run: this window may be gone when it returns.
    const CommandRunner run = run_;
    const auto sweep = e_ ? e_->sweep : nullptr;
    if (!sweep) return QStringLiteral("Перебора для этой клетки нет.");
    RunStart start;
    run([&] { start = CellCommand(s, *sweep, setting); });
    if (!start.started()) return QStringLiteral("Настройка %1 не запущена.").arg(what);
    return QStringLiteral("Запущена настройка %1: по окончании её покажут статистика и «График».").arg(what);
}

void EvaluationWindow::exportToFolder() {
    if (exporting() || closing_ || !e_ || !e_->run) return;
    QPointer<EvaluationWindow> self(this);
    const QString title = QStringLiteral("Папка для экспорта оценки");
    std::string dir;
    if (auto* qt = dynamic_cast<QtDialogs*>(&s_.dialogs))
        dir = qt->chooseFolder(title.toStdString());
    else if (FolderDialog pick(this, title, QString());
             pick.exec() == QDialog::Accepted && !pick.folder().isEmpty())
        dir = QFile::encodeName(pick.folder()).toStdString();
    // A run may have ended while the dialog was up: what is shown now is what gets written.
    if (!self || closing_ || dir.empty() || !e_ || !e_->run) return;

    const auto e = e_;
    const auto mc = monteCarlo_->result();
    const OverfitReport* overfit = OverfitShown(*e);
    // The pictures are painted here by the window's own painting code; the thread
    // only encodes and writes them, after the files. A sweep's heatmap is the hour chosen.
    HeatGrid grid = heatmap_->targetStopMap()->grid();
    if (e->sweep && heatmap_->building())
        grid = TargetStopGrid(e->sweep->passes, e->axes, heatmap_->chosenHour().value_or(0.0f));
    // The prices are painted here too, while the store is known to hold the run's quotes.
    const PricePictures prices = PricePicturesOf(s_.store, *e);
    EvaluationPictures shown;
    shown.equity = e->equity;
    shown.equityHours = stats_->shownHours();
    shown.maxDrawdown = e->stats.maxDrawdown;
    shown.heatmap = e->run->isSweep() ? &grid : nullptr;
    shown.overfit = overfit;
    shown.windows = e->walkForward ? &e->windows : nullptr;
    shown.prices = prices.daily.get();
    auto pictures = std::make_shared<std::vector<NamedPicture>>(PaintEvaluationPictures(shown));

    // The thread only writes what was painted here; it never reads the charts.
    exportJob_ = StartBackground<ExportOutcome>([dir, e, mc, pictures, prices] {
        ExportOutcome o;
        o.dir = dir;
        o.prices = prices;
        o.evaluation = e;
        const MonteCarloResult none;
        const PictureWriter write = [pictures](const std::string& to, const Evaluation&, const PricePictures&,
                                               std::string& error) {
            return WritePictures(to, *pictures, error);
        };
        o.ok = ExportRun(*e, mc ? *mc : none, dir, prices, write, o.error);
        return o;
    });
    exportButton_->setEnabled(false);
    exportButton_->setText(QStringLiteral("Сохраняется…"));
    exportPoll_.start();
}

EvaluationWindow::ExportOutcome EvaluationWindow::takeExport() {
    ExportOutcome o = exportJob_->result;
    if (!exportJob_->error.empty()) o.error = "Оценка не записана: " + exportJob_->error;
    exportJob_.reset();
    return o;
}

void EvaluationWindow::pollExport() {
    if (!exportJob_ || !exportJob_->done.load(std::memory_order_acquire)) return;
    const ExportOutcome outcome = takeExport();
    exportPoll_.stop();
    exportButton_->setText(QStringLiteral("Экспорт…"));
    exportButton_->setEnabled(e_ && e_->run && !checking());
    finishExport(outcome);
}

void EvaluationWindow::finishExport(const ExportOutcome& o) {
    if (!o.ok) {
        s_.dialogs.message(MessageKind::Error, o.error);
        return;
    }
    static const Evaluation kNone;
    const Evaluation& e = o.evaluation ? *o.evaluation : kNone;
    std::string done = ExportDoneMessage(e, o.prices, o.dir);
    // A sweep whose passes could not be replayed is written without their figures: say so.
    if (e.run && e.run->isSweep() && e.check && !e.check->ok)
        done += "\n\nЦифры проходов не записаны: " + e.check->error;
    s_.dialogs.message(MessageKind::Information, done);
}

void EvaluationWindow::closeEvent(QCloseEvent* e) {
    closing_ = true;
    exportPoll_.stop();
    checkPoll_.stop();
    if (checkProgress_) checkProgress_->cancel = true;
    if (exportJob_) {
        // An export is bounded by the files it writes; its outcome must not be
        // lost with the window, so wait for it and tell a failure.
        waitForExport();
        const ExportOutcome outcome = takeExport();
        if (!outcome.ok) s_.dialogs.message(MessageKind::Error, outcome.error);
    }
    e->accept();
}

void EvaluationWindow::waitForExport() const {
    while (exportJob_ && !exportJob_->done.load(std::memory_order_acquire))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

EvaluationWindow* OpenEvaluationWindow(Session& s, CommandRunner run, QWidget* owner) {
    EvaluationWindow* w = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* ew = qobject_cast<EvaluationWindow*>(top);
        if (ew && &ew->session() == &s && !ew->isClosing()) w = ew;
    }
    const bool reshown = w;
    if (!w) w = new EvaluationWindow(s, std::move(run), owner);
    w->refresh();
    w->show();
    if (reshown) w->raise();
    w->activateWindow();
    return w;
}

}  // namespace kavro
