#pragma once
// The panes of the evaluation window: statistics, heatmap, walk-forward and Monte Carlo.
#include <QAbstractTableModel>
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
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "evaluation/render/evaluation_render.h"
#include "program/evaluation_sources.h"
#include "program/session.h"

class QComboBox;
class QDoubleSpinBox;
class QStackedWidget;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTableWidgetItem;
class QVBoxLayout;

namespace kavro {

// Figures as the window writes them: '.' decimals, "∞" for an infinity, "—" for
// an undefined figure.
QString Figure(double value, int decimals);
// The shortest of those up to two decimals: "100", "12.5", "-3.25".
QString Short(double value);
// dd.mm.yyyy, "—" for no date.
QString Day(const Date& d);
// The decimals of the trades' money: whole when every profit is whole (the usual
// case), cents otherwise, so a column never mixes the two.
int MoneyDecimals(std::span<const TradeRecord> trades);
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

// A read-only table with a header row and no row numbers; it sorts by a click on
// a header and copies its selected rows (Ctrl+C, or "Копировать" in its context menu).
QTableWidget* MakeTable(const char* name, const QStringList& headers, QWidget* parent);
// The same over a model of one's own (which sorts itself), for tables of millions of rows.
QTableView* MakeTableView(const char* name, QAbstractItemModel* model, QWidget* parent);
// A cell of such a table, sorted by `sortKey` when given (numbers before texts), else by its text.
QTableWidgetItem* TableItem(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter,
                            std::optional<double> sortKey = std::nullopt);
// A right-aligned number shown as `text` and sorted by `value`.
QTableWidgetItem* NumberItem(const QString& text, double value);
// While it lives, a table is filled in the order written; then it sorts again
// by the column the user chose, if any.
class TableFill {
  public:
    explicit TableFill(QTableWidget* table);
    ~TableFill();
    TableFill(const TableFill&) = delete;
    TableFill& operator=(const TableFill&) = delete;

  private:
    QTableWidget* table_;
    bool sorting_;
};
// Each column as wide as its cells and its header with the sort arrow.
void FitColumns(QTableWidget* table);
// The selected rows (or the current one) as tab-separated lines, the header first.
QString RowsText(const QTableView* table);
// RowsText onto the clipboard.
void CopyRows(const QTableView* table);

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
    // A left click at a point of the picture.
    std::function<void(QPointF)> onPress;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

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
    QLabel* comparisonNote() const { return compareNote_; }  // why two runs are not compared
    // The run numbers of the selected rows, in table order.
    std::vector<int64_t> selectedRuns() const;

  private:
    void selectionChanged();
    void showComparison(const RunEntry& older, const RunEntry& newer);

    const RunHistory* history_ = nullptr;
    bool filling_ = false;
    QTableWidget* table_;
    QPushButton* repeat_;
    QLabel* hint_;
    QWidget* comparePanel_;
    QTableWidget* compare_;
    QLabel* compareNote_;
    PictureView* compareEquity_;
};

// "Статистика": the figures of the trades, the year x month table and the equity
// (by closing date, or by trade number), where a click chooses a trade.
class StatsPane : public QWidget {
  public:
    explicit StatsPane(QWidget* parent);
    // `journalMissing`: the run kept no journal (a sweep), so there are no trades to show.
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing = false);
    // The value shown for a figure by its key (the --stats names where there is
    // one: "Trades", "NetResult", "ProfitFactor", ...); empty when not shown.
    QString figure(const QString& key) const;
    // The equity is drawn along the trades' dates (else by trade number).
    bool equityByDate() const;
    // The times the equity is drawn along; empty when by trade number.
    std::span<const double> shownHours() const;

    // A trade (1-based, RIPOT1 order) clicked on the equity.
    std::function<void(size_t)> onTradeChosen;

    QLabel* note() const { return note_; }
    QTableWidget* figureTable() const { return figures_; }
    QTableWidget* monthTable() const { return months_; }
    QComboBox* equityAxis() const { return axis_; }
    PictureView* equityView() const { return equity_; }

  private:
    void fillFigures(const Evaluation& e);
    void fillMonths(const TradeStats& s);
    void fitMonthColumns();
    void showEquity();
    // The trade of equity point `point` (trades whose profit is no number have no point).
    size_t tradeOfPoint(size_t point) const;

    QLabel* note_;
    QTableWidget* figures_;
    QTableWidget* months_;
    QComboBox* axis_;
    PictureView* equity_;
    std::shared_ptr<const Evaluation> e_;
    std::vector<double> equityHours_;
};

