#pragma once
// The export of one run record: the same files from the window and the batch runner.
#include <functional>
#include <string>
#include <vector>

#include "evaluation/export.h"
#include "evaluation/monte_carlo.h"
#include "program/evaluation_sources.h"

namespace kavro {

// Writes an evaluation's pictures into a folder; false with a message. The
// front-ends supply one: the window paints with its own choices, the batch
// runner without a display.
using PictureWriter = std::function<bool(const std::string& dir, const Evaluation&, std::string& error)>;

// What the export of `e` writes, of its own record only: its trades, a sweep's
// own passes, a thorough test's windows, and the Monte Carlo given.
EvaluationExport ExportDataOf(const Evaluation& e, const MonteCarloResult* monteCarlo);

// The pictures the export of `e` has: the equity always, the heatmap of a sweep,
// the dashboard of a thorough test.
std::vector<std::string> PictureFilesOf(const Evaluation& e);

// The files and then the pictures of `e` into `dir` (created when missing);
// false with the first failure's message.
bool ExportRun(const Evaluation& e, const MonteCarloResult& monteCarlo, const std::string& dir,
               const PictureWriter& pictures, std::string& error);

// What a finished export says: the folder and every file written.
std::string ExportDoneMessage(const Evaluation& e, const std::string& dir);

}  // namespace kavro
