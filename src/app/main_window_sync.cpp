// Form1 bound to FormState: user edits go into the state at once, the state
// comes back into the widgets after every command, tick and event-loop turn.
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <algorithm>
#include <cmath>
#include <exception>

#include "app/chart_window.h"
#include "app/evaluation_window.h"
#include "app/main_window.h"
#include "program/commands.h"

namespace kavro {

namespace {

QDate ToQDate(const Date& d) {
    return QDate(d.year, d.month, d.day);
}

// The report box keeps CR LF line ends in the state and plain line feeds on screen.
QString ToScreen(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

std::string FromScreen(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t.toStdString();
}

void SetLabel(QLabel* l, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (l->text() != t) l->setText(t);
}

}  // namespace

void WindowShell::formReset() {
    if (window_) window_->resetFromState();
}

void WindowShell::quit() {
    if (window_)
        window_->quitProgram();
    else
        QCoreApplication::quit();
}

void WindowShell::showChart() {
    if (window_) window_->showChart();
}

void WindowShell::showEvaluation() {
    if (window_) window_->showEvaluation();
}

void MainWindow::runCommand(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        // An exception must not cross the event loop; the program and its data stay.
        s_.dialogs.message(MessageKind::Error, std::string("Внутренняя ошибка: ") + e.what());
    }
    syncFromState();
}

void MainWindow::connectControls() {
    for (const TextBinding& t : texts_) {
        connect(t.edit, &QLineEdit::textEdited, this,
                [this, field = t.field](const QString& text) { s_.form.*field = text.toStdString(); });
    }
    for (int i = 0; i < 4; ++i) {
        connect(options_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) s_.form.pair = kPairs[i];
        });
    }
    connect(check1_, &QCheckBox::toggled, this, [this](bool on) { s_.form.check1 = on; });
    connect(check2_, &QCheckBox::toggled, this, [this](bool on) { s_.form.check2 = on; });
    connect(check3_, &QCheckBox::toggled, this, [this](bool on) { s_.form.check3 = on; });
    connect(text10_, &QPlainTextEdit::textChanged, this, [this] {
        s_.form.text10 = FromScreen(text10_->toPlainText());
        shownText10_ = s_.form.text10;
    });

    auto toDate = [](const QDate& d) { return Date{d.year(), d.month(), d.day()}; };
    connect(dtPicker1_, &QDateEdit::dateChanged, this, [this, toDate](const QDate& d) {
        s_.form.dtPicker1.value = toDate(d);
        pickerEvent(&StartDateChanged);
    });
    connect(dtPicker2_, &QDateEdit::dateChanged, this, [this, toDate](const QDate& d) {
        s_.form.dtPicker2.value = toDate(d);
        pickerEvent(&EndDateChanged);
    });
    connect(dtPicker3_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
        s_.form.dtPicker3Hour = t.hour();
        pickerEvent(&EndDateChanged);
    });
    // Closing a drop-down calendar is the picker's CloseUp event.
    popup1_ = dtPicker1_->calendarWidget()->window();
    popup2_ = dtPicker2_->calendarWidget()->window();
    popup1_->installEventFilter(this);
    popup2_->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide) {
        if (watched == popup1_) pickerEvent(&StartDateChanged);
        if (watched == popup2_) pickerEvent(&EndDateChanged);
    }
    return QWidget::eventFilter(watched, event);
}

// A picker's lookup runs from the event loop, once the picker has finished
// handling the key or click that changed it: the lookup may show a message box
// or reinitialise the window, which must not happen inside the picker's own handler.
void MainWindow::pickerEvent(void (*command)(Session&)) {
    QMetaObject::invokeMethod(
        this, [this, command] { runCommand([&] { command(s_); }); }, Qt::QueuedConnection);
}

void MainWindow::syncFromState() {
    syncTexts();
    syncPickers();
    syncLabels();
    syncProgress();
    syncText10();
    syncTimers();
    // A run that ended since shows in the evaluation window (one comparison when nothing did).
    if (evaluation_) evaluation_->refresh();
}

void MainWindow::syncTexts() {
    const FormState& f = s_.form;
    for (const TextBinding& t : texts_) {
        const QString text = QString::fromStdString(f.*t.field);
        if (t.edit->text() != text) {
            const QSignalBlocker block(t.edit);
            t.edit->setText(text);
        }
    }
    for (int i = 0; i < 4; ++i) {
        const bool on = f.pair == kPairs[i];
        if (on && !options_[i]->isChecked()) {
            for (QRadioButton* o : options_) o->blockSignals(true);
            options_[i]->setChecked(true);
            for (QRadioButton* o : options_) o->blockSignals(false);
        }
    }
    const std::pair<QCheckBox*, bool> checks[] = {
        {check1_, f.check1}, {check2_, f.check2}, {check3_, f.check3}};
    for (const auto& [box, on] : checks) {
        if (box->isChecked() != on) {
            const QSignalBlocker block(box);
            box->setChecked(on);
        }
    }
}

