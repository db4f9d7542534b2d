// "Монте-Карло": how the result and the drawdown spread when the order of the
// trades, or the trades themselves, are luck. The runs go on a thread of their own.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStackedWidget>
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

MonteCarloPane::MonteCarloPane(MonteCarloOptions& choice, QWidget* parent)
    : QWidget(parent), choice_(choice) {
    setObjectName(QStringLiteral("MonteCarloPane"));
    auto* root = new QVBoxLayout(this);
    addControls(root);
    addFigureTable(root);
    addPictures(root);
    connectControls();
    setEvaluation(nullptr);
}

// The runs, seed, balance and ruin level with the buttons in one row; the choice of pictures
// and the status under it.
void MonteCarloPane::addControls(QVBoxLayout* root) {
    auto* controls = new QHBoxLayout;
    root->addLayout(controls);
    controls->addWidget(new QLabel(QStringLiteral("Прогонов:"), this));
    runs_ = new QSpinBox(this);
    runs_->setObjectName(QStringLiteral("MonteCarloRuns"));
    runs_->setRange(1, 1000000);
    runs_->setValue(std::clamp(choice_.runs, 1, 1000000));
    runs_->setMinimumWidth(110);
    controls->addWidget(runs_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Зерно:"), this));
    seed_ = new QLineEdit(QString::number(choice_.seed), this);
    seed_->setObjectName(QStringLiteral("MonteCarloSeed"));
    seed_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{1,20}")), seed_));
    seed_->setToolTip(
        QStringLiteral("То же зерно даёт те же цифры; любое целое от 0 до 18446744073709551615"));
    seed_->setMinimumWidth(170);
    seed_->setMaximumWidth(220);
    controls->addWidget(seed_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Баланс:"), this));
    balance_ = new QDoubleSpinBox(this);
    balance_->setObjectName(QStringLiteral("MonteCarloBalance"));
    balance_->setRange(0.01, 1e12);
    balance_->setDecimals(2);
    balance_->setValue(choice_.balance);
    balance_->setToolTip(QStringLiteral("Деньги на счёте в начале прогона, для риска разорения"));
    controls->addWidget(balance_);
    controls->addWidget(new QLabel(QStringLiteral("Разорение при потере, %:"), this));
    ruinLevel_ = new QDoubleSpinBox(this);
    ruinLevel_->setObjectName(QStringLiteral("MonteCarloRuinLevel"));
    ruinLevel_->setRange(0, 100);
    ruinLevel_->setDecimals(1);
    ruinLevel_->setValue(choice_.ruinLevel);
    ruinLevel_->setToolTip(QStringLiteral(
        "Прогон разорён, если баланс с накопленным результатом хоть раз опустился до баланс × (1 − "
        "потеря / 100) или ниже"));
    controls->addWidget(ruinLevel_);
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
    controls->addStretch(1);
    // The status under the controls, beside the choice of pictures: the row above stays narrow.
    auto* show = new QHBoxLayout;
    root->addLayout(show);
    show->addWidget(new QLabel(QStringLiteral("Рисунки:"), this));
    view_ = new QComboBox(this);
    view_->setObjectName(QStringLiteral("MonteCarloView"));
    view_->addItems(
        {QStringLiteral("Распределения итога и просадки"), QStringLiteral("Веер эквити по сделкам")});
    show->addWidget(view_);
    show->addSpacing(12);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("MonteCarloStatus"));
    status_->setWordWrap(true);
    show->addWidget(status_, 1);
}

// Four rows of figures, always all shown: no scroll bar.
void MonteCarloPane::addFigureTable(QVBoxLayout* root) {
    table_ = MakeTable(
        "MonteCarloTable",
        {QString(), QStringLiteral("5 %"), QStringLiteral("50 %"), QStringLiteral("95 %"),
         QStringLiteral("Среднее"), QStringLiteral("P(итог < 0)"), QStringLiteral("Риск разорения")},
        this);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setRowCount(4);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           4 * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
    root->addWidget(table_);
}

// The four histograms on one page, the two equity fans on the other.
void MonteCarloPane::addPictures(QVBoxLayout* root) {
    pages_ = new QStackedWidget(this);
    root->addWidget(pages_, 1);
    auto* histograms = new QWidget(pages_);
    auto* grid = new QGridLayout(histograms);
    grid->setContentsMargins(0, 0, 0, 0);
    const char* names[4] = {"MonteCarloShuffledResult", "MonteCarloShuffledDrawdown",
                            "MonteCarloResampledResult", "MonteCarloResampledDrawdown"};
    for (int i = 0; i < 4; ++i) {
        pictures_[i] = new PictureView(names[i], histograms);
        grid->addWidget(pictures_[i], i / 2, i % 2);
    }
    pages_->addWidget(histograms);
    auto* fans = new QWidget(pages_);
    auto* fanRow = new QHBoxLayout(fans);
    fanRow->setContentsMargins(0, 0, 0, 0);
    fans_[0] = new PictureView("MonteCarloShuffledFan", fans);
    fans_[1] = new PictureView("MonteCarloResampledFan", fans);
    fanRow->addWidget(fans_[0], 1);
    fanRow->addWidget(fans_[1], 1);
    pages_->addWidget(fans);
}

void MonteCarloPane::connectControls() {
    connect(view_, &QComboBox::currentIndexChanged, pages_, &QStackedWidget::setCurrentIndex);
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
    connect(balance_, &QDoubleSpinBox::valueChanged, this, [this](double v) { choice_.balance = v; });
    connect(ruinLevel_, &QDoubleSpinBox::valueChanged, this, [this](double v) { choice_.ruinLevel = v; });
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
    MonteCarloOptions options = choice_;
    options.threads = WorkerThreads();
    progress_ = std::make_shared<JobProgress>();
    job_ = StartBackground<std::shared_ptr<const MonteCarloResult>>([e = e_, options, progress = progress_] {
        MonteCarloOptions watched = options;
        watched.progress = progress.get();
        return std::make_shared<const MonteCarloResult>(RunMonteCarlo(e->trades, watched));
    });
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
            "Готово: %1 прогонов по %2 сделкам, зерно %3, баланс %4, разорение при потере %5 %. В случайном "
            "порядке итог всегда тот же — меняется путь к нему и просадка.")
            .arg(shown_->runs)
            .arg(shown_->trades)
            .arg(shown_->seed)
            .arg(Short(shown_->balance), Short(shown_->ruinLevel)));
}

