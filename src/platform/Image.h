#pragma once

#include <optional>

#include <QImage>
#include <QSize>
#include <QSizeF>

namespace grinsley::platform {

// The eight orientation tags, numbered as the camera platform numbers them.
enum class Orientation {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// A bitmap with an orientation tag and a point scale. The bitmap is kept as stored (not rotated); size() is
// what a viewer shows, so it swaps width and height for the four sideways tags.
class Image {
public:
    Image() = default;
    explicit Image(QImage bitmap, Orientation orientation = Orientation::Up, qreal scale = 1.0);

    bool isNull() const { return _bitmap.isNull(); }
    const QImage& bitmap() const { return _bitmap; }
    Orientation orientation() const { return _orientation; }
    qreal scale() const { return _scale; }

    QSize pixelSize() const { return _bitmap.size(); }
    QSizeF size() const;

    static bool isTransposed(Orientation orientation);
    static std::optional<Orientation> orientationFromValue(int value);

private:
    QImage _bitmap;
    Orientation _orientation = Orientation::Up;
    qreal _scale = 1.0;
};

} // namespace grinsley::platform
