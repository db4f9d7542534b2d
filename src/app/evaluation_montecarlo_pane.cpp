// "Монте-Карло": how the result and the drawdown spread when the order of the
// trades, or the trades themselves, are luck. The runs go on a thread of their own.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>

#include "app/evaluation_panes.h"

namespace kavro {

namespace {

// The seed as typed: a whole number that fits 64 bits, nothing else.
std::optional<uint64_t> ReadSeed(const QString& text) {
    const std::string s = text.trimmed().toStdString();
    uint64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

// The runs leave a core to the window, so that it keeps answering while they go.
int WorkerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? static_cast<int>(cores - 1) : 1;
}

const struct {
    const char* title;
    bool resampled, drawdown;
} kPictures[4] = {
    {"Итог: сделки в случайном порядке", false, false},
    {"Макс. просадка: сделки в случайном порядке", false, true},
    {"Итог: выборка сделок с возвращением", true, false},
    {"Макс. просадка: выборка сделок с возвращением", true, true},
};

}  // namespace

MonteCarloPane::MonteCarloPane(MonteCarloChoice& choice, QWidget* parent) : QWidget(parent), choice_(choice) {
    setObjectName(QStringLiteral("MonteCarloPane"));
    auto* root = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    root->addLayout(controls);
    controls->addWidget(new QLabel(QStringLiteral("Прогонов:"), this));
    runs_ = new QSpinBox(this);
    runs_->setObjectName(QStringLiteral("MonteCarloRuns"));
    runs_->setRange(1, 1000000);
    runs_->setValue(std::clamp(choice.runs, 1, 1000000));
    runs_->setMinimumWidth(110);
    controls->addWidget(runs_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Зерно:"), this));
    seed_ = new QLineEdit(QString::number(choice.seed), this);
    seed_->setObjectName(QStringLiteral("MonteCarloSeed"));
    seed_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{1,20}")), seed_));
    seed_->setToolTip(
        QStringLiteral("То же зерно даёт те же цифры; любое целое от 0 до 18446744073709551615"));
    seed_->setMinimumWidth(170);
    seed_->setMaximumWidth(220);
    controls->addWidget(seed_);
    controls->addSpacing(12);
    button_ = new QPushButton(QStringLiteral("Запустить"), this);
    button_->setObjectName(QStringLiteral("MonteCarloRun"));
    controls->addWidget(button_);
    cancel_ = new QPushButton(QStringLiteral("Отменить"), this);
    cancel_->setObjectName(QStringLiteral("MonteCarloCancel"));
    cancel_->setEnabled(false);
    controls->addWidget(cancel_);
    controls->addSpacing(12);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("MonteCarloProgress"));
    progressBar_->setMaximumWidth(160);
    progressBar_->hide();
    controls->addWidget(progressBar_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("MonteCarloStatus"));
    status_->setWordWrap(true);
    controls->addWidget(status_, 1);

    table_ = MakeTable("MonteCarloTable",
                       {QString(), QStringLiteral("5 %"), QStringLiteral("50 %"), QStringLiteral("95 %"),
                        QStringLiteral("Среднее"), QStringLiteral("P(итог < 0)")},
                       this);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setRowCount(4);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           4 * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
    root->addWidget(table_);

    auto* grid = new QGridLayout;
    root->addLayout(grid, 1);
    const char* names[4] = {"MonteCarloShuffledResult", "MonteCarloShuffledDrawdown",
                            "MonteCarloResampledResult", "MonteCarloResampledDrawdown"};
    for (int i = 0; i < 4; ++i) {
        pictures_[i] = new PictureView(names[i], this);
        grid->addWidget(pictures_[i], i / 2, i % 2);
    }

    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, [this] { poll(); });
    connect(button_, &QPushButton::clicked, this, [this] { start(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(seed_, &QLineEdit::returnPressed, this, [this] { start(); });
    // The choice outlives the window: it opens again with what was last typed.
    connect(runs_, &QSpinBox::valueChanged, this, [this](int runs) { choice_.runs = runs; });
    connect(seed_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (const auto seed = ReadSeed(text)) choice_.seed = *seed;
    });
    setEvaluation(nullptr);
}

MonteCarloPane::~MonteCarloPane() {
    // Runs nobody will look at are not worth the cores.
    if (progress_) progress_->cancel = true;
}

void MonteCarloPane::cancel() {
    if (!job_ || !progress_) return;
    progress_->cancel = true;
    status_->setText(QStringLiteral("Останавливается…"));
}

void MonteCarloPane::setEvaluation(const std::shared_ptr<const Evaluation>& e) {
    e_ = e;
    const auto latest = e ? e->run : nullptr;
    if (latest && latest == run_) return;
    // Other trades: the figures shown belong to the old ones.
    run_ = latest;
    shown_.reset();
    showResult();
    if (run_)
        start();
    else
        status_->setText(QString::fromUtf8(kNothingToEvaluate));
}

void MonteCarloPane::start() {
    if (!e_ || !e_->run) return;
    const auto seed = ReadSeed(seed_->text());
    if (!seed) {
        status_->setText(QStringLiteral("Зерно — целое число от 0 до 18446744073709551615."));
        return;
    }
    // A run still going is for figures nobody will see.
    if (progress_) progress_->cancel = true;
    if (e_->stats.trades == 0) {
        job_.reset();
        progress_.reset();
        showRunning(false);
        poll_.stop();
        shown_.reset();
        showResult();
        status_->setText(QStringLiteral("Сделок нет: Монте-Карло не из чего строить."));
        return;
    }
    MonteCarloOptions options;
    options.runs = runs_->value();
    options.seed = *seed;
    options.threads = WorkerThreads();
    progress_ = std::make_shared<MonteCarloProgress>();
    job_ = StartBackground<std::shared_ptr<const MonteCarloResult>>([e = e_, options, progress = progress_] {
        MonteCarloOptions watched = options;
        watched.progress = progress.get();
        return std::make_shared<const MonteCarloResult>(RunMonteCarlo(e->trades, watched));
    });
    choice_.runs = options.runs;
    choice_.seed = options.seed;
    runsAsked_ = options.runs;
    status_->setText(QStringLiteral("Считается: %1 прогонов, зерно %2…").arg(options.runs).arg(*seed));
    showRunning(true);
    poll_.start();
}

void MonteCarloPane::showRunning(bool running) {
    cancel_->setEnabled(running);
    progressBar_->setVisible(running);
    progressBar_->setRange(0, std::max(runsAsked_, 1));
    progressBar_->setValue(0);
}

void MonteCarloPane::poll() {
    if (job_ && progress_ && !job_->done.load(std::memory_order_acquire)) {
        progressBar_->setValue(static_cast<int>(std::min<int64_t>(progress_->done.load(), runsAsked_)));
        return;
    }
    if (!job_) return;
    const auto job = std::move(job_);
    job_.reset();
    progress_.reset();
    showRunning(false);
    poll_.stop();
    if (job->result && job->result->cancelled) {
        status_->setText(shown_ ? QStringLiteral("Монте-Карло отменён: показаны прежние цифры.")
                                : QStringLiteral("Монте-Карло отменён."));
        return;
    }
    if (!job->result) {
        status_->setText(QStringLiteral("Монте-Карло не удался: %1. Уменьшите число прогонов.")
                             .arg(QString::fromStdString(job->error)));
        return;
    }
    shown_ = job->result;
    showResult();
    status_->setText(
        QStringLiteral(
            "Готово: %1 прогонов по %2 сделкам, зерно %3. В случайном порядке итог всегда тот же — "
            "меняется путь к нему и просадка.")
            .arg(shown_->runs)
            .arg(shown_->trades)
            .arg(shown_->seed));
}

void MonteCarloPane::showResult() {
    const MonteCarloResult* r = shown_.get();
    TableFill fill(table_);
    // Whole money when every trade is whole, as the statistics show it.
    int money = 0;
    if (e_)
        for (const TradeRecord& t : e_->trades)
            if (std::isfinite(t.profit) && std::trunc(t.profit) != t.profit) money = 2;
    for (int i = 0; i < 4; ++i) {
        const auto& pic = kPictures[i];
        const MonteCarloMethod* m = r ? (pic.resampled ? &r->resampled : &r->shuffled) : nullptr;
        const Distribution* d = m ? (pic.drawdown ? &m->maxDrawdown : &m->finalResult) : nullptr;
        const bool withBelow = m && !pic.drawdown;
        const QString cells[5] = {
            d ? Figure(d->p5, money) : QString(),
            d ? Figure(d->p50, money) : QString(),
            d ? Figure(d->p95, money) : QString(),
            d ? Figure(d->mean, money) : QString(),
            withBelow ? Figure(m->probabilityBelowZero * 100, 1) + QStringLiteral(" %") : QString(),
        };
        const double keys[5] = {d ? d->p5 : NAN, d ? d->p50 : NAN, d ? d->p95 : NAN, d ? d->mean : NAN,
                                withBelow ? m->probabilityBelowZero : NAN};
        // Rows may have been sorted: each is written whole, title and figures together.
        table_->setItem(i, 0, TableItem(QString::fromUtf8(pic.title)));
        for (int c = 0; c < 5; ++c)
            table_->setItem(i, c + 1, TableItem(cells[c], Qt::AlignRight | Qt::AlignVCenter, keys[c]));
        if (!d) {
            pictures_[i]->setPaint({});
            continue;
        }
        const QString title = QString::fromUtf8(pic.title);
        const std::optional<double> below =
            pic.drawdown ? std::nullopt : std::optional<double>(m->probabilityBelowZero);
        // The picture keeps its own share of the result, whatever the pane shows next.
        pictures_[i]->setPaint([keep = shown_, d, title, below](QPainter& p, const QRectF& area) {
            PaintMonteCarlo(p, area, *d, title, below);
        });
    }
}

}  // namespace kavro