// "Сделки": every trade of the run, one a row. Selecting a row (or a trade
// chosen elsewhere) tells `onSelect`; "Показать на графике" (the button, the
// context menu or a double click) tells `onShowOnChart`.
class TradesPane : public QWidget {
  public:
    explicit TradesPane(QWidget* parent);
    // `journalMissing`: the run kept no journal (a sweep).
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing = false);
    // Selects the row of trade `number` (1-based) and scrolls to it.
    void selectTrade(size_t number);
    // The trade numbers of the selected rows, in table order.
    std::vector<size_t> selectedTrades() const;

    std::function<void(size_t)> onSelect;
    std::function<void(size_t)> onShowOnChart;

    QTableWidget* table() const { return table_; }
    QPushButton* showButton() const { return show_; }
    QLabel* note() const { return note_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void fill();
    void showChosen();

    std::shared_ptr<const Evaluation> e_;
    bool filled_ = true;  // the table shows e_'s trades (it is filled when first seen)
    bool selecting_ = false;
    QLabel* note_;
    QWidget* body_;
    QPushButton* show_;
    QTableWidget* table_;
};

// The interactive price chart: the wheel zooms around the pointer, dragging and
// the arrow keys pan, Home fits the run's interval, the crosshair reads out the
// candle under the pointer.
class PriceChartView : public QWidget {
  public:
    explicit PriceChartView(QWidget* parent);
    // A chart of `store` (null: none); the view fits its interval.
    void setChart(std::shared_ptr<const PriceChart> chart, const QuoteStore* store);
    const std::shared_ptr<const PriceChart>& chart() const { return chart_; }
    // The trade whose take-profit and stop-loss are drawn.
    void setSelected(std::optional<size_t> number);
    std::optional<size_t> selected() const { return selected_; }
    // Centres on trade `number` and selects it.
    void centreOnTrade(size_t number);
    // Fits the run's interval (Home).
    void home();
    const PriceView& view() const { return view_; }
    // Where the candles lie at the widget's present size.
    PriceLayout layout() const;
    // What the crosshair reads out now ("" away from the candles).
    QString readout() const { return readout_; }

    std::function<void(const QString&)> onReadout;
    // The store changed under the chart: it must be built again or dropped.
    std::function<void()> onStale;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    bool usable();
    double plotWidth() const { return layout().price.width(); }
    void applyPending();
    void setCrosshair(std::optional<QPointF> at);

    std::shared_ptr<const PriceChart> chart_;
    const QuoteStore* store_ = nullptr;
    PriceView view_;
    std::optional<size_t> selected_;
    std::optional<QPointF> crosshair_;
    std::optional<QPointF> dragFrom_;
    double dragFirst_ = 0;
    QString readout_;
    // What to do once the widget has a width: fit the interval, or centre a trade.
    bool pendingHome_ = false;
    std::optional<size_t> pendingTrade_;
};

// "Цена": the hourly candles of the quotes the run used, with its trades and
// the daily figures behind its signals. Built when first shown; it says so
// instead when the store no longer holds the run's quotes.
class PricePane : public QWidget {
  public:
    PricePane(const QuoteStore& store, QWidget* parent);
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool journalMissing = false);
    // Selects trade `number` and centres the chart on it.
    void showTrade(size_t number);

    PriceChartView* chartView() const { return view_; }
    QLabel* note() const { return note_; }
    QLabel* readout() const { return readout_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void build();

    const QuoteStore& store_;
    std::shared_ptr<const Evaluation> e_;
    std::shared_ptr<const RunRecord> shownRun_;  // the run the chart was last built for
    bool journalMissing_ = false;
    bool built_ = true;  // the chart shows e_ (it is built when first seen)
    QLabel* note_;
    QWidget* body_;
    QLabel* readout_;
    PriceChartView* view_;
};

