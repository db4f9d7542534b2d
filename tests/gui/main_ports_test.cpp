#include <QDate>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QtTest>
#include <thread>

#include "main_test_support.h"
#include "platform/qt/qt_clock.h"

using namespace kavro;
using kavro::test::ScriptedDialogs;

class PortsTest : public QObject {
    Q_OBJECT
  private slots:
    void pumpRunsPostedEventsAndRefreshes();
    void pumpTakesFewTurnsOnCheapCalls();
    void pumpNoticesSlowCallsSoon();
    void messageBoxHasTitleAndSingleOk();
    void waitCursorIsBalanced();
    void modalBoxShowsArrowDuringWait();
    void inputAndFileAnswers();
    void dialogsOpenWhereTheyLastWereAcrossLaunches();
    void datePatternsFromQt();
    void localeFromQt();
    void clockReadsToday();
};

void PortsTest::pumpRunsPostedEventsAndRefreshes() {
    QtEventPump pump;
    int refreshed = 0;
    pump.setAfterEvents([&] { ++refreshed; });
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QElapsedTimer t;
    t.start();
    while (!ran && t.elapsed() < 5000) pump.yield();
    QVERIFY(ran);
    QVERIFY(refreshed >= 1);
    QCOMPARE(pump.turns(), (long long)refreshed);
}

void PortsTest::pumpTakesFewTurnsOnCheapCalls() {
    QtEventPump pump;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 2'000'000; ++i) pump.yield();
    const qint64 ms = t.elapsed();
    // At most one turn per 15 ms of calling, plus the first.
    QVERIFY2(pump.turns() <= ms / 15 + 2,
             qPrintable(QStringLiteral("%1 turns in %2 ms").arg(pump.turns()).arg(ms)));
}

void PortsTest::pumpNoticesSlowCallsSoon() {
    QtEventPump pump;
    for (int i = 0; i < 1'000'000; ++i) pump.yield();  // cheap calls stretch the clock-read stride
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    int calls = 0;
    while (!ran && calls < 1000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pump.yield();
        ++calls;
    }
    QVERIFY(ran);
    QVERIFY2(calls <= 100, qPrintable(QString::number(calls)));
}

void PortsTest::messageBoxHasTitleAndSingleOk() {
    auto info = QtDialogs::buildMessageBox(MessageKind::Information, QStringLiteral("текст"), nullptr);
    QCOMPARE(info->windowTitle(), QStringLiteral("Сообщение"));
    QCOMPARE(info->text(), QStringLiteral("текст"));
    QCOMPARE(info->icon(), QMessageBox::Information);
    QCOMPARE(info->buttons().size(), 1);
    QCOMPARE(info->buttons()[0]->text(), QStringLiteral("OK"));
    auto error = QtDialogs::buildMessageBox(MessageKind::Error, QStringLiteral("x"), nullptr);
    QCOMPARE(error->windowTitle(), QStringLiteral("Ошибка"));
    QCOMPARE(error->icon(), QMessageBox::Critical);
    QCOMPARE(error->buttons().size(), 1);

    ScriptedDialogs d;
    d.message(MessageKind::Error, "Необходимо открыть файл с данными");
    QCOMPARE(d.shown.size(), size_t(1));
    QCOMPARE(d.shown[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(d.shown[0].text, QStringLiteral("Необходимо открыть файл с данными"));
    QCOMPARE(d.shown[0].buttons, QStringList{"OK"});
}

void PortsTest::waitCursorIsBalanced() {
    {
        ScriptedDialogs d;
        d.waitCursor(true);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        d.waitCursor(true);  // the core may switch it on twice before one off
        d.waitCursor(false);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        d.waitCursor(false);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        d.waitCursor(true);
    }
    // Gone with the dialogs that set it.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void PortsTest::modalBoxShowsArrowDuringWait() {
    ScriptedDialogs d;
    d.waitCursor(true);
    d.message(MessageKind::Information, "m");
    QCOMPARE(d.shown.back().cursor, Qt::ArrowCursor);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    d.files.push_back(QString());
    QCOMPARE(d.openFile("Тексовой файл(*.PRN)"), std::string());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    d.waitCursor(false);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void PortsTest::inputAndFileAnswers() {
    ScriptedDialogs d;
    d.texts = {QString(), QStringLiteral("12")};
    QCOMPARE(d.inputBox("p", "t", "5"), std::optional<std::string>());
    QCOMPARE(d.inputBox("p", "t", "5"), std::optional<std::string>("12"));
    QCOMPARE(d.inputBox("p", "t", "5"), std::optional<std::string>("5"));

    d.files = {QStringLiteral("/tmp/котировки.PRN")};
    QCOMPARE(d.openFile("Тексовой файл(*.PRN)"), std::string("/tmp/котировки.PRN"));
    QCOMPARE(d.filters, QStringList{QStringLiteral("Тексовой файл(*.PRN)")});
    QCOMPARE(d.openFile("Тексовой файл(*.PRN)"), std::string());  // cancelled
}

void PortsTest::dialogsOpenWhereTheyLastWereAcrossLaunches() {
    QTemporaryDir settings, work;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("quotes")) &&
            QDir(work.path()).mkpath(QStringLiteral("out")));
    const QString quotes = work.filePath(QStringLiteral("quotes")),
                  out = work.filePath(QStringLiteral("out"));
    const QString file = quotes + QStringLiteral("/EURUSD_H1.PRN");
    {
        ScriptedDialogs first;
        first.files = {file};
        first.folders = {out};
        QCOMPARE(first.openFile("f"), file.toStdString());
        QCOMPARE(first.openFile("f"), std::string());  // cancelled: the folder stays
        QCOMPARE(first.chooseFolder("t"), out.toStdString());
        QCOMPARE(first.openFolders, (QStringList{QString(), quotes}));
        QCOMPARE(first.pickFolders, QStringList{QString()});
    }
    // The next launch: new dialogs, the same settings.
    ScriptedDialogs next;
    next.openFile("f");
    next.chooseFolder("t");
    QCOMPARE(next.openFolders, QStringList{quotes});
    QCOMPARE(next.pickFolders, QStringList{out});
    // The two folders are all the program keeps, and they are kept where the settings were sent.
    QSettings kept(settings.filePath(QStringLiteral("Kavro/Kavro.conf")), QSettings::IniFormat);
    QStringList keys = kept.allKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{QStringLiteral("folders/open"), QStringLiteral("folders/picked")}));
    // A folder that has gone since is forgotten.
    QVERIFY(QDir(quotes).removeRecursively());
    next.openFile("f");
    QCOMPARE(next.openFolders.last(), QString());
}

