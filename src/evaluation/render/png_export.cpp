#include <QBuffer>
#include <QByteArray>

#include "evaluation/atomic_file.h"
#include "evaluation/render/evaluation_render.h"

namespace kavro {

namespace {
// Beyond this a picture is a mistake, not a chart: 16384 x 16384 is 1 GiB of pixels.
constexpr int kMaxSide = 16384;
}  // namespace

bool SavePng(const std::string& path, const QSize& size,
             const std::function<void(QPainter&, const QRectF&)>& paint, std::string& error) {
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxSide || size.height() > kMaxSide) {
        error = "Не удалось сохранить рисунок «" + path + "»: недопустимый размер " +
                std::to_string(size.width()) + " × " + std::to_string(size.height());
        return false;
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        error = "Не удалось сохранить рисунок «" + path + "»: не хватает памяти";
        return false;
    }
    image.fill(Qt::white);
    {
        QPainter p(&image);
        if (paint) paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
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

bool SaveEvaluationPictures(const std::string& dir, const EvaluationPictures& pictures, std::string& error) {
    const std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    const QSize size(1200, 800);
    if (!SavePng(
            base + kPictureFiles[0], size,
            [&](QPainter& p, const QRectF& r) { PaintEquity(p, r, pictures.equity, pictures.maxDrawdown); },
            error))
        return false;
    if (pictures.heatmap && !pictures.heatmap->empty() &&
        !SavePng(
            base + kPictureFiles[1], size,
            [&](QPainter& p, const QRectF& r) { PaintHeatmap(p, r, *pictures.heatmap); }, error))
        return false;
    if (pictures.windows && !pictures.windows->rows.empty() &&
        !SavePng(
            base + kPictureFiles[2], QSize(1200, 1000),
            [&](QPainter& p, const QRectF& r) {
                const QRectF top(r.left(), r.top(), r.width(), r.height() / 2);
                const QRectF bottom(r.left(), r.top() + r.height() / 2, r.width(), r.height() / 2);
                PaintForwardEquity(p, top, *pictures.windows);
                PaintParameterStability(p, bottom, *pictures.windows);
            },
            error))
        return false;
    return true;
}

}  // namespace kavro