// "Тепловая карта": TP x SL for a chosen hour and hour x TP of the latest sweep,
// coloured by the result or, once the sweep's check holds them, a figure of each pass.
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
    // What the cells are coloured by.
    HeatFigure figure() const;

    QComboBox* hourSelector() const { return hours_; }
    QComboBox* figureSelector() const { return figures_; }
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
    void buildGrids();
    // Offers the figures the check holds; true when the figure shown had to go back to the result.
    bool offerFigures();
    void showHover(const std::optional<HeatCell>& cell, GridKind kind, HeatFigure shown);
    void poll();

    std::function<QString(const PassRow&)> runSetting_;
    std::shared_ptr<const RunRecord> sweep_;  // the sweep the grids are built from
    std::shared_ptr<const Evaluation> e_;
    Job targetStopJob_, hourTargetJob_;
    QTimer poll_;
    QLabel* note_;
    QWidget* body_;
    QComboBox* hours_;
    QComboBox* figures_;
    QLabel* value_;
    HeatmapView* targetStop_;
    HeatmapView* hourTarget_;
};

// Every pass of a sweep with its figures, one a row: filtered by a least number
// of trades and sorted by any column, without an item per cell.
class PassesModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;
    // The sweep's passes with the check's figures (null or failed: the results alone).
    void setPasses(std::shared_ptr<const RunRecord> sweep, std::shared_ptr<const SweepCheck> check);
    // Shows only the passes with at least `trades` trades (0: every pass).
    void setMinTrades(int64_t trades);
    // The pass row shown in table row `row`.
    size_t passAt(int row) const { return rows_.at(static_cast<size_t>(row)); }
    bool figuresKnown() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

  private:
    double key(size_t pass, int column) const;
    QString text(size_t pass, int column) const;
    void arrange();

    std::shared_ptr<const RunRecord> sweep_;
    std::shared_ptr<const SweepCheck> check_;
    std::vector<size_t> rows_;  // the passes shown, in table order
    int64_t minTrades_ = 0;
    int sortColumn_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    int money_ = 0;  // decimals of money: 2 when a result is not whole
};

// "Проходы": every pass of the sweep shown (a cell's sweep for a cell) with its
// figures; a double click runs the pass's setting as a cell.
class PassesPane : public QWidget {
  public:
    PassesPane(std::function<QString(const PassRow&)> runSetting, QWidget* parent);
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool checking);

    QTableView* table() const { return table_; }
    PassesModel* model() const { return model_; }
    QSpinBox* minTradesBox() const { return minTrades_; }
    QLabel* note() const { return note_; }
    QLabel* status() const { return status_; }

  private:
    std::function<QString(const PassRow&)> runSetting_;
    std::shared_ptr<const RunRecord> sweep_;
    std::shared_ptr<const SweepCheck> check_;
    QLabel* note_;
    QWidget* body_;
    QSpinBox* minTrades_;
    QLabel* status_;
    PassesModel* model_;
    QTableView* table_;
};

// "Переобучение": whether the sweep's best pass is best by luck: PBO with what it
// means, the logits' histogram, in-sample against out-of-sample with the
// degradation line, and the deflated Sharpe ratio of the best pass.
class OverfitPane : public QWidget {
  public:
    OverfitPane(OverfitChoice& choice, QWidget* parent);
    // `checking`: the check is being computed, `done` of `total` steps so far.
    void setEvaluation(const std::shared_ptr<const Evaluation>& e, bool checking);
    void showProgress(int64_t done, int64_t total);
    // The blocks were changed: the check must be computed again.
    std::function<void()> onBlocksChanged;

    QSpinBox* blocksBox() const { return blocks_; }
    QLabel* note() const { return note_; }
    QLabel* headline() const { return headline_; }
    QLabel* sentence() const { return sentence_; }
    QLabel* deflated() const { return deflated_; }
    QProgressBar* progressBar() const { return progress_; }
    PictureView* histogramView() const { return histogram_; }
    PictureView* degradationView() const { return degradation_; }

