#include "TallyFileCache.h"

#include <mutex>

#include <QDir>
#include <QFile>

#include "TallyUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Directories.h"

namespace grinsley {

namespace {
std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}
std::unique_ptr<TallyFileCache>& sharedCache() {
    static std::unique_ptr<TallyFileCache> cache;
    return cache;
}
} // namespace

TallyFileCache& TallyFileCache::createInstanceWithApiKey(const QString& apiKey) {
    std::lock_guard lock(instanceMutex());
    auto& cache = sharedCache();
    if (!cache)
        cache = std::make_unique<TallyFileCache>(apiKey);
    return *cache;
}

TallyFileCache* TallyFileCache::instance() {
    std::lock_guard lock(instanceMutex());
    return sharedCache().get();
}

QString TallyFileCache::createDirectoryPath() const {
    const QString path = platform::Directories::caches() + QStringLiteral("/Tally");
    QDir().mkpath(path);
    return path;
}

QString TallyFileCache::createFilePath(const QString& prefix) const {
    return QStringLiteral("%1/tallyCache_%2_%3.archive").arg(createDirectoryPath(), prefix, _apiKey);
}

std::optional<QString> TallyFileCache::save(const QCborValue& object, const QString& prefix) const {
    const QString path = createFilePath(prefix);
    if (!platform::AtomicFile::write(path, object.toCbor())) {
        TallyUtil::log("Tally: object[%1] cannot be saved to disk", prefix);
        return std::nullopt;
    }
    TallyUtil::log("Tally: object[%1] saved to disk at path[%2]", prefix, path);
    return path;
}

std::optional<QCborValue> TallyFileCache::get(const QString& prefix) const {
    const QString path = createFilePath(prefix);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCborParserError error;
    QCborValue object = QCborValue::fromCbor(file.readAll(), &error);
    if (error.error != QCborError::NoError)
        return std::nullopt;
    TallyUtil::log("Tally: object[%1] retrieved from disk at path[%2]", prefix, path);
    return object;
}

bool TallyFileCache::remove(const QString& prefix) const {
    const QString path = createFilePath(prefix);
    const bool removed = QFile::remove(path);
    TallyUtil::log("Tally: object at path[%1] removed from disk successful[%2]", path, removed);
    return removed;
}

bool TallyFileCache::removeCache() const {
    const QString path = createDirectoryPath();
    const bool removed = QDir(path).removeRecursively();
    TallyUtil::log("Tally: object at path[%1] removed from disk successful[%2]", path, removed);
    return removed;
}

} // namespace grinsley
