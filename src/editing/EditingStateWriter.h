#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include <QPointF>
#include <QSizeF>
#include <QString>

#include "platform/Image.h"

namespace grinsley {

// What a restart needs of the editor: the photo, the piece and where the piece sits.
struct EditingSnapshot {
    platform::Image photo; // null: no photo
    platform::Image piece; // null: no piece
    float rotationAngle = 0;
    QPointF center;
    QSizeF size;
    std::optional<QPointF> photoCenter; // the piece's centre in photo pixels
};

// Keeps the saved editing state on disk. A burst of edits costs one write: while a write runs only the newest
// waiting snapshot is kept. The PNGs are encoded and written on a worker; each write puts its files under new
// names and then names them in the user defaults in one step, so the state on disk is always one whole edit,
// never the photo of one and the piece of another. A photo or piece unchanged since the last write is not
// written again.
class EditingStateWriter {
public:
    static EditingStateWriter& shared();

    // Returns at once.
    void saveLater(EditingSnapshot snapshot);
    // Writes on the calling thread once any write in progress has ended; false when a file could not be
    // written, the last saved state then standing.
    bool saveNow(const EditingSnapshot& snapshot);
    void waitUntilIdle();

    // The editing state's own folder, in the program's data (not the cache a cleaner may empty).
    static QString folder();
    // A path a previous version stored (in the cache folder, or under the doubled folder name): the file
    // moved into folder(), or the path as it is when it needs no move. Empty when no such file is left.
    static QString adopt(const QString& storedPath);

    static constexpr const char* photoKey = "currentImage";
    static constexpr const char* pieceKey = "imageSelection";
    // Where the piece sits: in canvas points, and its centre in photo pixels.
    static inline const QString rotationAngleKey = QStringLiteral("rotationAngle");
    static inline const QString centerXKey = QStringLiteral("selectionViewCenterX");
    static inline const QString centerYKey = QStringLiteral("selectionViewCenterY");
    static inline const QString widthKey = QStringLiteral("selectionViewWidth");
    static inline const QString heightKey = QStringLiteral("selectionViewHeight");
    static inline const QString photoCenterXKey = QStringLiteral("selectionPhotoCenterX");
    static inline const QString photoCenterYKey = QStringLiteral("selectionPhotoCenterY");

private:
    EditingStateWriter() = default;
    void drain();
    bool write(const EditingSnapshot& snapshot);
    QString writeImage(const QString& home, const platform::Image& image, const char* stem, qint64& writtenKey,
                       QString& writtenPath);

    std::mutex _mutex;
    std::condition_variable _idle;
    std::optional<EditingSnapshot> _pending;
    bool _working = false;
    std::mutex _writeMutex; // one write at a time, worker or caller
    quint64 _generation = 0;
    qint64 _photoCacheKey = 0;
    QString _photoPath;
    qint64 _pieceCacheKey = 0;
    QString _piecePath;
};

} // namespace grinsley
