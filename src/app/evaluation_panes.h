#pragma once
// The panes of the evaluation window: statistics, heatmap, walk-forward and Monte Carlo.
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "evaluation/render/evaluation_render.h"
#include "program/evaluation_sources.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;

namespace kavro {

// Figures as the window writes them: '.' decimals, "∞" for an infinity, "—" for
// an undefined figure.
QString Figure(double value, int decimals);
// The shortest of those up to two decimals: "100", "12.5", "-3.25".
QString Short(double value);
// dd.mm.yyyy, "—" for no date.
QString Day(const Date& d);
// "dd.mm.yyyy – dd.mm.yyyy".
QString Period(const Date& from, const Date& to);

// What the statistics say of a sweep, whose passes write no journal.
inline constexpr const char* kSweepKeepsNoJournal =
    "Перебор настроек не ведёт журнал сделок, поэтому статистики и Монте-Карло по нему нет. Дважды "
    "щёлкните клетку на вкладке «Тепловая карта»: её настройка пройдёт одиночным тестом, и здесь появятся "
    "её сделки.";

// A run's kind as the runs list shows it ("перебор"), or as a title ("Перебор настроек").
QString RunKindText(RunKind kind, bool title = false);
// A bar's date text as dd.mm.yyyy, "—" when it names no day.
QString DayOfText(const DateText& text);

// The caption of a statistic by its --stats key ("NetResult" -> "Чистый результат").
QString FigureCaption(const QString& key);

// A read-only table with a header row and no row numbers.
QTableWidget* MakeTable(const char* name, const QStringList& headers, QWidget* parent);

// Work on a thread of its own. The thread holds its share of the state, so a
// window that goes away, or starts a newer job, simply stops looking at it; the
// window polls `done` from its own thread, and no call ever reaches it from outside.
template <class Result>
struct BackgroundJob {
    std::atomic<bool> done{false};
    Result result;
    std::string error;  // what the work threw, if it did (the result then stays as it was)
};

template <class Result, class Work>
std::shared_ptr<BackgroundJob<Result>> StartBackground(Work work) {
    auto job = std::make_shared<BackgroundJob<Result>>();
    auto shared = std::make_shared<Work>(std::move(work));
    auto run = [job, shared] {
        // Nothing may leave a thread's function: it would end the program.
        try {
            job->result = (*shared)();
        } catch (const std::bad_alloc&) {
            job->error = "Не хватает памяти";
        } catch (const std::exception& e) {
            job->error = e.what();
        } catch (...) {
            job->error = "Внутренняя ошибка";
        }
        job->done.store(true, std::memory_order_release);
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        // No thread to be had: do the work here rather than not at all.
        run();
    }
    return job;
}

// A picture of the evaluation's painting code, on white, filling the widget.
// A pane's note above its body (the note stands alone where there is nothing to
// show); returns the body's layout.
QVBoxLayout* NoteAndBody(QWidget* pane, const char* noteName, QLabel*& note, QWidget*& body);

class PictureView : public QWidget {
  public:
    using Paint = std::function<void(QPainter&, const QRectF&)>;
    PictureView(const char* name, QWidget* parent);
    void setPaint(Paint paint);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    Paint paint_;
};

// One heatmap grid. The cells image is built once per grid, so moving the mouse
// only repaints the outline.
class HeatmapView : public QWidget {
  public:
    HeatmapView(const char* name, QWidget* parent);
    // `cells` is HeatmapCells(grid) when the caller built it already (off the window's thread).
    void setGrid(HeatGrid grid, QImage cells = QImage());
    const HeatGrid& grid() const { return grid_; }
    // Where the cells lie at the widget's present size.
    HeatmapLayout cellLayout() const;

    // The cell under the mouse (empty when it leaves the cells).
    std::function<void(const std::optional<HeatCell>&)> onHover;
    // A double click on a cell that ran.
    std::function<void(const HeatCell&)> onActivate;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    void setHover(std::optional<GridCell> cell);

    HeatGrid grid_;
    QImage cells_;
    std::optional<GridCell> hover_;
};

// "Запуски": one row per run of the session. One row selected is the run the
// other tabs evaluate; two are compared side by side (every statistic of both
// and the difference, both equity curves on one chart). "Повторить" writes the
// selected run's settings into the main window's fields.
class RunsPane : public QWidget {
  public:
    explicit RunsPane(QWidget* parent);
    // Lists the history's runs, `shown` selected.
    void setRuns(const RunHistory& history, int64_t shown);

    std::function<void(int64_t)> onChoose;  // a run was selected alone
    std::function<void(int64_t)> onRepeat;  // "Повторить" on the selected run

    QTableWidget* table() const { return table_; }
    QPushButton* repeatButton() const { return repeat_; }
    QTableWidget* comparison() const { return compare_; }
    PictureView* comparisonEquity() const { return compareEquity_; }
    QWidget* comparisonPanel() const { return comparePanel_; }
    // The run numbers of the selected rows, in table order.
    std::vector<int64_t> selectedRuns() const;

