#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "main_test_support.h"
#include "program/commands.h"
#include "quotes/interval_lookup.h"

using namespace kavro;
using kavro::test::Desk;

namespace {

const QStringList kFieldNames = {"Text2", "Text3", "Text4",  "Text5", "Text6",
                                 "Text7", "Text8", "Text11", "Text13"};
const QStringList kInitialTexts = {"100", "20", "0", "23", "5", "3", "1", "10", "0.0005"};

// Five hourly EURUSD bars: line 2 opens 2021-01-05, the last line is 2021-01-07 05:00; 2021-01-06 has none.
QStringList HourlyLines() {
    return {"20210104 00:00  1.2000,1.2010,1.1990,1.2005,", "20210105 01:00  1.2005,1.2020,1.2000,1.2015,",
            "20210105 02:00  1.2015,1.2030,1.2010,1.2025,", "20210107 03:00  1.2025,1.2040,1.2020,1.2035,",
            "20210107 05:00  1.2035,1.2050,1.2030,1.2045,"};
}

void LoadHourly(Desk& d, const QString& path) {
    d.dialogs.files.push_back(path);
    d.window->action("Hour")->trigger();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void opensWithInitialValues();
    void controlsCarryTheirCaptions();
    void focusStartsOnOption1AndTabbingSelectsAll();
    void clickAndLeavingSelectAll();
    void userEditsReachTheStateAtOnce();
    void stateReachesWidgetsWithoutRaisingEvents();
    void reportBoxKeepsCrLfInState();
    void progressBarSurvivesAnyNumbers();
    void toolbarHasEightButtonsAndOpenMenu();
    void hourlyLoadSetsPickersAndStatus();
    void hourlyLoadOfBundledSample();
    void pickerChangesRunLookups();
    void cancelledFileDialogChangesNothing();
    void reinitialisingRestoresControlsButKeepsData();
    void failedLookupReinitialisesWindow();
    void startAndStopDispatch();
    void reportWithoutFileTellsUser();
    void reportShowsFileLines();
    void countdownTicksFromTimer2();
    void grafOpensChartWindow();
    void endQuits();
};

void MainWindowTest::opensWithInitialValues() {
    Desk d;
    QCOMPARE(d.window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(d.window->windowTitle(), QStringLiteral("Kavro"));
    QVERIFY(d.window->width() >= MainWindow::kClientWidth && d.window->height() >= MainWindow::kClientHeight);

    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2021, 4, 5));
    QCOMPARE(d.find<QDateEdit>("DTPicker2")->date(), QDate(2021, 4, 5));
    QCOMPARE(d.find<QTimeEdit>("DTPicker3")->time(), QTime(0, 0));
    QVERIFY(d.find<QRadioButton>("Option1")->isChecked());
    for (const char* name : {"Option2", "Option3", "Option4"})
        QVERIFY(!d.find<QRadioButton>(name)->isChecked());
    for (int i = 0; i < kFieldNames.size(); ++i) {
        auto* e = d.find<QLineEdit>(kFieldNames[i].toLatin1().constData());
        QVERIFY2(e, qPrintable(kFieldNames[i]));
        QCOMPARE(e->text(), kInitialTexts[i]);
        QCOMPARE(e->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(e->palette().color(QPalette::Base), e->palette().color(QPalette::ToolTipBase));
    }
    for (const char* name : {"Check1", "Check2", "Check3"}) QVERIFY(!d.find<QCheckBox>(name)->isChecked());
    QVERIFY(d.find<QLabel>("Label15")->text().isEmpty());
    QVERIFY(d.find<QPlainTextEdit>("Text10")->toPlainText().isEmpty());
    QCOMPARE(d.find<QPlainTextEdit>("Text10")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    for (const char* name : {"Label6_0", "Label6_3", "Label1_0", "Label1_6", "Label16", "Label17"})
        QVERIFY(d.find<QLabel>(name)->text().isEmpty());
    QCOMPARE(d.find<QProgressBar>("ProgressBar1")->value(), 0);

    const std::pair<const char*, int> timers[] = {{"Timer1", 1}, {"Timer2", 1000}, {"Timer3", 1}};
    for (const auto& [name, ms] : timers) {
        auto* t = d.find<QTimer>(name);
        QVERIFY(t && !t->isActive());
        QCOMPARE(t->interval(), ms);
    }
}

void MainWindowTest::controlsCarryTheirCaptions() {
    Desk d;
    const std::pair<const char*, const char*> frames[] = {
        {"Frame1", "Установки"}, {"Frame2", "Валюта"},  {"Frame3", " TP/SL"}, {"Frame4", "Время"},
        {"Frame5", "Период"},    {"Frame6", "Условия"}, {"Frame7", "Шаг"},    {"Frame8", "Интервал "}};
    for (const auto& [name, title] : frames)
        QCOMPARE(d.find<QGroupBox>(name)->title(), QString::fromUtf8(title));

    // clang-format off
    const std::pair<const char*, const char*> labels[] = {
        {"Label12_0", "Текущий результат"}, {"Label19", "Полный тест"},
        {"Label12_1", "Лучший/промежуточный результат"}, {"Label23", "Оценка"},
        {"Label2", "Время"}, {"Label3", "TP"}, {"Label5", "SL"}, {"Label7", "Результат"},
        {"Label20", "Н/Период"}, {"Label21", "К/Период"}, {"Label22", "Результат"},
        {"Label8", "Время"}, {"Label9", "TP"}, {"Label10", "SL"}, {"Label11", "Результат"},
        {"Label24", "Buy/Sell"}, {"Label25", ""},
        {"Label13", "Начальная дата"}, {"Label4", "Конечная дата"}, {"Label18", "Время"}};
    // clang-format on
    for (const auto& [name, caption] : labels) {
        auto* l = d.find<QLabel>(name);
        QVERIFY2(l, name);
        QCOMPARE(l->text(), QString::fromUtf8(caption));
    }
    for (const char* title : {"Label12_0", "Label19", "Label12_1", "Label23"}) {
        auto* l = d.find<QLabel>(title);
        QVERIFY(l->font().bold());
        QCOMPARE(l->frameShape(), QFrame::Box);
        QCOMPARE(l->alignment(), Qt::AlignCenter);
    }
    QVERIFY(!d.find<QLabel>("Label7")->font().bold());

    // clang-format off
    const std::pair<const char*, const char*> boxes[] = {
        {"Option1", "EUR"}, {"Option2", "GBP"}, {"Option3", "CHF"}, {"Option4", "JPY"},
        {"Check1", "Полный тест"}, {"Check3", "Реальная работа"}, {"Check2", "Отключить звуковой сигнал"}};
    // clang-format on
    for (const auto& [name, caption] : boxes)
        QCOMPARE(d.find<QAbstractButton>(name)->text(), QString::fromUtf8(caption));
    // The check box for the beep sits at the bottom of the window.
    d.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.window.get()));
    QWidget* check2 = d.find<QWidget>("Check2");
    const int check2Top = check2->mapTo(d.window.get(), QPoint(0, 0)).y();
    for (const char* above : {"Text10", "ProgressBar1", "Label15", "Frame8"})
        QVERIFY2(d.find<QWidget>(above)->mapTo(d.window.get(), QPoint(0, 0)).y() < check2Top, above);
}

