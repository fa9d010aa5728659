#include "PhotoFile.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include "platform/ImageCodec.h"

namespace grinsley::platform {

namespace {

PhotoFile::Result failed(PhotoFile::Failure failure, QString detail = {}) {
    PhotoFile::Result result;
    result.failure = failure;
    result.detail = std::move(detail);
    return result;
}

// A JPEG cut short still decodes (the codec greys out what is missing); it is whole when an end-of-image marker
// follows its last scan. Markers cannot hide inside a scan, where every 0xFF byte is stuffed.
bool jpegIsComplete(const QByteArray& data) {
    // The usual case, found without a pass over the whole file: the marker ends it (padding aside).
    qsizetype end = data.size();
    while (end > 2 && end > data.size() - 64 && data[end - 1] == '\0')
        --end;
    if (end >= 2 && QByteArrayView(data).sliced(end - 2, 2) == QByteArrayView("\xFF\xD9", 2))
        return true;
    const qsizetype lastScan = data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    if (lastScan < 0)
        return false;
    return data.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan) >= 0;
}

int bytesPerPixel(QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    return depth > 32 ? depth / 8 : 4; // everything narrower is widened to 32 bits here
}

QSize divided(QSize size, int by) {
    return {(size.width() + by - 1) / by, (size.height() + by - 1) / by}; // as the codec rounds a reduced decode
}

} // namespace

int PhotoFile::reductionFor(QSize stored, QSize wanted) {
    int reduction = 1;
    for (int next : {2, 4, 8}) {
        const QSize reduced = divided(stored, next);
        if (reduced.width() < wanted.width() || reduced.height() < wanted.height())
            break;
        reduction = next;
    }
    return reduction;
}

