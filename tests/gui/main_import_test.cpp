// The window's "Импорт CSV…": the hour shift and the date order asked in their boxes, the files loaded as
// "Час" and "День" load them, and the summary's dates written as the window writes dates.
#include <QDateEdit>
#include <QLabel>
#include <QtTest>

#include "import/import_text.h"
#include "main_test_support.h"
#include "program/import_command.h"

using namespace kavro;
using kavro::test::Desk;

class MainImportTest : public QObject {
    Q_OBJECT
  private slots:
    void asksTheShiftAndTheDateOrderThenLoads();
};

void MainImportTest::asksTheShiftAndTheDateOrderThenLoads() {
    Desk d;
    // Month-first dates that never show it, in a zone eight hours ahead of UTC.
    const QString csv = d.writeFile(
        "us.csv", {"Local time,Open,High,Low,Close", "1/4/2021 9:00 GMT+0800,1.2000,1.2010,1.1990,1.2005",
                   "1/4/2021 10:00 GMT+0800,1.2005,1.2020,1.2000,1.2015",
                   "1/5/2021 9:00 GMT+0800,1.2015,1.2030,1.2010,1.2025"});
    d.dialogs.files = {csv};
    d.dialogs.answers = {false};  // no daily CSV
    d.dialogs.numbers = {-1};
    d.dialogs.items = {2};  // month first
    d.window->action("Import")->trigger();

    QCOMPARE(d.dialogs.asked.size(), size_t(2));
    QCOMPARE(d.dialogs.asked[0].prompt, QString::fromUtf8(kAskShiftHours));
    QCOMPARE(d.dialogs.asked[0].title, QString::fromUtf8(kImportTitle));
    QCOMPARE(d.dialogs.asked[0].value, 0);
    QCOMPARE(d.dialogs.asked[0].min, -48);
    QCOMPARE(d.dialogs.asked[0].max, 48);
    QCOMPARE(d.dialogs.asked[1].title, QString::fromUtf8(kDateOrderChoice));
    QCOMPARE(d.dialogs.asked[1].value, 0);
    QCOMPARE(d.dialogs.asked[1].items.size(), 3);
    QCOMPARE(d.dialogs.asked[1].items[2], QString::fromUtf8(kDateOrderItems[2]));

    // 09:00 and 10:00 at UTC+8 an hour earlier: 00:00 and 01:00 UTC of 4 January, then 00:00 of the 5th.
    QCOMPARE(d.session->store.hourBarCount, 3);
    QCOMPARE(d.session->store.dayBarCount, 2);
    QCOMPARE(d.find<QDateEdit>("DTPicker1")->date(), QDate(2021, 1, 4));
    QCOMPARE(d.find<QDateEdit>("DTPicker2")->date(), QDate(2021, 1, 5));
    QCOMPARE(d.find<QLabel>("Label15")->text(), QStringLiteral("Загрузка закончена"));
    QCOMPARE(d.dialogs.shown.size(), size_t(2));  // the question, then the summary
    QCOMPARE(d.dialogs.shown[1].title, QString::fromUtf8(kTitleInfo));
    QCOMPARE(d.dialogs.shown[1].text,
             QStringLiteral(
                 "Импорт закончен: 3 часовых баров из 3 строк, 2 дневных, с 04.01.2021 по 05.01.2021."));
    QFile hours(d.dir.filePath(QStringLiteral("us_H1.PRN")));
    QVERIFY(hours.open(QIODevice::ReadOnly));
    QCOMPARE(hours.readLine(), QByteArray("20210104 00:00  1.2000,1.2010,1.1990,1.2005,\r\n"));
}

QTEST_MAIN(MainImportTest)
#include "main_import_test.moc"