void MainWindowTest::focusStartsOnOption1AndTabbingSelectsAll() {
    Desk d;
    d.window->show();
    QVERIFY(QTest::qWaitForWindowActive(d.window.get()));
    QCOMPARE(QApplication::focusWidget(), d.find<QWidget>("Option1"));

    // The tab order after the currency: the settings fields frame by frame.
    QStringList order;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order.mid(0, 9), QStringList({"Text2", "Text3", "Text4", "Text5", "Text7", "Text8", "Text11",
                                           "Text13", "Text6"}));

    d.find<QLineEdit>("Text11")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.find<QLineEdit>("Text11"), Qt::Key_Tab);
    auto* text13 = d.find<QLineEdit>("Text13");
    QCOMPARE(QApplication::focusWidget(), text13);
    QCOMPARE(text13->selectedText(), QStringLiteral("0.0005"));
    QTest::keyClick(text13, Qt::Key_7);
    QCOMPARE(text13->text(), QStringLiteral("7"));
    QCOMPARE(d.session->form.text13, std::string("7"));
}

void MainWindowTest::clickAndLeavingSelectAll() {
    Desk d;
    d.window->show();
    QVERIFY(QTest::qWaitForWindowActive(d.window.get()));
    auto* text2 = d.find<QLineEdit>("Text2");
    QTest::mouseClick(text2, Qt::LeftButton, {}, QPoint(3, text2->height() / 2));
    QTRY_COMPARE(text2->selectedText(), QStringLiteral("100"));

    // Text4 and Text5 stay selected when the focus leaves them; the others do not.
    auto* text4 = d.find<QLineEdit>("Text4");
    QTest::mouseClick(text4, Qt::LeftButton, {}, QPoint(3, text4->height() / 2));
    QTRY_COMPARE(QApplication::focusWidget(), text4);
    text4->setCursorPosition(1);
    QVERIFY(!text4->hasSelectedText());
    QTest::mouseClick(text2, Qt::LeftButton, {}, QPoint(3, text2->height() / 2));
    QTRY_COMPARE(QApplication::focusWidget(), text2);
    QCOMPARE(text4->selectedText(), QStringLiteral("0"));
    auto* text3 = d.find<QLineEdit>("Text3");
    QTest::mouseClick(text3, Qt::LeftButton, {}, QPoint(3, text3->height() / 2));
    QTRY_COMPARE(text3->selectedText(), QStringLiteral("20"));
    QVERIFY(!text2->hasSelectedText());
}

