// The evaluation window's building blocks: number texts, tables and the two
// widgets that show the evaluation's painting code.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>
#include <thread>
#include <utility>

#include "app/evaluation_panes.h"
#include "evaluation/number_text.h"

namespace kavro {

int WorkerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? static_cast<int>(cores - 1) : 1;
}

QString Figure(double value, int decimals) {
    return QString::fromStdString(DisplayNumber(value, decimals));
}

QString Short(double value) {
    QString s = Figure(value, 2);
    if (!std::isfinite(value) || !s.contains(QLatin1Char('.'))) return s;
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

int MoneyDecimals(std::span<const TradeRecord> trades) {
    for (const TradeRecord& t : trades)
        if (std::isfinite(t.profit) && std::trunc(t.profit) != t.profit) return 2;
    return 0;
}

QString Day(const Date& d) {
    if (!d.valid()) return QStringLiteral("—");
    return QStringLiteral("%1.%2.%3")
        .arg(d.day, 2, 10, QLatin1Char('0'))
        .arg(d.month, 2, 10, QLatin1Char('0'))
        .arg(d.year, 4, 10, QLatin1Char('0'));
}

QString Period(const Date& from, const Date& to) {
    return Day(from) + QStringLiteral(" – ") + Day(to);
}

QString RunKindText(RunKind kind, bool title) {
    switch (kind) {
        case RunKind::Single:
            return title ? QStringLiteral("Одиночный тест") : QStringLiteral("одиночный");
        case RunKind::Sweep:
            return title ? QStringLiteral("Перебор настроек") : QStringLiteral("перебор");
        case RunKind::Thorough:
            return title ? QStringLiteral("Качественное тестирование") : QStringLiteral("качественный");
        case RunKind::Cell:
            return title ? QStringLiteral("Клетка перебора") : QStringLiteral("клетка");
        case RunKind::None:
            break;
    }
    return {};
}

QString DayOfText(const DateText& text) {
    Date d;
    if (text.length == 8 && DateOfText(text.view(), d)) return Day(d);
    return QStringLiteral("—");
}

QString FigureCaption(const QString& key) {
    static const std::map<QString, const char*> kCaptions = {
        {QStringLiteral("NetResult"), "Чистый результат"},
        {QStringLiteral("GrossProfit"), "Валовая прибыль"},
        {QStringLiteral("GrossLoss"), "Валовой убыток"},
        {QStringLiteral("ProfitFactor"), "Фактор прибыли"},
        {QStringLiteral("Trades"), "Сделок"},
        {QStringLiteral("BuyTrades"), "Сделок Buy"},
        {QStringLiteral("SellTrades"), "Сделок Sell"},
        {QStringLiteral("Wins"), "Прибыльных"},
        {QStringLiteral("Losses"), "Убыточных"},
        {QStringLiteral("BuySellTrades"), "Сделок Buy / Sell"},
        {QStringLiteral("WinsLosses"), "Прибыльных / убыточных"},
        {QStringLiteral("WinRate"), "Доля прибыльных"},
        {QStringLiteral("BuySellWinRate"), "Доля прибыльных Buy / Sell"},
        {QStringLiteral("AverageWin"), "Средняя прибыльная сделка"},
        {QStringLiteral("AverageLoss"), "Средняя убыточная сделка"},
        {QStringLiteral("AverageTrade"), "Средняя сделка"},
        {QStringLiteral("LargestWin"), "Крупнейшая прибыль"},
        {QStringLiteral("LargestLoss"), "Крупнейший убыток"},
        {QStringLiteral("MaxConsecutiveWins"), "Прибыльных подряд, наибольшая серия"},
        {QStringLiteral("MaxConsecutiveLosses"), "Убыточных подряд, наибольшая серия"},
        {QStringLiteral("MaxDrawdown"), "Максимальная просадка"},
        {QStringLiteral("MaxDrawdownPeriod"), "Просадка: начало – конец"},
        {QStringLiteral("RecoveryFactor"), "Фактор восстановления"},
        {QStringLiteral("SharpeMonthly"), "Коэффициент Шарпа (по месяцам)"},
        {QStringLiteral("SQN"), "SQN"},
        {QStringLiteral("AverageTradeDays"), "Средняя длительность сделки, дней"},
        {QStringLiteral("BestMonth"), "Лучший месяц"},
        {QStringLiteral("WorstMonth"), "Худший месяц"},
        {QStringLiteral("UndatedTrades"), "Сделок без даты (вне таблицы месяцев)"},
        {QStringLiteral("SkippedTrades"), "Сделок с результатом не числом (не учтены)"},
    };
    const auto it = kCaptions.find(key);
    return it == kCaptions.end() ? key : QString::fromUtf8(it->second);
}

namespace {

// The number a cell sorts by, when it has one.
constexpr int kSortRole = Qt::UserRole + 100;

class SortableItem : public QTableWidgetItem {
  public:
    using QTableWidgetItem::QTableWidgetItem;
    // Numbers by value and before texts; texts as a reader orders them.
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kSortRole), b = other.data(kSortRole);
        if (a.isValid() && b.isValid()) return a.toDouble() < b.toDouble();
        if (a.isValid() != b.isValid()) return a.isValid();
        return QString::localeAwareCompare(text(), other.text()) < 0;
    }
};

// Every table of the window sorts by a click on its header and copies its
// selected rows, with the header, by Ctrl+C or its context menu.
template <class Table>
class CopyingTable : public Table {
  public:
    template <class... Args>
    explicit CopyingTable(Args&&... args) : Table(std::forward<Args>(args)...) {
        auto* copy = new QAction(QStringLiteral("Копировать"), this);
        copy->setObjectName(QStringLiteral("CopyRows"));
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        QObject::connect(copy, &QAction::triggered, this, [this] { CopyRows(this); });
        this->addAction(copy);
        this->setContextMenuPolicy(Qt::ActionsContextMenu);
    }