  private:
    void selectionChanged();
    void showComparison(const RunRecord& a, const RunRecord& b);

    const RunHistory* history_ = nullptr;
    bool filling_ = false;
    QTableWidget* table_;
    QPushButton* repeat_;
    QLabel* hint_;
    QWidget* comparePanel_;
    QTableWidget* compare_;
    PictureView* compareEquity_;
};

// "Статистика": the figures of the trades, the year x month table and the equity.
class StatsPane : public QWidget {
  public:
    explicit StatsPane(QWidget* parent);
    // `journalMissing`: the run kept no journal (a sweep), so there are no trades to show.
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing = false);
    // The value shown for a figure by its key (the --stats names where there is
    // one: "Trades", "NetResult", "ProfitFactor", ...); empty when not shown.
    QString figure(const QString& key) const;
    QLabel* note() const { return note_; }
    QTableWidget* monthTable() const { return months_; }

  private:
    void fillFigures(const Evaluation& e);
    void fillMonths(const TradeStats& s);

    QLabel* note_;
    QTableWidget* figures_;
    QTableWidget* months_;
    PictureView* equity_;
    std::shared_ptr<const Evaluation> e_;
};

// "Тепловая карта": TP x SL for a chosen hour and hour x TP of the latest sweep.
// The grids are built off the window's thread: a sweep of millions of passes
// takes tens of milliseconds per grid.
class HeatmapPane : public QWidget {
  public:
    // `runSetting` runs a cell's setting and says what became of it.
    HeatmapPane(std::function<QString(const PassRow&)> runSetting, QWidget* parent);
    void setEvaluation(const std::shared_ptr<const Evaluation>& e);
    // A grid is being built; the views show it when it is done.
    bool building() const { return targetStopJob_ || hourTargetJob_; }
    // The entry hour of the TP x SL grid; empty without a sweep.
    std::optional<float> chosenHour() const;

    QComboBox* hourSelector() const { return hours_; }
    HeatmapView* targetStopMap() const { return targetStop_; }
    HeatmapView* hourTargetMap() const { return hourTarget_; }
    QLabel* valueLabel() const { return value_; }
    QLabel* note() const { return note_; }

    // What a grid job leaves: the grid and its cells image.
    struct Built {
        HeatGrid grid;
        QImage cells;
    };

  private:
    using Job = std::shared_ptr<BackgroundJob<Built>>;
    void showHour(int index);
    void showHover(const std::optional<HeatCell>& cell, GridKind kind);
    void poll();

    std::function<QString(const PassRow&)> runSetting_;
    std::shared_ptr<const RunRecord> sweep_;  // the sweep the grids are built from
    std::shared_ptr<const Evaluation> e_;
    Job targetStopJob_, hourTargetJob_;
    QTimer poll_;
    QLabel* note_;
    QWidget* body_;
    QComboBox* hours_;
    QLabel* value_;
    HeatmapView* targetStop_;
    HeatmapView* hourTarget_;
};

// "Walk-forward": one row per window of the latest thorough test and its pictures.
class WalkForwardPane : public QWidget {
  public:
    explicit WalkForwardPane(QWidget* parent);
    void setEvaluation(const std::shared_ptr<const Evaluation>& e);
    QTableWidget* table() const { return table_; }
    QLabel* summary() const { return summary_; }

  private:
    std::shared_ptr<const RunRecord> run_;
    std::shared_ptr<const Evaluation> e_;
    QLabel* note_;
    QWidget* body_;
    QLabel* summary_;
    QTableWidget* table_;
    PictureView* forward_;
    PictureView* stability_;
};

// "Монте-Карло" of the latest run's trades, computed off the window's thread.
class MonteCarloPane : public QWidget {
  public:
    explicit MonteCarloPane(QWidget* parent);
    // New trades start a run with the runs and seed shown.
    void setEvaluation(const std::shared_ptr<const Evaluation>& e);
    // Starts a run with the runs and seed shown; one in flight is left to finish unseen.
    void start();
    bool running() const { return job_ != nullptr; }
    // The figures shown, for the export; null before the first run ends.
    std::shared_ptr<const MonteCarloResult> result() const { return shown_; }

    QSpinBox* runsBox() const { return runs_; }
    QLineEdit* seedEdit() const { return seed_; }
    QPushButton* runButton() const { return button_; }
    QLabel* status() const { return status_; }
    QTableWidget* table() const { return table_; }

  private:
    void poll();
    void showResult();

    std::shared_ptr<const Evaluation> e_;
    std::shared_ptr<const RunRecord> run_;  // the run whose trades it works on
    std::shared_ptr<BackgroundJob<std::shared_ptr<const MonteCarloResult>>> job_;
    std::shared_ptr<const MonteCarloResult> shown_;
    QTimer poll_;
    QSpinBox* runs_;
    QLineEdit* seed_;
    QPushButton* button_;
    QLabel* status_;
    QTableWidget* table_;
    PictureView* pictures_[4];
};

}  // namespace kavro
