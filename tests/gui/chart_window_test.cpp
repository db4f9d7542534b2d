#include <QFontMetricsF>
#include <QInputDialog>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/chart_window.h"
#include "platform/headless.h"
#include "platform/qt/qt_dialogs.h"
#include "program/commands.h"

using namespace kavro;

namespace {

// Qt's own boxes, but for the open-file dialog and the messages, which answer
// at once so that a run needs no hand.
class QtBoxes : public QtDialogs {
  public:
    std::deque<std::string> fileAnswers;

  protected:
    void showModal(QMessageBox&) override {}
    void ringBell() override {}
    QString askOpenFile(const QString&, const QString&) override {
        if (fileAnswers.empty()) return {};
        const QString f = QString::fromStdString(fileAnswers.front());
        fileAnswers.pop_front();
        return f;
    }
};

// A session without a main window after a single-setting run (entry hour 10)
// on the bundled EURUSD sample.
template <class D = RecordingDialogs>
struct Bench {
    QTemporaryDir dir;
    HeadlessPump pump;
    D dialogs;
    FixedClock clock;
    RecordingShell shell;
    Session s{Ports{pump, dialogs, clock, shell}, Locale{}, dir.path().toStdString()};

    Bench() {
        dialogs.fileAnswers = {KAVRO_SAMPLE_DIR "/EURUSD_H1.PRN", KAVRO_SAMPLE_DIR "/EURUSD_D1.PRN"};
        MenuHour(s);
        MenuDay(s);
        s.form.text6 = std::string("0");  // a single setting: entry hour 10
        s.form.text4 = std::string("10");
        s.form.text5 = std::string("10");
        s.form.check2 = true;
        ToolbarButton(s, "Start");
        for (int i = 0; i < 10 && s.form.timer1; ++i) Timer1Tick(s);
    }
    ChartWindow* open() { return qobject_cast<ChartWindow*>(OpenChartWindow(s, nullptr)); }
};

void Move(QWidget* w, QPoint px, Qt::MouseButtons held) {
    QMouseEvent e(QEvent::MouseMove, QPointF(px), w->mapToGlobal(QPointF(px)), Qt::NoButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

bool Closed(QWidget* w) {
    QPointer<QWidget> p(w);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return p.isNull();
}

// Empty when the info box shows each of its lines in full without scrolling;
// otherwise what does not fit.
QString CutOff(const QPlainTextEdit* box) {
    const QFontMetricsF fm(box->font());
    const QStringList lines = box->toPlainText().split(QLatin1Char('\n'));
    const qreal margin = box->document()->documentMargin();
    const QSize room = box->viewport()->size();
    if (box->horizontalScrollBar()->isVisible()) return QStringLiteral("horizontal scroll bar");
    if (box->verticalScrollBar()->isVisible()) return QStringLiteral("vertical scroll bar");
    // The view's own measure: a range to scroll means something lies outside.
    if (box->horizontalScrollBar()->maximum() > 0) return QStringLiteral("scrolls sideways");
    if (box->verticalScrollBar()->maximum() > 0) return QStringLiteral("scrolls up and down");
    for (const QString& line : lines)
        if (fm.horizontalAdvance(line) + 2 * margin > room.width())
            return QStringLiteral("%1 wider than %2 px").arg(line).arg(room.width());
    if (lines.size() * fm.lineSpacing() + 2 * margin > room.height())
        return QStringLiteral("%1 lines taller than %2 px").arg(lines.size()).arg(room.height());
    return {};
}

int CountColour(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

}  // namespace

class ChartWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup();
    void grafBuildsFromTheRunAndReopensWithTheSameVariables();
    void keysAndMouseReachTheModel();
    void infoBoxGrowsToShowWholeRecords();
    void ocDrawsTheOscillatorOnTheSurface();
    void ocAsksThePeriodInAModalBoxEachTime();
};

// A failed check leaves its window open; it must not outlive its session.
void ChartWindowTest::cleanup() {
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ChartWindowTest::grafBuildsFromTheRunAndReopensWithTheSameVariables() {
    Bench<> b;
    const int64_t n = b.s.run.closedTradeCount;
    QVERIFY(n > 100);
    ChartWindow* w = b.open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("EURUSD"));
    QCOMPARE(w->model().bars().size(), size_t(n));
    QCOMPARE(b.s.chart.sngLeft, double(int(7425 / n)));    // measured at the size as created
    QCOMPARE(w->frameGeometry().size(), QSize(522, 400));  // then 7824 x 6000 twips
    QCOMPARE(w->frameGeometry().topLeft(), w->screen()->availableGeometry().topLeft());
    QCOMPARE(w->oscButton()->x() * 15, int(w->model().outerWidth()) - 585);

    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(w, Qt::Key_Left);
    b.s.run.closedTradeCount = 3;
    QCOMPARE(b.open(), w);  // Graf on the open window: no rebuild
    QCOMPARE(w->model().bars().size(), size_t(n));
    QVERIFY(Closed(w));

    ChartWindow* again = b.open();
    QVERIFY(again);
    QVERIFY(!again->model().userLine(1));
    QCOMPARE(b.s.chart.drawnLineCount, int64_t(1));
    QCOMPARE(again->model().bars()[0].left, float(b.s.chart.sngLeft));  // the build ignores the pan
    QTest::keyClick(again, Qt::Key_Up);
    QCOMPARE(again->model().bars()[0].left, float(-9 * b.s.chart.sngLeft));
}

void ChartWindowTest::keysAndMouseReachTheModel() {
    Bench<> b;
    ChartWindow* w = b.open();
    const double spacing = b.s.chart.sngLeft;
    QTest::keyClick(w, Qt::Key_Left);
    QCOMPARE(w->model().bars()[10].left, float(spacing));

    // Over bar 13 (now third from the left), the info box shows its record and ignores typing.
    Move(w, QPoint(int(3.5 * spacing / 15), 300), Qt::NoButton);
    const QString shown = w->infoBox()->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("\nДата открытия-")));
    QCOMPARE(shown, QString::fromStdString(TradeRecordText(b.s.run, 13, b.s.locale)).replace("\r\n", "\n"));
    QTest::keyClick(w->infoBox(), Qt::Key_Up);
    QTest::keyClicks(w->infoBox(), QStringLiteral("abc"));
    QTest::keyClick(w->infoBox(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->infoBox()->toPlainText(), shown);
    QCOMPARE(b.s.chart.vScrol, 3950.0);
    QTest::keyClick(w->oscButton(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(b.s.chart.hScrol2, 1.0);
    QTest::keyClick(w, Qt::Key_Down, Qt::ShiftModifier | Qt::ControlModifier);  // not Shift alone
    QCOMPARE(b.s.chart.vScrol, 4000.0);

    Move(w, QPoint(100, 60), Qt::RightButton);
    QCOMPARE(w->infoBox()->pos(), QPoint(100, 60));
    Move(w, QPoint(100, 390), Qt::RightButton);  // below the bands: top at H - 3400
    QCOMPARE(w->infoBox()->pos(), QPoint(100, (6000 - 3400) / 15));

    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(200, 30));
    QCOMPARE(w->cursor().shape(), Qt::CrossCursor);
    Move(w, QPoint(300, 50), Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(300, 50));
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(*w->model().userLine(1), (ChartLine{3000, 450, 4500, 750, kColourRed, true}));
    QVERIFY(CountColour(w->grab().toImage(), qRgb(255, 0, 0)) > 50);
    QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(10, 10));
    for (const auto& [index, line] : w->model().userLines()) QVERIFY(!line.visible);
    QCOMPARE(CountColour(w->grab().toImage(), qRgb(255, 0, 0)), 0);
}

void ChartWindowTest::infoBoxGrowsToShowWholeRecords() {
    Bench<> b;
    ChartWindow* w = b.open();
    QPlainTextEdit* box = w->infoBox();
    const QSize designed(2055 / 15, 1695 / 15);
    QCOMPARE(box->size(), designed);  // nothing shown yet

    const QPoint overBar2(int(2.5 * b.s.chart.sngLeft / 15), 300);
    Move(w, overBar2, Qt::NoButton);
    QCOMPARE(box->toPlainText().count(QLatin1Char('\n')), 7);
    QVERIFY(box->toPlainText().contains(QStringLiteral("\nДата закрытия-20")));
    QCOMPARE(CutOff(box), QString());
    const QSize fitted = box->size();
    QVERIFY(fitted.width() >= designed.width() && fitted.height() >= designed.height());

    // Longer counts widen the box ...
    const int64_t wins = b.s.run.winCount;
    b.s.run.winCount = 1234567;
    Move(w, overBar2, Qt::NoButton);
    QVERIFY(box->toPlainText().contains(QStringLiteral("\nПрибыльные сделки1234567\n")));
    QCOMPARE(CutOff(box), QString());
    QVERIFY(box->width() > fitted.width());
    const QSize grown = box->size();

    // ... and shorter ones leave it as it is, so it does not change size as the pointer moves on.
    b.s.run.winCount = wins;
    Move(w, overBar2, Qt::NoButton);
    QVERIFY(!box->toPlainText().contains(QStringLiteral("1234567")));
    QCOMPARE(box->size(), grown);
    QCOMPARE(CutOff(box), QString());

    // Dragged with the right button it keeps its size; its place is the model's.
    Move(w, QPoint(150, 200), Qt::RightButton);
    QCOMPARE(box->pos(), QPoint(150, 200 - 1695 / 15));  // the middle band: the box ends at the pointer
    QCOMPARE(box->size(), grown);
}

void ChartWindowTest::ocDrawsTheOscillatorOnTheSurface() {
    Bench<> b;
    ChartWindow* w = b.open();
    QTest::keyClick(w, Qt::Key_Down);
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(40, 250));
    Move(w, QPoint(400, 120), Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(400, 120));
    b.dialogs.inputAnswers.push_back(std::string("12"));
    QTest::mouseClick(w->oscButton(), Qt::LeftButton);
    QCOMPARE(b.s.chart.per, std::string("12"));
    for (const ChartLine& g : w->model().guides()) QVERIFY(g.visible);
    const QImage surface = w->surface().copy();
    QVERIFY(CountColour(surface, qRgb(255, 0, 0)) > 100);
    QVERIFY(CountColour(surface, qRgb(0, 0, 255)) > 100);
    QVERIFY(CountColour(w->grab().toImage(), qRgb(0, 255, 0)) > 400);  // two green guides
    // KAVRO_CHART_SHOT=<png> keeps a picture of the window for a look by eye.
    const QString shot = qEnvironmentVariable("KAVRO_CHART_SHOT");
    if (!shot.isEmpty()) QVERIFY(w->grab().save(shot));