void MainWindowTest::userEditsReachTheStateAtOnce() {
    Desk d;
    FormState& f = d.session->form;
    auto* text2 = d.find<QLineEdit>("Text2");
    text2->selectAll();
    QTest::keyClicks(text2, "12,5");
    QCOMPARE(f.text2, std::string("12,5"));
    QTest::keyClicks(d.find<QLineEdit>("Text11"), "x");
    QCOMPARE(f.text11, std::string("10x"));

    d.find<QRadioButton>("Option4")->click();
    QCOMPARE(f.pair, Pair::JPY);
    d.find<QRadioButton>("Option3")->click();
    QCOMPARE(f.pair, Pair::CHF);
    d.find<QCheckBox>("Check1")->click();
    d.find<QCheckBox>("Check2")->click();
    QVERIFY(f.check1 && f.check2 && !f.check3);
    d.find<QCheckBox>("Check1")->click();
    QVERIFY(!f.check1);

    auto* text10 = d.find<QPlainTextEdit>("Text10");
    QTest::keyClicks(text10, "ab");
    QTest::keyClick(text10, Qt::Key_Return);
    QTest::keyClicks(text10, "c");
    QCOMPARE(f.text10, std::string("ab\r\nc"));
}

void MainWindowTest::stateReachesWidgetsWithoutRaisingEvents() {
    Desk d;
    FormState& f = d.session->form;
    f.text2 = std::string("7");
    f.pair = Pair::GBP;
    f.check3 = true;
    f.label6 = {"12", "100", "20", "-3.5"};
    f.label1[4] = std::string("01.02.2021");
    f.label15 = std::string("Тест окончен");
    f.label18 = std::string("Час");
    f.dtPicker1 = DatePicker{Date{2020, 2, 3}, Date{2020, 1, 1}, Date{2020, 12, 31}};
    f.dtPicker3Hour = 17;
    d.window->syncFromState();
    QCoreApplication::processEvents();

    QCOMPARE(d.find<QLineEdit>("Text2")->text(), QStringLiteral("7"));
    QVERIFY(d.find<QRadioButton>("Option2")->isChecked());
    QVERIFY(!d.find<QRadioButton>("Option1")->isChecked());
    QVERIFY(d.find<QCheckBox>("Check3")->isChecked());
    QCOMPARE(d.find<QLabel>("Label6_3")->text(), QStringLiteral("-3.5"));
    QCOMPARE(d.find<QLabel>("Label1_4")->text(), QStringLiteral("01.02.2021"));
    QCOMPARE(d.find<QLabel>("Label15")->text(), QStringLiteral("Тест окончен"));
    QCOMPARE(d.find<QLabel>("Label18")->text(), QStringLiteral("Час"));
    auto* p1 = d.find<QDateEdit>("DTPicker1");
    QCOMPARE(p1->date(), QDate(2020, 2, 3));
    QCOMPARE(p1->minimumDate(), QDate(2020, 1, 1));
    QCOMPARE(p1->maximumDate(), QDate(2020, 12, 31));
    QCOMPARE(d.find<QTimeEdit>("DTPicker3")->time(), QTime(17, 0));
    // No picker event ran: a lookup without an hourly file would have reset the window.
    QVERIFY(d.dialogs.shown.empty());
    QCOMPARE(f.text2, std::string("7"));
    QVERIFY(f.check3);

    // Timers follow their flags.
    f.timer3 = true;
    d.window->syncFromState();
    QVERIFY(d.find<QTimer>("Timer3")->isActive());
    f.timer3 = false;
    d.window->syncFromState();
    QVERIFY(!d.find<QTimer>("Timer3")->isActive());
}

