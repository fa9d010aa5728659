#include "PhotoIntake.h"

#include <cmath>

#include <QFileInfo>

#include <unistd.h>

#include <QWidget>

#include "analytics/TallyAPI.h"
#include "app/PhotoSettings.h"
#include "platform/Notice.h"
#include "editing/ImageResize.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/Image.h"

namespace grinsley {

PhotoIntake::PhotoIntake(QObject* editor, Editor hooks) : QObject(editor), _hooks(std::move(hooks)) {}

int PhotoIntake::maxImageSize() {
    if (photosettings::reducesToPhoneSize())
        return platform::Device::isTablet() ? 2000000 : 1000000;
    return fullSizeLimit();
}

int PhotoIntake::fullSizeLimit() {
    const qint64 memory = qint64(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    return int(memory > 0 ? std::min(fullSizeCeiling, memory / 4 / 4) : fullSizeCeiling);
}

QSizeF PhotoIntake::validSize(QSizeF size, int limit) {
    float w = float(size.width());
    float h = float(size.height());
    while (w * h >= float(limit) && w * h > 0) {
        w *= 0.5f;
        h *= 0.5f;
    }
    return {w, h};
}

QSize PhotoIntake::pixelSize(QSizeF size, int limit) {
    const QSizeF valid = validSize(size, limit);
    const QSize up(int(std::ceil(valid.width())), int(std::ceil(valid.height())));
    if (qint64(up.width()) * up.height() < limit)
        return up;
    return {std::max(1, int(std::floor(valid.width()))), std::max(1, int(std::floor(valid.height())))};
}

// Every photo goes through the resize, which also turns it upright.
bool PhotoIntake::takePickedPhoto(const platform::Image& photo) {
    return load({}, [photo](int limit) {
        platform::PhotoFile::Result result;
        result.photo = imageresize::resizedImage(photo, QSizeF(pixelSize(photo.size(), limit)), imageresize::High);
        result.original = photo.size().toSize();
        return result;
    });
}

bool PhotoIntake::openFile(const QString& path) {
    return load(path, [path](int limit) {
        return platform::PhotoFile::readUpright(path, [limit](QSizeF upright) { return pixelSize(upright, limit); });
    });
}

bool PhotoIntake::load(const QString& path, std::function<platform::PhotoFile::Result(int limit)> work) {
    if (isLoading())
        return false;
    TallyAPI::logEvent(QStringLiteral("Picked image"));
    // The limit is read here: the device kind comes from the screen, which only the main thread may ask.
    const int limit = maxImageSize();
    _job.start([work = std::move(work), limit] { return work(limit); },
               [this, path](const platform::PhotoFile::Result& result) { finish(path, result); },
               std::chrono::milliseconds(timeoutMs), [this, path] {
                   platform::PhotoFile::Result late;
                   late.failure = platform::PhotoFile::Failure::Unreadable;
                   late.detail = tr("it took too long");
                   finish(path, late);
               });
    _hooks.began();
    return true;
}

void PhotoIntake::finish(const QString& path, const platform::PhotoFile::Result& result) {
    if (result.ok() && !result.photo.isNull()) {
        _metadata = result.metadata;
        _hooks.loaded(result.photo);
        // Reduced although full size was asked for: said once, for this photo.
        const QSize opened = result.photo.pixelSize();
        if (!photosettings::reducesToPhoneSize() && result.original.isValid() && result.original != opened)
            platform::Notice::show(qobject_cast<QWidget*>(parent()),
                                   tr("This photo is too large to edit whole (%1 × %2); it opened at %3 × %4.")
                                       .arg(result.original.width()).arg(result.original.height())
                                       .arg(opened.width()).arg(opened.height()),
                                   5000);
        return;
    }
    _hooks.failed();
    const QString name = path.isEmpty() ? tr("The photo") : QStringLiteral("\u201C%1\u201D").arg(QFileInfo(path).fileName());
    platform::PhotoFile::Result failure = result;
    if (failure.ok()) // a photo that came out empty
        failure.failure = platform::PhotoFile::Failure::Damaged;
    platform::AlertView(tr("Cannot Open Photo"), tr("%1 %2.").arg(name, platform::PhotoFile::describe(failure)), tr("OK")).show();
}

} // namespace grinsley
