// The desktop program's command line: help, version and bad usage from the program itself, and
// the files it is given loaded into the window as the Open menu loads them.
#include <QDateEdit>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QtTest>

#include "main_test_support.h"
#include "program/command_line.h"

using namespace kavro;
using kavro::test::Desk;

namespace {

struct Finished {
    int status = -1;  // -1: crashed or did not finish
    QString out, err;
};

Finished RunWindowProgram(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KAVRO_WINDOW), args);
    Finished f;
    if (!p.waitForFinished(30000)) p.kill();
    if (p.exitStatus() == QProcess::NormalExit) f.status = p.exitCode();
    f.out = QString::fromUtf8(p.readAllStandardOutput());
    f.err = QString::fromUtf8(p.readAllStandardError());
    return f;
}

// Qt could show no window here: the program must not even try.
QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QProcessEnvironment Offscreen() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

const QString kHourly = QStringLiteral(KAVRO_SAMPLE_DIR "/EURUSD_H1.PRN");
const QString kDaily = QStringLiteral(KAVRO_SAMPLE_DIR "/EURUSD_D1.PRN");

void OpenFromCommandLine(Desk& d, const QStringList& args) {
    std::vector<std::string> list;
    for (const QString& a : args) list.push_back(a.toStdString());
    const WindowArguments a = ParseWindowArguments(list);
    QCOMPARE(a.action, WindowArguments::Action::Open);
    d.window->runCommand([&] { OpenStartupFiles(*d.session, a); });
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
  private slots:
    void helpAndVersionPrintWithoutADisplay();
    void badUsageSaysWhyAfterQtTakesItsOwnOptions();
    void filesOpenInTheWindowWithThePairSelected();
    void aFileThatDoesNotLoadIsReportedAndTheWindowStays();
};

void CommandLineTest::helpAndVersionPrintWithoutADisplay() {
    for (const QString& flag : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const Finished f = RunWindowProgram({flag}, WithoutDisplay());
        QCOMPARE(f.status, 0);
        QCOMPARE(f.out, QString::fromStdString(WindowHelpText()));
        QCOMPARE(f.err, QString());
    }
    const Finished v = RunWindowProgram({kHourly, QStringLiteral("--version")}, WithoutDisplay());
    QCOMPARE(v.status, 0);
    QCOMPARE(v.out, QString::fromStdString(WindowVersionText()));
    QCOMPARE(v.err, QString());
}

void CommandLineTest::badUsageSaysWhyAfterQtTakesItsOwnOptions() {
    const Finished bad = RunWindowProgram({QStringLiteral("--pair"), QStringLiteral("XYZ")}, Offscreen());
    QCOMPARE(bad.status, 2);
    QCOMPARE(bad.out, QString());
    QVERIFY2(bad.err.contains(QStringLiteral("kavro: --pair needs EUR, GBP, CHF or JPY, not XYZ\n")),
             qPrintable(bad.err));
    QVERIFY(bad.err.contains(QStringLiteral("Usage: kavro [OPTIONS]")));
    // One of Qt's own options is not ours to refuse.
    const Finished qt = RunWindowProgram(
        {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")}, Offscreen());
    QCOMPARE(qt.status, 0);
    QCOMPARE(qt.out, QString::fromStdString(WindowVersionText()));
}

void CommandLineTest::filesOpenInTheWindowWithThePairSelected() {
    Desk d;
    d.window->show();
    OpenFromCommandLine(d, {QStringLiteral("--pair"), QStringLiteral("GBP"), kHourly, kDaily});
    QCOMPARE(d.dialogs.texts_shown(), QStringList());
    QVERIFY(d.find<QRadioButton>("Option2")->isChecked());
    QVERIFY(!d.find<QRadioButton>("Option1")->isChecked());
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2019, 1, 2));
    QCOMPARE(d.find<QDateEdit>("DTPicker2")->date(), QDate(2021, 4, 2));
    QCOMPARE(d.find<QLabel>("Label15")->text(), QStringLiteral("Загрузка закончена"));
    QCOMPARE(d.session->store.hourBarCount, 13979);
    QCOMPARE(d.session->store.dayBarCount, 5817);
}

void CommandLineTest::aFileThatDoesNotLoadIsReportedAndTheWindowStays() {
    const QString missing = QStringLiteral("/nonexistent/kavro/EURUSD_H1.PRN");
    Desk d;
    d.window->show();
    OpenFromCommandLine(d, {QStringLiteral("--hourly"), missing, QStringLiteral("--daily"), kDaily});
    QCOMPARE(d.dialogs.texts_shown(), QStringList{"Не удалось прочитать файл " + missing});
    QCOMPARE(d.dialogs.shown[0].title, QStringLiteral("Ошибка"));
    // The daily file loaded all the same, and the window is still there.
    QVERIFY(d.window->isVisible());
    QCOMPARE(d.session->store.dayBarCount, 5817);
    QCOMPARE(d.session->store.hourBarCount, 0);
}

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
