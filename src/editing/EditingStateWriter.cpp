#include "EditingStateWriter.h"

#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include "platform/Directories.h"
#include "platform/ImageCodec.h"
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

void EditingStateWriter::saveLater(EditingSnapshot snapshot) {
    std::lock_guard lock(_mutex);
    _pending = std::move(snapshot);
    if (_working)
        return;
    _working = true;
    std::thread([this] { drain(); }).detach();
}

void EditingStateWriter::drain() {
    for (;;) {
        EditingSnapshot next;
        {
            std::lock_guard lock(_mutex);
            if (!_pending) {
                _working = false;
                _idle.notify_all();
                return;
            }
            next = std::move(*_pending);
            _pending.reset();
        }
        write(next);
    }
}

void EditingStateWriter::waitUntilIdle() {
    std::unique_lock lock(_mutex);
    _idle.wait(lock, [this] { return !_working; });
}

bool EditingStateWriter::saveNow(const EditingSnapshot& snapshot) {
    {
        std::unique_lock lock(_mutex);
        _pending.reset(); // older than this one
        _idle.wait(lock, [this] { return !_working; });
    }
    return write(snapshot);
}

// A new name each time, never the one the defaults name now: the old file stays whole until it is no longer
// named.
QString EditingStateWriter::writeImage(const QString& home, const platform::Image& image, const char* stem,
                                       qint64& writtenKey, QString& writtenPath) {
    if (image.isNull())
        return {};
    if (image.bitmap().cacheKey() == writtenKey && QFileInfo(writtenPath).isFile())
        return writtenPath;
    QString path;
    do
        path = QStringLiteral("%1/%2-%3.png").arg(home, QLatin1String(stem)).arg(++_generation);
    while (QFileInfo::exists(path));
    if (!platform::ImageCodec::writeAtomically(path, platform::ImageCodec::pngRepresentation(image))) {
        qCWarning(lcEditing) << "could not save" << stem << "to" << path;
        return {};
    }
    writtenKey = image.bitmap().cacheKey();
    writtenPath = path;
    return path;
}

bool EditingStateWriter::write(const EditingSnapshot& snapshot) {
    std::lock_guard lock(_writeMutex);
    const QString home = folder(); // made once per write, not per file
    const QString photo = writeImage(home, snapshot.photo, photoKey, _photoCacheKey, _photoPath);
    const QString piece = writeImage(home, snapshot.piece, pieceKey, _pieceCacheKey, _piecePath);
    if ((!snapshot.photo.isNull() && photo.isEmpty()) || (!snapshot.piece.isNull() && piece.isEmpty()))
        return false;

    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    if (!photo.isEmpty())
        defaults.setObject(photo, QLatin1String(photoKey));
    else
        defaults.removeObjectForKey(QLatin1String(photoKey));
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

    // Files no longer named, by this run or by one that was stopped between its write and this clean-up.
    const QDir named(home);
    for (const QString& name : named.entryList({QStringLiteral("currentImage*.png"), QStringLiteral("imageSelection*.png")},
                                              QDir::Files)) {
        const QString path = named.filePath(name);
        if (path != photo && path != piece)
            QFile::remove(path);
    }
    return true;
}

} // namespace grinsley
