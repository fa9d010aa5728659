#include "PhotoMetadata.h"

#include <mutex>

#include <QColorSpace>
#include <QFile>
#include <QLoggingCategory>

#include <exiv2/exiv2.hpp>

Q_LOGGING_CATEGORY(lcMetadata, "grinsley.metadata")

namespace grinsley::platform {

namespace {
const char* const keptKeys[] = {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized", "Exif.Image.DateTime",
                                "Exif.Image.Make", "Exif.Image.Model", "Exif.Image.Orientation"};

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::XmpParser::initialize(); }); // not thread-safe on first use otherwise
}

QString text(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? QString() : QString::fromStdString(it->toString()).trimmed();
}
} // namespace

struct PhotoMetadata::Kept {
    Exiv2::ExifData exif; // the kept tags, the location among them
    Exiv2::DataBuf icc;
};

namespace {
// The kept part of what an image holds; null when it holds nothing worth keeping.
template <typename Kept>
std::shared_ptr<const Kept> keptOf(Exiv2::Image& image) {
    image.readMetadata();
    auto kept = std::make_shared<Kept>();
    const Exiv2::ExifData& exif = image.exifData();
    for (const Exiv2::Exifdatum& datum : exif) {
        const std::string key = datum.key();
        const bool wanted = datum.groupName() == "GPSInfo" ||
                            std::any_of(std::begin(keptKeys), std::end(keptKeys), [&](const char* k) { return key == k; });
        if (wanted)
            kept->exif.add(datum);
    }
    if (image.iccProfileDefined()) {
        const Exiv2::DataBuf* icc = image.iccProfile();
        kept->icc = Exiv2::DataBuf(icc->pData_, icc->size_);
    }
    if (kept->exif.empty() && kept->icc.size_ == 0)
        return nullptr;
    return kept;
}
} // namespace

PhotoMetadata PhotoMetadata::readEncoded(const QByteArray& encoded) {
    initialise();
    PhotoMetadata metadata;
    try {
        const Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(encoded.constData()), long(encoded.size()));
        metadata._kept = keptOf<Kept>(*image);
    } catch (const std::exception& e) {
        qCDebug(lcMetadata) << "no metadata read:" << e.what();
    }
    return metadata;
}

PhotoMetadata PhotoMetadata::readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (const uchar* mapped = file.map(0, file.size()))
        return readEncoded(QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(file.size())));
    return readEncoded(file.readAll());
}

QString PhotoMetadata::dateTaken() const {
    if (!_kept)
        return {};
    const QString original = text(_kept->exif, "Exif.Photo.DateTimeOriginal");
    return original.isEmpty() ? text(_kept->exif, "Exif.Image.DateTime") : original;
}
QString PhotoMetadata::cameraMake() const { return _kept ? text(_kept->exif, "Exif.Image.Make") : QString(); }
QString PhotoMetadata::cameraModel() const { return _kept ? text(_kept->exif, "Exif.Image.Model") : QString(); }
bool PhotoMetadata::hasColourProfile() const { return _kept && _kept->icc.size_ > 0; }
int PhotoMetadata::orientation() const { return _kept ? text(_kept->exif, "Exif.Image.Orientation").toInt() : 0; }

bool PhotoMetadata::hasLocation() const {
    return _kept && std::any_of(_kept->exif.begin(), _kept->exif.end(), [](const Exiv2::Exifdatum& d) { return d.groupName() == "GPSInfo"; });
}

QImage PhotoMetadata::withColourProfile(QImage photo) const {
    if (hasColourProfile() && !photo.isNull()) {
        const QColorSpace profile = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(_kept->icc.pData_), int(_kept->icc.size_)));
        if (profile.isValid())
            photo.setColorSpace(profile);
    }
    return photo;
}

QByteArray PhotoMetadata::writtenInto(const QByteArray& encoded, bool keepLocation) const {
    if (!_kept || encoded.isEmpty())
        return encoded;
    initialise();
    try {
        const Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(encoded.constData()), long(encoded.size()));
        image->readMetadata(); // the colour profile the encoder wrote stays
        Exiv2::ExifData exif;
        for (const Exiv2::Exifdatum& datum : _kept->exif)
            if (keepLocation || datum.groupName() != "GPSInfo")
                exif.add(datum);
        exif["Exif.Image.Orientation"] = uint16_t(1); // the pixels are upright
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf written = io.read(long(io.size()));
        return QByteArray(reinterpret_cast<const char*>(written.pData_), int(written.size_));
    } catch (const std::exception& e) {
        qCWarning(lcMetadata) << "photo saved without its metadata:" << e.what();
        return encoded;
    }
}

} // namespace grinsley::platform
