#pragma once

#include <QPointF>

// Where the kill test's full-size editor pastes edit k, in canvas points (its 4000 x 3000 photo shows as
// 400 x 300 from y 50 on a 400 x 400 canvas).
inline QPointF fullSizeSpot(int k) { return {20.0 + 40 * (k % 9), 70.0 + 40 * ((k / 9) % 6)}; }
