#pragma once

#include <QByteArray>
#include <QImageIOHandler>
#include <QString>

#include "platform/Image.h"

namespace grinsley::platform {

// PNG, JPEG and WebP in and out. Decoding keeps the stored pixels and reports a photo's EXIF orientation as the
// image's tag, so the caller decides when to turn it upright.
class ImageCodec {
public:
    static QByteArray pngRepresentation(const Image& image);
    // quality from 0.0 (smallest) to 1.0 (best).
    static QByteArray jpegRepresentation(const Image& image, qreal quality);
    static QByteArray webpRepresentation(const Image& image, qreal quality);

    // reduction 1 decodes at full size; 2, 4 or 8 decode at that fraction of each side (cheap for JPEG).
    // A null image when the data is not a readable image.
    static Image decode(const QByteArray& data, int reduction = 1);
    static Image decodeFile(const QString& path, int reduction = 1);

    static Orientation orientationOf(QImageIOHandler::Transformations transformation);

    // Writes the data whole or not at all: a crash or a full disk leaves the old file in place.
    static bool writeAtomically(const QString& path, const QByteArray& data);
};

} // namespace grinsley::platform
