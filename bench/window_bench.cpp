// The simple and the thorough test run in the desktop window (offscreen) on the real
// EURUSD quotes: run time, the longest stall of the event loop during each run (a 1 ms
// timer's largest gap), and how long Stop takes to halt a running thorough test.
// Usage: QT_QPA_PLATFORM=offscreen window_bench [DATA_DIR]
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <filesystem>

#include "app/main_window.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_pump.h"
#include "platform/system_clock.h"

using namespace kavro;

namespace {

// Answers the open-file dialog from a list and never blocks on a box.
class BenchDialogs : public QtDialogs {
  public:
    std::deque<QString> files;

  protected:
    void showModal(QMessageBox& box) override { std::printf("message: %s\n", qPrintable(box.text())); }
    void ringBell() override {}
    QString askOpenFile(const QString&) override {
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    std::printf("stop during thorough:   answered after %.1f ms (%s)\n", (t.nsecsElapsed() - pressed) / 1e6,
                s.form.label15.c_str());
    return 0;
}
