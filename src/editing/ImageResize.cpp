#include "ImageResize.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include <QPainter>

namespace grinsley::imageresize {

using platform::Image;
using platform::Orientation;

Image resizedImage(const Image& image, QSizeF size, int quality) {
    return resizedImage(image, size, transformForOrientation(image, size), Image::isTransposed(image.orientation()),
                        quality);
}

Image resizedImageWithContentMode(const Image& image, int contentMode, QSizeF bounds, int quality) {
    const QSizeF shown = image.size();
    const qreal horizontal = bounds.width() / shown.width();
    const qreal vertical = bounds.height() / shown.height();
    qreal ratio;
    switch (contentMode) {
    case ScaleAspectFit:
        ratio = std::min(horizontal, vertical);
        break;
    case ScaleAspectFill:
        ratio = std::max(horizontal, vertical);
        break;
    default:
        throw std::invalid_argument("Unsupported content mode: " + std::to_string(contentMode));
    }
    return resizedImage(image, QSizeF(shown.width() * ratio, shown.height() * ratio), quality);
}

Image croppedImage(const Image& image, const QRectF& rect) {
    const QRect pixels = rect.toAlignedRect().intersected(image.bitmap().rect());
    if (pixels.isEmpty())
        return {};
    return Image(image.bitmap().copy(pixels));
}

// Steps in the listed order, each like a translate, rotate or scale call on a drawing context: a point goes
// through the last step first.
QTransform transformForOrientation(const Image& image, QSizeF size) {
    constexpr float pi = 3.1415927f;
    constexpr float halfPi = 1.5707964f;
    const qreal w = size.width();
    const qreal h = size.height();
    QTransform t;
    switch (image.orientation()) {
    case Orientation::Down:
    case Orientation::DownMirrored:
        t.translate(w, h);
        t.rotateRadians(pi);
        break;
    case Orientation::Left:
    case Orientation::LeftMirrored:
        t.translate(w, 0);
        t.rotateRadians(halfPi);
        break;
    case Orientation::Right:
    case Orientation::RightMirrored:
        t.translate(0, h);
        t.rotateRadians(-halfPi);
        break;
    default:
        break;
    }
    switch (image.orientation()) {
    case Orientation::UpMirrored:
    case Orientation::DownMirrored:
        t.translate(w, 0);
        t.scale(-1, 1);
        break;
    case Orientation::LeftMirrored:
    case Orientation::RightMirrored:
        t.translate(h, 0);
        t.scale(-1, 1);
        break;
    default:
        break;
    }
    return t;
}

Image resizedImage(const Image& image, QSizeF size, const QTransform& transform, bool drawTransposed, int quality) {
    if (image.isNull() || !(size.width() > 0) || !(size.height() > 0))
        return {};
    const QSize target(int(std::ceil(size.width())), int(std::ceil(size.height())));
    const QSize drawn = drawTransposed ? target.transposed() : target;

    // Shrink first with area averaging (or plain sampling when asked for none), so the drawing below only
    // turns and mirrors whole pixels.
    const QImage& source = image.bitmap();
    const QImage scaled = source.size() == drawn ? source
                                                 : source.scaled(drawn, Qt::IgnoreAspectRatio,
                                                                 quality == None ? Qt::FastTransformation
                                                                                 : Qt::SmoothTransformation);
    QImage surface(target, QImage::Format_ARGB32_Premultiplied);
    if (surface.isNull())
        return {};
    surface.fill(Qt::transparent);
    QPainter painter(&surface);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, quality != None);
    // The transform is made for a y-up surface on which a bitmap is drawn with its first row at the top:
    // flip into that space, apply it, and flip back.
    const QTransform intoYUp(1, 0, 0, -1, 0, drawn.height());
    const QTransform outOfYUp(1, 0, 0, -1, 0, target.height());
    painter.setTransform(intoYUp * transform * outOfYUp);
    painter.drawImage(QPointF(0, 0), scaled);
    painter.end();
    return Image(std::move(surface));
}

} // namespace grinsley::imageresize
