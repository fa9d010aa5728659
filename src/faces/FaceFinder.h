#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace grinsley::faces {

// A face in a photo, in photo pixels (origin top-left, y down). `box` is the detector's square; centre, size
// and angle describe the oval that holds the face from the brow to the chin, turned like the eye line
// (positive: clockwise on screen, as the selection turns).
struct Face {
    QRectF box;
    QPointF centre;
    QSizeF size;
    double angle = 0;
    // The 68 landmarks in the usual order (jaw 0-16, brows 17-26, nose 27-35, eyes 36-47, mouth 48-67), or
    // none when the face was found without them. Swaps fit faces that have them.
    std::vector<QPointF> landmarks;

    bool hasLandmarks() const { return landmarks.size() == landmarkCount; }
    static constexpr std::size_t landmarkCount = 68;
};

struct FaceSearch {
    std::vector<Face> faces; // left to right
    QString error;           // set when the detector could not run (its models missing)
    QString notice;          // set when faces were found, but less well than they could be (a model missing)
};

// Finds the faces in a photo, turned in the picture up to about 30 degrees. With the landmark model, each face
// has its landmarks; without it, faces are found by the older cascades, and `notice` says what is missing.
// Safe to call from any thread; calls are served one at a time. The models are read at the first call.
FaceSearch findFaces(const QImage& photo);

// The box around a face's landmarks (empty without them).
QRectF landmarkBounds(const Face& face);
// The outline of a face's jaw and brows (their convex hull), where a fitted face can reach; empty without
// landmarks.
QPolygonF faceOutline(const Face& face);
// Whether two faces' regions overlap (their outlines; without landmarks their turned boxes): such a pair is
// never swapped.
bool regionsOverlap(const Face& a, const Face& b);
// The two faces Swap Faces exchanges: the face the selection is on (`current`, -1 for none) with the largest
// other face it does not overlap; without one, the two largest faces that do not overlap. None when no such pair
// exists.
std::optional<std::pair<std::size_t, std::size_t>> swapPair(const std::vector<Face>& faces, int current);
// The face whose oval holds a point of the photo (the smallest such), or -1.
int faceAt(const std::vector<Face>& faces, QPointF pixel);

// Where the detector's models are read from: the cascades' folder and the landmark model's file.
QString modelFolder();
QString landmarkModelPath();

// The oval for a face found in the square `box` with the eye line at `angle`, for one whose eyes were found
// too (their centres, the face's left eye first as it appears in the photo), and for one with landmarks.
Face faceFromBox(const QRectF& box, double angle);
Face faceFromEyes(const QRectF& box, QPointF left, QPointF right);
// None when the points are not a plausible face (features out of place for a face's proportions).
std::optional<Face> faceFromLandmarks(const QRectF& box, std::vector<QPointF> landmarks);

} // namespace grinsley::faces
