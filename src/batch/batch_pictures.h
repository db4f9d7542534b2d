#pragma once
// The evaluation's pictures from the batch runner, painted without a display.
#include <memory>
#include <string>

namespace kavro {

struct Evaluation;
struct PricePictures;

// equity.png, heatmap.png, dashboard.png, price.png and trade-N.png (those the
// run has) into `dir`, painted by the same code as the evaluation window; false
// with a message.
bool WriteBatchPictures(const std::string& dir, const Evaluation& evaluation, const PricePictures& prices,
                        std::string& error);

// Makes the application the painting needs on the calling thread, kept while the
// handle lives: a study paints on several threads, and Qt wants it made on the
// main one. Null when an application exists already.
std::shared_ptr<void> KeepPictureApplication();

}  // namespace kavro
