#include "Directories.h"

#include <QDir>
#include <QStandardPaths>

namespace grinsley::platform {

namespace {
QString ensured(QStandardPaths::StandardLocation location, const char* sub = "") {
    const QString folder = QStandardPaths::writableLocation(location) + QLatin1String(sub);
    QDir().mkpath(folder);
    return folder;
}
} // namespace

QString Directories::caches() { return ensured(QStandardPaths::CacheLocation); }
// A phone application's library and documents folders are its own: both live in the program's data folder,
// never in the user's Documents.
QString Directories::library() { return ensured(QStandardPaths::AppDataLocation, "/Library"); }
QString Directories::documents() { return ensured(QStandardPaths::AppDataLocation, "/Documents"); }

} // namespace grinsley::platform
