#pragma once

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QString>

namespace grinsley::platform {

// What a saved or shared photo keeps of the file it was opened from: the date taken, the camera's make and
// model, the colour profile, and the GPS location only when asked. The pixels are saved upright, so the
// orientation is written as 1 whatever the original said. Read and written with exiv2.
class PhotoMetadata {
public:
    PhotoMetadata() = default;
    // From a photo's encoded bytes (a mapped file); nothing when it has none or cannot be read.
    static PhotoMetadata readEncoded(const QByteArray& encoded);
    // From a photo file, read where it lies (mapped).
    static PhotoMetadata readFile(const QString& path);

    bool isEmpty() const { return !_kept; }
    QString dateTaken() const;
    QString cameraMake() const;
    QString cameraModel() const;
    bool hasLocation() const;
    bool hasColourProfile() const;

    // The photo to encode, carrying the original's colour profile (Qt's encoders write it; exiv2 0.27 would
    // break a WebP file writing one).
    QImage withColourProfile(QImage photo) const;
    // An encoded photo (JPEG, PNG or WebP) with the tags written into it, the location only with
    // `keepLocation`, the orientation as 1; the photo as it came when they cannot be written.
    QByteArray writtenInto(const QByteArray& encoded, bool keepLocation) const;

    int orientation() const; // 0 when absent

private:
    struct Kept;
    std::shared_ptr<const Kept> _kept;
};

} // namespace grinsley::platform
