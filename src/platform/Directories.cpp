#include "Directories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
QString Directories::applicationData() { return ensured(QStandardPaths::AppDataLocation); }

void Directories::mendDoubledFolders() {
    const QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        return;
    for (const auto location : {QStandardPaths::GenericConfigLocation, QStandardPaths::GenericDataLocation,
                                QStandardPaths::GenericCacheLocation}) {
        const QDir base(QStandardPaths::writableLocation(location) + QLatin1Char('/') + name);
        QDir doubled(base.filePath(name));
        if (!doubled.exists())
            continue;
        for (const QString& entry : doubled.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            if (QFileInfo::exists(base.filePath(entry)) || !QDir().rename(doubled.filePath(entry), base.filePath(entry)))
                qWarning("Grinsley: left %s in %s", qPrintable(entry), qPrintable(doubled.path()));
        }
        base.rmdir(name); // only when it is empty now
    }
}

} // namespace grinsley::platform