void MainWindowTest::reportBoxKeepsCrLfInState() {
    Desk d;
    auto* text10 = d.find<QPlainTextEdit>("Text10");
    d.session->form.text10 = std::string("a 1\r\nb 2\r\n");
    d.window->syncFromState();
    QCOMPARE(text10->toPlainText(), QStringLiteral("a 1\nb 2\n"));
    d.session->form.text10 += "c 3\r\n";  // the thorough test appends window by window
    d.window->syncFromState();
    QCOMPARE(text10->toPlainText(), QStringLiteral("a 1\nb 2\nc 3\n"));
    QCOMPARE(d.session->form.text10, std::string("a 1\r\nb 2\r\nc 3\r\n"));
    d.session->form.text10 = std::string("new");
    d.window->syncFromState();
    QCOMPARE(text10->toPlainText(), QStringLiteral("new"));
    d.session->form.text10.clear();
    d.window->syncFromState();
    QVERIFY(text10->toPlainText().isEmpty());
}

void MainWindowTest::progressBarSurvivesAnyNumbers() {
    Desk d;
    FormState& f = d.session->form;
    auto* bar = d.find<QProgressBar>("ProgressBar1");
    auto share = [&](double lo, double hi, double v) {
        f.progressMin = lo;
        f.progressMax = hi;
        f.progressValue = v;
        d.window->syncFromState();
        return double(bar->value() - bar->minimum()) / double(bar->maximum() - bar->minimum());
    };
    QCOMPARE(share(0, 200, 50), 0.25);
    QCOMPARE(share(0, 100, 250), 1.0);  // a second file's count runs past the maximum
    QCOMPARE(share(0, 100, -5), 0.0);
    QCOMPARE(share(0, 0, 10), 0.0);  // no range: an empty bar
    QCOMPARE(share(10, 5, 7), 0.0);
    QCOMPARE(share(-1e308, 1e308, 0), 0.5);
    QCOMPARE(share(0, 1e300, 1e301), 1.0);
    QCOMPARE(share(0, 100, std::numeric_limits<double>::quiet_NaN()), 0.0);
    QCOMPARE(share(0, std::numeric_limits<double>::infinity(), 5), 0.0);
    QCOMPARE(share(0, 3e9, 3e9), 1.0);
    QCOMPARE(share(0, 100, std::numeric_limits<double>::infinity()), 1.0);
}

