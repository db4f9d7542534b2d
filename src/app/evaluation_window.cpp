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
#include "evaluation/export.h"
#include "platform/qt/qt_dialogs.h"

namespace kavro {

namespace {

// The pictures of an export, in pixels.
const QSize kEquityPicture(1400, 800);
const QSize kHeatmapPicture(1400, 900);
const QSize kDashboardPicture(1400, 1100);

QImage Picture(QSize size, const std::function<void(QPainter&, const QRectF&)>& paint) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

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
    exportButton_->setToolTip(
        QStringLiteral("Записать trades.csv, passes.csv, windows.csv, monthly.csv, stats.json и рисунки "
                       "equity.png, heatmap.png, dashboard.png в выбранную папку"));
    top->addWidget(exportButton_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("EvaluationTabs"));
    root->addWidget(tabs_, 1);
    stats_ = new StatsPane(tabs_);
    heatmap_ = new HeatmapPane([this](const PassRow& setting) { return runSetting(setting); }, tabs_);
    walkForward_ = new WalkForwardPane(tabs_);
    monteCarlo_ = new MonteCarloPane(tabs_);
    tabs_->addTab(stats_, QStringLiteral("Статистика"));
    tabs_->addTab(heatmap_, QStringLiteral("Тепловая карта"));
    tabs_->addTab(walkForward_, QStringLiteral("Walk-forward"));
    tabs_->addTab(monteCarlo_, QStringLiteral("Монте-Карло"));

    exportPoll_.setInterval(10);
    connect(&exportPoll_, &QTimer::timeout, this, [this] { pollExport(); });
    connect(exportButton_, &QPushButton::clicked, this, [this] { exportToFolder(); });
    resize(1280, 860);
}

EvaluationWindow::~EvaluationWindow() {
    // Closed with its owner rather than on its own: the files still go out whole.
    waitForExport();
}

void EvaluationWindow::refresh() {
    if (closing_ || (shownOnce_ && shownSerial_ == s_.evaluation.serial)) return;
    shownOnce_ = true;
    shownSerial_ = s_.evaluation.serial;
    try {
        Evaluation e = Evaluate(s_.evaluation);
        // A sweep's passes write no journal: there are no trades to judge.
        journalMissing_ = e.latest && e.latest->kind == RunKind::Simple && !e.latest->journaled;
        e_ = std::make_shared<const Evaluation>(std::move(e));
        header_->setText(e_->latest ? headerText() : QString::fromUtf8(kNothingToEvaluate));
    } catch (const std::bad_alloc&) {
        // The program goes on; the window shows nothing rather than half a result.
        journalMissing_ = false;
        e_ = std::make_shared<const Evaluation>();
        header_->setText(QStringLiteral("Не хватает памяти, чтобы оценить последний тест."));
    }
    stats_->setEvaluation(e_, journalMissing_);
    heatmap_->setEvaluation(e_);
    walkForward_->setEvaluation(e_);
    monteCarlo_->setEvaluation(e_);
    exportButton_->setEnabled(e_->latest && !exporting());
}

QString EvaluationWindow::headerText() const {
    const RunResults& r = *e_->latest;
    const SettingFields& f = r.fields;
    QString text;
    if (r.kind == RunKind::Thorough) {
        text = QStringLiteral(
                   "<b>Качественное тестирование</b>, окон: %1 · статистика по сделкам форвардных "
                   "периодов (RIPOT1)")
                   .arg(r.windows.size());
    } else if (r.passes.size() == 1) {
        const PassRow& p = r.passes.front();
        text = QStringLiteral("<b>Одиночный тест</b>: час %1, TP %2, SL %3 · итог %4")
                   .arg(Short(p.entryHour), Short(p.target), Short(p.stop), Short(p.total));
    } else if (journalMissing_) {
        text = QStringLiteral("<b>Простое тестирование</b>, проходов: %1 · перебор не ведёт журнал сделок")
                   .arg(r.passes.size());
    } else if (!r.passes.empty()) {
        const PassRow& p = r.passes.back();
        text = QStringLiteral(
                   "<b>Простое тестирование</b>, проходов: %1 · статистика по сделкам последнего "
                   "прохода (час %2, TP %3, SL %4)")
                   .arg(r.passes.size())
                   .arg(Short(p.entryHour), Short(p.target), Short(p.stop));
    } else {
        text = QStringLiteral("<b>Простое тестирование</b>: ни один проход не завершён");
    }
    text += QStringLiteral(" · %1, %2")
                .arg(QLatin1String(PairName(f.pair)), Period(f.dtPicker1.value, f.dtPicker2.value));
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
    run([&] { RunSettingCommand(s, setting); });
    if (!s.form.timer1) return QStringLiteral("Настройка %1 не запущена.").arg(what);
    return QStringLiteral("Запущена настройка %1: по окончании её покажут статистика и «График».").arg(what);
}

void EvaluationWindow::exportToFolder() {
    if (exporting() || closing_ || !e_ || !e_->latest) return;
    QPointer<EvaluationWindow> self(this);
    const QString title = QStringLiteral("Папка для экспорта оценки");
    std::string dir;
    if (auto* qt = dynamic_cast<QtDialogs*>(&s_.dialogs))
        dir = qt->chooseFolder(title.toStdString());
    else if (const QString picked = QFileDialog::getExistingDirectory(this, title); !picked.isEmpty())
        dir = QFile::encodeName(picked).toStdString();
    // A run may have ended while the dialog was up: what is shown now is what gets written.
    if (!self || closing_ || dir.empty() || !e_ || !e_->latest) return;

    const auto e = e_;
    const auto mc = monteCarlo_->result();
    // The pictures are painted here by the window's own painting code; the
    // thread only encodes and writes them, after the five files.
    // The TP x SL grid of the hour chosen; built here when its view is still waiting for it.
    HeatGrid grid = heatmap_->targetStopMap()->grid();
    if (e->sweep && heatmap_->building())
        grid = TargetStopGrid(e->sweep->passes, e->axes, heatmap_->chosenHour().value_or(0.0f));
    const QImage equity = Picture(kEquityPicture, [&](QPainter& p, const QRectF& r) {
        PaintEquity(p, r, e->equity, e->stats.maxDrawdown);
    });
    const QImage heatmap =
        Picture(kHeatmapPicture, [&](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, grid); });
    const QImage dashboard = Picture(kDashboardPicture, [&](QPainter& p, const QRectF& r) {
        const QRectF upper(r.left(), r.top(), r.width(), r.height() * 0.45);
        PaintForwardEquity(p, upper, e->windows);
        PaintParameterStability(p, QRectF(r.left(), upper.bottom(), r.width(), r.height() - upper.height()),
                                e->windows);
    });

