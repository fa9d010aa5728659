#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QImage>
#include <QPointF>
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
};

struct FaceSearch {
    std::vector<Face> faces; // left to right
    QString error;           // set when the detector could not run (its models missing)
};

// Finds the frontal faces in a photo. Safe to call from any thread; calls are served one at a time.
FaceSearch findFaces(const QImage& photo);

// Whether two faces' regions (their turned boxes) overlap: such a pair is never swapped.
bool regionsOverlap(const Face& a, const Face& b);
// The two faces Swap Faces exchanges: the face the selection is on (`current`, -1 for none) with the largest
// other face it does not overlap; without one, the two largest faces that do not overlap. None when no such pair
// exists.
std::optional<std::pair<std::size_t, std::size_t>> swapPair(const std::vector<Face>& faces, int current);

// Where the detector's models are read from.
QString modelFolder();

// The oval for a face found in the square `box` with the eye line at `angle`, and for one whose eyes were
// found too (their centres, the face's left eye first as it appears in the photo).
Face faceFromBox(const QRectF& box, double angle);
Face faceFromEyes(const QRectF& box, QPointF left, QPointF right);

} // namespace grinsley::faces
