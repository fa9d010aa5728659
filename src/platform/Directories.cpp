#include "Directories.h"

#include <QDir>
#include <QStandardPaths>

namespace grinsley::platform {

namespace {
QString ensured(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    QDir().mkpath(folder);
    return folder;
}
} // namespace

QString Directories::caches() { return ensured(QStandardPaths::CacheLocation); }
QString Directories::library() { return ensured(QStandardPaths::AppDataLocation); }
QString Directories::documents() { return ensured(QStandardPaths::DocumentsLocation); }

} // namespace grinsley::platform
