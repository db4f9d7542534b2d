#include "program/run_export.h"

namespace kavro {

EvaluationExport ExportDataOf(const Evaluation& e, const MonteCarloResult* monteCarlo) {
    EvaluationExport data;
    data.trades = e.trades;
    if (e.run && e.run->isSweep()) data.passes = e.run->passes;
    if (const SweepCheck* check = CheckShown(e)) {
        data.passFigures = check->figures.passes;
        if (check->overfit) {
            data.blocks = &check->figures.blocks;
            data.overfit = &*check->overfit;
        }
    }
    if (e.walkForward) data.windows = e.walkForward->windows;
    data.monteCarlo = monteCarlo;
    data.complete = e.complete;
    return data;
}

bool HeatmapShown(const Evaluation& e) {
    return e.run && e.run->isSweep() && e.sweep;
}

const SweepCheck* CheckShown(const Evaluation& e) {
    // The check belongs to the sweep shown, which must be this run.
    if (!e.run || !e.run->isSweep() || e.sweep != e.run || !e.check || !e.check->ok) return nullptr;
    return e.check.get();
}

const OverfitReport* OverfitShown(const Evaluation& e) {
    const SweepCheck* check = CheckShown(e);
    return check && check->overfit ? &*check->overfit : nullptr;
}

PricePictures PricePicturesOf(const QuoteStore& store, const Evaluation& e, size_t chartTrade) {
    PricePictures p;
    if (!e.run) return p;
    p.daily = PriceChart::Build(store, *e.run, e.trades, Timeframe::Daily);
    if (chartTrade > 0) {
        p.hourly = PriceChart::Build(store, *e.run, e.trades, Timeframe::Hourly);
        p.chartTrade = chartTrade;
    }
    return p;
}

std::vector<std::string> PictureFilesOf(const Evaluation& e, const PricePictures& prices) {
    std::vector<std::string> files = {"equity.png"};
    if (HeatmapShown(e)) files.emplace_back("heatmap.png");
    if (OverfitShown(e)) files.emplace_back("overfit.png");
    if (e.walkForward && !e.windows.rows.empty()) files.emplace_back("dashboard.png");
    if (prices.daily) files.emplace_back("price.png");
    if (prices.hourly && prices.chartTrade > 0 && prices.hourly->trade(prices.chartTrade))
        files.push_back(TradePictureFile(prices.chartTrade));
    return files;
}

bool ExportRun(const Evaluation& e, const MonteCarloResult& monteCarlo, const std::string& dir,
               const PricePictures& prices, const PictureWriter& pictures, std::string& error) {
    if (!ExportEvaluation(dir, ExportDataOf(e, &monteCarlo), error)) return false;
    return !pictures || pictures(dir, e, prices, error);
}

std::string ExportDoneMessage(const Evaluation& e, const PricePictures& prices, const std::string& dir) {
    std::string text = "Оценка сохранена в папку «" + dir + "»:";
    const char* sep = " ";
    for (const char* f : kExportFiles) {
        text += sep;
        text += f;
        sep = ", ";
    }
    for (const std::string& f : PictureFilesOf(e, prices)) text += ", " + f;
    return text;
}

std::string QuotesGoneMessage(const RunRecord& record) {
    return "Котировки запуска " + std::to_string(record.number) +
           " заменены другими: его график цены не построить. Загрузите снова файлы, на которых он шёл, "
           "и откройте оценку ещё раз.";
}

std::string ChartTradeRefusal(const Evaluation& e, const PricePictures& prices) {
    if (!e.run) return kNothingToEvaluate;
    const std::string run = "запуске " + std::to_string(e.run->number);
    if (prices.chartTrade == 0 || prices.chartTrade > e.trades.size())
        return "Сделки " + std::to_string(prices.chartTrade) + " в " + run + " нет: сделок в нём " +
               std::to_string(e.trades.size()) +
               (e.run->isSweep() ? " (перебор не ведёт журнал сделок)" : "");
    if (!prices.hourly) return QuotesGoneMessage(*e.run);
    if (!prices.hourly->trade(prices.chartTrade))
        return "Сделку " + std::to_string(prices.chartTrade) + " в " + run +
               " нельзя показать на графике: неизвестно, на каком баре она открыта";
    return {};
}

}  // namespace kavro
