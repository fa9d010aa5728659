#include "FaceCommands.h"

#include <algorithm>

#include <QPointer>
#include <QTransform>
#include <QWidget>

#include "analytics/TallyAPI.h"
#include "editing/DrawView.h"
#include "editing/SelectionView.h"
#include "faces/FaceFitting.h"
#include "platform/Notice.h"
#include "platform/UserDefaults.h"

namespace grinsley {

namespace {
pieces::PhotoRegion regionOf(const faces::Face& face) { return {face.centre, face.size, float(face.angle)}; }
} // namespace

FaceCommands::FaceCommands(Editor editor, QObject* parent) : QObject(parent), _editor(std::move(editor)) {
    // Blending moves no face: the faces found stay the blended photo's.
    connect(_editor.canvas, &DrawView::blendedPhotoReplaced, this, [this](qint64 plain, qint64 blended) {
        if (std::find(_facesPhotos.begin(), _facesPhotos.end(), plain) != _facesPhotos.end())
            _facesPhotos.push_back(blended);
    });
    connect(_editor.canvas, &DrawView::photoTapped, this, &FaceCommands::faceTapped);
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
        _partnerFor = -1;
        showMarkers();
        putSelectionOn((_faceIndex + 1) % int(_faces.size()));
    });
}

void FaceCommands::showMarkers() {
    std::vector<QPolygonF> outlines;
    for (const faces::Face& face : _faces) {
        QPolygonF outline = faces::faceOutline(face);
        if (outline.isEmpty()) // found without landmarks: its oval's box
            outline = QTransform().translate(face.centre.x(), face.centre.y()).rotateRadians(face.angle)
                          .map(QPolygonF(QRectF(QPointF(-face.size.width() / 2, -face.size.height() / 2), face.size)));
        outlines.push_back(std::move(outline));
    }
    _editor.canvas->setFaceMarkers(std::move(outlines));
}

void FaceCommands::putSelectionOn(int face) {
    _faceIndex = face;
    const faces::Face& f = _faces[std::size_t(face)];
    if (_editor.zoomToShow) {
        const QPointF centre = _editor.canvas->photoToCanvas(f.centre);
        const QSizeF size = f.size / qreal(_editor.canvas->scaleRatio());
        _editor.zoomToShow(QRectF(centre - QPointF(size.width(), size.height()) / 2, size), smallestFaceOnScreen);
    }
    _editor.canvas->placeSelection(regionOf(f));
}

int FaceCommands::faceUnderSelection() const {
    const std::optional<QPointF> centre = _editor.canvas->selectionCenterInPhoto();
    return centre ? faces::faceAt(_faces, *centre) : -1;
}

void FaceCommands::faceTapped(QPointF pixel) {
    if (!canUseFaces() || !facesKnown())
        return;
    const int face = faces::faceAt(_faces, pixel);
    const int partnerFor = std::exchange(_partnerFor, -1);
    if (face < 0)
        return; // a tap beside the faces chooses nothing
    if (partnerFor < 0 || face == partnerFor) {
        putSelectionOn(face);
        return;
    }
    if (faces::regionsOverlap(_faces[std::size_t(partnerFor)], _faces[std::size_t(face)])) {
        platform::Notice::show(_editor.view, tr("These two faces overlap; choose a face apart from this one."));
        return;
    }
    swap(std::size_t(partnerFor), std::size_t(face));
}

void FaceCommands::swapFaces() {
    if (!canUseFaces())
        return;
    withFaces([this] {
        const int current = faceUnderSelection();
        // More faces than a pair: the user says which goes with the one under the selection.
        if (_faces.size() > 2 && current >= 0) {
            _partnerFor = current;
            _faceIndex = current;
            showMarkers();
            platform::Notice::show(_editor.view, tr("Tap the face to swap with this one."));
            return;
        }
        const auto pair = faces::swapPair(_faces, current);
        if (!pair) {
            platform::Notice::show(_editor.view, _faces.empty()      ? tr("Swap Faces needs two faces; none was found in this photo.")
                                                 : _faces.size() < 2 ? tr("Swap Faces needs two faces; only one was found in this photo.")
                                                                     : tr("Swap Faces needs two faces apart; these overlap."));
            return;
        }
        swap(pair->first, pair->second);
    });
}

void FaceCommands::swap(std::size_t a, std::size_t b) {
    const faces::Face first = _faces[a], second = _faces[b];
    if (!first.hasLandmarks() || !second.hasLandmarks()) {
        // Found without landmarks: the turned, scaled exchange of their ovals.
        _editor.canvas->swapRegions(regionOf(first), regionOf(second));
        _editor.canvas->afterDrawing([self = QPointer<FaceCommands>(this)] {
            if (self)
                self->facesStillHold();
        });
        return;
    }
    warnIfPosesDiffer(first, second);
    fitOnWorker([first, second](const QImage& photo) { return faces::swapFaces(photo, first, second); });
}