void PortsTest::datePatternsFromQt() {
    QCOMPARE(DatePatternFromQt("dd.MM.yyyy"), std::string("dd.MM.yyyy"));
    QCOMPARE(DatePatternFromQt("M/d/yy"), std::string("M/d/yy"));
    QCOMPARE(DatePatternFromQt("yyyy-MM-dd"), std::string("yyyy-MM-dd"));
    QCOMPARE(DatePatternFromQt("d MMM yyyy"), std::string("d MM yyyy"));
    QCOMPARE(DatePatternFromQt("dddd, d MMMM yyyy"), std::string("d MM yyyy"));
    QCOMPARE(DatePatternFromQt("d MMMM yyyy 'г.'"), std::string("d MM yyyy г."));
    QCOMPARE(DatePatternFromQt("dd'd'MM"), std::string("ddMM"));  // quoted pattern letters cannot survive
    QCOMPARE(DatePatternFromQt("yyy"), std::string("yyyy"));
    QCOMPARE(DatePatternFromQt("d/M/y"), std::string("d/M/yyyy"));
    QCOMPARE(DatePatternFromQt("dd ''MM"), std::string("dd 'MM"));
    QCOMPARE(DatePatternFromQt("'"), std::string());
    QCOMPARE(DatePatternFromQt(""), std::string());
}

void PortsTest::localeFromQt() {
    const Locale ru = LocaleFromQt(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(ru.decimalSeparator, ',');
    QCOMPARE(ru.shortDatePattern, std::string("dd.MM.yyyy"));
    const Locale us = LocaleFromQt(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(us.decimalSeparator, '.');
    QCOMPARE(us.shortDatePattern, std::string("M/d/yy"));
    const Locale de = LocaleFromQt(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(de.decimalSeparator, ',');
    QCOMPARE(de.shortDatePattern, std::string("dd.MM.yy"));
    // A separator outside ASCII falls back to the period.
    const Locale ar = LocaleFromQt(QLocale(QLocale::Arabic, QLocale::Egypt));
    QCOMPARE(ar.decimalSeparator, '.');
    QVERIFY(!ar.shortDatePattern.empty());
}

void PortsTest::clockReadsToday() {
    QtClock c;
    const QDate before = QDate::currentDate();
    const Date today = c.today();
    const QDate after = QDate::currentDate();
    QVERIFY(QDate(today.year, today.month, today.day) == before ||
            QDate(today.year, today.month, today.day) == after);
    const float s = c.secondsSinceMidnight();
    QVERIFY(s >= 0 && s < 86401);
}

QTEST_MAIN(PortsTest)
#include "main_ports_test.moc"
