#pragma once

#include <QCborValue>
#include <QMap>

#include "TallyAdModel.h"

namespace grinsley {

// The ad images received so far, kept in the file cache under "imageCache" between runs.
class TallyAdImageCache {
public:
    void store(const TallyAdImage& image, qint64 now);
    const QMap<qint64, TallyAdImage>& images() const { return _images; }
    // When an image last arrived; 0 while the cache holds nothing.
    qint64 updateTimestamp() const { return _images.isEmpty() ? 0 : _updated; }

    QCborValue archive() const;
    static TallyAdImageCache fromArchive(const QCborValue& archive);

private:
    QMap<qint64, TallyAdImage> _images;
    qint64 _updated = 0;
};

} // namespace grinsley
