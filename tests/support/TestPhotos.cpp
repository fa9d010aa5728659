#include "TestPhotos.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace grinsley::testing {

QColor quadrantColour(int quadrant) {
    static const QColor colours[] = {QColor(220, 30, 30), QColor(30, 200, 30), QColor(30, 30, 220),
                                     QColor(230, 220, 20)};
    return colours[quadrant & 3];
}

QImage quadrantPhoto(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    p.fillRect(0, 0, w, h, quadrantColour(0));
    p.fillRect(w, 0, size.width() - w, h, quadrantColour(1));
    p.fillRect(0, h, w, size.height() - h, quadrantColour(2));
    p.fillRect(w, h, size.width() - w, size.height() - h, quadrantColour(3));
    return image;
}

QByteArray jpegWithExifOrientation(const QImage& image, int exifOrientation) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    // APP1: "Exif\0\0", a little-endian TIFF header, one IFD with the orientation tag (0x0112, SHORT).
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const char ifd[] = {1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, char(exifOrientation), 0, 0, 0, 0, 0, 0, 0};
    tiff.append(ifd, sizeof ifd);
    QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8));
    segment.append(char(length & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QImage gradientPhoto(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x * 255 / qMax(1, size.width() - 1), y * 255 / qMax(1, size.height() - 1),
                           (x + y) * 255 / qMax(1, size.width() + size.height() - 2));
    }
    return image;
}

int channelDistance(QRgb a, QRgb b) {
    return qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                qMax(qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))));
}

} // namespace grinsley::testing