void MainWindowTest::toolbarHasEightButtonsAndOpenMenu() {
    Desk d;
    auto* bar = d.find<QToolBar>("Toolbar1");
    QVERIFY(bar);
    const QStringList keys = {"Open", "End", "Start", "Kach", "Stop", "Graf", "Ocen", "Othet"};
    const QStringList tips = {
        "Открыть", "Выход", "Простое тестирование", "Качественное тестирование", "Стоп", "График",
        "Оценка",  "Отчет"};
    const QList<QAction*> actions = bar->actions();
    QCOMPARE(actions.size(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(actions[i]->data().toString(), keys[i]);
        QCOMPARE(actions[i]->toolTip(), tips[i]);
        QCOMPARE(d.window->action(keys[i]), actions[i]);
        QVERIFY(!actions[i]->icon().isNull());
    }
    // Every picture differs from the others.
    for (int i = 0; i < 8; ++i)
        for (int j = i + 1; j < 8; ++j)
            QVERIFY(actions[i]->icon().pixmap(20).toImage() != actions[j]->icon().pixmap(20).toImage());

    auto* open = qobject_cast<QToolButton*>(bar->widgetForAction(actions[0]));
    QVERIFY(open);
    QCOMPARE(open->popupMode(), QToolButton::InstantPopup);
    QMenu* menu = actions[0]->menu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 3);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Час"));
    QCOMPARE(menu->actions()[0]->data().toString(), QStringLiteral("Hour"));
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("День"));
    QCOMPARE(menu->actions()[1]->data().toString(), QStringLiteral("Day"));
    QCOMPARE(menu->actions()[2]->text(), QStringLiteral("Импорт CSV…"));
    QCOMPARE(menu->actions()[2]->data().toString(), QStringLiteral("Import"));

    // The Open button itself runs nothing; Ocen, before any run, says there is nothing to evaluate.
    actions[0]->trigger();
    QVERIFY(d.dialogs.filters.isEmpty());
    QVERIFY(d.dialogs.shown.empty());
    actions[6]->trigger();
    QCOMPARE(d.dialogs.shown.size(), size_t(1));
    QCOMPARE(d.dialogs.shown[0].text, QString::fromUtf8(kNothingToEvaluate));
}

void MainWindowTest::hourlyLoadSetsPickersAndStatus() {
    Desk d;
    LoadHourly(d, d.writeFile("h.prn", HourlyLines()));
    QCOMPARE(d.dialogs.filters, QStringList{QString::fromUtf8(kQuoteFilter)});
    QVERIFY2(d.dialogs.shown.empty(), qPrintable(d.dialogs.texts_shown().join('|')));
    QCOMPARE(d.session->store.hourBarCount, 5);

    auto* p1 = d.find<QDateEdit>("DTPicker1");
    auto* p2 = d.find<QDateEdit>("DTPicker2");
    QCOMPARE(p1->date(), QDate(2021, 1, 5));  // line 2, not line 1
    QCOMPARE(p1->minimumDate(), QDate(2021, 1, 5));
    QCOMPARE(p1->maximumDate(), QDate(2021, 1, 7));
    QCOMPARE(p2->date(), QDate(2021, 1, 7));
    QCOMPARE(p2->minimumDate(), QDate(2021, 1, 5));
    QCOMPARE(d.find<QTimeEdit>("DTPicker3")->time(), QTime(5, 0));
    QCOMPARE(d.find<QLabel>("Label15")->text(), QString::fromUtf8(kStatusLoaded));
    QCOMPARE(d.find<QProgressBar>("ProgressBar1")->value(), d.find<QProgressBar>("ProgressBar1")->maximum());
    QCOMPARE(d.session->run.firstBar, 2.0f);
    QCOMPARE(d.session->run.lastBar, 6.0f);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!d.dialogs.waitCursorOn());
}

void MainWindowTest::hourlyLoadOfBundledSample() {
    Desk d;
    LoadHourly(d, QStringLiteral(KAVRO_SAMPLE_DIR "/EURUSD_H1.PRN"));
    QVERIFY(d.dialogs.shown.empty());
    QVERIFY(d.session->store.hourBarCount > 10000);
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2019, 1, 2));
    QCOMPARE(d.find<QDateEdit>("DTPicker2")->date(), QDate(2021, 4, 2));
    QCOMPARE(d.find<QTimeEdit>("DTPicker3")->time(), QTime(23, 0));
    QCOMPARE(d.find<QLabel>("Label15")->text(), QString::fromUtf8(kStatusLoaded));
    // The load let the event loop run without taking a turn per line.
    QVERIFY(d.pump.turns() < d.session->store.hourBarCount / 10);
}

