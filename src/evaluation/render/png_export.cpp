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

}  // namespace kavro
