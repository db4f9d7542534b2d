#include "app/main_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <map>

#include "platform/qt/qt_event_pump.h"
#include "program/commands.h"

namespace kavro {

namespace {

// A settings field: single line, centred, on the tooltip colour; it selects its
// whole text when it gets the focus, by any means, and optionally when it loses it.
class FieldEdit : public QLineEdit {
  public:
    FieldEdit(bool selectOnFocusOut, QWidget* parent)
        : QLineEdit(parent), selectOnFocusOut_(selectOnFocusOut) {
        setAlignment(Qt::AlignCenter);
        QPalette pal = palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
        setPalette(pal);
    }

  protected:
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        selectAll();
        // A mouse click places the cursor after the focus arrives; select once it has.
        if (e->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, this, [this] {
                if (hasFocus()) selectAll();
            });
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);  // deselects
        if (selectOnFocusOut_) selectAll();
    }

  private:
    bool selectOnFocusOut_;
};

QLabel* PanelLabel(const char* name, const QString& caption, QWidget* parent, bool bold = false) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameStyle(QFrame::Box | QFrame::Plain);
    l->setLineWidth(1);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumHeight(17);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

// A frame with its title set into the top border line, which keeps nested frames compact.
QGroupBox* Frame(const char* name, const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; "
                       "padding-top: 0.3em; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
    return g;
}

// Tight margins, so that every control fits the window's designed client area.
template <class L>
L* Tight(L* layout, int margin = 3, int spacing = 3) {
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace

MainWindow::MainWindow(Session& s, WindowShell& shell, QtEventPump* pump)
    : QWidget(nullptr), s_(s), shell_(shell), pump_(pump) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kavro"));

    auto* root = Tight(new QVBoxLayout(this), 0, 2);
    root->setMenuBar(buildToolbar());
    auto* body = Tight(new QVBoxLayout, 4, 3);
    root->addLayout(body);
    body->addWidget(buildResultPanel());
    body->addWidget(buildSettings());
    body->addWidget(buildInterval());
    text10_ = new QPlainTextEdit(this);
    text10_->setObjectName(QStringLiteral("Text10"));
    text10_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text10_->setMinimumHeight(40);
    body->addWidget(text10_, 1);
    body->addWidget(buildStatus());

    // The designed client area; larger fonts may need more room, never less.
    const QSize client(kClientWidth, kClientHeight);
    setMinimumSize(client.expandedTo(minimumSizeHint()));
    resize(minimumSize());

    const struct {
        QTimer* timer;
        const char* name;
        int ms;
        void (*tick)(Session&);
    } timers[] = {{&timer1_, "Timer1", 1, &Timer1Tick},
                  {&timer2_, "Timer2", 1000, &Timer2Tick},
                  {&timer3_, "Timer3", 1, &Timer3Tick}};
    for (const auto& t : timers) {
        t.timer->setParent(this);
        t.timer->setObjectName(QString::fromLatin1(t.name));
        t.timer->setInterval(t.ms);
        connect(t.timer, &QTimer::timeout, this, [this, tick = t.tick] { runCommand([&] { tick(s_); }); });
    }

    setTabOrderChain();
    connectControls();
    shell_.window_ = this;
    if (pump_) pump_->setAfterEvents([this] { syncFromState(); });
    resetFromState();
}

MainWindow::~MainWindow() {
    if (pump_) pump_->setAfterEvents(nullptr);
    for (QWidget* popup : {popup1_.data(), popup2_.data()})
        if (popup) popup->removeEventFilter(this);
    if (shell_.window_ == this) shell_.window_ = nullptr;
}

