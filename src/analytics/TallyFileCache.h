#pragma once

#include <memory>
#include <optional>

#include <QCborValue>
#include <QString>

namespace grinsley {

// A store of archived objects in the caches folder, one file per prefix, for one API key. One instance per
// process (the ad catalogue keeps its parser and images in it).
class TallyFileCache {
public:
    // The process's instance, made for this key on the first call; later calls return it unchanged.
    static TallyFileCache& createInstanceWithApiKey(const QString& apiKey);
    // The instance, or none before the first createInstanceWithApiKey.
    static TallyFileCache* instance();

    explicit TallyFileCache(QString apiKey) : _apiKey(std::move(apiKey)) {}

    // The cache folder, made when missing.
    QString createDirectoryPath() const;
    QString createFilePath(const QString& prefix) const;
    // The path written, or none when the object could not be saved.
    std::optional<QString> save(const QCborValue& object, const QString& prefix) const;
    // The object saved under the prefix, or none when there is none or it cannot be read.
    std::optional<QCborValue> get(const QString& prefix) const;
    bool remove(const QString& prefix) const;
    bool removeCache() const;

    const QString& apiKey() const { return _apiKey; }

private:
    QString _apiKey;
};

} // namespace grinsley
