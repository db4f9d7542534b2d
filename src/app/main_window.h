#pragma once
// The main window Form1: the controls, bound both ways to the session's form state.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/evaluation_window.h"
#include "platform/shell.h"
#include "program/session.h"

class QAction;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QTimeEdit;
class QToolBar;

namespace kavro {

class MainWindow;
class QtEventPump;

// The core's shell calls, forwarded to the main window. The session is made
// before its window, so the window plugs itself in here when it is built.
class WindowShell final : public Shell {
  public:
    void formReset() override;
    void quit() override;
    void showChart() override;
    void showEvaluation() override;

  private:
    friend class MainWindow;
    QPointer<MainWindow> window_;
};

// Form1: the settings, the toolbar, the result panel, the report box and the
// status line, bound both ways to the session's FormState. Every control's
// object name is its form name (Text2, Label6_0, DTPicker1, Toolbar1, ...).
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    // `pump` (optional) refreshes the window after each turn of the event loop inside a job.
    MainWindow(Session& s, WindowShell& shell, QtEventPump* pump = nullptr);
    ~MainWindow() override;

    // Client area of 7725 x 6735 twips at 15 twips per pixel.
    static constexpr int kClientWidth = 515;
    static constexpr int kClientHeight = 449;

    // FormState -> widgets and timers; only what differs is assigned, and no
    // assignment raises a control event.
    void syncFromState();
    // The window as freshly opened: every control from the state, focus on Option1.
    void resetFromState();
    // Closes every window and ends the event loop.
    void quitProgram();
    // Opens the chart window (an open one is shown again).
    void showChart();
    // Opens the evaluation window (an open one is raised and shows the latest runs).
    void showEvaluation();

    // Runs a command of the core, then shows the state it left.
    void runCommand(const std::function<void()>& f);

    // Toolbar buttons ("Open", "End", ..., "Othet") and the Open menu entries ("Hour", "Day") by key.
    QAction* action(const QString& key) const;
    QWidget* chartWindow() const { return chart_; }
    EvaluationWindow* evaluationWindow() const { return evaluation_; }

  signals:
    // Emitted by quitProgram() before the windows close.
    void quitting();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct TextBinding {
        QLineEdit* edit;
        std::string FormState::*field;
    };

    // Construction (main_window.cpp).
    QWidget* buildResultPanel();
    QWidget* buildSettings();
    QWidget* buildInterval();
    QWidget* buildStatus();
    QLineEdit* addField(const char* name, std::string FormState::*field, bool selectOnFocusOut = false);
    void setTabOrderChain();

    // Toolbar (main_window_toolbar.cpp).
    QToolBar* buildToolbar();

    // Binding (main_window_sync.cpp).
    void connectControls();
    void syncTexts();
    void syncPickers();
    void syncLabels();
    void syncProgress();
    void syncText10();
    void syncTimers();
    void pickerEvent(void (*command)(Session&));

    Session& s_;
    WindowShell& shell_;
    QtEventPump* pump_;

    QToolBar* toolbar_ = nullptr;
    std::vector<std::pair<QString, QAction*>> actions_;
    std::vector<TextBinding> texts_;
    std::array<QRadioButton*, 4> options_{};
    QCheckBox *check1_ = nullptr, *check2_ = nullptr, *check3_ = nullptr;
    QDateEdit *dtPicker1_ = nullptr, *dtPicker2_ = nullptr;
    QTimeEdit* dtPicker3_ = nullptr;
    QPointer<QWidget> popup1_, popup2_;  // the pickers' drop-down calendars
    std::array<QLabel*, 4> label6_{};
    std::array<QLabel*, 7> label1_{};
    QLabel *label15_ = nullptr, *label18_ = nullptr;
    QLabel *label16_ = nullptr, *label17_ = nullptr, *label25_ = nullptr;  // the "Оценка" block
    QPlainTextEdit* text10_ = nullptr;
    std::string shownText10_;  // the state text Text10 shows
    QProgressBar* progressBar_ = nullptr;
    QTimer timer1_, timer2_, timer3_;
    QPointer<QWidget> chart_;
    QPointer<EvaluationWindow> evaluation_;
};

}  // namespace kavro
