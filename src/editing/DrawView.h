#pragma once

#include <functional>
#include <future>
#include <optional>
#include <utility>
#include <vector>

#include <QGraphicsObject>
#include <QPolygonF>

#include "editing/EditHistory.h"
#include "editing/EditingStateWriter.h"
#include "editing/PieceOperations.h"
#include "platform/BackgroundJob.h"
#include "platform/Image.h"

namespace grinsley {

class PopupMenuSupport;
class SelectionView;

// The canvas: the photo fitted into its bounds, the selection overlay above it, and every edit that changes
// pixels (copy, paste, swap, crop, undo, clear) at photo resolution, with a history of steps to undo and redo
// (each keeps only what its edit changed). Its editing state survives a restart through
// save/restoreApplicationState; the history lives in memory only.
//
// Coordinates: canvas points are this item's own (origin top-left, y down), untouched by zooming; a canvas
// point p is the photo pixel (p - imageOffset()) * scaleRatio().
class DrawView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit DrawView(QSizeF size, QGraphicsItem* parent = nullptr);
    ~DrawView() override;

    QRectF bounds() const { return {QPointF(0, 0), _size}; }
    // The controller resizes the canvas when the device turns, then calls updateView.
    void setSize(QSizeF size);

    // --- Set-up and layout
    // Creates the overlay once, with the phone's or the tablet's frame, centred on the canvas.
    void initialize(float top, float bottom, PopupMenuSupport* support);
    void updateView(float top, float bottom);
    void computeScaleRatio();
    // Pulls the overlay's centre back inside the canvas, silently.
    void checkSelectionBounds();

    float topToolbarHeight() const { return _topToolbarHeight; }
    float bottomToolbarHeight() const { return _bottomToolbarHeight; }

    // --- Photo, piece and snapshots
    const platform::Image& currentImage() const { return _image; }
    void setCurrentImage(platform::Image image);
    // What copies of the photo keep of the file it came from, kept with the saved editing state; the editor
    // sets it with each new photo, and Crop keeps it.
    const platform::PhotoMetadata& photoMetadata() const { return _photoMetadata; }
    void setPhotoMetadata(platform::PhotoMetadata metadata) { _photoMetadata = std::move(metadata); }
    // The photo the history's latest photo edit took back to (what Undo restores once the steps after it are
    // undone); none when no step changed the photo.
    platform::Image previousImage() const;
    // Nothing: the history is dropped (a new photo, a memory warning). A photo: the history is one step back
    // to it.
    void setPreviousImage(const platform::Image& image);
    // The piece the next Undo brings back along with a photo (after a Swap); none otherwise.
    platform::Image previousSelectedImage() const;
    // The piece the next Undo brings back; nothing: it leaves the piece as it is.
    void setPreviousSelectedImage(const platform::Image& image);
    // Every new photo and every step's photo has its own number, so that a photo brought back by Undo is known
    // as the one it was.
    qint64 photoVersion() const { return _photoVersion; }
    bool hasSelectedImage() const;
    SelectionView* selectionView() const { return _selectionView; }

    float scaleRatio() const { return _scaleRatio; }
    // Top-left of the rectangle the photo is drawn in, in canvas points.
    QPointF imageOffset() const;

