#include "TallyAdImageCache.h"

#include <QCborArray>
#include <QCborMap>

namespace grinsley {

void TallyAdImageCache::store(const TallyAdImage& image, qint64 now) {
    _images.insert(image.imageId, image);
    _updated = now;
}

QCborValue TallyAdImageCache::archive() const {
    QCborArray images;
    for (const TallyAdImage& image : _images)
        images.append(QCborMap{{QStringLiteral("id"), image.imageId},
                               {QStringLiteral("width"), image.width},
                               {QStringLiteral("height"), image.height},
                               {QStringLiteral("mime"), image.mimeFormat},
                               {QStringLiteral("data"), image.data}});
    return QCborMap{{QStringLiteral("updated"), _updated}, {QStringLiteral("images"), images}};
}

TallyAdImageCache TallyAdImageCache::fromArchive(const QCborValue& archive) {
    TallyAdImageCache cache;
    const QCborMap map = archive.toMap();
    cache._updated = map.value(QStringLiteral("updated")).toInteger();
    for (const QCborValue& entry : map.value(QStringLiteral("images")).toArray()) {
        const QCborMap fields = entry.toMap();
        TallyAdImage image;
        image.imageId = fields.value(QStringLiteral("id")).toInteger();
        image.width = qint32(fields.value(QStringLiteral("width")).toInteger());
        image.height = qint32(fields.value(QStringLiteral("height")).toInteger());
        image.mimeFormat = fields.value(QStringLiteral("mime")).toString();
        image.data = fields.value(QStringLiteral("data")).toByteArray();
        if (image.imageId >= 0)
            cache._images.insert(image.imageId, image);
    }
    return cache;
}

} // namespace grinsley