  protected:
    // The view's own Ctrl+C copies the current cell alone: the rows go instead.
    void keyPressEvent(QKeyEvent* e) override {
        if (e->matches(QKeySequence::Copy)) {
            CopyRows(this);
            e->accept();
            return;
        }
        Table::keyPressEvent(e);
    }
};

// The look and behaviour every table of the window shares.
void Arrange(QTableView* t, const char* name) {
    t->setObjectName(QString::fromLatin1(name));
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::ExtendedSelection);
    t->setWordWrap(false);
    // Rows stay in the order they were written until a header is clicked.
    t->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    t->setSortingEnabled(true);
}

}  // namespace

QTableWidget* MakeTable(const char* name, const QStringList& headers, QWidget* parent) {
    auto* t = new CopyingTable<QTableWidget>(0, static_cast<int>(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    Arrange(t, name);
    return t;
}

QTableView* MakeTableView(const char* name, QAbstractItemModel* model, QWidget* parent) {
    auto* t = new CopyingTable<QTableView>(parent);
    t->setModel(model);
    Arrange(t, name);
    return t;
}

QTableWidgetItem* TableItem(const QString& text, Qt::Alignment align, std::optional<double> sortKey) {
    auto* item = new SortableItem(text);
    item->setTextAlignment(align);
    if (sortKey && !std::isnan(*sortKey)) item->setData(kSortRole, *sortKey);
    return item;
}

QTableWidgetItem* NumberItem(const QString& text, double value) {
    return TableItem(text, Qt::AlignRight | Qt::AlignVCenter, value);
}

void FitColumns(QTableWidget* table) {
    // Room for the sort arrow too, which a table being filled does not show.
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->resizeColumnsToContents();
}

TableFill::TableFill(QTableWidget* table) : table_(table), sorting_(table->isSortingEnabled()) {
    table_->setSortingEnabled(false);
}

TableFill::~TableFill() {
    // Turning sorting on again sorts by the column the user chose, if any.
    if (sorting_) table_->setSortingEnabled(true);
}

QString RowsText(const QTableView* table) {
    const QAbstractItemModel* m = table->model();
    if (!m) return {};
    // By the selection's ranges, not an index a cell: Ctrl+A on a sweep's passes is millions of cells.
    // A row counts as selectedIndexes() counts it: with a selected cell that is selectable and enabled.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : table->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            for (int c = range.left(); c <= range.right(); ++c) {
                const Qt::ItemFlags flags = m->flags(m->index(r, c, range.parent()));
                if (flags.testFlag(Qt::ItemIsSelectable) && flags.testFlag(Qt::ItemIsEnabled)) {
                    rows.push_back(r);
                    break;
                }
            }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() && table->currentIndex().isValid()) rows.push_back(table->currentIndex().row());
    if (rows.empty()) return {};
    auto clean = [](QString text) {
        return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    };
    QStringList lines, header;
    for (int c = 0; c < m->columnCount(); ++c)
        header << clean(m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    lines << header.join(QLatin1Char('\t'));
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c) cells << clean(m->data(m->index(r, c)).toString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CopyRows(const QTableView* table) {
    const QString text = RowsText(table);
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

PictureView::PictureView(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(name));
    setMinimumSize(240, 160);
}

QVBoxLayout* NoteAndBody(QWidget* pane, const char* noteName, QLabel*& note, QWidget*& body) {
    auto* root = new QVBoxLayout(pane);
    note = new QLabel(pane);
    note->setObjectName(QString::fromLatin1(noteName));
    note->setWordWrap(true);
    root->addWidget(note);
    body = new QWidget(pane);
    root->addWidget(body, 1);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

void PictureView::setPaint(Paint paint) {
    paint_ = std::move(paint);
    update();
}

void PictureView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && onPress) {
        // The call may change what the window shows: it works on a copy.
        const auto press = onPress;
        press(e->position());
    }
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (paint_) paint_(p, QRectF(rect()));
}

HeatmapView::HeatmapView(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(name));
    setMouseTracking(true);
    setMinimumSize(320, 260);
}

void HeatmapView::setGrid(HeatGrid grid, QImage cells) {
    grid_ = std::move(grid);
    cells_ = cells.isNull() ? HeatmapCells(grid_) : std::move(cells);
    hover_.reset();
    update();
}

HeatmapLayout HeatmapView::cellLayout() const {
    return LayoutHeatmap(QRectF(rect()), grid_);
}

void HeatmapView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    PaintHeatmap(p, QRectF(rect()), grid_, &cells_, hover_);
}

void HeatmapView::setHover(std::optional<GridCell> cell) {
    if (cell == hover_) return;
    hover_ = cell;
    update();
    if (onHover) onHover(cell ? CellAt(grid_, cell->x, cell->y) : std::nullopt);
}

void HeatmapView::mouseMoveEvent(QMouseEvent* e) {
    setHover(cellLayout().cellAt(e->position()));
}

void HeatmapView::leaveEvent(QEvent*) {
    setHover(std::nullopt);
}

void HeatmapView::mouseDoubleClickEvent(QMouseEvent* e) {
    const auto at = cellLayout().cellAt(e->position());
    if (!at) return;
    const auto cell = CellAt(grid_, at->x, at->y);
    if (!cell || !cell->ran || !onActivate) return;
    // The call may run the setting, refresh this very view or close its window:
    // it works on copies, and nothing of the view is read after it.
    const auto activate = onActivate;
    activate(*cell);
}

}  // namespace kavro
