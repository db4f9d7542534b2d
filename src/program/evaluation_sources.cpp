#include "program/evaluation_sources.h"

#include "platform/numbers.h"
#include "program/commands.h"
#include "program/session.h"

namespace kavro {

Evaluation Evaluate(const EvaluationSources& sources) {
    Evaluation e;
    e.latest = sources.latest;
    e.sweep = sources.sweep;
    e.walkForward = sources.walkForward;
    if (e.latest) {
        e.trades = TradesFromRows(e.latest->trades);
        e.stats = ComputeTradeStats(e.trades);
        e.equity = EquityCurve(e.trades);
        e.complete = e.latest->end == RunEnd::Done;
    }
    if (e.sweep) e.axes = AxesOf(e.sweep->passes);
    if (e.walkForward) e.windows = BuildWalkForwardView(e.walkForward->windows);
    return e;
}

bool NoteFinishedRun(Session& s) {
    EvaluationSources& src = s.evaluation;
    const std::shared_ptr<const RunResults> run = s.run.results;
    if (!run->finished() || run == src.latest) return false;
    src.latest = run;
    // A sweep is a simple test whose passes kept no journal: each pass a setting of the grid.
    if (run->kind == RunKind::Simple && !run->journaled && !run->passes.empty()) src.sweep = run;
    if (run->kind == RunKind::Thorough) src.walkForward = run;
    ++src.serial;
    // Once shown, the "Оценка" block follows the latest run.
    if (!s.form.label25.empty()) FillEvaluationBlock(s);
    return true;
}

void FillEvaluationBlock(Session& s) {
    const TradeStats stats = ComputeTradeStats(TradesFromRows(s.evaluation.latest->trades));
    FormState& f = s.form;
    f.label16 = std::to_string(stats.buyTrades) + "/" + std::to_string(stats.sellTrades);
    f.label25 = "Просадка";
    f.label17 = FormatGeneral(stats.maxDrawdown.money, s.locale);
}

void OcenCommand(Session& s) {
    NoteFinishedRun(s);
    if (!s.evaluation.latest) {
        s.dialogs.message(MessageKind::Information, kNothingToEvaluate);
        return;
    }
    FillEvaluationBlock(s);
    s.shell.showEvaluation();
}

void RunSettingCommand(Session& s, const PassRow& setting) {
    FormState& f = s.form;
    // The cell's result came from the sweep's pair and money fields: run it with them.
    if (const auto& sweep = s.evaluation.sweep) {
        f.pair = sweep->fields.pair;
        f.text11 = sweep->fields.text11;
        f.text13 = sweep->fields.text13;
    }
    f.text2 = FormatGeneral(setting.target, s.locale);
    f.text3 = FormatGeneral(setting.stop, s.locale);
    f.text4 = f.text5 = FormatGeneral(setting.entryHour, s.locale);
    // A step of 0 makes it a single setting (built, not assigned from a literal, which
    // GCC 12 wrongly warns about here).
    f.text6 = std::string(1, '0');
    f.check1 = false;
    StartCommand(s);
}

}  // namespace kavro