    // The curves survive the window shrinking and growing again.
    const QSize size = w->size();
    w->resize(200, 150);
    w->resize(700, 500);
    QCOMPARE(w->surface().copy(0, 0, surface.width(), surface.height()), surface);
    w->resize(size);

    b.dialogs.inputAnswers.push_back(std::nullopt);  // cancel: nothing changes
    QTest::mouseClick(w->oscButton(), Qt::LeftButton);
    QCOMPARE(w->surface().copy(0, 0, surface.width(), surface.height()), surface);
    QVERIFY(w->model().guides()[0].visible);

    // Same pan, zoom and size: the next click erases the curves exactly.
    b.dialogs.inputAnswers.push_back(std::string("100000"));
    QTest::mouseClick(w->oscButton(), Qt::LeftButton);
    QCOMPARE(CountColour(w->surface(), qRgb(255, 0, 0)), 0);
    QCOMPARE(CountColour(w->surface(), qRgb(0, 0, 255)), 0);
}

void ChartWindowTest::ocAsksThePeriodInAModalBoxEachTime() {
    Bench<QtBoxes> b;
    ChartWindow* w = b.open();
    struct Asked {
        QString title, prompt, text;
        bool modal;
    };
    std::vector<Asked> asked;
    // Answers the box from its own event loop: `answer` typed and OK, or Cancel when null.
    auto answerNextBox = [&](const QString& answer) {
        QTimer::singleShot(0, w, [&asked, answer] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QInputDialog*>(top);
                if (!box || !box->isVisible()) continue;
                asked.push_back({box->windowTitle(), box->labelText(), box->textValue(), box->isModal()});
                if (answer.isNull()) {
                    box->reject();
                } else {
                    box->setTextValue(answer);
                    box->accept();
                }
            }
        });
    };

    answerNextBox(QStringLiteral("20"));
    QTest::mouseClick(w->oscButton(), Qt::LeftButton);
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(asked[0].title, QStringLiteral("Oc"));
    QCOMPARE(asked[0].prompt, QStringLiteral("Введите период осцилятора"));
    QCOMPARE(asked[0].text, QStringLiteral("12"));
    QVERIFY(asked[0].modal);
    QCOMPARE(b.s.chart.per, std::string("20"));
    const QImage surface = w->surface().copy();
    QVERIFY(CountColour(surface, qRgb(255, 0, 0)) > 100);

    // Asked again with the default, not the last answer; Cancel changes nothing.
    answerNextBox(QString());
    QTest::mouseClick(w->oscButton(), Qt::LeftButton);
    QCOMPARE(asked.size(), size_t(2));
    QCOMPARE(asked[1].text, QStringLiteral("12"));
    QCOMPARE(b.s.chart.per, std::string("20"));
    QCOMPARE(w->surface(), surface);
}

QTEST_MAIN(ChartWindowTest)
#include "chart_window_test.moc"