QWidget* MainWindow::buildResultPanel() {
    auto* panel = new QWidget(this);
    auto* grid = Tight(new QGridLayout(panel), 0, 4);

    // One block: a bold title over a row of column heads over a row of empty values.
    struct Column {
        const char* head;
        const char* caption;
        const char* value;
        QLabel** slot;
    };
    auto block = [&](int row, int col, const char* titleName, const char* title,
                     std::initializer_list<Column> columns) {
        auto* w = new QWidget(panel);
        auto* g = Tight(new QGridLayout(w), 0, 0);
        g->addWidget(PanelLabel(titleName, QString::fromUtf8(title), w, true), 0, 0, 1, int(columns.size()));
        int c = 0;
        for (const Column& k : columns) {
            g->addWidget(PanelLabel(k.head, QString::fromUtf8(k.caption), w), 1, c);
            QLabel* v = PanelLabel(k.value, QString(), w);
            if (k.slot) *k.slot = v;
            g->addWidget(v, 2, c);
            g->setColumnStretch(c, 1);
            ++c;
        }
        grid->addWidget(w, row, col);
    };
    block(0, 0, "Label12_0", "Текущий результат",
          {{"Label2", "Время", "Label6_0", &label6_[0]},
           {"Label3", "TP", "Label6_1", &label6_[1]},
           {"Label5", "SL", "Label6_2", &label6_[2]},
           {"Label7", "Результат", "Label6_3", &label6_[3]}});
    block(0, 1, "Label19", "Полный тест",
          {{"Label20", "Н/Период", "Label1_6", &label1_[6]},
           {"Label21", "К/Период", "Label1_4", &label1_[4]},
           {"Label22", "Результат", "Label1_5", &label1_[5]}});
    block(1, 0, "Label12_1", "Лучший/промежуточный результат",
          {{"Label8", "Время", "Label1_3", &label1_[3]},
           {"Label9", "TP", "Label1_2", &label1_[2]},
           {"Label10", "SL", "Label1_1", &label1_[1]},
           {"Label11", "Результат", "Label1_0", &label1_[0]}});
    block(1, 1, "Label23", "Оценка",
          {{"Label24", "Buy/Sell", "Label16", &label16_}, {"Label25", "", "Label17", &label17_}});
    label25_ = panel->findChild<QLabel*>(QStringLiteral("Label25"));
    grid->setColumnStretch(0, 4);
    grid->setColumnStretch(1, 3);
    return panel;
}

QLineEdit* MainWindow::addField(const char* name, std::string FormState::*field, bool selectOnFocusOut) {
    // The names the messages about an unreadable field use.
    static const std::map<std::string, const char*> kTips = {
        {"Text2", "TP"},
        {"Text3", "SL"},
        {"Text4", "Первый час"},
        {"Text5", "Последний час"},
        {"Text7", "Оптимизация"},
        {"Text8", "Проверка"},
        {"Text11", "Стоимость пункта"},
        {"Text13", "Издержки прибыльной сделки"},
        {"Text6", "Шаг"},
    };
    auto* e = new FieldEdit(selectOnFocusOut, this);
    e->setObjectName(QString::fromLatin1(name));
    if (auto tip = kTips.find(name); tip != kTips.end()) e->setToolTip(QString::fromUtf8(tip->second));
    e->setMinimumWidth(40);
    texts_.push_back({e, field});
    return e;
}

QWidget* MainWindow::buildSettings() {
    auto* frame1 = Frame("Frame1", QStringLiteral("Установки"), this);
    auto* outer = Tight(new QVBoxLayout(frame1), 4, 2);
    auto* row = Tight(new QHBoxLayout, 0, 4);
    outer->addLayout(row);

    auto* frame2 = Frame("Frame2", QStringLiteral("Валюта"), frame1);
    auto* pairs = Tight(new QGridLayout(frame2), 4, 2);
    const char* names[] = {"Option1", "Option2", "Option3", "Option4"};
    for (int i = 0; i < 4; ++i) {
        options_[i] = new QRadioButton(QString::fromLatin1(PairName(kPairs[static_cast<size_t>(i)])), frame2);
        options_[i]->setObjectName(QString::fromLatin1(names[i]));
        pairs->addWidget(options_[i], i / 2, i % 2);
    }
    row->addWidget(frame2);

    // A frame of fields stacked top to bottom.
    auto fields = [&](const char* name, const char* title, std::initializer_list<QLineEdit*> edits) {
        auto* f = Frame(name, QString::fromUtf8(title), frame1);
        auto* v = Tight(new QVBoxLayout(f), 4, 3);
        for (QLineEdit* e : edits) {
            e->setParent(f);
            v->addWidget(e);
        }
        v->addStretch(1);
        row->addWidget(f, 1);
    };
    fields("Frame3", " TP/SL", {addField("Text2", &FormState::text2), addField("Text3", &FormState::text3)});
    fields("Frame4", "Время",
           {addField("Text4", &FormState::text4, true), addField("Text5", &FormState::text5, true)});
    fields("Frame5", "Период", {addField("Text7", &FormState::text7), addField("Text8", &FormState::text8)});
    fields("Frame6", "Условия",
           {addField("Text11", &FormState::text11), addField("Text13", &FormState::text13)});
    fields("Frame7", "Шаг", {addField("Text6", &FormState::text6)});

    auto* checks = Tight(new QHBoxLayout, 2, 12);
    check1_ = new QCheckBox(QStringLiteral("Полный тест"), frame1);
    check1_->setObjectName(QStringLiteral("Check1"));
    check3_ = new QCheckBox(QStringLiteral("Реальная работа"), frame1);
    check3_->setObjectName(QStringLiteral("Check3"));
    checks->addWidget(check1_);
    checks->addWidget(check3_);
    checks->addStretch(1);
    outer->addLayout(checks);
    return frame1;
}

