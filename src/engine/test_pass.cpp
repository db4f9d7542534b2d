#include "engine/test_pass.h"

#include <cmath>

#include "engine/run_checks.h"
#include "engine/strategy_rules.h"
#include "platform/numbers.h"
#include "platform/text_file.h"

namespace kavro {

namespace {

// Everything a pass reads once at its start.
struct PassSetup {
    bool single = false;  // the step reads "" or "0": the journal is written
    double pointValue = 0, tradeCost = 0;
};

// The progress of a sweep: its passes begun of all it will run. The first pass's
// time estimate counts the same passes.
void ShowSweepProgress(const RunEnv& e, const RunSettings& s, float st) {
    RunState& r = e.run;
    if (s.skipPassEstimate) return;
    const double divisor = static_cast<double>(st) * static_cast<double>(r.pointsPerUnit);
    if (divisor == 0 || !std::isfinite(divisor))
        throw PassFault{"Шаг равен нулю: для одиночного теста введите в поле \"Шаг\" число 0"};
    // The passes the run will really run: the square of one sweep's count, once the
    // full sweep's maximum, left its bar near 4 % at the end.
    r.progressMax = static_cast<float>(e.record.expectedPasses);
    e.observer.progress(static_cast<double>(r.runPassesStarted), r.progressMax);
}

void ReadEntryHour(const RunEnv& e, const RunSettings& s) {
    RunState& r = e.run;
    const bool loaded = QuotesLoaded(e.store);
    if (!s.firstHour.readable) throw PassFault{FieldMessage(Field::FirstHour, loaded)};
    // A negative first hour would send a sweep back to it forever.
    if (s.firstHour.points < 0)
        throw PassFault{FieldMessage(Field::FirstHour, loaded, "введите число не меньше 0")};
    r.entryHour = static_cast<float>(s.firstHour.points);
    r.entryHourSpan = r.lastEntryHour - r.entryHour;
}

// The end of a pass: report line, pass row, labels, best result, and the end
// of a single-setting run after its last hour.
void RecordPass(const RunEnv& e, float st, float tpi1, float tp1) {
    RunState& r = e.run;
    // The report line goes first: a pass whose line cannot be written records nothing.
    PassRow row{r.entryHour, tp1, tpi1, r.passProfit};
    AppendReportLine(e.ripotPath(), ReportLine(row));

    if (r.runPassesStarted == 1) {
        r.remainingSeconds = static_cast<float>((static_cast<double>(r.progressMax) - 1) *
                                                Int(static_cast<double>(r.passEndTime - r.passStartTime)));
        e.observer.countdownStarted();
    }
    ++r.passesDone;
    ++r.runPassesDone;
    r.passRow = row;
    e.record.passes.push_back(row);
    e.observer.passRecorded(row);
    if (row.total >= r.bestTotal.value_or(0.0f)) {
        r.bestTotal = row.total;
        e.observer.bestChanged(row);
    }
    if (st == 0) {
        r.entryHour += 1;
        if (static_cast<double>(r.runPassesDone) > r.entryHourSpan) {
            e.beep();
            FinishRecord(e.record, r, RunEnd::Done);
            e.observer.runEnded(e.record, true);
        }
    }
}

// The pass through the kernel; false when it cannot give the bar loop's exact
// result (bars outside the store or with a fault, fractional bounds, a money
// result that overflows) and the bar loop must run instead.
bool TryKernelPass(const RunEnv& e, const PassSetup& p, float tpi, float tp) {
    RunState& r = e.run;
    // Yield first, so that whatever a command changes now is seen by this pass.
    e.pump.yield();
    CheckStop(e);
    const std::optional<BarSpan> span = WholeBarSpan(r.firstBar, r.lastBar, e.store.hourCapacity);
    if (!span) return false;
    r.dayTable.prepare(e.store, r.lastBar);
    r.kernel.prepare(e.store, r.dayTable);
    if (!r.kernel.covers(span->from, span->to)) return false;
    KernelSetting k;
    try {
        k = MakeKernelSetting(r.entryHour, tp, tpi, p.tradeCost, p.pointValue, r.pointsPerUnit);
    } catch (const PassFault&) {
        return false;
    }
    const KernelResult kr = r.kernel.run(k, span->from, span->to, ProfitOrder::TotalFirst, r.scratch);
    ApplyKernelResult(r, kr);
    r.currentBar = r.lastBar;
    return true;
}

}  // namespace

void ApplyKernelResult(RunState& r, const KernelResult& kr) {
    r.passProfit = kr.profit;
    r.openedTradeCount = kr.opened;
    r.closedTradeCount = kr.closed;
    r.winCount = kr.wins;
    r.lossCount = kr.losses;
    Position& pos = r.pos;
    pos.buyOpen = kr.buyOpen ? 1.0f : 0.0f;
    pos.sellOpen = kr.sellOpen ? 1.0f : 0.0f;
    // A side that never opened keeps its old entry price, as the bar loop leaves it.
    if (kr.buyTouched) pos.buyEntryPrice = kr.buyEntryPrice;
    if (kr.sellTouched) pos.sellEntryPrice = kr.sellEntryPrice;
    pos.buyBarProfit = pos.sellBarProfit = 0;
}

void AppendReportLine(const std::string& path, std::string_view line) {
    std::string cause;
    if (!AppendToFile(path, line, &cause))
        throw PassFault{"Не удалось записать строку в файл отчета " + path + ": " + cause};
}

bool EmptyReportFile(const std::string& path, std::string& message) {
    std::string cause;
    if (TruncateFile(path, &cause)) return true;
    message = "Не удалось записать файл отчета " + path + ": " + cause;
    return false;
}

void CheckStop(const RunEnv& e) {
    if (e.run.stopRequested) throw PassStopped{};
}

namespace {

// The bar loop of a pass; its bound is taken at its start, LastBar itself is read anew on every bar.
void WalkBars(const RunEnv& e, const PassSetup& p, float tpi, float tp) {
    RunState& r = e.run;
    Position& pos = r.pos;
    const QuoteStore& q = e.store;
    const float ppu = r.pointsPerUnit;
    auto journalEntry = [&](long bar, float price, TradeSide side) {
        JournalRow& row = r.journal.at(static_cast<size_t>(r.openedTradeCount));
        row.entryPrice = price;
        row.entryDate = q.hourDateAt(static_cast<size_t>(bar));
        row.side = side;
        row.entryBar = static_cast<int32_t>(bar);
        row.takeProfit = tp;
        row.stopLoss = tpi;
    };
    auto journalExit = [&](long bar, float profit, float exitPrice) {
        JournalRow& row = r.journal.at(static_cast<size_t>(r.closedTradeCount));
        row.profit = profit;
        row.exitDate = q.hourDateAt(static_cast<size_t>(bar));
        row.exitPrice = exitPrice;
        row.exitBar = static_cast<int32_t>(bar);
    };
    const float endBar = r.lastBar;
    for (; r.currentBar <= endBar; r.currentBar += 1.0f) {
        long bar = 0;
        if (!ToIndex(r.currentBar, 0, q.hourCapacity, bar)) throw PassFault{kFaultBarIndex};
        r.dayTable.prepare(q, r.lastBar);
        const BarDay day = r.dayTable.at(bar);
        e.pump.yield();
        CheckStop(e);

        const auto& ohlc = q.hourBar(static_cast<size_t>(bar));
        const float open = ohlc[QuoteStore::Open], high = ohlc[QuoteStore::High], low = ohlc[QuoteStore::Low];
        const bool hourMatches = q.hourOf(static_cast<size_t>(bar)) == r.entryHour;

        ApplyBarRules(
            pos, day.buy && hourMatches, day.sell && hourMatches, open, high, low, tp, tpi,
            [&](TradeSide side) {
                ++r.openedTradeCount;
                if (p.single) journalEntry(bar, open, side);
            },
            [&](TradeSide side, bool win, float exitPrice) {
                ++r.closedTradeCount;
                const float result = win ? WinnerResult(tp, p.tradeCost, p.pointValue, ppu)
                                         : LoserResult(tpi, p.pointValue, ppu);
                (side == TradeSide::Buy ? pos.buyBarProfit : pos.sellBarProfit) = result;
                ++(win ? r.winCount : r.lossCount);
                if (p.single) journalExit(bar, result, exitPrice);
            });

        r.passProfit =
            static_cast<float>(static_cast<double>(r.passProfit) + pos.buyBarProfit + pos.sellBarProfit);
        if (p.single) r.journal.at(static_cast<size_t>(r.openedTradeCount)).equity = r.passProfit;
        pos.buyBarProfit = pos.sellBarProfit = 0;
        if (r.currentBar == r.lastBar) break;
        if (p.single) e.observer.progress(r.currentBar, r.lastBar);
    }
}

}  // namespace

void RunTestPass(const RunEnv& e, float& tpi, float& tp, float& st, float& tpi1, float& tp1) {
    RunState& r = e.run;
    const RunSettings s = e.settings.read();

    // A fresh journal, and the win/loss counts that go with it.
    r.journal.clear();
    r.winCount = r.lossCount = 0;
    r.pointsPerUnit = static_cast<float>(1.0 / PointSize(s.pair));
    ++r.passesStarted;
    ++r.runPassesStarted;
    ShowSweepProgress(e, s, st);

    PassSetup p;
    p.single = s.journalPasses;
    r.journaled = p.single;
    r.currentBar = r.firstBar;
    r.pos.buyOpen = r.pos.sellOpen = 0;
    r.passProfit = 0;
    p.pointValue = s.pointValue;
    p.tradeCost = s.tradeCost;
    if (r.entryHour == 0) ReadEntryHour(e, s);
    r.openedTradeCount = r.closedTradeCount = 0;
    if (p.single) e.observer.progress(0, r.lastBar);
    r.passStartTime = e.clock.secondsSinceMidnight();

    // A sweep pass over whole bars of a fault-free interval needs no bar loop.
    if (!p.single && r.fastPasses && TryKernelPass(e, p, tpi, tp)) {
        r.passEndTime = e.clock.secondsSinceMidnight();
        RecordPass(e, st, tpi1, tp1);
        return;
    }
    WalkBars(e, p, tpi, tp);
    // Read once: the clock is far dearer than a bar.
    r.passEndTime = e.clock.secondsSinceMidnight();
    RecordPass(e, st, tpi1, tp1);
}

}  // namespace kavro
