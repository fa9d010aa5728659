#include "FaceCommands.h"

#include <QWidget>

#include "analytics/TallyAPI.h"
#include "editing/DrawView.h"
#include "platform/Notice.h"
#include "platform/UserDefaults.h"

namespace grinsley {

namespace {
pieces::PhotoRegion regionOf(const faces::Face& face) { return {face.centre, face.size, float(face.angle)}; }
} // namespace

FaceCommands::FaceCommands(Editor editor, QObject* parent) : QObject(parent), _editor(std::move(editor)) {
    // Blending moves no face: the faces found stay the blended photo's.
    connect(_editor.canvas, &DrawView::blendedPhotoReplaced, this, [this](qint64 plain, qint64 blended) {
        if (_facesPhoto == plain)
            _facesPhoto = blended;
    });
}

void FaceCommands::restoreOptions() {
    const platform::UserDefaults& defaults = platform::UserDefaults::standard();
    _editor.canvas->setBlendsIn(defaults.boolForKey(blendInKey));
    if (defaults.hasKey(edgeSoftnessKey))
        _editor.canvas->setEdgeSoftness(defaults.objectForKey(edgeSoftnessKey).toDouble());
}

bool FaceCommands::canUseFaces() const {
    return !_editor.canvas->currentImage().isNull() && !_editor.isLoadingPhoto() && !isFindingFaces();
}

void FaceCommands::findFaces() {
    if (!canUseFaces())
        return;
    withFaces([this] {
        if (_faces.empty()) {
            platform::Notice::show(_editor.view, tr("No face found in this photo."));
            return;
        }
        _faceIndex = (_faceIndex + 1) % int(_faces.size());
        _editor.canvas->placeSelection(regionOf(_faces[std::size_t(_faceIndex)]));
    });
}

void FaceCommands::swapFaces() {
    if (!canUseFaces())
        return;
    withFaces([this] {
        const auto pair = faces::swapPair(_faces, _faceIndex);
        if (!pair) {
            platform::Notice::show(_editor.view, _faces.empty()      ? tr("Swap Faces needs two faces; none was found in this photo.")
                                                 : _faces.size() < 2 ? tr("Swap Faces needs two faces; only one was found in this photo.")
                                                                     : tr("Swap Faces needs two faces apart; these overlap."));
            return;
        }
        _editor.canvas->swapRegions(regionOf(_faces[pair->first]), regionOf(_faces[pair->second]));
        // The faces are where they were: only their contents changed places.
        _facesPhoto = _editor.canvas->currentImage().bitmap().cacheKey();
        _editor.edited();
    });
}

void FaceCommands::withFaces(std::function<void()> then) {
    const QImage photo = _editor.canvas->currentImage().bitmap();
    if (_facesPhoto == photo.cacheKey()) {
        then();
        return;
    }
    _search.start([photo] { return faces::findFaces(photo); },
                  [this, photo, then = std::move(then)](const faces::FaceSearch& found) {
                      _editor.busyEnded();
                      _editor.availabilityChanged();
                      // The photo changed while its faces were sought: the answer is for another photo.
                      if (_editor.canvas->currentImage().bitmap().cacheKey() != photo.cacheKey())
                          return;
                      if (!found.error.isEmpty()) {
                          platform::Notice::show(_editor.view, found.error);
                          return;
                      }
                      _faces = found.faces;
                      _facesPhoto = photo.cacheKey();
                      _faceIndex = -1;
                      then();
                  });
    _editor.busyBegan();
    _editor.availabilityChanged();
}

void FaceCommands::setBlendsIn(bool blends) {
    if (blends == _editor.canvas->blendsIn())
        return;
    TallyAPI::logEvent(QStringLiteral("Blend In"));
    _editor.canvas->setBlendsIn(blends);
    platform::UserDefaults::standard().setObject(blends, blendInKey);
}

void FaceCommands::setEdgeSoftness(double softness, bool finished) {
    _editor.canvas->setEdgeSoftness(softness);
    if (!finished)
        return;
    TallyAPI::logEvent(QStringLiteral("Edge Softness"));
    platform::UserDefaults::standard().setObject(_editor.canvas->edgeSoftness(), edgeSoftnessKey);
}

} // namespace grinsley
