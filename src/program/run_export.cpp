#include "program/run_export.h"

namespace kavro {

EvaluationExport ExportDataOf(const Evaluation& e, const MonteCarloResult* monteCarlo) {
    EvaluationExport data;
    data.trades = e.trades;
    if (e.run && e.run->isSweep()) data.passes = e.run->passes;
    if (e.walkForward) data.windows = e.walkForward->windows;
    data.monteCarlo = monteCarlo;
    data.complete = e.complete;
    return data;
}

std::vector<std::string> PictureFilesOf(const Evaluation& e) {
    std::vector<std::string> files = {"equity.png"};
    if (e.run && e.run->isSweep() && e.sweep) files.emplace_back("heatmap.png");
    if (e.walkForward && !e.windows.rows.empty()) files.emplace_back("dashboard.png");
    return files;
}

bool ExportRun(const Evaluation& e, const MonteCarloResult& monteCarlo, const std::string& dir,
               const PictureWriter& pictures, std::string& error) {
    if (!ExportEvaluation(dir, ExportDataOf(e, &monteCarlo), error)) return false;
    return !pictures || pictures(dir, e, error);
}

std::string ExportDoneMessage(const Evaluation& e, const std::string& dir) {
    std::string text = "Оценка сохранена в папку «" + dir + "»:";
    const char* sep = " ";
    for (const char* f : kExportFiles) {
        text += sep;
        text += f;
        sep = ", ";
    }
    for (const std::string& f : PictureFilesOf(e)) text += ", " + f;
    return text;
}

}  // namespace kavro
