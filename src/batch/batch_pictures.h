#pragma once
// The evaluation's pictures from the batch runner, painted without a display.
#include <string>

namespace kavro {

struct Evaluation;

// equity.png, heatmap.png and dashboard.png into `dir`, painted by the same code
// as the evaluation window; false with a message.
bool WriteBatchPictures(const std::string& dir, const Evaluation& evaluation, std::string& error);

}  // namespace kavro
