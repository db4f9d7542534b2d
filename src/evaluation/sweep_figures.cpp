#include "evaluation/sweep_figures.h"

#include <cmath>
#include <limits>
#include <memory>

#include "evaluation/heatmap.h"
#include "evaluation/trade_record.h"
#include "evaluation/trade_stats.h"

namespace kavro {

namespace {

constexpr int32_t kNoMonth = std::numeric_limits<int32_t>::min();

// What every pass needs to know of each bar of the interval, found once: the
// month its date falls in (as the statistics read the date text) and its block.
struct BarCalendar {
    long from = 0;
    std::vector<int32_t> month;  // year * 12 + month - 1, kNoMonth when the text names no day
    std::vector<uint8_t> block;  // empty without blocks
    int32_t firstMonth = 0, lastMonth = -1;

    BarCalendar(const QuoteStore& q, long from, long to, int blocks) : from(from) {
        const size_t n = static_cast<size_t>(to - from + 1);
        month.resize(n);
        for (size_t i = 0; i < n; ++i) {
            Date d;
            const bool dated = ReadDateText(q.hourDateAt(static_cast<size_t>(from) + i).view(), d);
            month[i] = dated ? d.year * 12 + (d.month - 1) : kNoMonth;
            if (!dated) continue;
            if (lastMonth < firstMonth) firstMonth = lastMonth = month[i];
            firstMonth = std::min(firstMonth, month[i]);
            lastMonth = std::max(lastMonth, month[i]);
        }
        if (blocks == 0) return;
        block.resize(n);
        const std::vector<long> starts = BlockStarts(from, to, blocks);
        for (size_t b = 0; b < starts.size(); ++b) {
            const long end = b + 1 < starts.size() ? starts[b + 1] : to + 1;
            for (long bar = starts[b]; bar < end; ++bar)
                block[static_cast<size_t>(bar - from)] = static_cast<uint8_t>(b);
        }
    }
    int32_t monthOf(int32_t bar) const {
        const long i = bar - from;
        return i >= 0 && static_cast<size_t>(i) < month.size() ? month[static_cast<size_t>(i)] : kNoMonth;
    }
    // A trade's month: of its exit date, or of its entry date when the exit's text names no day.
    int32_t monthOf(const KernelClose& c) const {
        const int32_t exit = monthOf(c.bar);
        return exit != kNoMonth ? exit : monthOf(c.entryBar);
    }
};

// One thread's month sums, kept zero between passes.
struct MonthSums {
    std::vector<double> sums;
    int32_t first = 0, last = -1;  // the months the pass touched
};

// The statistics' walk over one pass's closes: the profits in order, trades
// whose profit is not a number left out.
PassFigures FiguresOf(std::span<const KernelClose> closes, const BarCalendar& cal, MonthSums& months,
                      double* blockRow, std::vector<double>* monthly) {
    PassFigures f;
    double equity = 0, peak = 0;
    months.first = std::numeric_limits<int32_t>::max();
    months.last = std::numeric_limits<int32_t>::min();
    for (const KernelClose& c : closes) {
        const double p = c.amount;
        if (!std::isfinite(p)) continue;
        ++f.trades;
        f.netResult += p;
        if (p > 0) {
            ++f.wins;
            f.grossProfit += p;
        } else if (p < 0) {
            ++f.losses;
            f.grossLoss += p;
        }
        equity += p;
        if (equity >= peak)
            peak = equity;
        else if (peak - equity > f.maxDrawdown)
            f.maxDrawdown = peak - equity;
        if (const int32_t m = cal.monthOf(c); m != kNoMonth) {
            months.sums[static_cast<size_t>(m - cal.firstMonth)] += p;
            months.first = std::min(months.first, m);
            months.last = std::max(months.last, m);
        }
        // Exits lie within the interval; the check keeps a damaged close from writing elsewhere.
        if (const size_t at = static_cast<size_t>(c.bar - cal.from); blockRow && at < cal.block.size())
            blockRow[cal.block[at]] += p;
    }
    f.profitFactor = ProfitFactorOf(f.grossProfit, f.grossLoss);
    f.recoveryFactor = RecoveryFactorOf(f.netResult, f.maxDrawdown);
    if (months.first <= months.last) {
        double* span = months.sums.data() + (months.first - cal.firstMonth);
        const size_t count = static_cast<size_t>(months.last - months.first) + 1;
        f.sharpeMonthly = MonthlySharpe(std::span<const double>(span, count));
        if (monthly) monthly->assign(span, span + count);
        std::fill(span, span + count, 0.0);
    }
    return f;
}

}  // namespace

bool ValidBlockCount(int blocks) {
    return blocks >= kMinBlocks && blocks <= kMaxBlocks && blocks % 2 == 0;
}

std::vector<long> BlockStarts(long first, long last, int blocks) {
    std::vector<long> starts;
    if (blocks <= 0 || last < first) return starts;
    const int64_t n = last - first + 1;
    for (int b = 0; b < blocks; ++b) starts.push_back(first + static_cast<long>(b * n / blocks));
    return starts;
}

bool ComputeSweepFigures(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                         const FiguresRequest& request, SweepFigures& out, std::string& error) {
    out = SweepFigures();
    const size_t passes = record.passes.size();
    const int blocks = ValidBlockCount(request.blocks) ? request.blocks : 0;
    out.passes.resize(passes);
    out.bestPass = BestPass(record.passes);
    if (blocks > 0)
        out.blocks = BlockResults{passes, static_cast<size_t>(blocks),
                                  std::vector<double>(passes * static_cast<size_t>(blocks))};
    // An interval the replay refuses is said by the replay itself; the calendar needs whole bars.
    const auto [from, to] =
        WholeBarSpan(record.firstBar, record.lastBar, store.hourCapacity).value_or(BarSpan{});
    const BarCalendar calendar(store, from, to, blocks);
    for (long bar : BlockStarts(from, to, blocks)) {
        Date d;
        ReadDateText(store.hourDateAt(static_cast<size_t>(bar)).view(), d);
        out.blockStarts.push_back(d);
    }
    const size_t monthSpan = static_cast<size_t>(std::max(0, calendar.lastMonth - calendar.firstMonth + 1));
    const size_t best = out.bestPass.value_or(passes);
    const ReplayVisitors visitors = [&]() -> ReplayVisit {
        auto months = std::make_shared<MonthSums>();
        months->sums.assign(monthSpan, 0.0);
        return [&, months](size_t pass, std::span<const KernelClose> closes) {
            double* row = blocks > 0 ? out.blocks.cells.data() + pass * static_cast<size_t>(blocks) : nullptr;
            out.passes[pass] =
                FiguresOf(closes, calendar, *months, row, pass == best ? &out.bestMonthly : nullptr);
        };
    };
    if (ReplaySweep(store, record, tools, visitors, error, request.threads, request.progress)) return true;
    out = SweepFigures();
    return false;
}

bool ComputeSweepFigures(const QuoteStore& store, const RunRecord& record, const FiguresRequest& request,
                         SweepFigures& out, std::string& error) {
    PassKernel kernel;
    DayMatchTable table;
    return ComputeSweepFigures(store, record, ReplayTools{kernel, table}, request, out, error);
}

OverfitReport ReportOverfit(const SweepFigures& f, std::span<const PassRow> passes, unsigned threads,
                            JobProgress* progress) {
    OverfitReport r;
    r.cscv = ComputeOverfit(f.blocks, threads, progress);
    r.logitHistogram = LogitHistogram(r.cscv.logits);
    r.blockStarts = f.blockStarts;
    const std::optional<size_t> best = f.bestPass;
    if (best && *best < passes.size()) r.bestRow = passes[*best];
    std::vector<double> sharpes;
    sharpes.reserve(f.passes.size());
    // Per month: the statistics' monthly Sharpe is annualised by the root of 12.
    for (const PassFigures& p : f.passes) sharpes.push_back(p.sharpeMonthly / std::sqrt(12.0));
    const double bestSharpe = best && *best < sharpes.size() ? sharpes[*best] : 0.0;
    r.deflated = ComputeDeflatedSharpe(f.bestMonthly, bestSharpe, sharpes);
    return r;
}

std::string SweepCheckRefusal(size_t passes, int blocks) {
    if (passes > kMaxFigurePasses)
        return "Цифры по каждому проходу считаются для переборов до " + std::to_string(kMaxFigurePasses) +
               " проходов, а в этом " + std::to_string(passes) + ": сократите сетку (поле «Шаг», часы)";
    if (blocks == 0) return {};
    if (!ValidBlockCount(blocks))
        return "Число блоков должно быть чётным, от " + std::to_string(kMinBlocks) + " до " +
               std::to_string(kMaxBlocks);
    const double work =
        static_cast<double>(passes) * static_cast<double>(Choose(blocks, blocks / 2)) * blocks;
    if (work > kMaxOverfitWork)
        return "Проверка на переобучение " + std::to_string(passes) + " проходов по " +
               std::to_string(blocks) +
               " блокам заняла бы слишком долго: уменьшите число блоков или сетку перебора";
    return {};
}

SweepCheck CheckSweep(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                      const FiguresRequest& request) {
    SweepCheck c;
    c.error = SweepCheckRefusal(record.passes.size(), request.blocks);
    if (!c.error.empty()) return c;
    if (!ComputeSweepFigures(store, record, tools, request, c.figures, c.error)) return c;
    if (request.blocks > 0 && record.passes.size() >= 2) {
        c.overfit = ReportOverfit(c.figures, record.passes, request.threads, request.progress);
        if (request.progress && request.progress->cancel.load()) {
            c.overfit.reset();
            c.error = kReplayCancelled;
            return c;
        }
    }
    c.ok = true;
    return c;
}

}  // namespace kavro
