#pragma once

#include <QImage>
#include <QPolygonF>
#include <QRect>

#include "faces/FaceFinder.h"

namespace grinsley::faces {

// Lays the face `source` of the photo `from` onto the face `target` of `photo` so that it fits: the source's
// pixels warped onto the target's landmarks (piecewise-affine over a triangulation of the landmarks), cut with
// a mask from the outline of the jaw and the brows (shrunk a little and feathered, so that its edge sits on
// the target's skin), its colour matched to the target's inside that mask. Only the rectangle around the
// target changes (`changed`, when asked for). Both faces need their landmarks; without them `photo` comes back.
QImage fitFace(const QImage& photo, const Face& target, const QImage& from, const Face& source, QRect* changed = nullptr);

// Each of two faces of a photo fitted onto the other, both from the photo as it was.
QImage swapFaces(const QImage& photo, const Face& a, const Face& b, QRect* changed = nullptr);

// Whether two faces are turned so differently (left and right) that one fitted onto the other may look
// unnatural.
bool posesDiffer(const Face& a, const Face& b);

// The feathered mask inside a face's outline (see faceOutline) that says how strongly a fitted face covers
// each pixel of `area` (photo pixels), 0 to 255.
QImage fittingMask(const Face& face, const QRect& area);

} // namespace grinsley::faces
