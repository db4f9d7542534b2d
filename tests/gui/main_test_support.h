#pragma once
// Shared by the main window's GUI tests: dialogs that answer from a script and
// a desk that builds a session with its window in a temporary working directory.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/evaluation_panes.h"
#include "app/evaluation_window.h"
#include "app/main_window.h"
#include "platform/headless.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_event_pump.h"

namespace kavro::test {

class ScriptedDialogs : public QtDialogs {
  public:
    struct Shown {
        QString title, text;
        QMessageBox::Icon icon;
        QStringList buttons;
        Qt::CursorShape cursor;  // the override cursor while the box was up (ArrowCursor if none)
    };
    std::vector<Shown> shown;
    std::deque<QString> files;    // answers of the open-file dialog; none left = cancelled
    std::deque<QString> texts;    // answers of the input box; a null QString answers Cancel
    std::deque<QString> folders;  // answers of the folder dialog; none left = cancelled
    std::deque<bool> answers;     // answers of Yes/No questions; none left = No
    // Answers of the number box and the list; nullopt = Cancel, none left keeps what was shown.
    std::deque<std::optional<int>> numbers, items;
    // What the number box and the list showed: prompt, title, and the list's items.
    struct Asked {
        QString prompt, title;
        QStringList items;
        int value, min, max;
    };
    std::vector<Asked> asked;
    QStringList filters;
    QStringList openFolders, pickFolders;  // where each open-file and folder dialog started
    int bells = 0;

    QStringList texts_shown() const {
        QStringList out;
        for (const Shown& s : shown) out << s.text;
        return out;
    }

  protected:
    void showModal(QMessageBox& box) override {
        QStringList buttons;
        for (QAbstractButton* b : box.buttons()) buttons << b->text();
        const QCursor* c = QApplication::overrideCursor();
        shown.push_back(
            {box.windowTitle(), box.text(), box.icon(), buttons, c ? c->shape() : Qt::ArrowCursor});
    }
    void ringBell() override { ++bells; }
    std::optional<QString> askText(const QString&, const QString&, const QString& defaultText) override {
        if (texts.empty()) return defaultText;
        const QString a = texts.front();
        texts.pop_front();
        if (a.isNull()) return std::nullopt;
        return a;
    }
    bool showQuestion(QMessageBox& box) override {
        showModal(box);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<int> askNumber(const QString& prompt, const QString& title, int value, int min,
                                 int max) override {
        asked.push_back({prompt, title, {}, value, min, max});
        return NextAnswer(numbers, value);
    }
    std::optional<int> askItem(const QString& prompt, const QString& title, const QStringList& list,
                               int current) override {
        asked.push_back({prompt, title, list, current, 0, static_cast<int>(list.size()) - 1});
        return NextAnswer(items, current);
    }
    QString askOpenFile(const QString& filter, const QString& folder) override {
        filters << filter;
        openFolders << folder;
        if (files.empty()) return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
    QString askFolder(const QString&, const QString& folder) override {
        pickFolders << folder;
        if (folders.empty()) return {};
        QString f = folders.front();
        folders.pop_front();
        return f;
    }
};

struct Desk {
    QTemporaryDir dir;
    QtEventPump pump;
    ScriptedDialogs dialogs;
    FixedClock clock;
    WindowShell shell;
    std::unique_ptr<Session> session;
    std::unique_ptr<MainWindow> window;

    explicit Desk(Date today = Date{2021, 4, 5}) {
        clock.date = today;
        session =
            std::make_unique<Session>(Ports{pump, dialogs, clock, shell}, Locale{}, dir.path().toStdString());
        window = std::make_unique<MainWindow>(*session, shell, &pump);
        dialogs.setParentWidget(window.get());
        dialogs.setBeforeModal([w = window.get()] { w->syncFromState(); });
    }
    ~Desk() {
        window.reset();
        session.reset();
    }

    template <class T>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    // Writes `lines` (each ended by CR LF) into the working directory.
    QString writeFile(const char* name, const QStringList& lines) const {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        for (const QString& l : lines) f.write((l + QStringLiteral("\r\n")).toUtf8());
        return path;
    }
};

// Lets the event loop run until `done` (at most `ms` milliseconds); whether it came.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 120000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Loads the bundled sample through the Open menu, with the end-of-run beep off.
inline void LoadSample(Desk& desk) {
    const QString sample = QStringLiteral(KAVRO_SAMPLE_DIR);
    desk.dialogs.files = {sample + "/EURUSD_H1.PRN", sample + "/EURUSD_D1.PRN"};
    desk.window->action("Hour")->trigger();
    desk.window->action("Day")->trigger();
    desk.session->form.check2 = true;
}

// Presses a run's button and lets the run end.
inline bool RunToEnd(Desk& desk, const char* key) {
    desk.window->action(key)->trigger();
    return WaitUntil([&] { return !desk.session->form.timer1 && !desk.session->form.timer3; });
}

// Loads the sample, then presses a run's button and lets the run end.
inline bool RunOnSample(Desk& desk, const char* key) {
    LoadSample(desk);
    return RunToEnd(desk, key);
}

// Makes the form a single setting, entry hour `hour` with step 0, and shows it in the fields.
inline void SingleSetting(Desk& desk, const char* hour) {
    FormState& f = desk.session->form;
    f.text4 = f.text5 = std::string(hour);
    f.text6 = std::string("0");
    desk.window->syncFromState();
}

// The sample loaded, a single setting of `hour` (and stop-loss `stop` if given) run to
// its end, and its evaluation open with its Monte Carlo done; null if any step failed.
inline EvaluationWindow* RunSingleAndOpen(Desk& desk, const char* hour, const char* stop = nullptr) {
    LoadSample(desk);
    if (stop) desk.session->form.text3 = std::string(stop);
    SingleSetting(desk, hour);
    if (!RunToEnd(desk, "Start")) return nullptr;
    desk.window->action("Ocen")->trigger();
    EvaluationWindow* w = desk.window->evaluationWindow();
    if (w && !WaitUntil([&] { return !w->monteCarloPane()->running(); })) return nullptr;
    return w;
}

// Loads the sample's first `hours` lines, written as SHORT_H1.PRN, as the hourly quotes.
inline bool LoadShortHours(Desk& desk, int hours) {
    QFile sample(QStringLiteral(KAVRO_SAMPLE_DIR) + "/EURUSD_H1.PRN");
    if (!sample.open(QIODevice::ReadOnly)) return false;
    QStringList lines;
    for (int i = 0; i < hours; ++i) lines << QString::fromLatin1(sample.readLine()).trimmed();
    desk.dialogs.files = {desk.writeFile("SHORT_H1.PRN", lines)};
    desk.window->action("Hour")->trigger();
    return true;
}

// A cell's number; NaN when the text is none.
inline double Number(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : NAN;
}

// Sends a mouse event at `at`; a press, release or double click is of the left button.
inline void Mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons = Qt::NoButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace kavro::test
