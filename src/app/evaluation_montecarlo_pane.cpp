// "Монте-Карло": how the result and the drawdown spread when the order of the
// trades, or the trades themselves, are luck. The runs go on a thread of their own.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
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

MonteCarloPane::MonteCarloPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MonteCarloPane"));
    auto* root = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    root->addLayout(controls);
    controls->addWidget(new QLabel(QStringLiteral("Прогонов:"), this));
    runs_ = new QSpinBox(this);
    runs_->setObjectName(QStringLiteral("MonteCarloRuns"));
    runs_->setRange(1, 1000000);
    runs_->setValue(1000);
    runs_->setMinimumWidth(110);
    controls->addWidget(runs_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Зерно:"), this));
    seed_ = new QLineEdit(QStringLiteral("1"), this);
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
    controls->addSpacing(12);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("MonteCarloStatus"));
    status_->setWordWrap(true);
    controls->addWidget(status_, 1);

    table_ = MakeTable("MonteCarloTable",
                       {QString(), QStringLiteral("5 %"), QStringLiteral("50 %"), QStringLiteral("95 %"),
                        QStringLiteral("Среднее"), QStringLiteral("P(итог < 0)")},
                       this);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setRowCount(4);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           4 * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
    for (int i = 0; i < 4; ++i)
        table_->setItem(i, 0, new QTableWidgetItem(QString::fromUtf8(kPictures[i].title)));
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
    connect(seed_, &QLineEdit::returnPressed, this, [this] { start(); });
    setEvaluation(nullptr);
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
    if (e_->stats.trades == 0) {
        job_.reset();
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
    job_ = StartBackground<std::shared_ptr<const MonteCarloResult>>([e = e_, options] {
        return std::make_shared<const MonteCarloResult>(RunMonteCarlo(e->trades, options));
    });
    status_->setText(QStringLiteral("Считается: %1 прогонов, зерно %2…").arg(options.runs).arg(*seed));
    poll_.start();
}

void MonteCarloPane::poll() {
    if (!job_ || !job_->done.load(std::memory_order_acquire)) return;
    const auto job = std::move(job_);
    job_.reset();
    poll_.stop();
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
    // Whole money when every trade is whole, as the statistics show it.
    int money = 0;
    if (e_)
        for (const TradeRecord& t : e_->trades)
            if (std::isfinite(t.profit) && std::trunc(t.profit) != t.profit) money = 2;
    for (int i = 0; i < 4; ++i) {
        const auto& pic = kPictures[i];
        const MonteCarloMethod* m = r ? (pic.resampled ? &r->resampled : &r->shuffled) : nullptr;
        const Distribution* d = m ? (pic.drawdown ? &m->maxDrawdown : &m->finalResult) : nullptr;
        const QString cells[5] = {
            d ? Figure(d->p5, money) : QString(),
            d ? Figure(d->p50, money) : QString(),
            d ? Figure(d->p95, money) : QString(),
            d ? Figure(d->mean, money) : QString(),
            m && !pic.drawdown ? Figure(m->probabilityBelowZero * 100, 1) + QStringLiteral(" %") : QString(),
        };
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(i, c + 1, item);
        }
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
