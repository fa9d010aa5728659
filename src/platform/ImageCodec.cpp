#include "ImageCodec.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QColorSpace>
#include <QPainter>
#include <QSaveFile>

namespace grinsley::platform {

// EXIF orientations as Qt reads them, in the camera platform's numbering.
Orientation ImageCodec::orientationOf(QImageIOHandler::Transformations t) {
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror:
        return Orientation::UpMirrored; // EXIF 2
    case QImageIOHandler::TransformationRotate180:
        return Orientation::Down; // EXIF 3
    case QImageIOHandler::TransformationFlip:
        return Orientation::DownMirrored; // EXIF 4
    case QImageIOHandler::TransformationFlipAndRotate90:
        return Orientation::LeftMirrored; // EXIF 5
    case QImageIOHandler::TransformationRotate90:
        return Orientation::Right; // EXIF 6
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return Orientation::RightMirrored; // EXIF 7
    case QImageIOHandler::TransformationRotate270:
        return Orientation::Left; // EXIF 8
    default:
        return Orientation::Up;
    }
}

namespace {

QByteArray encode(const Image& image, const char* format, int quality) {
    QByteArray data;
    if (image.isNull())
        return data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image.bitmap()))
        return {};
    return data;
}

Image read(QImageReader& reader, int reduction) {
    reader.setAutoTransform(false);
    if (reduction > 1) {
        const QSize full = reader.size();
        if (full.isValid())
            reader.setScaledSize(QSize(qMax(1, full.width() / reduction), qMax(1, full.height() / reduction)));
    }
    const Orientation orientation = ImageCodec::orientationOf(reader.transformation());
    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return {};
    return Image(std::move(bitmap), orientation);
}

} // namespace

QByteArray ImageCodec::pngRepresentation(const Image& image) { return encode(image, "png", -1); }

QByteArray ImageCodec::jpegRepresentation(const Image& image, qreal quality) {
    if (image.isNull())
        return {};
    // JPEG has no alpha: flatten onto white rather than let transparent pixels turn black.
    QImage flat(image.bitmap().size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    flat.setColorSpace(image.bitmap().colorSpace()); // the profile the photo carries is written with it
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, image.bitmap());
    }
    return encode(Image(flat), "jpeg", qBound(0, qRound(quality * 100), 100));
}

QByteArray ImageCodec::webpRepresentation(const Image& image, qreal quality) {
    return encode(image, "webp", qBound(0, qRound(quality * 100), 100));
}

Image ImageCodec::decode(const QByteArray& data, int reduction) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read(reader, reduction);
}

Image ImageCodec::decodeFile(const QString& path, int reduction) {
    QImageReader reader(path);
    return read(reader, reduction);
}

bool ImageCodec::writeAtomically(const QString& path, const QByteArray& data) {
    if (data.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace grinsley::platform
