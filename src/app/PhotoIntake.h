#pragma once

#include <functional>

#include <QObject>
#include <QSizeF>

#include "platform/BackgroundJob.h"
#include "platform/PhotoFile.h"

namespace grinsley {

namespace platform {
class Image;
}

// Photo intake: one photo at a time is read from its file (or a picked photo taken), turned upright and shrunk
// under the device's area limit, all on a worker. The editor is told when it begins and then either gets the
// photo or hears that nothing changed, after an alert that names the file and says why. A read that never
// returns is given up after a while, so that Open works again; its late answer is dropped.
class PhotoIntake : public QObject {
    Q_OBJECT
public:
    // What intake needs of the editor.
    struct Editor {
        std::function<void()> began;                            // items off, spinner on
        std::function<void(const platform::Image&)> loaded;    // the photo to show
        std::function<void()> failed;                           // nothing of the user's changed
    };

    PhotoIntake(QObject* editor, Editor hooks);

    // The area (width times height) a photo must stay under. Reduced to phone size: 2,000,000 on a tablet,
    // 1,000,000 on a phone. Otherwise fullSizeLimit().
    static int maxImageSize();
    // Photos keep their own size up to 64 megapixels or a quarter of the machine's memory at 4 bytes a pixel,
    // whichever is less.
    static int fullSizeLimit();
    static inline qint64 fullSizeCeiling = 64'000'000;
    // Halves both sides until the area is under the limit (the limit itself is not allowed).
    static QSizeF validSize(QSizeF size, int limit);
    // The valid size in whole pixels: rounded up, unless that would reach the limit again (a 2001 x 1999 photo
    // on the phone halves to 1000.5 x 999.5, which rounded up is over a million pixels).
    static QSize pixelSize(QSizeF size, int limit);
    // How long a read may take before it is given up.
    static inline int timeoutMs = 30000;

    // Each false when another photo is still loading.
    bool takePickedPhoto(const platform::Image& photo);
    bool openFile(const QString& path);
    bool isLoading() const { return _job.isRunning(); }
    // What saved and shared copies keep of the file the shown photo came from (nothing for a picked image).
    const platform::PhotoMetadata& metadata() const { return _metadata; }

private:
    bool load(const QString& path, std::function<platform::PhotoFile::Result(int limit)> work);
    void finish(const QString& path, const platform::PhotoFile::Result& result);

    Editor _hooks;
    platform::PhotoMetadata _metadata;
    platform::BackgroundJob<platform::PhotoFile::Result> _job{this};
};

} // namespace grinsley