void MainWindow::syncPickers() {
    const FormState& f = s_.form;
    const std::pair<QDateEdit*, const DatePicker*> pickers[] = {{dtPicker1_, &f.dtPicker1},
                                                                {dtPicker2_, &f.dtPicker2}};
    for (const auto& [edit, state] : pickers) {
        const QDate lo = ToQDate(state->min), hi = ToQDate(state->max), value = ToQDate(state->value);
        const QSignalBlocker block(edit);
        if (lo.isValid() && hi.isValid() && lo <= hi &&
            (edit->minimumDate() != lo || edit->maximumDate() != hi))
            edit->setDateRange(lo, hi);
        if (value.isValid() && edit->date() != value) edit->setDate(value);
    }
    // A time of day: an hour outside 0..23 rolls over as on a clock.
    const int hour = ((f.dtPicker3Hour % 24) + 24) % 24;
    if (dtPicker3_->time().hour() != hour || dtPicker3_->time().minute() != 0 ||
        dtPicker3_->time().second() != 0) {
        const QSignalBlocker block(dtPicker3_);
        dtPicker3_->setTime(QTime(hour, 0, 0));
    }
}

void MainWindow::syncLabels() {
    const FormState& f = s_.form;
    for (size_t i = 0; i < label6_.size(); ++i) SetLabel(label6_[i], f.label6[i]);
    for (size_t i = 0; i < label1_.size(); ++i) SetLabel(label1_[i], f.label1[i]);
    SetLabel(label15_, f.label15);
    SetLabel(label18_, f.label18);
    SetLabel(label16_, f.label16);
    SetLabel(label17_, f.label17);
    SetLabel(label25_, f.label25);
}

// The state's bounds and value are any doubles; the bar shows the value's share of the range.
void MainWindow::syncProgress() {
    constexpr int kSteps = 10000;
    const FormState& f = s_.form;
    int value = 0;
    const double lo = f.progressMin, hi = f.progressMax, v = f.progressValue;
    if (std::isfinite(lo) && std::isfinite(hi) && hi > lo && !std::isnan(v)) {
        // Halves keep the differences finite for any finite bounds.
        const double share = (v * 0.5 - lo * 0.5) / (hi * 0.5 - lo * 0.5);
        const double clamped = std::isnan(share) ? 0.0 : std::clamp(share, 0.0, 1.0);
        value = static_cast<int>(std::lround(clamped * kSteps));
    }
    if (progressBar_->minimum() != 0 || progressBar_->maximum() != kSteps) progressBar_->setRange(0, kSteps);
    if (progressBar_->value() != value) progressBar_->setValue(value);
}

void MainWindow::syncText10() {
    const std::string& text = s_.form.text10;
    if (text == shownText10_) return;
    const QSignalBlocker block(text10_);
    const bool appended = !shownText10_.empty() && text.size() > shownText10_.size() &&
                          text.compare(0, shownText10_.size(), shownText10_) == 0 &&
                          ToScreen(shownText10_) == text10_->toPlainText();
    if (appended) {
        // A report growing line by line stays in view at its end.
        QTextCursor c = text10_->textCursor();
        c.movePosition(QTextCursor::End);
        c.insertText(ToScreen(text.substr(shownText10_.size())));
        text10_->setTextCursor(c);
        text10_->ensureCursorVisible();
    } else {
        text10_->setPlainText(ToScreen(text));
    }
    shownText10_ = text;
}

void MainWindow::syncTimers() {
    const FormState& f = s_.form;
    const std::pair<QTimer*, bool> timers[] = {
        {&timer1_, f.timer1}, {&timer2_, f.timer2}, {&timer3_, f.timer3}};
    for (const auto& [timer, on] : timers) {
        // Only a change starts a timer, so a running countdown keeps its rhythm.
        if (on && !timer->isActive()) timer->start();
        if (!on && timer->isActive()) timer->stop();
    }
}

void MainWindow::resetFromState() {
    shownText10_.clear();
    {
        const QSignalBlocker block(text10_);
        text10_->clear();
    }
    syncFromState();
    for (const TextBinding& t : texts_) t.edit->deselect();
    for (QWidget* popup : {popup1_.data(), popup2_.data()})
        if (popup && popup->isVisible()) {
            popup->removeEventFilter(this);
            popup->hide();
            popup->installEventFilter(this);
        }
    options_[0]->setFocus(Qt::OtherFocusReason);
}

void MainWindow::quitProgram() {
    emit quitting();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void MainWindow::showChart() {
    chart_ = OpenChartWindow(s_, this);
}

void MainWindow::showEvaluation() {
    evaluation_ = OpenEvaluationWindow(
        s_, [this](const std::function<void()>& f) { runCommand(f); }, this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window cannot come back once closed: a running job stops at its next step.
    s_.run.stopRequested = true;
    QWidget::closeEvent(event);
}

}  // namespace kavro
