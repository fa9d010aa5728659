#pragma once

// The overlay's geometry as pure functions of its bounds size, so that hit tests and gesture steps can be
// checked without a scene. All points are in overlay coordinates: origin at the top-left of the bounds,
// turning with the overlay.

#include <array>

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace grinsley::selection {

inline constexpr int minSelectionViewWidth = 70;
inline constexpr int minSelectionViewHeight = 158;
inline constexpr int verticalContentOffset = 66; // margin above and below the selection region
inline constexpr int horizontalContentOffset = 22;
inline constexpr int rotationIconHeight = 44; // side of a handle icon
inline constexpr int centerMoveIconSide = 22;

// The gesture a touch started; the numbers are stored, so they are fixed.
enum TouchAction : int {
    TouchNone = 0,
    TouchMove = 1,
    TouchRotateUpperLeft = 2,
    TouchRotateUpperRight = 3,
    TouchRotateLowerLeft = 4,
    TouchRotateLowerRight = 5,
    TouchResizeTop = 6,
    TouchResizeBottom = 7,
    TouchResizeLeft = 8,
    TouchResizeRight = 9,
};

// The eleven handles, in the order they are created and stacked (later ones lie above earlier ones).
enum class Handle {
    LeftResize,
    RightResize,
    TopResize,
    BottomResize,
    UpperLeftRotation,
    UpperRightRotation,
    LowerRightRotation,
    LowerLeftRotation,
    CenterMove,
    UpperMove,
    LowerMove,
};
inline constexpr int handleCount = 11;

struct HandleInfo {
    Handle handle;
    const char* icon;
    TouchAction action;
};

// Creation order, with each handle's icon resource and gesture.
inline constexpr std::array<HandleInfo, handleCount> handles{{
    {Handle::LeftResize, "Resize", TouchResizeLeft},
    {Handle::RightResize, "Resize", TouchResizeRight},
    {Handle::TopResize, "Resize", TouchResizeTop},
    {Handle::BottomResize, "Resize", TouchResizeBottom},
    {Handle::UpperLeftRotation, "Rotate1", TouchRotateUpperLeft},
    {Handle::UpperRightRotation, "Rotate2", TouchRotateUpperRight},
    {Handle::LowerRightRotation, "Rotate3", TouchRotateLowerRight},
    {Handle::LowerLeftRotation, "Rotate4", TouchRotateLowerLeft},
    {Handle::CenterMove, "Move", TouchMove},
    {Handle::UpperMove, "MoveLarge", TouchMove},
    {Handle::LowerMove, "MoveLarge", TouchMove},
}};

// (22, 66, W - 44, H - 132): where the shape, the piece and the border go.
QRectF selectionRegionRect(QSizeF bounds);

QPointF handleCenter(Handle handle, QSizeF bounds);
// The handle's square (22 points for the centre move handle, 44 for the rest) centred on its position.
QRectF handleFrame(Handle handle, QSizeF bounds);
// Whether the point lies in the handle's frame; the left and top edges belong to it, the right and bottom
// ones do not, so neighbouring frames never both claim a point on their shared edge.
bool handleContains(Handle handle, QSizeF bounds, QPointF point);

// The gesture a single touch at the point starts: the move handles first, then the top, bottom, left and
// right resize handles, then the upper-left, upper-right, lower-left and lower-right corners; anywhere else
// moves the overlay.
TouchAction hitTest(QPointF point, QSizeF bounds);

// How much the rotation angle grows when the finger of a rotation gesture is at the point: the angle of the
// finger seen from the handle side's edge line at half height, less the angle of the handle itself.
float rotationStep(TouchAction action, QPointF point, QSizeF bounds);

} // namespace grinsley::selection