    // --- Edits. Each needs what its command needs (a photo; a piece for paste and swap; a snapshot for
    // undo) and does nothing at all without it. Copy, Paste, Swap and swapRegions work their pixels out on a
    // worker when there are many of them (a large piece on a large photo) and land when they are ready, the
    // photo and the piece shown as they were meanwhile; every edit first waits for the one before to land.
    void doCopy();
    void doPaste();
    void doSwap();
    void doCrop();
    // Undo takes back the latest step, Redo does again the step the last Undo took back; neither does anything
    // without such a step.
    void doUndo();
    void doRedo();
    bool canUndo() const { return _history.canUndo(); }
    bool canRedo() const { return _history.canRedo(); }
    const EditHistory& history() const { return _history; }
    // Limits other than the defaults drop the history.
    void setHistoryLimits(qsizetype maxBytes, int maxSteps) { _history = EditHistory(maxBytes, maxSteps); }
    // The pixels an edit passes over from which it works them out on a worker.
    static constexpr qsizetype defaultDrawingOnWorkerFrom = 400'000;
    void setDrawingOnWorkerFrom(qsizetype pixels) { _drawingOnWorkerFrom = pixels; }
    // An edit is being worked out on a worker and has not landed.
    bool isDrawing() const { return _drawing.has_value(); }
    // Waits for the edit being worked out, if any, and lands it.
    void finishDrawing();
    // Runs `then` once the edit being worked out has landed (now when none is).
    void afterDrawing(std::function<void()> then);
    void doClear();
    void flipHorizontally();
    void flipVertically();
    void changeSelectionShape(int shape); // a SelectionShapeKind
    // Moves the selection by a step in canvas points, kept on the canvas; saved like a drag.
    void nudgeSelection(QPointF step);
    // Puts the selection's region over a region of the photo (photo pixels), as near its size as the
    // overlay's smallest size allows.
    void placeSelection(const pieces::PhotoRegion& region);
    // Exchanges two regions of the photo in one edit, each turned and scaled into the other's place, with the
    // current shape and edge; one Undo takes it back. The floating piece is left alone.
    void swapRegions(const pieces::PhotoRegion& a, const pieces::PhotoRegion& b);

    // Replaces the photo with the result of an edit worked out elsewhere (a face fitted on a worker), as one
    // edit: one Undo takes it back, and Compare shows the photo before it. Refused (false) when the photo
    // changed since the result's starting point `from` (by cache key). `changed`, when known, holds every
    // pixel that differs.
    bool applyEditedPhoto(const QImage& result, qint64 from, QRect changed = {});

    // --- Face markers: thin outlines over the faces found (photo pixels), numbered, until the photo changes.
    // While they show, a tap on the canvas outside the selection is reported as photoTapped.
    void setFaceMarkers(std::vector<QPolygonF> outlines);
    const std::vector<QPolygonF>& faceMarkers() const { return _faceMarkers; }

    // --- Compare: the photo as it was before the last Paste, Swap or face swap, shown while the user holds
    // Compare so that the result can be judged. None after a new photo or an Undo.
    bool hasComparison() const { return !_comparison.before.isNull(); }
    void forgetComparison();
    bool isComparing() const { return _comparing; }
    void setComparing(bool comparing);

    // --- Options (off and 1 by default, which is the editor as it always was)
    // Paste, Swap and swapRegions blend the piece into the photo around it. The plain edit shows at once;
    // its blended form is worked out on a worker and replaces it, unless another change came first.
    bool blendsIn() const { return _blendsIn; }
    void setBlendsIn(bool blends) { _blendsIn = blends; }
    bool isBlending() const { return _blend.isRunning(); }
    // The width of a new piece's soft edge: 1 the shape's own mask, 0 a hard edge, up to maxEdgeSoftness.
    static constexpr double defaultEdgeSoftness = 1.0;
    static constexpr double maxEdgeSoftness = 4.0;
    double edgeSoftness() const { return _edgeSoftness; }
    void setEdgeSoftness(double softness);

    // A rectangle in canvas points as photo pixels.
    QRectF canvasToPhoto(const QRectF& canvas) const;
    QPointF photoToCanvas(QPointF pixel) const;
    // The selection's centre in photo pixels; none without a photo.
    std::optional<QPointF> selectionCenterInPhoto() const;
    // The overlay's frame and its selection region in photo pixels.
    QRectF scaleSelectionFrame() const;
    QRectF scaleSelectedRegion() const;
    // The mask for a new piece at the current edge softness; null for a hard edge.
    QImage pieceMask() const;

    // --- Saved state
    // Writes now, on the calling thread (the application is going away or to the background).
    void saveApplicationState();
    void restoreApplicationState();
    // When on, every completed edit is saved soon after, off the interface thread (see EditingStateWriter).
    void setSavesAfterEachEdit(bool saves);
    // What a save writes. Not const: a snapshot that must carry the photo makes the photo the base again.
    EditingSnapshot snapshot();
    static constexpr std::size_t maxStatePatches = 64;

    static constexpr const char* currentImageKey = EditingStateWriter::photoKey;
    static constexpr const char* imageSelectionKey = EditingStateWriter::pieceKey;

