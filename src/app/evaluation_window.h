#pragma once
// The evaluation window "Оценка": the session's runs, and of one of them the
// statistics, heatmap, walk-forward dashboard and Monte Carlo, and its export.
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "program/evaluation_sources.h"
#include "program/run_export.h"
#include "program/session.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace kavro {

class RunsPane;
class StatsPane;
class TradesPane;
class PricePane;
class HeatmapPane;
class PassesPane;
class OverfitPane;
class WalkForwardPane;
class MonteCarloPane;
template <class Result>
struct BackgroundJob;

// Runs a command of the core as the main window does: a failure becomes a
// message, and the main window shows the state the command left.
using CommandRunner = std::function<void(const std::function<void()>&)>;

// Opens (not modal) the evaluation window of the session, or raises the one
// that is open; the window deletes itself when closed.
class EvaluationWindow;
EvaluationWindow* OpenEvaluationWindow(Session& s, CommandRunner run, QWidget* owner);

// It reads only the session's run records: never the form or a run's working
// state. It shows the latest finished run until a run is chosen in "Запуски",
// and computes the evaluation again only when the runs or the choice change.
class EvaluationWindow : public QWidget {
    Q_OBJECT
  public:
    EvaluationWindow(Session& s, CommandRunner run, QWidget* owner);
    ~EvaluationWindow() override;

    // Shows the runs and the chosen one when they changed since last shown; costs
    // one comparison otherwise, so it may run after every event-loop turn.
    void refresh();
    // Evaluates run `number` from now on (0: the latest finished run, following new ones).
    void chooseRun(int64_t number);
    // Asks for a folder and writes the export files and pictures into it.
    void exportToFolder();
    bool exporting() const { return exportJob_ != nullptr; }
    // The sweep's pass figures and overfitting check are being computed.
    bool checking() const { return checkJob_ != nullptr; }

    Session& session() const { return s_; }
    bool isClosing() const { return closing_; }
    // What the window shows now (null before the first refresh).
    std::shared_ptr<const Evaluation> evaluation() const { return e_; }

    QTabWidget* tabs() const { return tabs_; }
    QLabel* header() const { return header_; }
    RunsPane* runsPane() const { return runs_; }
    StatsPane* statsPane() const { return stats_; }
    TradesPane* tradesPane() const { return trades_; }
    PricePane* pricePane() const { return price_; }
    HeatmapPane* heatmapPane() const { return heatmap_; }
    PassesPane* passesPane() const { return passes_; }
    OverfitPane* overfitPane() const { return overfit_; }
    WalkForwardPane* walkForwardPane() const { return walkForward_; }
    MonteCarloPane* monteCarloPane() const { return monteCarlo_; }
    QPushButton* exportButton() const { return exportButton_; }

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    struct ExportOutcome {
        std::string dir, error;
        bool ok = false;
        PricePictures prices;  // what was painted of them, for the done message (never read off this thread)
        std::shared_ptr<const Evaluation> evaluation;  // what was written: the window may show another since
    };
    // A heatmap cell's setting run as a single-setting test; what to tell the user.
    QString runSetting(const PassRow& setting);
    void pollExport();
    ExportOutcome takeExport();
    void waitForExport() const;
    void finishExport(const ExportOutcome& outcome);
    QString headerText() const;
    // Starts computing the check of the sweep shown, unless the one held is for it and its blocks.
    void startCheck();
    void pollCheck();
    // Gives the panes that show the check the evaluation as it now stands.
    void showCheck();

    Session& s_;
    CommandRunner run_;
    uint64_t shownSerial_ = 0;
    bool shownOnce_ = false;
    bool closing_ = false;
    int64_t chosen_ = 0;           // the run chosen in "Запуски"; 0 follows the latest
    bool journalMissing_ = false;  // the run shown is a sweep, which keeps no journal
    std::shared_ptr<const Evaluation> e_;

    QLabel* header_;
    QPushButton* exportButton_;
    QTabWidget* tabs_;
    RunsPane* runs_;
    StatsPane* stats_;
    TradesPane* trades_;
    PricePane* price_;
    HeatmapPane* heatmap_;
    PassesPane* passes_;
    OverfitPane* overfit_;
    WalkForwardPane* walkForward_;
    MonteCarloPane* monteCarlo_;
    std::shared_ptr<BackgroundJob<ExportOutcome>> exportJob_;
    QTimer exportPoll_;
    // The check in flight and what it is for; the last one done, kept while its sweep is shown.
    std::shared_ptr<BackgroundJob<std::shared_ptr<const SweepCheck>>> checkJob_;
    std::shared_ptr<JobProgress> checkProgress_;
    std::shared_ptr<const RunRecord> checkSweep_;
    int checkBlocks_ = 0;
    int64_t checkTotal_ = 0;  // the units of work the check in flight counts
    std::shared_ptr<const SweepCheck> check_;
    QTimer checkPoll_;
};

}  // namespace kavro
