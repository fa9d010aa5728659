#pragma once

#include <functional>

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include "platform/Image.h"
#include "platform/PhotoMetadata.h"

namespace grinsley::platform {

// Reads a photo file straight to the upright bitmap a screen needs, for a worker thread: the codec decodes at
// the largest reduction that still covers the wanted size (cheap for JPEG), the rest is area-averaged, and the
// orientation tag is applied by moving whole pixels. Anything that is not a sound photo comes back as a reason
// a person can read, never as a half-decoded picture.
class PhotoFile {
public:
    enum class Failure { None, NotRegular, Unreadable, Empty, NotAnImage, Damaged, TooLarge };

    struct Result {
        Image photo; // upright, tagged up, ARGB32 premultiplied
        Failure failure = Failure::None;
        QString detail; // the system's words for an unreadable file; the pixel count of a too-large one
        QSize original; // the photo's upright size before any reduction, when known
        PhotoMetadata metadata; // what a saved copy keeps of the file
        bool ok() const { return failure == Failure::None; }
    };

    // Wanted pixel size for the photo's upright size; the result has exactly that size.
    using TargetSize = std::function<QSize(QSizeF upright)>;

    static Result readUpright(const QString& path, const TargetSize& target);
    // A JPEG decoded at 1/reduction straight into upright 32-bit pixels (upright or one of the four sideways
    // tags); null when it cannot be (CMYK, damaged), for the general reader to try.
    static QImage decodeJpegUpright(const QByteArray& data, int reduction, Orientation orientation);

    // The most a decode may take; above it a photo is refused rather than risk the machine's memory.
    static constexpr qint64 maxDecodedBytes = 256LL * 1024 * 1024;
    // Headers claiming more than this many pixels are refused whatever the reduction.
    static constexpr qint64 maxClaimedPixels = 1LL << 30;

    // The bitmap as a viewer shows it under the tag: quarter turns and mirrors move whole pixels.
    static QImage upright(const QImage& stored, Orientation orientation);
    // The largest of 1, 2, 4, 8 by which each side of `stored` can be divided and still cover `wanted`.
    static int reductionFor(QSize stored, QSize wanted);
    // "is empty", "is not an image"...: the end of a sentence that begins with the file's name.
    static QString describe(const Result& result);
};

} // namespace grinsley::platform