void MonteCarloPane::showResult() {
    const MonteCarloResult* r = shown_.get();
    for (int i = 0; i < 2; ++i) {
        if (!r) {
            fans_[i]->setPaint({});
            continue;
        }
        const EquityFan* fan = i == 0 ? &r->shuffled.fan : &r->resampled.fan;
        const QString title = i == 0 ? QStringLiteral("Эквити: сделки в случайном порядке")
                                     : QStringLiteral("Эквити: выборка сделок с возвращением");
        const double ruinEquity = -r->balance * r->ruinLevel / 100;
        fans_[i]->setPaint([keep = shown_, fan, title, ruinEquity](QPainter& p, const QRectF& area) {
            PaintEquityFan(p, area, *fan, title, ruinEquity);
        });
    }
    TableFill fill(table_);
    // Money as the statistics show it.
    const int money = e_ ? MoneyDecimals(e_->trades) : 0;
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
        const QString ruin = withBelow ? Figure(m->riskOfRuin * 100, 1) + QStringLiteral(" %") : QString();
        const double keys[5] = {d ? d->p5 : NAN, d ? d->p50 : NAN, d ? d->p95 : NAN, d ? d->mean : NAN,
                                withBelow ? m->probabilityBelowZero : NAN};
        // Rows may have been sorted: each is written whole, title and figures together.
        table_->setItem(i, 0, TableItem(QString::fromUtf8(pic.title)));
        for (int c = 0; c < 5; ++c)
            table_->setItem(i, c + 1, TableItem(cells[c], Qt::AlignRight | Qt::AlignVCenter, keys[c]));
        table_->setItem(i, 6,
                        TableItem(ruin, Qt::AlignRight | Qt::AlignVCenter, withBelow ? m->riskOfRuin : NAN));
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
