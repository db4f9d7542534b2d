// The simple and the thorough test run in the desktop window (offscreen) on the real
// EURUSD quotes: run time, the longest stall of the event loop during each run (a 1 ms
// timer's largest gap), and how long Stop takes to halt a running thorough test. Then
// the evaluation window: opening and refreshing it, repainting its heatmaps, a refresh
// on a 5-million-pass sweep, and the longest stall while Monte Carlo runs.
// Usage: QT_QPA_PLATFORM=offscreen window_bench [DATA_DIR]
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <vector>

#include "app/evaluation_panes.h"
#include "app/evaluation_window.h"
#include "app/main_window.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/system_clock.h"
#include "synthetic_sweep.h"

using namespace kavro;

namespace {

// Answers the open-file dialog from a list and never blocks on a box.
class BenchDialogs : public QtDialogs {
  public:
    std::deque<QString> files;

  protected:
    void showModal(QMessageBox& box) override { std::printf("message: %s\n", qPrintable(box.text())); }
    void ringBell() override {}
    QString askOpenFile(const QString&, const QString&) override {
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

// Largest gap between the ticks of a 1 ms timer while `running` holds.
struct StallMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    StallMeter() {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, now - last);
            last = now;
        });
    }
    void start() {
        clock.start();
        last = 0;
        worst = 0;
        timer.start();
    }
    double stop() {
        timer.stop();
        return static_cast<double>(worst) / 1e6;
    }
};

