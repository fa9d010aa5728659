#include "TestPhotos.h"

#include <exiv2/exiv2.hpp>

#include <QColorSpace>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <jpeglib.h>

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

namespace {
// APP1's payload: "Exif\0\0", a little-endian TIFF header, one IFD with the orientation tag (0x0112, SHORT).
QByteArray exifPayload(int exifOrientation) {
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const char ifd[] = {1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, char(exifOrientation), 0, 0, 0, 0, 0, 0, 0};
    tiff.append(ifd, sizeof ifd);
    return QByteArray("Exif\0\0", 6) + tiff;
}
} // namespace

QByteArray jpegWithExifOrientation(const QImage& image, int exifOrientation) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    const QByteArray payload = exifPayload(exifOrientation);
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

bool writeQuadrantJpeg(const QString& path, QSize size, int exifOrientation, bool cmyk) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(size.width());
    cinfo.image_height = JDIMENSION(size.height());
    cinfo.input_components = cmyk ? 4 : 3;
    cinfo.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (exifOrientation > 0) {
        const QByteArray payload = exifPayload(exifOrientation);
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(payload.constData()),
                          unsigned(payload.size()));
    }
    std::vector<JSAMPLE> row(size_t(size.width()) * size_t(cinfo.input_components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < size.width(); ++x) {
            const QColor c = quadrantColour((y >= size.height() / 2 ? 2 : 0) + (x >= size.width() / 2 ? 1 : 0));
            JSAMPLE* px = &row[size_t(x) * size_t(cinfo.input_components)];
            if (cmyk) { // inverted, as the common editors write CMYK JPEGs: each channel times K gives RGB
                const int k = std::max({c.red(), c.green(), c.blue(), 1});
                px[0] = JSAMPLE(c.red() * 255 / k);
                px[1] = JSAMPLE(c.green() * 255 / k);
                px[2] = JSAMPLE(c.blue() * 255 / k);
                px[3] = JSAMPLE(k);
            } else {
                px[0] = JSAMPLE(c.red()), px[1] = JSAMPLE(c.green()), px[2] = JSAMPLE(c.blue());
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

int channelDistance(QRgb a, QRgb b) {
    return qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                qMax(qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))));
}

} // namespace grinsley::testing

namespace grinsley::testing {

QImage facePhotograph(const QString& name) { return samplePhotograph(QStringLiteral("faces/") + name); }

QImage samplePhotograph(const QString& name) {
    const QString path = QStringLiteral(GRINSLEY_TEST_PHOTOS "/") + name;
    QImage photo(path);
    EXPECT_FALSE(photo.isNull()) << "missing test photo " << path.toStdString() << " (tools/setup.sh fetches it)";
    return photo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QPointF inLeftCopy(QPointF p) { return p + QPointF(0, 24); }
QPointF inRightCopy(QPointF p) { return QPointF(560 + (512 - p.x()) * rightCopyScale, 60 + p.y() * rightCopyScale); }

QImage twoFacePhoto() {
    const QImage astronaut = samplePhotograph(QStringLiteral("astronaut.png"));
    QImage photo(1000, 560, QImage::Format_ARGB32_Premultiplied);
    photo.fill(QColor(150, 150, 150));
    QPainter p(&photo);
    p.drawImage(QPointF(0, 24), astronaut);
    const int side = qRound(512 * rightCopyScale);
    QImage other = astronaut.mirrored(true, false).scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter darken(&other);
    darken.fillRect(other.rect(), QColor(0, 0, 0, 70));
    darken.end();
    p.drawImage(QPointF(560, 60), other);
    return photo;
}

} // namespace grinsley::testing

namespace grinsley::testing {

bool writeCameraJpeg(const QString& path, QSize size, int exifOrientation) {
    if (!writeQuadrantJpeg(path, size, exifOrientation))
        return false;
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Photo.DateTimeOriginal"] = "2026:05:04 12:34:56";
        exif["Exif.Image.Make"] = "Grinsley Optics";
        exif["Exif.Image.Model"] = "Test One";
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "52/1 31/1 0/1";
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
        exif["Exif.GPSInfo.GPSLongitude"] = "13/1 24/1 0/1";
        const QByteArray icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.constData()), long(icc.size()));
        image->setIccProfile(profile);
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace grinsley::testing
