// The two tests run in the desktop window on the bundled sample must write the
// same reports as the batch runner (recorded under tests/e2e/expected).
#include <QAction>
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
  private slots:
    void simpleSweepWritesTheBatchReport() {
        Desk desk;
        QVERIFY(RunOnSample(desk, "Start"));
        QCOMPARE(desk.session->run.runPassesDone, 408);
        QCOMPARE(desk.find<QLabel>("Label1_0")->text(), QStringLiteral("13749"));
        QVERIFY(Read(desk.session->ripotPath()) == Expected("simple_default.RIPOT"));
    }

    void thoroughTestWritesTheBatchReports() {
        Desk desk;
        QVERIFY(RunOnSample(desk, "Kach"));
        QCOMPARE(desk.find<QLabel>("Label1_5")->text(), QStringLiteral("1671"));
        QVERIFY(Read(desk.session->ripotPath()) == Expected("thorough_default.RIPOT"));
        QVERIFY(Read(desk.session->ripot1Path()) == Expected("thorough_default.RIPOT1"));
    }
};

QTEST_MAIN(MainRuns)
#include "main_runs_test.moc"
