#include <QBuffer>
#include <QByteArray>

#include "evaluation/render/evaluation_render.h"
#include "platform/atomic_file.h"
#include "platform/text_file.h"

namespace kavro {

namespace {

// Beyond this a picture is a mistake, not a chart: 16384 x 16384 is 1 GiB of pixels.
constexpr int kMaxSide = 16384;

// A white picture of `size` with `paint` drawn on it; a null picture when its memory cannot be had.
QImage Painted(const QSize& size, const std::function<void(QPainter&, const QRectF&)>& paint) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    {
        QPainter p(&image);
        if (paint) paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return image;
}

// Encodes a painted picture as PNG and puts it in place of `path` (a null picture is one
// whose memory could not be had).
bool WritePng(const std::string& path, const QImage& image, std::string& error) {
    if (image.isNull()) {
        error = "Не удалось сохранить рисунок «" + path + "»: не хватает памяти";
        return false;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "Не удалось сохранить рисунок «" + path + "»: ошибка кодирования PNG";
        return false;
    }
    return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                               error);
}

}  // namespace

bool SavePng(const std::string& path, const QSize& size,
             const std::function<void(QPainter&, const QRectF&)>& paint, std::string& error) {
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxSide || size.height() > kMaxSide) {
        error = "Не удалось сохранить рисунок «" + path + "»: недопустимый размер " +
                std::to_string(size.width()) + " × " + std::to_string(size.height());
        return false;
    }
    return WritePng(path, Painted(size, paint), error);
}

namespace {

// Every picture of an export has one size and one layout, whoever writes it.
const QSize kEquitySize(1400, 800);
const QSize kHeatmapSize(1400, 900);
const QSize kDashboardSize(1400, 1100);
const QSize kPriceSize(1400, 800);
const QSize kOverfitSize(1400, 800);
constexpr double kDashboardUpperShare = 0.45;

}  // namespace

std::vector<NamedPicture> PaintEvaluationPictures(const EvaluationPictures& pictures) {
    std::vector<NamedPicture> out;
    out.push_back({kPictureFiles[0], Painted(kEquitySize, [&](QPainter& p, const QRectF& r) {
                       PaintEquity(p, r, pictures.equity, pictures.maxDrawdown, pictures.equityHours);
                   })});
    if (pictures.heatmap && !pictures.heatmap->empty())
        out.push_back({kPictureFiles[1], Painted(kHeatmapSize, [&](QPainter& p, const QRectF& r) {
                           PaintHeatmap(p, r, *pictures.heatmap);
                       })});
    if (pictures.overfit)
        out.push_back({kPictureFiles[4], Painted(kOverfitSize, [&](QPainter& p, const QRectF& r) {
                           PaintOverfit(p, r, *pictures.overfit);
                       })});
    if (pictures.windows && !pictures.windows->rows.empty())
        out.push_back({kPictureFiles[2], Painted(kDashboardSize, [&](QPainter& p, const QRectF& r) {
                           const QRectF upper(r.left(), r.top(), r.width(),
                                              r.height() * kDashboardUpperShare);
                           PaintForwardEquity(p, upper, *pictures.windows);
                           PaintParameterStability(
                               p, QRectF(r.left(), upper.bottom(), r.width(), r.height() - upper.height()),
                               *pictures.windows);
                       })});
    if (pictures.prices)
        out.push_back({kPictureFiles[3], Painted(kPriceSize, [&](QPainter& p, const QRectF& r) {
                           PaintRunPrices(p, r, *pictures.prices);
                       })});
    if (pictures.hourly && pictures.chartTrade > 0)
        out.push_back(
            {TradePictureFile(pictures.chartTrade), Painted(kPriceSize, [&](QPainter& p, const QRectF& r) {
                 PaintTradePrices(p, r, *pictures.hourly, pictures.chartTrade);
             })});
    return out;
}

bool WritePictures(const std::string& dir, const std::vector<NamedPicture>& pictures, std::string& error) {
    for (const NamedPicture& picture : pictures)
        if (!WritePng(JoinPath(dir, picture.name), picture.image, error)) return false;
    return true;
}

bool SaveEvaluationPictures(const std::string& dir, const EvaluationPictures& pictures, std::string& error) {
    return WritePictures(dir, PaintEvaluationPictures(pictures), error);
}

}  // namespace kavro
