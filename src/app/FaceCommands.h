#pragma once

#include <functional>
#include <vector>

#include <QObject>

#include "faces/FaceFinder.h"
#include "platform/BackgroundJob.h"

class QWidget;

namespace grinsley {

class DrawView;

// The face commands of the editor: Faces puts the selection over a face, the next one at each press; Swap
// Faces exchanges two faces in one edit: the face the selection was put on (else the largest) and the largest
// other face it does not overlap. Faces are found once per photo, on a worker. Beside them, the piece options
// (soft edge, blending), kept in the user defaults.
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
    bool isFindingFaces() const { return _search.isRunning(); }
    int currentFaceIndex() const { return _faceIndex; }

private:
    // Runs `then` once the faces of the current photo are known: at once when they are, else after a search
    // on a worker. A search for an earlier photo is dropped.
    void withFaces(std::function<void()> then);

    Editor _editor;
    std::vector<faces::Face> _faces;
    qint64 _facesPhoto = 0; // the cache key of the photo the faces belong to; 0: none searched
    int _faceIndex = -1;    // the face the selection was last put on
    platform::BackgroundJob<faces::FaceSearch> _search{this};
};

} // namespace grinsley
