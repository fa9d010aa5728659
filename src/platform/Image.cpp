#include "Image.h"

namespace grinsley::platform {

Image::Image(QImage bitmap, Orientation orientation, qreal scale)
    : _bitmap(bitmap.isNull() || bitmap.format() == QImage::Format_ARGB32_Premultiplied
                  ? std::move(bitmap)
                  : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      _orientation(orientation), _scale(scale > 0 ? scale : 1.0) {}

QSizeF Image::size() const {
    QSizeF points(_bitmap.width() / _scale, _bitmap.height() / _scale);
    return isTransposed(_orientation) ? points.transposed() : points;
}

bool Image::isTransposed(Orientation orientation) {
    switch (orientation) {
    case Orientation::Left:
    case Orientation::Right:
    case Orientation::LeftMirrored:
    case Orientation::RightMirrored:
        return true;
    default:
        return false;
    }
}

std::optional<Orientation> Image::orientationFromValue(int value) {
    if (value < 0 || value > 7)
        return std::nullopt;
    return static_cast<Orientation>(value);
}

} // namespace grinsley::platform
