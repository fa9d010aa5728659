#pragma once

#include <functional>
#include <vector>

#include <QObject>

#include "faces/FaceFinder.h"
#include "platform/BackgroundJob.h"

class QWidget;

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

    // What the commands need of the editor.
    struct Editor {
        DrawView* canvas = nullptr;
        QWidget* view = nullptr;                // where notices show
        std::function<bool()> isLoadingPhoto;
        std::function<void()> busyBegan, busyEnded; // the spinner while faces are sought
        std::function<void()> availabilityChanged;  // canUseFaces() may answer otherwise now
        std::function<void()> edited;               // a swap was made: it can be undone
    };
    explicit FaceCommands(Editor editor, QObject* parent = nullptr);

    // The options as the user left them, onto the canvas.
    void restoreOptions();
    void findFaces();
    void swapFaces();
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
    // The face under the selection's centre, or -1.
    int faceUnderSelection() const;

    Editor _editor;
    std::vector<faces::Face> _faces;
    qint64 _facesPhoto = 0; // the cache key of the photo the faces belong to; 0: none searched
    int _faceIndex = -1;    // the face the selection was last put on
    int _partnerFor = -1;
    bool _noticeShown = false; // what the search said of a missing model, said once a run
    platform::BackgroundJob<faces::FaceSearch> _search{this};
    platform::BackgroundJob<QImage> _fit{this};
};

} // namespace grinsley