void WaitWhile(const std::function<bool()>& busy) {
    while (busy()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Milliseconds of `f`: the median of `runs` calls.
double Median(int runs, const std::function<void()>& f) {
    std::vector<double> ms;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        f();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// A finished sweep of 5,059,920 passes (24 hours x 460 take-profits x 453 stop-losses)
// with a plateau of good settings, as the heatmap benchmark draws it.
std::shared_ptr<RunRecord> BigSweep() {
    auto r = std::make_shared<RunRecord>();
    r->kind = RunKind::Sweep;
    r->end = RunEnd::Done;
    r->passes = bench::SyntheticSweep(true);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The dialogs remember their folders: keep that out of the user's own settings.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    std::string data = KAVRO_SHARED_DATA;
    if (argc > 1) data = argv[1];
    const std::string work = std::filesystem::temp_directory_path() / "kavro-window-bench";
    std::filesystem::create_directories(work);

    QtEventPump pump;
    BenchDialogs dialogs;
    SystemClock clock;
    WindowShell shell;
    Session s(Ports{pump, dialogs, clock, shell}, Locale{}, work);
    MainWindow window(s, shell, &pump);
    window.show();
    dialogs.files = {QString::fromStdString(data + "/EURUSD_H1.PRN"),
                     QString::fromStdString(data + "/EURUSD_D1.PRN")};
    s.form.check2 = true;

    StallMeter meter;
    QElapsedTimer t;
    meter.start();
    t.start();
    window.action("Hour")->trigger();
    window.action("Day")->trigger();
    std::printf("load both files:        %8.1f ms, longest event-loop stall %6.1f ms\n",
                t.nsecsElapsed() / 1e6, meter.stop());

    auto run = [&](const char* key, bool& timerOn, const char* what) {
        meter.start();
        t.start();
        window.action(key)->trigger();
        WaitWhile([&] { return timerOn; });
        std::printf("%-23s %8.1f ms, longest event-loop stall %6.1f ms, passes %lld\n", what,
                    t.nsecsElapsed() / 1e6, meter.stop(), static_cast<long long>(s.run.runPassesDone));
    };
    run("Start", s.form.timer1, "simple sweep (408):");
    run("Kach", s.form.timer3, "thorough, whole file:");

    // Stop pressed 300 ms into a thorough test.
    qint64 pressed = 0;
    QTimer::singleShot(300, [&] {
        pressed = t.nsecsElapsed();
        window.action("Stop")->trigger();
    });
    t.start();
    window.action("Kach")->trigger();
    WaitWhile([&] { return s.form.timer3; });
    if (pressed == 0) {
        std::printf("stop during thorough:   the test ended after %.1f ms, before Stop was pressed\n",
                    t.nsecsElapsed() / 1e6);
        // Its Stop must not land in the runs below.
        WaitWhile([&] { return pressed == 0; });
    } else {
        std::printf("stop during thorough:   answered after %.1f ms (%s)\n",
                    (t.nsecsElapsed() - pressed) / 1e6, s.form.label15.c_str());
    }

    // The evaluation window on the last complete thorough test, then a sweep.
    run("Kach", s.form.timer3, "thorough again:");
    meter.start();
    t.start();
    window.action("Ocen")->trigger();
    EvaluationWindow* w = window.evaluationWindow();
    std::printf("evaluation window open: %8.1f ms, longest event-loop stall %6.1f ms\n",
                t.nsecsElapsed() / 1e6, meter.stop());
    WaitWhile([&] { return w->monteCarloPane()->running(); });
    auto refresh = [&] {
        w->chooseRun(0);  // as a finished run does: the evaluation is made again
        w->refresh();
    };
    std::printf("refresh (thorough, %zu trades): median %6.1f ms\n", w->evaluation()->trades.size(),
                Median(10, refresh));
    run("Start", s.form.timer1, "simple sweep again:");
    w->tabs()->setCurrentWidget(w->heatmapPane());
    QApplication::processEvents();
    HeatmapPane* heat = w->heatmapPane();
    std::printf("heatmap repaint (sweep): TP x SL median %6.2f ms, hour x TP median %6.2f ms\n",
                Median(20, [&] { heat->targetStopMap()->repaint(); }),
                Median(20, [&] { heat->hourTargetMap()->repaint(); }));

    const auto big = BigSweep();
    s.history.add(big);
    s.history.finished(*big);
    meter.start();
    t.start();
    refresh();
    const double refreshed = t.nsecsElapsed() / 1e6;
    WaitWhile([&] { return heat->building(); });
    std::printf(
        "refresh, 5,059,920-pass sweep: %6.1f ms, both grids shown after %6.1f ms, longest event-loop "
        "stall %6.1f ms\n",
        refreshed, t.nsecsElapsed() / 1e6, meter.stop());
    std::printf("heatmap repaint (5M sweep, %zux%zu and %zux%zu cells): median %6.2f ms and %6.2f ms\n",
                heat->targetStopMap()->grid().width(), heat->targetStopMap()->grid().height(),
                heat->hourTargetMap()->grid().width(), heat->hourTargetMap()->grid().height(),
                Median(20, [&] { heat->targetStopMap()->repaint(); }),
                Median(20, [&] { heat->hourTargetMap()->repaint(); }));
    meter.start();
    t.start();
    heat->hourSelector()->setCurrentIndex(0);
    WaitWhile([&] { return heat->building(); });
    std::printf(
        "another hour's TP x SL grid (5M sweep): shown after %6.1f ms, longest event-loop stall %6.1f ms\n",
        t.nsecsElapsed() / 1e6, meter.stop());

    // Monte Carlo off the window's thread on a single setting's trades.
    s.form.text4 = std::string("10");
    s.form.text5 = std::string("10");
    s.form.text6 = std::string("0");
    run("Start", s.form.timer1, "single setting:");
    MonteCarloPane* mc = w->monteCarloPane();
    WaitWhile([&] { return mc->running(); });
    w->tabs()->setCurrentWidget(mc);
    for (int runs : {1000, 100000}) {
        mc->runsBox()->setValue(runs);
        meter.start();
        t.start();
        mc->runButton()->click();
        WaitWhile([&] { return mc->running(); });
        std::printf("Monte Carlo %6d runs x %zu trades: %8.1f ms, longest event-loop stall %6.1f ms\n", runs,
                    w->evaluation()->trades.size(), t.nsecsElapsed() / 1e6, meter.stop());
    }
    return 0;
}