void FaceCommands::warnIfPosesDiffer(const faces::Face& a, const faces::Face& b) const {
    if (faces::posesDiffer(a, b))
        platform::Notice::show(_editor.view, tr("These faces are turned differently; the result may look unnatural."));
}

void FaceCommands::setBusy(bool busy) {
    busy ? _editor.busyBegan() : _editor.busyEnded();
    _editor.availabilityChanged();
}

void FaceCommands::fitOnWorker(std::function<QImage(const QImage&)> work) {
    _editor.canvas->finishDrawing();
    const QImage photo = _editor.canvas->currentImage().bitmap();
    // Where the fit changed the photo is found on the worker too: the canvas keeps only that for Undo.
    _fit.start([photo, work = std::move(work)] {
                   QImage fitted = work(photo);
                   const QRect changed = changedRegion(photo, fitted, photo.rect());
                   return std::pair(std::move(fitted), changed);
               },
               [this, from = photo.cacheKey()](const std::pair<QImage, QRect>& fit) {
                   setBusy(false);
                   // A photo changed meanwhile (another photo, an Undo) is never overwritten.
                   if (!_editor.canvas->applyEditedPhoto(fit.first, from, fit.second))
                       return;
                   // The faces are where they were: only their contents changed.
                   facesStillHold();
               });
    setBusy(true);
}

void FaceCommands::pieceCopied() {
    _copied.reset();
    const QImage photo = _editor.canvas->currentImage().bitmap();
    const int face = facesKnown() ? faceUnderSelection() : -1;
    if (face < 0 || !_faces[std::size_t(face)].hasLandmarks() || !_editor.canvas->hasSelectedImage())
        return;
    // The face with room around it for the warp; only that part of the photo is kept.
    CopiedFace copied{_faces[std::size_t(face)], {}, _editor.canvas->selectionView()->imageSelection().bitmap().cacheKey()};
    const QRectF outline = faces::faceOutline(copied.face).boundingRect();
    const QRect area = outline.adjusted(-outline.width() / 2, -outline.height() / 2, outline.width() / 2, outline.height() / 2)
                           .toAlignedRect() & photo.rect();
    copied.around = photo.copy(area);
    for (QPointF& p : copied.face.landmarks)
        p -= area.topLeft();
    _copied = std::move(copied);
}

void FaceCommands::paste(std::function<void()> plainPaste) {
    _editor.canvas->finishDrawing(); // a Copy still being cut decides which paste this is
    const bool samePiece = _copied && _editor.canvas->hasSelectedImage() &&
                           _editor.canvas->selectionView()->imageSelection().bitmap().cacheKey() == _copied->piece;
    if (!samePiece || !canUseFaces()) {
        plainPaste();
        return;
    }
    withFaces([this, plainPaste = std::move(plainPaste)] {
        const int target = faceUnderSelection();
        if (target < 0 || !_faces[std::size_t(target)].hasLandmarks() || !_copied) {
            plainPaste();
            return;
        }
        const faces::Face face = _faces[std::size_t(target)];
        warnIfPosesDiffer(face, _copied->face);
        fitOnWorker([face, copied = *_copied](const QImage& photo) { return faces::fitFace(photo, face, copied.around, copied.face); });
    });
}

bool FaceCommands::facesKnown() const {
    return std::find(_facesPhotos.begin(), _facesPhotos.end(), _editor.canvas->photoVersion()) != _facesPhotos.end();
}

void FaceCommands::facesStillHold() {
    // As many photos as the history can go back to, the one searched first among them.
    if (_facesPhotos.size() > std::size_t(EditHistory::defaultMaxSteps))
        _facesPhotos.erase(_facesPhotos.begin() + 1);
    _facesPhotos.push_back(_editor.canvas->photoVersion());
}

void FaceCommands::withFaces(std::function<void()> then) {
    _editor.canvas->finishDrawing();
    const QImage photo = _editor.canvas->currentImage().bitmap();
    if (facesKnown()) {
        then();
        return;
    }
    _search.start([photo] { return faces::findFaces(photo); },
                  [this, version = _editor.canvas->photoVersion(), then = std::move(then)](const faces::FaceSearch& found) {
                      setBusy(false);
                      // The photo changed while its faces were sought: the answer is for another photo.
                      if (_editor.canvas->photoVersion() != version)
                          return;
                      if (!found.error.isEmpty()) {
                          platform::Notice::show(_editor.view, found.error);
                          return;
                      }
                      if (!found.notice.isEmpty() && !std::exchange(_noticeShown, true))
                          platform::Notice::show(_editor.view, found.notice);
                      _faces = found.faces;
                      _facesPhotos = {version};
                      _faceIndex = -1;
                      then();
                  });
    setBusy(true);
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
