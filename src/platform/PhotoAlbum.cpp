#include "PhotoAlbum.h"

#include <thread>
#include <variant>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "platform/Clock.h"
#include "platform/MainThread.h"

namespace grinsley::platform {

namespace {
const QString albumErrorDomain = QStringLiteral("PhotoAlbumErrorDomain");

ErrorRecord failure(int code, const QString& description, const QString& reason) {
    return ErrorRecord{albumErrorDomain,
                       code,
                       {{ErrorRecord::LocalizedDescriptionKey, description}, {ErrorRecord::LocalizedFailureReasonKey, reason}}};
}
} // namespace

QString PhotoAlbum::folder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/Grinsley");
}

namespace {
// The mode a new file of the user's gets (0666 less the umask), read without changing the umask, which other
// threads may be relying on meanwhile. A temporary file is made private; a photo in Pictures is not.
QFileDevice::Permissions userFileMode() {
    int umask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                umask = line.mid(6).trimmed().toInt(nullptr, 8);
    }
    const int mode = 0666 & ~umask;
    QFileDevice::Permissions permissions;
    const std::pair<int, QFileDevice::Permission> bits[] = {
        {0400, QFileDevice::ReadOwner}, {0200, QFileDevice::WriteOwner}, {0040, QFileDevice::ReadGroup},
        {0020, QFileDevice::WriteGroup}, {0004, QFileDevice::ReadOther}, {0002, QFileDevice::WriteOther}};
    for (const auto& [bit, permission] : bits)
        if (mode & bit)
            permissions |= permission;
    return permissions;
}
} // namespace

QString PhotoAlbum::timeStamp() { return Clock::now().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")); }

std::variant<QString, ErrorRecord> PhotoAlbum::saveNow(const QImage& image, const Finish& finish) {
    const QString album = folder();
    if (!QDir().mkpath(album))
        return failure(1, QStringLiteral("The album folder could not be made."),
                       QFileInfo(album).exists() ? QStringLiteral("Something that is not a folder has its name.")
                                                 : QStringLiteral("Its parent folder cannot be written to."));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !QImageWriter(&buffer, "png").write(image))
        return failure(2, QStringLiteral("The photo could not be encoded."), QStringLiteral("There is no photo to save."));
    if (finish)
        png = finish(png);

    // Written under a temporary name first, then given its final name only if that name is still free.
    QTemporaryFile temporary(album + QStringLiteral("/.saving-XXXXXX.png"));
    if (!temporary.open() || temporary.write(png) != png.size() || !temporary.flush())
        return failure(3, QStringLiteral("The photo could not be written."), temporary.errorString());
    temporary.setPermissions(userFileMode());
    const QString stamp = timeStamp();
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? QStringLiteral("Grinsley %1.png").arg(stamp)
                                    : QStringLiteral("Grinsley %1 (%2).png").arg(stamp).arg(n);
        const QString path = album + QLatin1Char('/') + name;
        if (QFile::exists(path))
            continue;
        if (temporary.rename(path)) { // refuses to replace an existing file
            temporary.setAutoRemove(false);
            return path;
        }
    }
    return failure(4, QStringLiteral("The photo could not be given a name."), temporary.errorString());
}

void PhotoAlbum::save(const QImage& image, Completion completion, Finish finish) {
    std::thread([image, completion = std::move(completion), finish = std::move(finish)] {
        const std::variant<QString, ErrorRecord> result = saveNow(image, finish);
        MainThread::post([result, completion] {
            if (completion)
                completion(std::holds_alternative<ErrorRecord>(result) ? std::optional(std::get<ErrorRecord>(result))
                                                                       : std::nullopt);
        });
    }).detach();
}

} // namespace grinsley::platform