  private:
    OverfitChoice& choice_;
    std::shared_ptr<const SweepCheck> shown_;
    QLabel* note_;
    QWidget* body_;
    QSpinBox* blocks_;
    QProgressBar* progress_;
    QLabel* headline_;
    QLabel* sentence_;
    QLabel* deflated_;
    PictureView* histogram_;
    PictureView* degradation_;
};

// The threads a long job of the window takes: all cores but one, which stays with the window.
int WorkerThreads();

// "Walk-forward": one row per window of the latest thorough test and its pictures.
class WalkForwardPane : public QWidget {
  public:
    explicit WalkForwardPane(QWidget* parent);
    void setEvaluation(const std::shared_ptr<const Evaluation>& e);
    QTableWidget* table() const { return table_; }
    QLabel* summary() const { return summary_; }

  private:
    void showSummary(const WalkForwardView& v);
    void fillWindows(const WalkForwardView& v);

    std::shared_ptr<const RunRecord> run_;
    std::shared_ptr<const Evaluation> e_;
    QLabel* note_;
    QWidget* body_;
    QLabel* summary_;
    QTableWidget* table_;
    PictureView* forward_;
    PictureView* stability_;
};

// "Монте-Карло" of the latest run's trades, computed off the window's thread; a
// long one shows how far it got and can be cancelled. Its histograms, or the
// equity fan by trade number, and the risk of ruin for the balance and level typed.
class MonteCarloPane : public QWidget {
  public:
    // The runs and seed start as `choice` holds them, which follows what is typed.
    MonteCarloPane(MonteCarloOptions& choice, QWidget* parent);
    ~MonteCarloPane() override;
    // New trades start a run with the runs and seed shown.
    void setEvaluation(const std::shared_ptr<const Evaluation>& e);
    // Starts a run with the runs and seed shown; one in flight is cancelled unseen.
    void start();
    // Stops the run in flight; the figures shown before stay.
    void cancel();
    bool running() const { return job_ != nullptr; }
    // The figures shown, for the export; null before the first run ends.
    std::shared_ptr<const MonteCarloResult> result() const { return shown_; }

    QSpinBox* runsBox() const { return runs_; }
    QLineEdit* seedEdit() const { return seed_; }
    QDoubleSpinBox* balanceBox() const { return balance_; }
    QDoubleSpinBox* ruinLevelBox() const { return ruinLevel_; }
    QComboBox* viewSelector() const { return view_; }
    PictureView* fanView(int resampled) const { return fans_[resampled]; }
    QPushButton* runButton() const { return button_; }
    QPushButton* cancelButton() const { return cancel_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* status() const { return status_; }
    QTableWidget* table() const { return table_; }

  private:
    void addControls(QVBoxLayout* root);
    void addFigureTable(QVBoxLayout* root);
    void addPictures(QVBoxLayout* root);
    void connectControls();
    void poll();
    void showResult();
    void showRunning(bool running);

    MonteCarloOptions& choice_;  // the session's: runs, seed, balance and ruin level
    std::shared_ptr<const Evaluation> e_;
    std::shared_ptr<const RunRecord> run_;  // the run whose trades it works on
    std::shared_ptr<BackgroundJob<std::shared_ptr<const MonteCarloResult>>> job_;
    std::shared_ptr<JobProgress> progress_;  // of the job in flight
    int runsAsked_ = 0;
    std::shared_ptr<const MonteCarloResult> shown_;
    QTimer poll_;
    QSpinBox* runs_;
    QLineEdit* seed_;
    QDoubleSpinBox* balance_;
    QDoubleSpinBox* ruinLevel_;
    QComboBox* view_;
    QStackedWidget* pages_;
    PictureView* fans_[2];
    QPushButton* button_;
    QPushButton* cancel_;
    QProgressBar* progressBar_;
    QLabel* status_;
    QTableWidget* table_;
    PictureView* pictures_[4];
};

}  // namespace kavro
