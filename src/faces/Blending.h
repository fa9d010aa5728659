#pragma once

#include <QImage>

namespace grinsley::faces {

// Blends a pasted piece into the photo around it: the piece keeps its own detail but takes its tone, light and
// tint from the photo it covers and just around it (its colour matched in Lab, as a fitted face's is), so that
// no seam shows and nothing tints it. `layer` is the piece as a paste lays it down, alone on a transparent image of the
// photo's size; its opacity says where the piece reaches and how strongly (the soft edge fades the blended
// piece into the photo). Pixels the piece does not reach are the photo's, unchanged.
QImage blendIn(const QImage& photo, const QImage& layer);

} // namespace grinsley::faces
