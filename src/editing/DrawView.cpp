#include "DrawView.h"

#include <cmath>
#include <thread>

#include <QColorSpace>
#include <QLoggingCategory>
#include <QPointer>
#include <QGraphicsSceneMouseEvent>
#include <QLineF>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTransform>

#include "editing/EditingStateWriter.h"
#include "editing/PieceOperations.h"
#include "faces/Blending.h"
#include "editing/SelectionView.h"
#include "platform/Device.h"
#include "platform/Directories.h"
#include "platform/ImageCodec.h"
#include "platform/MainThread.h"
#include "platform/UserDefaults.h"

Q_LOGGING_CATEGORY(lcEditing, "grinsley.editing")

namespace grinsley {

using platform::Image;

namespace {

// A stored number, or 0 when it is missing, not a number or not finite: such values count as absent.
double storedNumber(const platform::UserDefaults& defaults, const QString& key) {
    bool ok = false;
    const double value = defaults.objectForKey(key).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}
float storedFloat(const platform::UserDefaults& defaults, const QString& key) {
    const double value = storedNumber(defaults, key);
    return std::isfinite(float(value)) ? float(value) : 0.0f;
}
// The stored file, brought into the editing folder if an earlier version kept it elsewhere.
QString adoptedPath(platform::UserDefaults& defaults, const char* key) {
    const QString stored = defaults.stringForKey(QLatin1String(key));
    const QString path = EditingStateWriter::adopt(stored);
    if (!path.isEmpty() && path != stored)
        defaults.setObject(path, QLatin1String(key));
    return path;
}
} // namespace

namespace {
qint64 newPhotoVersion() {
    static qint64 last = 0;
    return ++last;
}
} // namespace

class DrawView::StepScope {
public:
    explicit StepScope(DrawView* canvas) : _canvas(canvas) { _canvas->beginStep(); }
    ~StepScope() { _canvas->endStep(); }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

private:
    DrawView* _canvas;
};

DrawView::DrawView(QSizeF size, QGraphicsItem* parent) : QGraphicsObject(parent), _size(size) {
    setFlag(ItemClipsChildrenToShape, false);
}

DrawView::~DrawView() = default;

// The photo is fitted to the canvas again; the selection stays over the same part of the photo (its size in
// points stays as it is).
void DrawView::setSize(QSizeF size) {
    if (size == _size)
        return;
    const std::optional<QPointF> pixel = selectionCenterInPhoto();
    prepareGeometryChange();
    _size = size;
    computeScaleRatio();
    if (pixel)
        _selectionView->setCenter(photoToCanvas(*pixel));
    checkSelectionBounds();
    update();
}

std::optional<QPointF> DrawView::selectionCenterInPhoto() const {
    if (!_selectionView || _image.isNull() || !(_scaleRatio > 0))
        return std::nullopt;
    return canvasToPhoto(QRectF(_selectionView->center(), QSizeF())).topLeft();
}

QPointF DrawView::photoToCanvas(QPointF pixel) const { return pixel / qreal(_scaleRatio) + imageOffset(); }

// ---------------------------------------------------------------------------------------------------------
// Set-up and layout

void DrawView::initialize(float top, float bottom, PopupMenuSupport* support) {
    if (_selectionView)
        return;
    const QRectF frame = platform::Device::isTablet() ? QRectF(0, 0, 264, 422.4) : QRectF(0, 0, 132, 264);
    _selectionView = new SelectionView(frame, this);
    _selectionView->setPopupMenuSupport(support);
    _selectionView->setCenter(QPointF(_size.width() / 2, _size.height() / 2));
    connect(_selectionView, &SelectionView::centerWithBoundsCheckChanged, this, &DrawView::checkSelectionBounds);
    connect(_selectionView, &SelectionView::changed, this, &DrawView::editCompleted);
    updateView(top, bottom);
}

void DrawView::updateView(float top, float bottom) {
    _topToolbarHeight = top;
    _bottomToolbarHeight = bottom;
    checkSelectionBounds();
    computeScaleRatio();
    update();
}

void DrawView::computeScaleRatio() {
    if (_image.isNull() || _size.isEmpty())
        return;
    const QSizeF photo = _image.size();
    _scaleRatio = float(std::max(photo.width() / _size.width(), photo.height() / _size.height()));
}

void DrawView::checkSelectionBounds() {
    if (!_selectionView)
        return;
    const QPointF c = _selectionView->center();
    const QPointF clamped(std::clamp(c.x(), 0.0, _size.width()), std::clamp(c.y(), 0.0, _size.height()));
    if (clamped != c)
        _selectionView->setCenter(clamped);
}

// ---------------------------------------------------------------------------------------------------------
// Photo and piece

void DrawView::setCurrentImage(Image image) {
    finishDrawing();
    replacePhoto(std::move(image));
    rebaseState();
}

void DrawView::replacePhoto(Image image) {
    _image = std::move(image);
    _photoVersion = newPhotoVersion();
    _faceMarkers.clear();
    computeScaleRatio();
    update();
    editCompleted();
}

bool DrawView::hasSelectedImage() const { return _selectionView && !_selectionView->imageSelection().isNull(); }

QPointF DrawView::imageOffset() const {
    if (_image.isNull() || !(_scaleRatio > 0))
        return {};
    const QSizeF shown = _image.size() / qreal(_scaleRatio);
    return {(_size.width() - shown.width()) * 0.5, (_size.height() - shown.height()) * 0.5};
}

// Canvas points to photo pixels: the one conversion between the two spaces.
QRectF DrawView::canvasToPhoto(const QRectF& canvas) const {
    const QPointF o = imageOffset();
    const qreal s = _scaleRatio;
    return {(canvas.x() - o.x()) * s, (canvas.y() - o.y()) * s, canvas.width() * s, canvas.height() * s};
}

QRectF DrawView::scaleSelectionFrame() const { return canvasToPhoto(_selectionView->frame()); }

// The region sits at its overlay offset from the frame's corner; only its size is used.
QRectF DrawView::scaleSelectedRegion() const {
    const qreal zoom = _selectionView->zoom();
    const QRectF region = _selectionView->selectionRegionRect();
    return canvasToPhoto(QRectF(_selectionView->frame().topLeft() + region.topLeft() / zoom, region.size() / zoom));
}

// ---------------------------------------------------------------------------------------------------------
// Edits

pieces::Cut DrawView::cutOf(const pieces::PhotoRegion& region) const {
    QPainterPath outline;
    _selectionView->addShapeToContext(outline, QRectF(QPointF(0, 0), pieces::pieceSizeFor(region.size)));
    return {region, outline};
}

pieces::PhotoRegion DrawView::selectedRegion() const {
    return {scaleSelectionFrame().center(), scaleSelectedRegion().size(), _selectionView->rotationAngle()};
}

pieces::PhotoRegion DrawView::pasteRegion() const {
    const QRectF f = scaleSelectionFrame();
    // Summed in double precision, kept as float.
    const QPointF centre(float(double(f.x()) + double(f.width()) * 0.5), float(double(f.y()) + double(f.height()) * 0.5));
    return {centre, scaleSelectedRegion().size(), _selectionView->rotationAngle()};
}

void DrawView::doCopy() {
    finishDrawing();
    if (!_selectionView || _image.isNull())
        return;
    _selectionView->runAnimation();
    startDrawing({{cutOf(selectedRegion())}, pieceMask(), {}}, true);
}

QImage DrawView::pieceMask() const {
    if (_edgeSoftness <= 0)
        return {};
    if (_edgeSoftness != defaultEdgeSoftness)
        return _selectionView->selectionShape()->softEdgeMask(256, _edgeSoftness);
    // Without a readable mask the piece keeps its clipped, unsoftened edge rather than coming out empty.
    // The shape's mask file is read once, not at every Copy.
    const QString maskPath = _selectionView->getPathForMaskFile();
    if (maskPath != _maskFile.first)
        _maskFile = {maskPath, maskPath.isEmpty() ? QImage() : QImage(maskPath)};
    if (_maskFile.second.isNull())
        qCWarning(lcEditing) << "selection mask missing or unreadable:" << maskPath;
    return _maskFile.second;
}

void DrawView::setEdgeSoftness(double softness) {
    _edgeSoftness = std::isfinite(softness) ? std::clamp(softness, 0.0, maxEdgeSoftness) : defaultEdgeSoftness;
}

// The worker reads the photo while the interface thread shows it; nothing writes into it until the drawing
// lands, since every edit waits for that first. The worker lets go of the photo before it answers, so that the
// landing writes into it in place.
void DrawView::startDrawing(pieces::Drawing drawing, bool takesPiece) {
    if (!drawing.pastes.empty())
        _blend.cancel(); // this edit changes the photo the blend was for
    Landing landing{std::move(drawing), takesPiece, selectionPlace()};
    if (landing.drawing.pixels() < _drawingOnWorkerFrom) {
        land(landing, pieces::draw(_image.bitmap(), landing.drawing));
        return;
    }
    std::promise<pieces::Drawn> promise;
    const quint64 id = ++_drawings;
    _drawing = DrawingUnderWay{id, landing, promise.get_future(), {}};
    std::thread([promise = std::move(promise), photo = _image.bitmap(), drawing = landing.drawing, canvas = QPointer<DrawView>(this),
                 id]() mutable {
        platform::yieldToTheInterface();
        pieces::Drawn drawn = pieces::draw(photo, drawing);
        photo = QImage();
        drawing = {};
        promise.set_value(std::move(drawn));
        platform::MainThread::post([canvas, id] {
            if (canvas && canvas->_drawing && canvas->_drawing->id == id)
                canvas->finishDrawing();
        });
    }).detach();
}

void DrawView::finishDrawing() {
    if (!_drawing)
        return;
    DrawingUnderWay drawing = std::move(*_drawing);
    _drawing.reset();
    land(drawing.landing, drawing.result.get());
    for (const auto& then : drawing.then)
        then();
}

void DrawView::afterDrawing(std::function<void()> then) {
    if (_drawing)
        _drawing->then.push_back(std::move(then));
    else
        then();
}

// The pastes' changed rectangle is written into the photo in place: at full size nothing here passes over the
// whole photo, or even over the box the pastes reach.
void DrawView::land(const Landing& landing, pieces::Drawn drawn) {
    {
        const StepScope step(this);
        _pending.place = landing.place;
        if (!landing.drawing.pastes.empty()) {
            _pending.photo = QImage(); // the step is the drawing's rectangle; the photo's only holder writes in place
            QImage photo = _image.bitmap();
            _image = Image();
            photo = withPixels(std::move(photo), drawn.after, drawn.changed.topLeft());
            _pending.drawn = true;
            _pending.changed = drawn.changed;
            _pending.before = drawn.before;
            _pending.after = drawn.after;
            _pending.compares = true;
            replacePhoto(Image(std::move(photo)));
        }
        if (landing.takesPiece && !drawn.pieces.empty())
            _selectionView->setImageSelection(Image(drawn.pieces.front()));
    }
    if (_blendsIn && !landing.drawing.pastes.empty())
        blendIn(landing.drawing, drawn);
}

// Blending takes longer than a frame: the plain result shows meanwhile, and the blended one replaces it only if
// nothing else changed the photo in between. The worker blends into the box as it was.
void DrawView::blendIn(const pieces::Drawing& drawing, const pieces::Drawn& drawn) {
    std::vector<std::pair<QImage, pieces::PhotoRegion>> pastes;
    for (const pieces::Paste& paste : drawing.pastes)
        pastes.emplace_back(paste.piece.isNull() ? drawn.pieces.at(std::size_t(paste.cut)) : paste.piece, paste.region);
    const qint64 shown = _image.bitmap().cacheKey();
    const QRect box = drawn.box;
    const QImage beforeBox = drawn.beforeBox;
    _blend.start(
        [beforeBox, box, pastes = std::move(pastes)] {
            QImage blended = beforeBox;
            for (const auto& [piece, region] : pastes)
                blended = faces::blendIn(blended, pieces::pieceLayer(blended.size(), piece, region.centre - box.topLeft(),
                                                                     region.angle, region.size));
            return blended;
        },
        [this, shown, box, beforeBox](const QImage& blended) {
            // Written in once an edit being worked out has landed: until then a worker reads the photo.
            afterDrawing([this, shown, box, beforeBox, blended] {
                if (_image.bitmap().cacheKey() != shown)
                    return;
                const qint64 plainVersion = _photoVersion;
                QImage photo = _image.bitmap();
                _image = Image();
                replacePhoto(Image(withPixels(std::move(photo), blended, box.topLeft())));
                notePatch(box, blended);
                if (const EditStep* latest = _history.undoable(); latest && latest->versionAfter == plainVersion) {
                    const QRect changed = changedRegion(beforeBox, blended, beforeBox.rect());
                    _history.amendLatest([&](EditStep& step) {
                        step.region = changed.translated(box.topLeft());
                        step.before = viewOf(beforeBox, changed);
                        step.after = viewOf(blended, changed);
                        step.versionAfter = _photoVersion;
                    });
                    if (hasComparison())
                        compareWithLatestStep();
                }
                emit blendedPhotoReplaced(plainVersion, _photoVersion);
            });
        });
}

void DrawView::doPaste() {
    finishDrawing();
    if (!_selectionView || _image.isNull() || !hasSelectedImage())
        return;
    _selectionView->runAnimation();
    startDrawing({{}, {}, {{_selectionView->imageSelection().bitmap(), -1, pasteRegion()}}}, false);
}

// Both pieces come from the photo as it was, so neither paste sees the other's result.
void DrawView::swapRegions(const pieces::PhotoRegion& a, const pieces::PhotoRegion& b) {
    finishDrawing();
    if (!_selectionView || _image.isNull())
        return;
    startDrawing({{cutOf(a), cutOf(b)}, pieceMask(), {{{}, 0, b}, {{}, 1, a}}}, false);
}

bool DrawView::applyEditedPhoto(const QImage& result, qint64 from, QRect changed) {
    finishDrawing();
    if (!_selectionView || _image.isNull() || result.isNull() || _image.bitmap().cacheKey() != from)
        return false;
    const StepScope step(this);
    _pending.changed = changed;
    _pending.compares = true;
    replacePhoto(Image(result));
    return true;
}

void DrawView::placeSelection(const pieces::PhotoRegion& region) {
    if (!_selectionView || _image.isNull() || !(_scaleRatio > 0))
        return;
    const QSizeF points = region.size / qreal(_scaleRatio);
    _selectionView->setCanvasRegionSizeIfValid(points);
    _selectionView->setRotationAngle(region.angle);
    _selectionView->setCenterWithBoundsCheck(photoToCanvas(region.centre));
    editCompleted();
}

// One step: Undo brings back the photo and the earlier piece together. The piece underneath is cut from the
// photo as it was, the earlier one pasted over it.
void DrawView::doSwap() {
    finishDrawing();
    if (!_selectionView || _image.isNull() || !hasSelectedImage())
        return;
    _selectionView->runAnimation();
    startDrawing({{cutOf(selectedRegion())}, pieceMask(), {{_selectionView->imageSelection().bitmap(), -1, pasteRegion()}}}, true);
}

// Two steps, the Copy and the blank photo, so that one Undo brings the photo back and keeps the cropped piece.
void DrawView::doCrop() {
    if (!_selectionView || _image.isNull())
        return;
    doCopy();
    const StepScope step(this); // after the Copy has landed
    _pending.whole = true; // every pixel changes: the step keeps both photos as they are, without a pass over them
    setCurrentImage(Image(pieces::blankPhoto(_image.pixelSize(), platform::Device::isTablet())));
}

void DrawView::doUndo() {
    finishDrawing();
    travel(_history.undo(), false);
}
void DrawView::doRedo() {
    finishDrawing();
    travel(_history.redo(), true);
}

void DrawView::travel(const EditStep* step, bool forward) {
    if (!step)
        return;
    forgetComparison();
    if (step->changesPhoto() || step->versionBefore != step->versionAfter) {
        QImage photo = _image.bitmap();
        _image = Image(); // the photo's only holder now, so that the step is written into it in place
        replacePhoto(Image(step->photoAt(std::move(photo), forward)));
        _photoVersion = forward ? step->versionAfter : step->versionBefore;
        if (step->whole)
            rebaseState();
        else
            notePatch(step->region, forward ? step->after : step->before);
    }
    if (step->changesPiece && _selectionView)
        _selectionView->setImageSelection(forward ? step->pieceAfter : step->pieceBefore);
    setSelectionPlace(step->place);
    emit historyChanged();
    editCompleted();
}

void DrawView::doClear() {
    if (!_selectionView)
        return;
    const StepScope step(this);
    _selectionView->runAnimation();
    _selectionView->setImageSelection(Image());
}

void DrawView::flipHorizontally() {
    const StepScope step(this);
    if (_selectionView)
        _selectionView->flipImage(false);
}

void DrawView::flipVertically() {
    const StepScope step(this);
    if (_selectionView)
        _selectionView->flipImage(true);
}

// ---------------------------------------------------------------------------------------------------------
// History

SelectionPlace DrawView::selectionPlace() const {
    if (!_selectionView)
        return {};
    return {selectionCenterInPhoto(), _selectionView->rotationAngle(), _selectionView->unzoomedBoundsSize()};
}

void DrawView::setSelectionPlace(const SelectionPlace& place) {
    if (!_selectionView)
        return;
    _selectionView->setRotationAngle(place.angle);
    if (!place.size.isEmpty())
        _selectionView->setUnzoomedBoundsIfValid(place.size);
    if (place.photoCenter && !_image.isNull())
        _selectionView->setCenterWithBoundsCheck(photoToCanvas(*place.photoCenter));
}

void DrawView::beginStep() {
    if (_stepDepth == 0)
        finishDrawing(); // edits land in order
    if (_stepDepth++ > 0)
        return;
    _pending = {};
    _pending.photo = _image.bitmap();
    _pending.piece = _selectionView ? _selectionView->imageSelection() : Image();
    _pending.place = selectionPlace();
    _pending.version = _photoVersion;
}

// A step is kept whenever the edit replaced the photo or the piece, even with the same pixels: the edit happened,
// and Undo is offered after it as after any other.
void DrawView::endStep() {
    if (--_stepDepth > 0)
        return;
    PendingStep pending = std::exchange(_pending, {});
    const Image piece = _selectionView ? _selectionView->imageSelection() : Image();
    const bool photoReplaced = _photoVersion != pending.version;
    const bool pieceReplaced = piece.bitmap().cacheKey() != pending.piece.bitmap().cacheKey();
    if (!photoReplaced && !pieceReplaced)
        return;
    EditStep step;
    if (photoReplaced && pending.drawn) {
        step.region = pending.changed;
        step.before = pending.before;
        step.after = pending.after;
    } else if (photoReplaced) {
        recordPhotoChange(step, pending.photo, _image.bitmap(), pending.changed, pending.whole);
    }
    step.changesPiece = pieceReplaced;
    if (pieceReplaced) {
        step.pieceBefore = pending.piece;
        step.pieceAfter = piece;
    }
    step.place = pending.place;
    step.versionBefore = pending.version;
    step.versionAfter = _photoVersion;
    if (step.whole)
        rebaseState();
    else
        notePatch(step.region, step.after);
    _history.push(std::move(step));
    if (pending.compares) {
        compareWithLatestStep();
        emit comparisonChanged(hasComparison());
    }
    emit historyChanged();
}

Image DrawView::previousImage() const {
    for (int back = 0; const EditStep* step = _history.undoable(back); ++back) {
        if (step->changesPhoto())
            return Image(step->photoAt(_image.bitmap(), false));
    }
    return {};
}

void DrawView::setPreviousImage(const Image& image) {
    finishDrawing();
    _history.clear();
    if (!image.isNull() && !_image.isNull()) {
        EditStep step;
        step.whole = true;
        step.region = _image.bitmap().rect();
        step.before = image.bitmap();
        step.after = _image.bitmap();
        step.place = selectionPlace();
        step.versionBefore = newPhotoVersion();
        step.versionAfter = _photoVersion;
        _history.push(std::move(step));
    }
    emit historyChanged();
}

Image DrawView::previousSelectedImage() const {
    const EditStep* step = _history.undoable();
    return step && step->changesPhoto() && step->changesPiece ? step->pieceBefore : Image();
}

void DrawView::setPreviousSelectedImage(const Image& image) {
    finishDrawing();
    if (!_history.canUndo())
        return;
    const Image piece = _selectionView ? _selectionView->imageSelection() : Image();
    _history.amendLatest([&](EditStep& step) {
        step.changesPiece = !image.isNull();
        step.pieceBefore = image;
        step.pieceAfter = step.changesPiece ? piece : Image();
    });
}

void DrawView::nudgeSelection(QPointF step) {
    if (!_selectionView)
        return;
    _selectionView->setCenterWithBoundsCheck(_selectionView->center() + step);
    editCompleted();
}

void DrawView::changeSelectionShape(int shape) {
    if (_selectionView)
        _selectionView->assignSelectionShape(shape);
}

void DrawView::compareWithLatestStep() {
    const EditStep* step = _history.undoable();
    _comparison = step ? Comparison{step->region, step->before} : Comparison{};
}

void DrawView::forgetComparison() {
    if (!hasComparison())
        return;
    setComparing(false);
    _comparison = {};
    emit comparisonChanged(false);
}

void DrawView::setComparing(bool comparing) {
    finishDrawing();
    comparing = comparing && hasComparison();
    if (comparing == _comparing)
        return;
    _comparing = comparing;
    // The photo as it was is drawn only around what changed, over the photo as it is: a box of the photo with
    // the step's pixels written in, wide enough that every screen pixel drawn from it samples only its own
    // pixels, whichever way the clip falls on the screen's grid (at full size a whole copy of the photo held
    // this thread for 140 ms).
    _comparedBox = {};
    if (comparing) {
        const int margin = 2 * int(std::ceil(_scaleRatio)) + 4;
        const QRect box = _comparison.region.adjusted(-margin, -margin, margin, margin) & _image.bitmap().rect();
        _comparedBox = {box.topLeft(), withPixels(pixelsOf(_image.bitmap(), box), _comparison.before, _comparison.region.topLeft() - box.topLeft())};
    }
    if (_selectionView)
        _selectionView->setVisible(!comparing);
    update();
}

// ---------------------------------------------------------------------------------------------------------
// Saved state

void DrawView::rebaseState() {
    _stateBase = newPhotoVersion();
    _statePatches.clear();
    _statePatchBytes = 0;
}

// Once the patches would cost half the photo, the next save writes the photo whole instead.
void DrawView::notePatch(QRect region, const QImage& pixels) {
    if (region.isEmpty() || pixels.isNull())
        return;
    _statePatches.push_back({region.topLeft(), pixels});
    _statePatchBytes += pixels.sizeInBytes();
    if (_statePatches.size() > maxStatePatches || _statePatchBytes > _image.bitmap().sizeInBytes() / 2)
        rebaseState();
}

EditingSnapshot DrawView::snapshot() {
    EditingSnapshot state;
    if (!_image.isNull()) {
        // The photo's pixels go with the snapshot only when the writer has no base for the patches: then the
        // photo as it is now is the base, with no patches over it.
        if (!EditingStateWriter::shared().holdsBase(_stateBase)) {
            rebaseState();
            state.photo = _image;
            state.metadata = _photoMetadata;
        }
        state.base = _stateBase;
        state.patches = _statePatches;
    }
    if (hasSelectedImage()) {
        state.piece = _selectionView->imageSelection();
        state.rotationAngle = _selectionView->rotationAngle();
        state.center = _selectionView->center();
        state.size = _selectionView->unzoomedBoundsSize();
        state.photoCenter = selectionCenterInPhoto();
    }
    return state;
}

// A key names a file only once that file is written whole; a failed write leaves the last saved state.
void DrawView::saveApplicationState() {
    finishDrawing();
    EditingStateWriter::shared().saveNow(snapshot());
}

void DrawView::setSavesAfterEachEdit(bool saves) { _savesAfterEachEdit = saves; }

// Called as an edit changes things, perhaps several times in one edit: the snapshot is taken once the event
// that made the edit is over, so that it never holds half of one.
void DrawView::editCompleted() {
    if (!_savesAfterEachEdit || _restoring || _saveQueued)
        return;
    _saveQueued = true;
    QTimer::singleShot(0, this, [this] {
        _saveQueued = false;
        EditingStateWriter::shared().saveLater(snapshot());
    });
}

// Unreadable files and values that are not finite numbers count as absent; the overlay is only touched once
// everything it needs has been read.
void DrawView::restoreApplicationState() {
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    const QScopedValueRollback restoring(_restoring, true);
    const QString photoPath = adoptedPath(defaults, currentImageKey);
    if (!photoPath.isEmpty()) {
        QImage photo = platform::ImageCodec::decodeFile(photoPath).bitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        photo.setColorSpace({}); // the file's profile is the metadata's; the canvas's pixels carry none
        // The patches over the base, in order; an unreadable one ends them (the state of an earlier edit).
        std::vector<PhotoPatch> patches;
        std::vector<std::pair<qint64, QString>> files;
        const QStringList stored = defaults.objectForKey(EditingStateWriter::patchesKey).toStringList();
        for (const QString& entry : stored) {
            const QString path = entry.section(QLatin1Char(','), 2);
            const QImage pixels = platform::ImageCodec::decodeFile(path).bitmap().convertToFormat(photo.format());
            bool x = false, y = false;
            const QPoint at(entry.section(QLatin1Char(','), 0, 0).toInt(&x), entry.section(QLatin1Char(','), 1, 1).toInt(&y));
            if (photo.isNull() || pixels.isNull() || !x || !y || !photo.rect().contains(QRect(at, pixels.size())))
                break;
            photo = withPixels(std::move(photo), pixels, at);
            patches.push_back({at, pixels});
            files.emplace_back(pixels.cacheKey(), path);
        }
        if (!photo.isNull()) {
            setCurrentImage(Image(photo));
            _photoMetadata = platform::PhotoMetadata::readFile(photoPath); // the base's file carries it
            // Whole, the saved state goes on from here: the next save writes only what changes.
            if (patches.size() == std::size_t(stored.size())) {
                _statePatches = std::move(patches);
                EditingStateWriter::shared().adoptBase(_stateBase, photoPath, files);
            }
        }
    }
    if (!_selectionView)
        return;
    const QString piecePath = adoptedPath(defaults, imageSelectionKey);
    Image piece = piecePath.isEmpty() ? Image() : platform::ImageCodec::decodeFile(piecePath);
    if (piece.isNull())
        return;
    const float angle = storedFloat(defaults, EditingStateWriter::rotationAngleKey);
    QPointF centre(storedFloat(defaults, EditingStateWriter::centerXKey), storedFloat(defaults, EditingStateWriter::centerYKey));
    const QPointF pixel(storedNumber(defaults, EditingStateWriter::photoCenterXKey), storedNumber(defaults, EditingStateWriter::photoCenterYKey));
    if (!pixel.isNull() && !_image.isNull())
        centre = photoToCanvas(pixel);
    const QSizeF size(storedFloat(defaults, EditingStateWriter::widthKey), storedFloat(defaults, EditingStateWriter::heightKey));

    _selectionView->setImageSelection(Image(piece.bitmap()));
    _selectionView->setRotationAngle(angle);
    if (!centre.isNull())
        _selectionView->setCenterWithBoundsCheck(centre);
    if (!size.isNull())
        _selectionView->setUnzoomedBoundsIfValid(size);
}

// ---------------------------------------------------------------------------------------------------------
// Drawing

void DrawView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (_image.isNull())
        return;
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    // In photo pixels, so that the photo as it was lies over the photo exactly (a paste never changes its size).
    const QSizeF shown = _image.size() / qreal(_scaleRatio);
    painter->save();
    painter->translate(imageOffset());
    painter->scale(shown.width() / _image.bitmap().width(), shown.height() / _image.bitmap().height());
    painter->drawImage(QPointF(0, 0), _image.bitmap());
    if (_comparing && !_comparedBox.pixels.isNull()) {
        const int reach = int(std::ceil(_scaleRatio)) + 2; // a screen pixel and a sample beyond what changed
        painter->setClipRect(_comparison.region.adjusted(-reach, -reach, reach, reach));
        painter->drawImage(_comparedBox.at, _comparedBox.pixels);
    }
    painter->restore();
    if (_faceMarkers.empty() || _comparing)
        return;
    // Thin and light, with a dark edge, so that they show on any photo and hide no face.
    painter->setRenderHint(QPainter::Antialiasing);
    QFont font = painter->font();
    font.setPixelSize(11);
    painter->setFont(font);
    for (std::size_t i = 0; i < _faceMarkers.size(); ++i) {
        QPolygonF outline;
        for (QPointF p : _faceMarkers[i])
            outline << photoToCanvas(p);
        for (const auto& [colour, width] : {std::pair(QColor(0, 0, 0, 110), 2.5), std::pair(QColor(255, 255, 255, 220), 1.0)}) {
            painter->setPen(QPen(colour, width));
            painter->setBrush(Qt::NoBrush);
            painter->drawPolygon(outline);
        }
        const QRectF box = outline.boundingRect();
        const QRectF label(box.center().x() - 8, box.top() - 18, 16, 16);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, 150));
        painter->drawEllipse(label);
        painter->setPen(Qt::white);
        painter->drawText(label, Qt::AlignCenter, QString::number(i + 1));
    }
}

void DrawView::setFaceMarkers(std::vector<QPolygonF> outlines) {
    _faceMarkers = std::move(outlines);
    update();
}

void DrawView::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    // Without markers the canvas takes no press, so that the scroll view pans as ever.
    if (_faceMarkers.empty() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    _pressedAt = event->pos();
}

void DrawView::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    // A tap, not a drag: the finger stayed within a few points.
    if (QLineF(_pressedAt, event->pos()).length() > 10 || _image.isNull())
        return;
    emit photoTapped((event->pos() - imageOffset()) * _scaleRatio);
}

} // namespace grinsley
