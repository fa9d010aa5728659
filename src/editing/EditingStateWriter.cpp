#include "EditingStateWriter.h"

#include <algorithm>
#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include "platform/Directories.h"
#include "platform/ImageCodec.h"
#include "platform/MainThread.h"
#include "platform/UserDefaults.h"

Q_DECLARE_LOGGING_CATEGORY(lcEditing)

namespace grinsley {

EditingStateWriter& EditingStateWriter::shared() {
    static EditingStateWriter* writer = new EditingStateWriter; // outlives every caller, never torn down under a worker
    return *writer;
}

QString EditingStateWriter::folder() {
    const QString path = platform::Directories::applicationData() + QStringLiteral("/Editing");
    QDir().mkpath(path);
    return path;
}

QString EditingStateWriter::adopt(const QString& storedPath) {
    if (storedPath.isEmpty())
        return {};
    const QString name = QFileInfo(storedPath).fileName();
    const QString home = folder();
    QString found = storedPath;
    if (!QFileInfo(found).isFile()) {
        // Moved with its folder when the doubled folder name was mended.
        found.clear();
        for (const QString& candidate : {home + QLatin1Char('/') + name, platform::Directories::caches() + QLatin1Char('/') + name})
            if (QFileInfo(candidate).isFile()) {
                found = candidate;
                break;
            }
        if (found.isEmpty())
            return {};
    }
    if (QFileInfo(found).absolutePath() == QFileInfo(home).absoluteFilePath())
        return found;
    const QString target = home + QLatin1Char('/') + name;
    QFile::remove(target);
    if (QFile::rename(found, target))
        return target;
    qCWarning(lcEditing) << "could not move" << found << "to" << target;
    return found;
}

void EditingStateWriter::keepBase(EditingSnapshot& newer, const std::optional<EditingSnapshot>& older) {
    if (newer.photo.isNull() && older && !older->photo.isNull() && older->base == newer.base)
        newer.photo = older->photo;
}

void EditingStateWriter::saveLater(EditingSnapshot snapshot) {
    std::lock_guard lock(_mutex);
    keepBase(snapshot, _pending);
    // The snapshot this one replaces may hold the last reference to a whole photo: the writer lets it go, since
    // handing megabytes back to the system takes the interface thread milliseconds.
    if (_pending)
        _replaced.push_back(std::move(*_pending));
    _pending = std::move(snapshot);
    if (_working)
        return;
    _working = true;
    std::thread([this] {
        platform::yieldToTheInterface(); // at full size a save encodes megapixels
        drain();
    }).detach();
}

void EditingStateWriter::drain() {
    for (;;) {
        EditingSnapshot next;
        std::vector<EditingSnapshot> replaced;
        {
            std::lock_guard lock(_mutex);
            replaced.swap(_replaced);
            if (!_pending) {
                _working = false;
                _writingBase = 0;
                _idle.notify_all();
                return;
            }
            next = std::move(*_pending);
            _pending.reset();
            _writingBase = next.photo.isNull() ? 0 : next.base;
        }
        write(next);
    }
}

void EditingStateWriter::waitUntilIdle() {
    std::unique_lock lock(_mutex);
    _idle.wait(lock, [this] { return !_working; });
}

bool EditingStateWriter::holdsBase(qint64 base) {
    std::lock_guard lock(_mutex);
    // A base file removed behind the writer's back is no base: the photo is sent again.
    return base != 0 && ((_base == base && QFileInfo(_photoPath).isFile()) || _writingBase == base ||
                         (_pending && _pending->base == base && !_pending->photo.isNull()));
}

void EditingStateWriter::adoptBase(qint64 base, const QString& path, const std::vector<std::pair<qint64, QString>>& patches) {
    std::scoped_lock lock(_writeMutex, _mutex);
    _base = base;
    _photoPath = path;
    _patches = patches;
}

bool EditingStateWriter::saveNow(const EditingSnapshot& snapshot) {
    EditingSnapshot last = snapshot;
    {
        std::unique_lock lock(_mutex);
        keepBase(last, _pending);
        _pending.reset(); // older than this one
        _idle.wait(lock, [this] { return !_working; });
    }
    return write(last);
}

// A new name each time, never one the defaults name now: the old file stays whole until it is no longer named.
QString EditingStateWriter::writeFile(const QString& home, const platform::Image& image, const char* stem,
                                      const platform::PhotoMetadata& metadata) {
    QString path;
    do
        path = QStringLiteral("%1/%2-%3.png").arg(home, QLatin1String(stem)).arg(++_generation);
    while (QFileInfo::exists(path));
    const QByteArray png = metadata.isEmpty() ? platform::ImageCodec::pngRepresentation(image)
                                              : metadata.writtenInto(platform::ImageCodec::pngRepresentation(
                                                                         platform::Image(metadata.withColourProfile(image.bitmap()))),
                                                                     true);
    if (!platform::ImageCodec::writeAtomically(path, png)) {
        qCWarning(lcEditing) << "could not save" << stem << "to" << path;
        return {};
    }
    return path;
}

QString EditingStateWriter::writeImage(const QString& home, const platform::Image& image, const char* stem,
                                       qint64& writtenKey, QString& writtenPath) {
    if (image.isNull())
        return {};
    if (image.bitmap().cacheKey() == writtenKey && QFileInfo(writtenPath).isFile())
        return writtenPath;
    const QString path = writeFile(home, image, stem);
    if (!path.isEmpty()) {
        writtenKey = image.bitmap().cacheKey();
        writtenPath = path;
    }
    return path;
}

bool EditingStateWriter::write(const EditingSnapshot& snapshot) {
    std::lock_guard lock(_writeMutex);
    const QString home = folder(); // made once per write, not per file
    // The base: kept when it is the one written, written when its pixels came.
    QString photo;
    const bool sameBase = snapshot.base != 0 && snapshot.base == _base && QFileInfo(_photoPath).isFile();
    if (sameBase)
        photo = _photoPath;
    else if (snapshot.base != 0 && !snapshot.photo.isNull())
        photo = writeFile(home, snapshot.photo, photoKey, snapshot.metadata);
    if (snapshot.base != 0 && photo.isEmpty()) {
        qCWarning(lcEditing) << "the photo's base could not be saved";
        return false;
    }
    // The patches over it: those written before over the same base are kept.
    std::vector<std::pair<qint64, QString>> patches;
    QStringList named;
    for (std::size_t i = 0; i < snapshot.patches.size(); ++i) {
        const PhotoPatch& patch = snapshot.patches[i];
        const qint64 key = patch.pixels.cacheKey();
        QString path;
        if (sameBase && i < _patches.size() && _patches[i].first == key && QFileInfo(_patches[i].second).isFile())
            path = _patches[i].second;
        else
            path = writeFile(home, platform::Image(patch.pixels), "currentImagePatch");
        if (path.isEmpty())
            return false;
        patches.emplace_back(key, path);
        named << QStringLiteral("%1,%2,%3").arg(patch.at.x()).arg(patch.at.y()).arg(path);
    }
    const QString piece = writeImage(home, snapshot.piece, pieceKey, _pieceCacheKey, _piecePath);
    if (!snapshot.piece.isNull() && piece.isEmpty())
        return false;

    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    if (!photo.isEmpty())
        defaults.setObject(photo, QLatin1String(photoKey));
    else
        defaults.removeObjectForKey(QLatin1String(photoKey));
    if (!named.isEmpty())
        defaults.setObject(named, patchesKey);
    else
        defaults.removeObjectForKey(patchesKey);
    if (!piece.isEmpty()) {
        defaults.setObject(piece, QLatin1String(pieceKey));
        defaults.setFloat(snapshot.rotationAngle, rotationAngleKey);
        defaults.setFloat(float(snapshot.center.x()), centerXKey);
        defaults.setFloat(float(snapshot.center.y()), centerYKey);
        defaults.setFloat(float(snapshot.size.width()), widthKey);
        defaults.setFloat(float(snapshot.size.height()), heightKey);
        // Where it is on the photo, so that a canvas of another size puts it over the same part.
        if (snapshot.photoCenter) {
            defaults.setObject(snapshot.photoCenter->x(), photoCenterXKey); // doubles: the way back must land where it was
            defaults.setObject(snapshot.photoCenter->y(), photoCenterYKey);
        }
    } else {
        defaults.removeObjectForKey(QLatin1String(pieceKey));
    }
    defaults.synchronize();
    {
        std::lock_guard state(_mutex);
        _base = snapshot.base;
        _photoPath = photo;
        _patches = std::move(patches);
    }

    // Files no longer named, by this run or by one that was stopped between its write and this clean-up.
    const QDir folder(home);
    for (const QString& name : folder.entryList({QStringLiteral("currentImage*.png"), QStringLiteral("imageSelection*.png")},
                                                QDir::Files)) {
        const QString path = folder.filePath(name);
        const bool isNamed = path == photo || path == piece ||
                             std::any_of(_patches.begin(), _patches.end(), [&](const auto& p) { return p.second == path; });
        if (!isNamed)
            QFile::remove(path);
    }
    return true;
}

} // namespace grinsley