QWidget* MainWindow::buildInterval() {
    auto* frame8 = Frame("Frame8", QStringLiteral("Интервал "), this);
    auto* row = Tight(new QHBoxLayout(frame8), 4, 8);
    auto column = [&](const char* labelName, const char* caption, QWidget* picker) {
        auto* v = Tight(new QVBoxLayout, 0, 1);
        auto* l = new QLabel(QString::fromUtf8(caption), frame8);
        l->setObjectName(QString::fromLatin1(labelName));
        l->setAlignment(Qt::AlignCenter);
        v->addWidget(l);
        v->addWidget(picker);
        row->addLayout(v, 1);
        return l;
    };
    // The short date of the user's locale, with a four-digit year so any year can be typed.
    QString dateFormat = QLocale().dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(QStringLiteral("yyyy")))
        dateFormat.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    auto datePicker = [&](const char* name) {
        auto* p = new QDateEdit(frame8);
        p->setObjectName(QString::fromLatin1(name));
        p->setCalendarPopup(true);
        p->setDisplayFormat(dateFormat);
        p->setAlignment(Qt::AlignCenter);
        return p;
    };
    dtPicker1_ = datePicker("DTPicker1");
    dtPicker2_ = datePicker("DTPicker2");
    dtPicker3_ = new QTimeEdit(frame8);
    dtPicker3_->setObjectName(QStringLiteral("DTPicker3"));
    // Only the hour is a setting; minutes and seconds always read 00.
    dtPicker3_->setDisplayFormat(QStringLiteral("HH:00:00"));
    dtPicker3_->setWrapping(true);
    dtPicker3_->setAlignment(Qt::AlignCenter);
    column("Label13", "Начальная дата", dtPicker1_);
    column("Label4", "Конечная дата", dtPicker2_);
    label18_ = column("Label18", "Время", dtPicker3_);
    return frame8;
}

QWidget* MainWindow::buildStatus() {
    auto* w = new QWidget(this);
    auto* v = Tight(new QVBoxLayout(w), 0, 2);
    progressBar_ = new QProgressBar(w);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(14);
    v->addWidget(progressBar_);
    label15_ = new QLabel(w);
    label15_->setObjectName(QStringLiteral("Label15"));
    label15_->setMinimumHeight(16);
    v->addWidget(label15_);
    check2_ = new QCheckBox(QStringLiteral("Отключить звуковой сигнал"), w);
    check2_->setObjectName(QStringLiteral("Check2"));
    v->addWidget(check2_);
    return w;
}

void MainWindow::setTabOrderChain() {
    std::vector<QWidget*> chain(options_.begin(), options_.end());
    for (const char* name :
         {"Text2", "Text3", "Text4", "Text5", "Text7", "Text8", "Text11", "Text13", "Text6"})
        for (const TextBinding& t : texts_)
            if (t.edit->objectName() == QLatin1String(name)) chain.push_back(t.edit);
    for (QWidget* w : std::initializer_list<QWidget*>{check1_, check3_, dtPicker1_, dtPicker2_, dtPicker3_,
                                                      text10_, check2_})
        chain.push_back(w);
    for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace kavro