namespace {
// For the four sideways tags, upright(x, y) = stored(sx, sy) with sx running along y and sy along x, each
// forwards or backwards: Right is a quarter turn clockwise, Left anticlockwise, LeftMirrored across the main
// diagonal, RightMirrored across the other one. {x backwards, y backwards}.
std::pair<bool, bool> sidewaysAxes(Orientation orientation) {
    return {orientation == Orientation::Left || orientation == Orientation::RightMirrored,
            orientation == Orientation::Right || orientation == Orientation::RightMirrored};
}

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// What the decode writes, kept out of the frame that setjmp saves.
struct JpegOutput {
    QImage photo;
    std::vector<quint32> rows;
};

void decodeInto(JpegOutput* output, const QByteArray& data, int reduction, Orientation orientation) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1); };
    errors.manager.output_message = [](j_common_ptr) {};
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        output->photo = QImage();
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) { // Qt's reader converts these
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(reduction);
    cinfo.out_color_space = JCS_EXT_BGRX; // QImage's 32-bit RGB, byte for byte
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    const bool sideways = orientation != Orientation::Up;
    output->photo = QImage(sideways ? h : w, sideways ? w : h, QImage::Format_RGB32);
    if (output->photo.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    if (!sideways) {
        while (int(cinfo.output_scanline) < h) {
            JSAMPROW row = output->photo.scanLine(int(cinfo.output_scanline));
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
    } else {
        // A band of rows at a time; each stored column of the band is a run along one upright row.
        const auto [backX, backY] = sidewaysAxes(orientation);
        constexpr int band = 16;
        output->rows.assign(std::size_t(w) * band, 0);
        while (int(cinfo.output_scanline) < h) {
            const int first = int(cinfo.output_scanline);
            JSAMPROW rows[band];
            for (int i = 0; i < band; ++i)
                rows[i] = reinterpret_cast<JSAMPROW>(&output->rows[std::size_t(i) * w]);
            int n = 0;
            while (n < band && int(cinfo.output_scanline) < h)
                n += int(jpeg_read_scanlines(&cinfo, rows + n, JDIMENSION(band - n)));
            for (int sx = 0; sx < w; ++sx) {
                auto* line = reinterpret_cast<quint32*>(output->photo.scanLine(backX ? w - 1 - sx : sx));
                for (int i = 0; i < n; ++i)
                    line[backY ? h - 1 - (first + i) : first + i] = output->rows[std::size_t(i) * w + sx];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}
} // namespace

QImage PhotoFile::decodeJpegUpright(const QByteArray& data, int reduction, Orientation orientation) {
    if (orientation != Orientation::Up && !Image::isTransposed(orientation))
        return {};
    JpegOutput output;
    decodeInto(&output, data, reduction, orientation);
    return output.photo;
}

QImage PhotoFile::upright(const QImage& stored, Orientation orientation) {
    switch (orientation) {
    case Orientation::Up:
        return stored;
    case Orientation::Down:
        return stored.mirrored(true, true);
    case Orientation::UpMirrored:
        return stored.mirrored(true, false);
    case Orientation::DownMirrored:
        return stored.mirrored(false, true);
    default:
        break;
    }
    // The sideways tags: out(x, y) takes in(sx, sy) with the roles of the axes exchanged.
    const QImage in = stored.depth() == 32 ? stored : stored.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = in.width();
    const int h = in.height();
    QImage out(h, w, in.format());
    if (out.isNull())
        return {};
    const auto* src = reinterpret_cast<const quint32*>(in.constBits());
    const qsizetype stride = in.bytesPerLine() / 4;
    const auto [backX, backY] = sidewaysAxes(orientation);
    // In tiles, so that the column reads of a large photo stay in the cache.
    constexpr int tile = 64;
    for (int y0 = 0; y0 < w; y0 += tile) {
        for (int x0 = 0; x0 < h; x0 += tile) {
            for (int y = y0; y < std::min(w, y0 + tile); ++y) {
                auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
                const int sx = backX ? w - 1 - y : y;
                for (int x = x0; x < std::min(h, x0 + tile); ++x)
                    row[x] = src[qsizetype(backY ? h - 1 - x : x) * stride + sx];
            }
        }
    }
    return out;
}

PhotoFile::Result PhotoFile::readUpright(const QString& path, const TargetSize& target) {
    // Only a regular file is opened: a pipe or a device could keep a read waiting for ever.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return failed(Failure::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return failed(Failure::NotRegular);
    if (info.st_size == 0)
        return failed(Failure::Empty);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(Failure::Unreadable, file.errorString());
    // Mapped, not read: the file's pages are the system's to drop, and the scan for the end marker is free.
    QByteArray data;
    if (uchar* mapped = file.map(0, file.size()))
        data = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size());
    else
        data = file.readAll();
    if (data.isEmpty())
        return failed(Failure::Unreadable, file.errorString());

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return failed(Failure::NotAnImage);
    const bool jpeg = reader.format() == "jpeg";
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return failed(Failure::Damaged);
    const qint64 claimed = qint64(stored.width()) * stored.height();
    const QString pixels = QStringLiteral("%1 x %2").arg(stored.width()).arg(stored.height());
    if (claimed > maxClaimedPixels)
        return failed(Failure::TooLarge, pixels);

    const Orientation orientation = ImageCodec::orientationOf(reader.transformation());
    const bool sideways = Image::isTransposed(orientation);
    const QSize uprightStored = sideways ? stored.transposed() : stored;
    const QSize uprightWanted = target(QSizeF(uprightStored));
    if (uprightWanted.isEmpty())
        return failed(Failure::Damaged);
    const QSize wanted = sideways ? uprightWanted.transposed() : uprightWanted;

    const int reduction = reader.supportsOption(QImageIOHandler::ScaledSize) ? reductionFor(stored, wanted) : 1;
    const QSize decoded = divided(stored, reduction);
    if (qint64(decoded.width()) * decoded.height() * bytesPerPixel(reader.imageFormat()) > maxDecodedBytes)
        return failed(Failure::TooLarge, pixels);
    // Our own bound above is the one that counts; the codec's default one is lower than a 48 MP PNG.
    static std::once_flag raised;
    std::call_once(raised, [] { QImageReader::setAllocationLimit(int(maxDecodedBytes >> 20) + 16); });
    if (reduction > 1)
        reader.setScaledSize(decoded);

    const auto opened = [&](QImage upright) {
        Result result;
        // In place: at full size a second copy of the photo would cost as much again.
        result.photo = Image(std::move(upright).convertToFormat(QImage::Format_ARGB32_Premultiplied));
        result.original = uprightStored;
        result.metadata = PhotoMetadata::readEncoded(data); // from the mapped file: no second read
        return result;
    };
    // A JPEG wanted at the size it decodes to, upright or sideways: libjpeg-turbo straight into 32-bit pixels
    // and into their upright places, with no second copy of the photo.
    if (jpeg && decoded == wanted && (orientation == Orientation::Up || sideways)) {
        QImage direct = decodeJpegUpright(data, reduction, orientation);
        if (!direct.isNull())
            return jpegIsComplete(data) ? opened(std::move(direct)) : failed(Failure::Damaged);
    }
    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return failed(Failure::Damaged, reader.errorString());
    if (jpeg && !jpegIsComplete(data))
        return failed(Failure::Damaged);

    // Opaque photos stay unpremultiplied until the end: premultiplying them is a copy that changes nothing.
    if (bitmap.depth() != 32 || bitmap.format() == QImage::Format_Indexed8)
        bitmap = bitmap.convertToFormat(bitmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32);
    if (bitmap.size() != wanted)
        bitmap = bitmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage turned = upright(bitmap, orientation);
    if (turned.isNull())
        return failed(Failure::TooLarge, pixels);
    return opened(std::move(turned));
}

QString PhotoFile::describe(const Result& result) {
    switch (result.failure) {
    case Failure::None:
        return {};
    case Failure::NotRegular:
        return QCoreApplication::translate("PhotoFile", "is not a regular file");
    case Failure::Unreadable:
        return QCoreApplication::translate("PhotoFile", "cannot be read (%1)").arg(result.detail);
    case Failure::Empty:
        return QCoreApplication::translate("PhotoFile", "is empty");
    case Failure::NotAnImage:
        return QCoreApplication::translate("PhotoFile", "is not a photo Grinsley can read");
    case Failure::Damaged:
        return QCoreApplication::translate("PhotoFile", "is damaged or incomplete");
    case Failure::TooLarge:
        return QCoreApplication::translate("PhotoFile", "is too large to open (%1 pixels)").arg(result.detail);
    }
    return {};
}

} // namespace grinsley::platform
