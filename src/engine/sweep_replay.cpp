#include "engine/sweep_replay.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "engine/run_checks.h"
#include "engine/trade_extent.h"
#include "platform/numbers.h"
#include "platform/parallel.h"

namespace kavro {

namespace {

std::string Prefix(const RunRecord& r) {
    return "Цифры проходов перебора " + std::to_string(r.number) + " не получить: ";
}

bool SameResult(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

bool ReplaySweep(const QuoteStore& store, const RunRecord& record, ReplayTools tools,
                 const ReplayVisitors& visitors, std::string& error, unsigned threads,
                 JobProgress* progress) {
    if (!HoldsQuotesOf(store, record)) {
        error = Prefix(record) + "его котировки заменены другими. Загрузите снова файлы, на которых он шёл.";
        return false;
    }
    const std::optional<BarSpan> span = WholeBarSpan(record.firstBar, record.lastBar, store.hourCapacity);
    if (!span) {
        error = Prefix(record) + "его интервал не из целых баров.";
        return false;
    }
    const long from = span->from, to = span->to;
    tools.table.prepare(store, record.lastBar);
    tools.kernel.prepare(store, tools.table);
    if (!tools.kernel.covers(from, to)) {
        error = Prefix(record) + "его интервал выходит за загруженные бары.";
        return false;
    }
    // The settings of every pass as the sweep computed them from its row's distances in points.
    const RunSettings& s = record.settings;
    const float u = PointSizeSingle(s.pair);
    const float perUnit = static_cast<float>(1.0 / PointSize(s.pair));
    std::vector<KernelSetting> settings(record.passes.size());
    std::vector<float> distances;
    distances.reserve(2 * settings.size());
    try {
        for (size_t i = 0; i < settings.size(); ++i) {
            const PassRow& row = record.passes[i];
            KernelSetting& k = settings[i];
            k = MakeKernelSetting(row.entryHour, static_cast<float>(static_cast<double>(row.target) * u),
                                  static_cast<float>(static_cast<double>(row.stop) * u), s.tradeCost,
                                  s.pointValue, perUnit);
            distances.push_back(k.tp);
            distances.push_back(k.tpi);
        }
    } catch (const PassFault& fault) {
        error = Prefix(record) + fault.message;
        return false;
    }
    // With the plans built the passes only read the kernel, from any thread.
    const bool memo = tools.kernel.precompute(distances, from, to);
    PassKernel& kernel = tools.kernel;
    // The earliest differing pass found so far: a chunk goes on only while it may find an
    // earlier one, so the pass named is the earliest whatever the threads' timing.
    std::atomic<size_t> differs{settings.size()};
    std::atomic<bool> stop{false};
    ForEachChunk(settings.size(), threads, [&](size_t a, size_t b) {
        KernelScratch scratch;
        scratch.keepCloses = true;
        const ReplayVisit visit = visitors();
        for (size_t i = a;
             i < b && i < differs.load(std::memory_order_relaxed) && !stop.load(std::memory_order_relaxed);
             ++i) {
            if (progress && progress->cancel.load(std::memory_order_relaxed)) {
                stop = true;
                break;
            }
            const KernelResult r = kernel.run(settings[i], from, to, ProfitOrder::TotalFirst, scratch, memo);
            if (!SameResult(r.profit, record.passes[i].total)) {
                size_t seen = differs.load();
                while (i < seen && !differs.compare_exchange_weak(seen, i)) {
                }
                break;
            }
            visit(i, r.closes);
            if (progress) progress->done.fetch_add(1, std::memory_order_relaxed);
        }
    });
    // A cancelled replay did not reach every pass: a differing one it met may not be the earliest.
    if (stop.load()) {
        error = kReplayCancelled;
        return false;
    }
    if (const size_t i = differs.load(); i < settings.size()) {
        const PassRow& row = record.passes[i];
        auto text = [](float v) { return FormatGeneral(v, Locale{}); };
        error = Prefix(record) + "проход " + std::to_string(i + 1) + " (час " + text(row.entryHour) +
                ", TP " + text(row.target) + ", SL " + text(row.stop) +
                ") при повторе даёт другой результат" +
                (record.changes.empty() ? "." : ": поля меняли по ходу запуска.");
        return false;
    }
    return true;
}

}  // namespace kavro