    exportJob_ = StartBackground<ExportOutcome>([dir, e, mc, equity, heatmap, dashboard] {
        ExportOutcome o;
        o.dir = dir;
        EvaluationExport data;
        data.trades = e->trades;
        if (e->sweep) data.passes = e->sweep->passes;
        if (e->walkForward) data.windows = e->walkForward->windows;
        data.monteCarlo = mc.get();
        data.complete = e->complete;
        if (!ExportEvaluation(dir, data, o.error)) return o;
        const std::pair<const char*, const QImage*> pictures[] = {
            {"equity.png", &equity}, {"heatmap.png", &heatmap}, {"dashboard.png", &dashboard}};
        for (const auto& [name, image] : pictures) {
            const auto draw = [image](QPainter& p, const QRectF& r) { p.drawImage(r, *image); };
            if (!SavePng(dir + "/" + name, image->size(), draw, o.error)) return o;
        }
        o.ok = true;
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
    exportButton_->setEnabled(e_ && e_->latest);
    finishExport(outcome);
}

void EvaluationWindow::finishExport(const ExportOutcome& o) {
    if (!o.ok) {
        s_.dialogs.message(MessageKind::Error, o.error);
        return;
    }
    s_.dialogs.message(MessageKind::Information,
                       "Оценка сохранена в папку «" + o.dir +
                           "»: trades.csv, passes.csv, windows.csv, monthly.csv, stats.json, equity.png, "
                           "heatmap.png, dashboard.png");
}

void EvaluationWindow::closeEvent(QCloseEvent* e) {
    closing_ = true;
    exportPoll_.stop();
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
