#include "program/evaluation_sources.h"

#include "platform/numbers.h"
#include "program/commands.h"
#include "program/session.h"

namespace kavro {

Evaluation Evaluate(const RunHistory& history, std::shared_ptr<const RunRecord> run) {
    Evaluation e;
    e.run = std::move(run);
    if (!e.run) return e;
    const RunRecord& r = *e.run;
    e.trades = TradesFromRows(r.trades, r.extents);
    e.stats = ComputeTradeStats(e.trades);
    e.equity = EquityCurve(e.trades);
    e.complete = r.end == RunEnd::Done;
    if (r.isSweep())
        e.sweep = e.run;
    else if (r.kind == RunKind::Cell)
        e.sweep = history.find(r.parent);
    if (e.sweep && e.sweep->passes.empty()) e.sweep.reset();
    if (r.kind == RunKind::Thorough) e.walkForward = e.run;
    if (e.sweep) e.axes = AxesOf(e.sweep->passes);
    if (e.walkForward) e.windows = BuildWalkForwardView(e.walkForward->windows);
    return e;
}

void CheckSweepOf(Session& s, Evaluation& e, int blocks) {
    if (!e.sweep) {
        auto none = std::make_shared<SweepCheck>();
        none->error = "В переборе нет ни одного выполненного прохода: проверять нечего";
        e.check = std::move(none);
        return;
    }
    FiguresRequest request;
    request.blocks = blocks;
    request.threads = 0;
    e.check = std::make_shared<const SweepCheck>(
        CheckSweep(s.store, *e.sweep, ReplayTools{s.run.kernel, s.run.dayTable}, request));
}

std::string NoSweepToCheck(const RunRecord& run) {
    return "Запуск " + std::to_string(run.number) +
           " — не перебор настроек: проверять на переобучение нечего, выбирать было не из чего";
}

std::shared_ptr<const RunRecord> ChosenRun(const RunHistory& history, int64_t number) {
    if (auto r = history.find(number); r && r->finished()) return r;
    return history.latest();
}

void NoteFinishedRun(Session& s) {
    // Once shown, the "Оценка" block follows the latest run.
    if (!s.form.label25.empty() && s.history.latest()) FillEvaluationBlock(s);
}

void FillEvaluationBlock(Session& s) {
    const TradeStats stats = ComputeTradeStats(TradesFromRows(s.history.latest()->trades));
    FormState& f = s.form;
    f.label16 = std::to_string(stats.buyTrades) + "/" + std::to_string(stats.sellTrades);
    f.label25 = "Просадка";
    f.label17 = FormatGeneral(stats.maxDrawdown.money, s.locale);
}

void OcenCommand(Session& s) {
    if (!s.history.latest()) {
        s.dialogs.message(MessageKind::Information, kNothingToEvaluate);
        return;
    }
    FillEvaluationBlock(s);
    s.shell.showEvaluation();
}

}  // namespace kavro
