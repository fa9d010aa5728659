#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QObject>

#include "faces/FaceFinder.h"
#include "platform/BackgroundJob.h"

class QWidget;
class QRectF;

namespace grinsley {

class DrawView;

// The face commands of the editor. Faces marks every face found and puts the selection over one, the next
// at each press (or the one tapped). Swap Faces exchanges two faces in one edit, each fitted onto the other
// (on a worker): the face under the selection with the one the user taps next when there are more than two,
// else with the largest other face it does not overlap; with the selection on no face, the two largest apart.
// Faces are found once per photo, on a worker. Beside them, the piece options (soft edge, blending), kept in
// the user defaults.
class FaceCommands : public QObject {
    Q_OBJECT
public:
    static inline const QString blendInKey = QStringLiteral("GrinsleyBlendIn");
    static inline const QString edgeSoftnessKey = QStringLiteral("GrinsleyEdgeSoftness");
    // A face smaller than this on the screen (points) is zoomed to first, so that the selection and its
    // handles sit around it, not over it.
    static constexpr qreal smallestFaceOnScreen = 140;

    // What the commands need of the editor.
    struct Editor {
        DrawView* canvas = nullptr;
        QWidget* view = nullptr;                // where notices show
        std::function<bool()> isLoadingPhoto;
        std::function<void()> busyBegan, busyEnded; // the spinner while faces are sought
        std::function<void()> availabilityChanged;  // canUseFaces() may answer otherwise now
        // Zooms in (never out) so that a region of the canvas (canvas points) shows at least this wide.
        std::function<void(QRectF, qreal)> zoomToShow;
    };
    explicit FaceCommands(Editor editor, QObject* parent = nullptr);

    // The options as the user left them, onto the canvas.
    void restoreOptions();
    void findFaces();
    void swapFaces();
    // Copy and Paste, as far as faces go. A piece copied while the selection sits on a found face keeps that
    // face (its landmarks and the photo around it); pasted over a found face, in this photo or another, it is
    // fitted like a swap, as one edit. Anything else pastes as it always did, through `plainPaste`.
    void pieceCopied();
    void paste(std::function<void()> plainPaste);
    bool hasCopiedFace() const { return _copied.has_value(); }

    void setBlendsIn(bool blends);
    // Each step of a drag sets the softness; the saved setting waits for the finger to lift.
    void setEdgeSoftness(double softness, bool finished = true);

    // A photo, and neither it nor its faces still being read.
    bool canUseFaces() const;
    // The faces found in the current photo; empty until a search for it has finished.
    const std::vector<faces::Face>& foundFaces() const { return _faces; }
    bool isFindingFaces() const { return _search.isRunning() || _fit.isRunning(); }
    int currentFaceIndex() const { return _faceIndex; }
    // The face Swap Faces waits for a partner for (a tap on another face), or -1.
    int choosingPartnerFor() const { return _partnerFor; }

private:
    // Runs `then` once the faces of the current photo are known: at once when they are, else after a search
    // on a worker. A search for an earlier photo is dropped.
    void withFaces(std::function<void()> then);
    void showMarkers();
    void faceTapped(QPointF pixel);
    void putSelectionOn(int face);
    void swap(std::size_t a, std::size_t b);
    void warnIfPosesDiffer(const faces::Face& a, const faces::Face& b) const;
    // The spinner and the items' enabling while a search or a fit runs.
    void setBusy(bool busy);
    // Works out an edit of the photo on a worker and applies it as one edit, if the photo is still the same.
    void fitOnWorker(std::function<QImage(const QImage&)> work);
    // The face under the selection's centre, or -1.
    int faceUnderSelection() const;

    Editor _editor;
    std::vector<faces::Face> _faces;
    // The photos (by cache key) the faces belong to: the one searched, and those an edit that moves no face made
    // from it (a blend, a swap), which Undo can bring back. Empty: none searched.
    std::vector<qint64> _facesPhotos;
    bool facesKnown() const;
    void facesStillHold(); // the current photo has the faces found
    int _faceIndex = -1;    // the face the selection was last put on
    int _partnerFor = -1;
    struct CopiedFace {
        faces::Face face; // in the pixels of `around`
        QImage around;    // the photo around the face
        qint64 piece = 0; // the piece it became, by cache key: a flip or another copy makes it a plain piece
    };
    std::optional<CopiedFace> _copied;
    bool _noticeShown = false; // what the search said of a missing model, said once a run
    platform::BackgroundJob<faces::FaceSearch> _search{this};
    platform::BackgroundJob<std::pair<QImage, QRect>> _fit{this}; // the fitted photo and where it changed
};

} // namespace grinsley
