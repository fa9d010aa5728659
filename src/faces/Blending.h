#pragma once

#include <QImage>

namespace grinsley::faces {

// Gradient-domain blending of a pasted piece into the photo around it: inside the piece the result keeps
// the piece's detail (its gradients) but takes its tone and light from the photo along the piece's edge, so
// that no seam shows. `layer` is the piece as a paste lays it down, alone on a transparent image of the
// photo's size; its opacity says where the piece reaches and how strongly (the soft edge fades the blended
// piece into the photo). Pixels the piece does not reach are the photo's, unchanged.
QImage blendIn(const QImage& photo, const QImage& layer);

} // namespace grinsley::faces
