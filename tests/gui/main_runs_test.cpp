// The two tests run in the desktop window on the bundled sample must write the
// same reports as the batch runner (recorded under tests/e2e/expected).
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "main_test_support.h"

using namespace kavro;
using namespace kavro::test;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Expected(const char* name) {
    return Read(std::string(KAVRO_E2E_EXPECTED) + "/" + name);
}

}  // namespace

class MainRuns : public QObject {
    Q_OBJECT
  private:
    // Loads the sample through the Open menu, then presses `key` and lets the run finish.
    static void Run(Desk& desk, const char* key, const bool& timer) {
        const QString sample = QStringLiteral(KAVRO_SAMPLE_DIR);
        desk.dialogs.files = {sample + "/EURUSD_H1.PRN", sample + "/EURUSD_D1.PRN"};
        desk.window->action("Hour")->trigger();
        desk.window->action("Day")->trigger();
        desk.session->form.check2 = true;
        desk.window->action(key)->trigger();
        QElapsedTimer t;
        t.start();
        while (timer && t.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

  private slots:
    void simpleSweepWritesTheBatchReport() {
        Desk desk;
        Run(desk, "Start", desk.session->form.timer1);
        QVERIFY(!desk.session->form.timer1);
        QCOMPARE(desk.session->run.runPassesDone, 408);
        QCOMPARE(desk.find<QLabel>("Label1_0")->text(), QStringLiteral("13749"));
        QVERIFY(Read(desk.session->ripotPath()) == Expected("simple_default.RIPOT"));
    }

    void thoroughTestWritesTheBatchReports() {
        Desk desk;
        Run(desk, "Kach", desk.session->form.timer3);
        QVERIFY(!desk.session->form.timer3);
        QCOMPARE(desk.find<QLabel>("Label1_5")->text(), QStringLiteral("1671"));
        QVERIFY(Read(desk.session->ripotPath()) == Expected("thorough_default.RIPOT"));
        QVERIFY(Read(desk.session->ripot1Path()) == Expected("thorough_default.RIPOT1"));
    }
};

QTEST_MAIN(MainRuns)
#include "main_runs_test.moc"
