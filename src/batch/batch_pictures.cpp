#include "batch/batch_pictures.h"

#include <QGuiApplication>
#include <memory>

#include "evaluation/render/evaluation_render.h"
#include "program/evaluation_sources.h"
#include "program/run_export.h"

namespace kavro {

namespace {

// Qt's notes about the environment (no runtime folder, no session) mean nothing to a
// user of the command line; real failures come back through SavePng's message.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

std::unique_ptr<QGuiApplication> OffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kavro-batch";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

std::shared_ptr<void> KeepPictureApplication() {
    if (QGuiApplication::instance()) return nullptr;
    // Quiet for as long as the application is kept, whatever the threads install and restore meanwhile.
    struct Kept {
        QtMessageHandler previous = qInstallMessageHandler(Quiet);
        std::unique_ptr<QGuiApplication> app = OffscreenApplication();
        ~Kept() {
            app.reset();
            qInstallMessageHandler(previous);
        }
    };
    return std::make_shared<Kept>();
}

bool WriteBatchPictures(const std::string& dir, const Evaluation& e, const PricePictures& prices,
                        std::string& error) {
    const QtMessageHandler previous = qInstallMessageHandler(Quiet);
    // Fonts need an application object; the offscreen platform needs no display.
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) app = OffscreenApplication();
    // Only a sweep's own export has a heatmap: the best pass's hour.
    const bool sweep = HeatmapShown(e);
    HeatGrid heatmap;
    if (sweep && e.axes.bestPass)
        heatmap = TargetStopGrid(e.sweep->passes, e.axes, e.sweep->passes[*e.axes.bestPass].entryHour);
    const std::vector<double> hours = EquityHours(e.trades);
    EvaluationPictures pictures;
    pictures.equity = e.equity;
    pictures.equityHours = hours;
    pictures.maxDrawdown = e.stats.maxDrawdown;
    pictures.heatmap = sweep ? &heatmap : nullptr;
    pictures.overfit = OverfitShown(e);
    pictures.windows = e.walkForward ? &e.windows : nullptr;
    pictures.prices = prices.daily.get();
    pictures.hourly = prices.hourly.get();
    pictures.chartTrade = prices.chartTrade;
    const bool ok = SaveEvaluationPictures(dir, pictures, error);
    qInstallMessageHandler(previous);
    return ok;
}

}  // namespace kavro