    // --- Drawing
    QRectF boundingRect() const override { return bounds(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    // A tap on the photo (photo pixels) while face markers show.
    void photoTapped(QPointF pixel);
    // A comparison photo came or went (see hasComparison).
    void comparisonChanged(bool available);
    // A blended result replaced the plain one it was worked out from (photos by their versions): what was
    // known of the plain photo's layout holds for the blended one.
    void blendedPhotoReplaced(qint64 plain, qint64 blended);
    // A step was added, undone, redone or dropped.
    void historyChanged();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void editCompleted();
    // An edit's step: what the photo, the piece and the selection were when the outermost edit began, kept
    // when it ends if the photo or the piece changed. Edits made of edits (Swap, Crop) nest.
    class StepScope;
    void beginStep();
    void endStep();
    SelectionPlace selectionPlace() const;
    void setSelectionPlace(const SelectionPlace& place);
    void travel(const EditStep* step, bool forward);
    // Shows a photo as a new version without starting the saved state afresh (the edit is a patch of it).
    void replacePhoto(platform::Image image);
    // The saved state: a base photo and the patches over it since.
    void rebaseState();
    void notePatch(QRect region, const QImage& pixels);
    // Compare shows what the latest step changed, as it was.
    void compareWithLatestStep();
    // The photo's region under the selection, as Copy cuts it and as Paste lays a piece down (its centre kept
    // as a float).
    pieces::PhotoRegion selectedRegion() const;
    pieces::PhotoRegion pasteRegion() const;
    // A piece of a region of the photo, clipped to the current shape (softened by the drawing's mask).
    pieces::Cut cutOf(const pieces::PhotoRegion& region) const;
    // Works a drawing out (on a worker when it is large) and lands it: the pastes drawn into the photo, the
    // first cut made the piece when `takesPiece`. Plainly first, then blended on a worker when that is on.
    void startDrawing(pieces::Drawing drawing, bool takesPiece);
    struct Landing {
        pieces::Drawing drawing;
        bool takesPiece = false;
        SelectionPlace place; // where the selection was when the edit was asked for
    };
    void land(const Landing& landing, pieces::Drawn drawn);
    void blendIn(const pieces::Drawing& drawing, const pieces::Drawn& drawn);

    platform::Image _image;
    platform::PhotoMetadata _photoMetadata;
    bool _savesAfterEachEdit = false;
    bool _saveQueued = false;
    bool _restoring = false;
    SelectionView* _selectionView = nullptr; // child item, created by initialize
    float _scaleRatio = 1;
    bool _blendsIn = false;
    qsizetype _drawingOnWorkerFrom = defaultDrawingOnWorkerFrom;
    struct DrawingUnderWay {
        quint64 id = 0;
        Landing landing;
        std::future<pieces::Drawn> result;
        std::vector<std::function<void()>> then;
    };
    std::optional<DrawingUnderWay> _drawing;
    quint64 _drawings = 0;
    // A later paste's blend replaces an earlier one's.
    platform::BackgroundJob<QImage> _blend{this}; // the blended box
    double _edgeSoftness = defaultEdgeSoftness;
    mutable std::pair<QString, QImage> _maskFile; // the shape's mask file as last read
    struct Comparison {
        QRect region; // photo pixels
        QImage before;
    } _comparison; // what the last paste of any kind changed, as it was
    PhotoPatch _comparedBox; // while comparing: the photo as it was around what changed
    bool _comparing = false;
    std::vector<QPolygonF> _faceMarkers;
    QPointF _pressedAt;
    EditHistory _history;
    struct PendingStep {
        QImage photo;
        platform::Image piece;
        SelectionPlace place;
        qint64 version = 0;
        QRect changed;    // where the photo may have changed; empty: anywhere
        bool drawn = false; // `changed` is exactly what changed, `before` and `after` its pixels
        QImage before, after;
        bool whole = false;    // every pixel may change: keep both photos whole
        bool compares = false; // Compare shows what the step changed
    } _pending;
    int _stepDepth = 0;
    qint64 _stateBase = 0;
    std::vector<PhotoPatch> _statePatches;
    qsizetype _statePatchBytes = 0;
    qint64 _photoVersion = 0;
    float _bottomToolbarHeight = 0;
    float _topToolbarHeight = 0;
    QSizeF _size;
};

} // namespace grinsley