void MainWindowTest::pickerChangesRunLookups() {
    Desk d;
    LoadHourly(d, d.writeFile("h.prn", HourlyLines()));
    auto* p1 = d.find<QDateEdit>("DTPicker1");
    auto* p2 = d.find<QDateEdit>("DTPicker2");
    auto* p3 = d.find<QTimeEdit>("DTPicker3");

    p1->setDate(QDate(2021, 1, 6));  // no trading that day
    QCOMPARE(d.session->form.dtPicker1.value, (Date{2021, 1, 6}));
    QTRY_COMPARE(d.dialogs.shown.size(), size_t(1));
    QCOMPARE(d.dialogs.shown[0].text, QString::fromUtf8(kNoTradingStart));
    QCOMPARE(d.dialogs.shown[0].title, QStringLiteral("Сообщение"));
    QCOMPARE(d.dialogs.shown[0].icon, QMessageBox::Information);
    QCOMPARE(d.dialogs.shown[0].buttons, QStringList{"OK"});
    QCOMPARE(d.session->run.firstBar, 5.0f);
    QCOMPARE(d.session->run.lastBar, 6.0f);  // the other picker's result stays

    p1->setDate(QDate(2021, 1, 7));
    QTRY_COMPARE(d.session->run.firstBar, 4.0f);
    QCOMPARE(d.dialogs.shown.size(), size_t(1));

    p3->setTime(QTime(4, 0));  // the end date has no 04:00 bar
    QCOMPARE(d.session->form.dtPicker3Hour, 4);
    QTRY_COMPARE(d.dialogs.shown.size(), size_t(2));
    QCOMPARE(d.dialogs.shown[1].text, QString::fromUtf8(kNoTradingEnd));

    // Closing the end date's drop-down calendar runs the end lookup again.
    QWidget* popup = p2->calendarWidget()->window();
    popup->show();
    popup->hide();
    QTRY_COMPARE(d.dialogs.shown.size(), size_t(3));
    QCOMPARE(d.dialogs.shown[2].text, QString::fromUtf8(kNoTradingEnd));

    p3->setTime(QTime(3, 0));
    QTRY_COMPARE(d.session->run.lastBar, 5.0f);
    QCOMPARE(d.dialogs.shown.size(), size_t(3));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::cancelledFileDialogChangesNothing() {
    Desk d;
    d.window->action("Hour")->trigger();
    d.window->action("Day")->trigger();
    QCOMPARE(d.dialogs.filters.size(), 2);
    QCOMPARE(d.session->store.hourBarCount, 0);
    QCOMPARE(d.session->store.dayBarCount, 0);
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2021, 4, 5));
    QVERIFY(d.find<QLabel>("Label15")->text().isEmpty());
    QCoreApplication::processEvents();
    QVERIFY(d.dialogs.shown.empty());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::reinitialisingRestoresControlsButKeepsData() {
    Desk d;
    d.window->show();
    LoadHourly(d, d.writeFile("h.prn", HourlyLines()));
    for (const QString& name : kFieldNames) {
        auto* e = d.find<QLineEdit>(name.toLatin1().constData());
        e->selectAll();
        QTest::keyClicks(e, "42");
    }
    QCOMPARE(d.session->form.text13, std::string("42"));
    for (const char* name : {"Check1", "Check2", "Check3", "Option4"}) d.find<QAbstractButton>(name)->click();
    d.session->form.label15 = std::string("x");

    ReinitialiseWindow(*d.session);
    for (int i = 0; i < kFieldNames.size(); ++i)
        QCOMPARE(d.find<QLineEdit>(kFieldNames[i].toLatin1().constData())->text(), kInitialTexts[i]);
    for (const char* name : {"Check1", "Check2", "Check3"}) QVERIFY(!d.find<QCheckBox>(name)->isChecked());
    QVERIFY(d.find<QRadioButton>("Option1")->isChecked());
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2021, 4, 5));
    QCOMPARE(d.find<QDateEdit>("DTPicker2")->date(), QDate(2021, 4, 5));
    QVERIFY(d.find<QLabel>("Label15")->text().isEmpty());
    QCOMPARE(d.session->store.hourBarCount, 5);
    QCOMPARE(d.session->run.firstBar, 2.0f);
    QCoreApplication::processEvents();
    QVERIFY(d.dialogs.shown.empty());  // restoring the pickers ran no lookup
}

