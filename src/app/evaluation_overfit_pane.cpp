// "Переобучение": is the sweep's best pass best by luck.
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/evaluation_panes.h"
#include "evaluation/number_text.h"

namespace kavro {

OverfitPane::OverfitPane(OverfitChoice& choice, QWidget* parent) : QWidget(parent), choice_(choice) {
    setObjectName(QStringLiteral("OverfitPane"));
    QVBoxLayout* body = NoteAndBody(this, "OverfitNote", note_, body_);
    auto* top = new QHBoxLayout;
    body->addLayout(top);
    auto* caption = new QLabel(QStringLiteral("Блоков:"), body_);
    top->addWidget(caption);
    blocks_ = new QSpinBox(body_);
    blocks_->setObjectName(QStringLiteral("OverfitBlocks"));
    blocks_->setRange(kMinBlocks, kMaxBlocks);
    blocks_->setSingleStep(2);
    blocks_->setValue(ValidBlockCount(choice.blocks) ? choice.blocks : kDefaultBlocks);
    blocks_->setToolTip(QStringLiteral(
        "На сколько равных частей делится интервал (чётное число от 2 до 20); каждое разбиение берёт "
        "половину частей для выбора лучшего прохода и проверяет его на другой половине"));
    caption->setBuddy(blocks_);
    top->addWidget(blocks_);
    top->addSpacing(12);
    progress_ = new QProgressBar(body_);
    progress_->setObjectName(QStringLiteral("OverfitProgress"));
    progress_->setMaximumWidth(200);
    progress_->hide();
    top->addWidget(progress_);
    headline_ = new QLabel(body_);
    headline_->setObjectName(QStringLiteral("OverfitHeadline"));
    headline_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(headline_, 1);
    for (QLabel** label : {&sentence_, &deflated_}) {
        *label = new QLabel(body_);
        (*label)->setWordWrap(true);
        (*label)->setTextInteractionFlags(Qt::TextSelectableByMouse);
        body->addWidget(*label);
    }
    sentence_->setObjectName(QStringLiteral("OverfitSentence"));
    deflated_->setObjectName(QStringLiteral("DeflatedSharpe"));
    auto* pictures = new QHBoxLayout;
    body->addLayout(pictures, 1);
    histogram_ = new PictureView("LogitHistogram", body_);
    degradation_ = new PictureView("DegradationView", body_);
    pictures->addWidget(histogram_, 1);
    pictures->addWidget(degradation_, 1);
    connect(blocks_, &QSpinBox::valueChanged, this, [this](int blocks) {
        // The arrows step by 2; a typed odd number waits for the next one.
        if (!ValidBlockCount(blocks) || blocks == choice_.blocks) return;
        choice_.blocks = blocks;
        if (onBlocksChanged) onBlocksChanged();
    });
    setEvaluation(nullptr, false);
}

void OverfitPane::showProgress(int64_t done, int64_t total) {
    progress_->setRange(0, static_cast<int>(std::clamp<int64_t>(total, 1, 1 << 30)));
    progress_->setValue(static_cast<int>(std::clamp<int64_t>(done, 0, total)));
}

void OverfitPane::setEvaluation(const std::shared_ptr<const Evaluation>& e, bool checking) {
    progress_->setVisible(checking);
    if (!e || !e->sweep) {
        shown_.reset();
        histogram_->setPaint({});
        degradation_->setPaint({});
        note_->setText(QStringLiteral(
            "Проверки на переобучение нет: она оценивает выбор лучшего из многих проходов перебора. "
            "Выполните простое тестирование с шагом больше 0 или с несколькими часами входа."));
        note_->show();
        body_->hide();
        return;
    }
    body_->show();
    const size_t passes = e->sweep->passes.size();
    QString why;
    if (checking)
        why = QStringLiteral("Проходы перебора повторяются по его записи и режутся на блоки…");
    else if (!e->check)
        why = QStringLiteral("Проверка не выполнена.");
    else if (!e->check->ok)
        why = QString::fromStdString(e->check->error);
    else if (!e->check->overfit)
        why = passes < 2 ? QStringLiteral("Для проверки нужно хотя бы два прохода: выбирать было не из чего.")
                         : QString::fromStdString(SweepCheckRefusal(passes, choice_.blocks));
    if (!why.isEmpty()) {
        shown_.reset();
        headline_->setText(why);
        sentence_->clear();
        deflated_->clear();
        histogram_->setPaint({});
        degradation_->setPaint({});
        note_->hide();
        return;
    }
    if (shown_ == e->check) return;
    shown_ = e->check;
    const OverfitReport& r = *shown_->overfit;
    note_->setVisible(e->sweep->end != RunEnd::Done);
    note_->setText(QStringLiteral("Перебор не закончен: проверены выполненные проходы (%1).").arg(passes));
    headline_->setText(QStringLiteral("<b>Вероятность переобучения PBO = %1 %</b> · проходов %2, блоков %3, "
                                      "разбиений %4")
                           .arg(QString::fromStdString(DisplayNumber(r.cscv.pbo * 100, 1)))
                           .arg(passes)
                           .arg(r.cscv.blocks)
                           .arg(r.cscv.combinations));
    sentence_->setText(OverfitSentence(r));
    deflated_->setText(DeflatedSharpeText(r.deflated));
    // The pictures keep their own share of the check, whatever the pane shows next.
    const auto keep = shown_;
    histogram_->setPaint(
        [keep](QPainter& p, const QRectF& area) { PaintLogitHistogram(p, area, *keep->overfit); });
    degradation_->setPaint(
        [keep](QPainter& p, const QRectF& area) { PaintDegradation(p, area, *keep->overfit); });
}

}  // namespace kavro
