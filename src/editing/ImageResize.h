#pragma once

// Renders images upright at a requested size: the orientation tag is applied, so the result is tagged up
// with a point scale of 1. Safe on any thread: each call draws on a private surface.

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "platform/Image.h"

namespace grinsley::imageresize {

// The platform's interpolation qualities; High averages areas when shrinking.
enum InterpolationQuality { Default = 0, None = 1, Low = 2, High = 3, Medium = 4 };
// Content modes accepted by resizedImageWithContentMode.
enum ContentMode { ScaleAspectFit = 1, ScaleAspectFill = 2 };

// The image upright at (w, h) pixels; a fractional size is rounded up to whole pixels.
platform::Image resizedImage(const platform::Image& image, QSizeF size, int quality);
// The displayed size scaled to fit (1) or fill (2) the bounds, keeping the aspect ratio.
// Throws std::invalid_argument("Unsupported content mode: N") for any other mode.
platform::Image resizedImageWithContentMode(const platform::Image& image, int contentMode, QSizeF bounds,
                                            int quality);
// The stored bitmap's pixels in the rectangle, ignoring the orientation tag.
platform::Image croppedImage(const platform::Image& image, const QRectF& rect);
// The drawing transform that turns the image upright on a y-up surface of the target size.
QTransform transformForOrientation(const platform::Image& image, QSizeF size);
platform::Image resizedImage(const platform::Image& image, QSizeF size, const QTransform& transform,
                             bool drawTransposed, int quality);

} // namespace grinsley::imageresize