void MainWindowTest::failedLookupReinitialisesWindow() {
    Desk d;
    auto* text2 = d.find<QLineEdit>("Text2");
    text2->selectAll();
    QTest::keyClicks(text2, "55");
    QCOMPARE(d.session->form.text2, std::string("55"));
    // No hourly file was chosen yet: the lookup cannot open it.
    d.find<QDateEdit>("DTPicker1")->setDate(QDate(2021, 3, 1));
    QTRY_COMPARE(text2->text(), QStringLiteral("100"));
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2021, 4, 5));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::startAndStopDispatch() {
    Desk d;
    d.window->action("Start")->trigger();
    QCOMPARE(d.find<QLabel>("Label15")->text(), QString::fromUtf8(kStatusEstimate));
    QVERIFY(d.find<QTimer>("Timer1")->isActive());
    QCOMPARE(d.session->run.s.TP1, 100.0f);
    QVERIFY(QFile::exists(d.dir.filePath("RIPOT")));
    // Stop before the first tick: the run ends at once.
    d.window->action("Stop")->trigger();
    QVERIFY(!d.find<QTimer>("Timer1")->isActive());
    QVERIFY(!d.session->form.timer1);

    // A zero take-profit only beeps.
    auto* text2 = d.find<QLineEdit>("Text2");
    text2->selectAll();
    QTest::keyClicks(text2, "0");
    d.window->action("Start")->trigger();
    QCOMPARE(d.dialogs.bells, 1);
    QVERIFY(!d.find<QTimer>("Timer1")->isActive());

    text2->selectAll();
    QTest::keyClicks(text2, "abc");
    d.window->action("Start")->trigger();
    QCOMPARE(d.dialogs.shown.size(), size_t(1));
    QCOMPARE(d.dialogs.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(d.dialogs.shown[0].icon, QMessageBox::Critical);
    QCOMPARE(d.dialogs.shown[0].text, QString::fromUtf8(kStartFailed));
}

void MainWindowTest::reportWithoutFileTellsUser() {
    Desk d;
    d.window->action("Othet")->trigger();
    QCOMPARE(d.dialogs.shown.size(), size_t(1));
    QCOMPARE(d.dialogs.shown[0].title, QStringLiteral("Сообщение"));
    QVERIFY(!d.dialogs.shown[0].text.isEmpty());
    QVERIFY(d.find<QPlainTextEdit>("Text10")->toPlainText().isEmpty());
}

void MainWindowTest::reportShowsFileLines() {
    Desk d;
    d.writeFile("RIPOT", {" 1  100  20  5 ", " 2  100  25  -3 ", " 3  100  30  8 "});
    d.window->action("Othet")->trigger();
    QVERIFY(d.dialogs.shown.empty());
    QCOMPARE(d.find<QPlainTextEdit>("Text10")->toPlainText(),
             QStringLiteral(" 1  100  20  5 \n 2  100  25  -3 \n 3  100  30  8 \n"));
    QCOMPARE(d.session->form.text10,
             std::string(" 1  100  20  5 \r\n 2  100  25  -3 \r\n 3  100  30  8 \r\n"));
}

void MainWindowTest::countdownTicksFromTimer2() {
    Desk d;
    d.session->run.remainingSeconds = 2;
    d.session->form.timer2 = true;
    d.window->syncFromState();
    auto* status = d.find<QLabel>("Label15");
    QTRY_VERIFY_WITH_TIMEOUT(
        status->text().startsWith(QStringLiteral("До окончания теста осталось   00: 00: 0")), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!d.find<QTimer>("Timer2")->isActive(), 3000);
    QVERIFY(status->text().isEmpty());
}

void MainWindowTest::grafOpensChartWindow() {
    Desk d;
    d.window->show();
    d.window->action("Graf")->trigger();
    QPointer<QWidget> chart = d.window->chartWindow();
    QVERIFY(chart);
    QVERIFY(chart->isWindow());
    QVERIFY(chart->isVisible());
    chart->close();
    QTRY_VERIFY(!chart);  // the chart window deletes itself when closed
}

void MainWindowTest::endQuits() {
    Desk d;
    d.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.window.get()));
    QSignalSpy quitting(d.window.get(), &MainWindow::quitting);
    d.window->action("End")->trigger();
    QCOMPARE(quitting.size(), 1);
    QVERIFY(!d.window->isVisible());
    QVERIFY(d.session->run.stopRequested);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
