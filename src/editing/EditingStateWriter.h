#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <QImage>
#include <QPoint>

#include <QPointF>
#include <QSizeF>
#include <QString>

#include "platform/Image.h"
#include "platform/PhotoMetadata.h"

namespace grinsley {

// The pixels of a rectangle of the photo after an edit.
struct PhotoPatch {
    QPoint at;
    QImage pixels;
};

// What a restart needs of the editor: the photo, the piece and where the piece sits. The photo is a base and the
// patches laid over it in order since; the base's pixels come only when it has not been handed over before.
struct EditingSnapshot {
    platform::Image photo; // the base's pixels when they must be written; null otherwise
    platform::PhotoMetadata metadata; // written into the base's file with it
    qint64 base = 0;       // which base the patches go over; 0: no photo
    std::vector<PhotoPatch> patches;
    platform::Image piece; // null: no piece
    float rotationAngle = 0;
    QPointF center;
    QSizeF size;
    std::optional<QPointF> photoCenter; // the piece's centre in photo pixels
};

// Keeps the saved editing state on disk. A burst of edits costs one write: while a write runs only the newest
// waiting snapshot is kept (with the base of an older one it replaces, if it brings none). The PNGs are encoded
// and written on a worker; each write puts its files under new names and then names them in the user defaults in
// one step, so the state on disk is always one whole edit, never the photo of one and the piece of another. A
// base, patch or piece written before is not written again: a save after a small paste writes that paste's
// rectangle.
class EditingStateWriter {
public:
    static EditingStateWriter& shared();

    // Returns at once.
    void saveLater(EditingSnapshot snapshot);
    // Writes on the calling thread once any write in progress has ended; false when a file could not be
    // written, the last saved state then standing.
    bool saveNow(const EditingSnapshot& snapshot);
    void waitUntilIdle();
    // Whether the base's pixels were written, or are on their way (a snapshot without them will do).
    bool holdsBase(qint64 base);
    // A base and patches read back at a start, as if this run had written them.
    void adoptBase(qint64 base, const QString& path, const std::vector<std::pair<qint64, QString>>& patches);

    // The editing state's own folder, in the program's data (not the cache a cleaner may empty).
    static QString folder();
    // A path a previous version stored (in the cache folder, or under the doubled folder name): the file
    // moved into folder(), or the path as it is when it needs no move. Empty when no such file is left.
    static QString adopt(const QString& storedPath);

    static constexpr const char* photoKey = "currentImage";
    static constexpr const char* pieceKey = "imageSelection";
    // "x,y,path" of each patch over the photo, in order.
    static inline const QString patchesKey = QStringLiteral("currentImagePatches");
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
    // A snapshot that brings no base takes that of the one it replaces, when it is the same base.
    static void keepBase(EditingSnapshot& newer, const std::optional<EditingSnapshot>& older);
    QString writeFile(const QString& home, const platform::Image& image, const char* stem,
                      const platform::PhotoMetadata& metadata = {});
    QString writeImage(const QString& home, const platform::Image& image, const char* stem, qint64& writtenKey,
                       QString& writtenPath);

    std::mutex _mutex;
    std::condition_variable _idle;
    std::optional<EditingSnapshot> _pending;
    std::vector<EditingSnapshot> _replaced; // let go of on the writer's thread
    bool _working = false;
    std::mutex _writeMutex; // one write at a time, worker or caller
    quint64 _generation = 0;
    qint64 _base = 0;        // the base written, and its file
    QString _photoPath;
    qint64 _writingBase = 0; // the base a write in progress brings
    std::vector<std::pair<qint64, QString>> _patches; // written: each patch's pixels (by cache key) and file
    qint64 _pieceCacheKey = 0;
    QString _piecePath;
};

} // namespace grinsley
