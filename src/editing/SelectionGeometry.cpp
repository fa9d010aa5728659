#include "SelectionGeometry.h"

#include <cmath>

namespace grinsley::selection {

QRectF selectionRegionRect(QSizeF bounds) {
    return {qreal(horizontalContentOffset), qreal(verticalContentOffset),
            bounds.width() - 2 * horizontalContentOffset, bounds.height() - 2 * verticalContentOffset};
}

QPointF handleCenter(Handle handle, QSizeF bounds) {
    const qreal w = bounds.width();
    const qreal h = bounds.height();
    const qreal side = horizontalContentOffset;
    const qreal top = verticalContentOffset;
    switch (handle) {
    case Handle::UpperLeftRotation:
        return {side, top};
    case Handle::UpperRightRotation:
        return {w - side, top};
    case Handle::LowerRightRotation:
        return {w - side, h - top};
    case Handle::LowerLeftRotation:
        return {side, h - top};
    case Handle::TopResize:
        return {w / 2, top};
    case Handle::BottomResize:
        return {w / 2, h - top};
    case Handle::LeftResize:
        return {side, h / 2};
    case Handle::RightResize:
        return {w - side, h / 2};
    case Handle::CenterMove:
        return {w / 2, h / 2};
    case Handle::UpperMove:
        return {w / 2, qreal(rotationIconHeight) / 2};
    case Handle::LowerMove:
        return {w / 2, h - qreal(rotationIconHeight) / 2};
    }
    return {};
}

QRectF handleFrame(Handle handle, QSizeF bounds) {
    const qreal side = handle == Handle::CenterMove ? centerMoveIconSide : rotationIconHeight;
    const QPointF c = handleCenter(handle, bounds);
    return {c.x() - side / 2, c.y() - side / 2, side, side};
}

bool handleContains(Handle handle, QSizeF bounds, QPointF point) {
    const QRectF f = handleFrame(handle, bounds);
    return point.x() >= f.left() && point.x() < f.right() && point.y() >= f.top() && point.y() < f.bottom();
}

TouchAction hitTest(QPointF point, QSizeF bounds) {
    static constexpr std::array<std::pair<Handle, TouchAction>, handleCount> order{{
        {Handle::CenterMove, TouchMove},
        {Handle::UpperMove, TouchMove},
        {Handle::LowerMove, TouchMove},
        {Handle::TopResize, TouchResizeTop},
        {Handle::BottomResize, TouchResizeBottom},
        {Handle::LeftResize, TouchResizeLeft},
        {Handle::RightResize, TouchResizeRight},
        {Handle::UpperLeftRotation, TouchRotateUpperLeft},
        {Handle::UpperRightRotation, TouchRotateUpperRight},
        {Handle::LowerLeftRotation, TouchRotateLowerLeft},
        {Handle::LowerRightRotation, TouchRotateLowerRight},
    }};
    for (const auto& [handle, action] : order) {
        if (handleContains(handle, bounds, point))
            return action;
    }
    return TouchMove;
}

float rotationStep(TouchAction action, QPointF point, QSizeF bounds) {
    constexpr float halfPi = 1.5707964f;
    const float hw = float(bounds.width() / 2);
    float k = hw - float(horizontalContentOffset);
    float beta = 0;
    switch (action) {
    case TouchRotateUpperLeft:
        beta = halfPi;
        break;
    case TouchRotateUpperRight:
        k = -k;
        beta = halfPi;
        break;
    case TouchRotateLowerLeft:
        beta = -halfPi;
        break;
    case TouchRotateLowerRight:
        k = -k;
        beta = -halfPi;
        break;
    default:
        return 0;
    }
    const float dy = float(point.y()) - float(bounds.height() / 2);
    const float dx = (float(point.x()) - hw) + k;
    return std::atan2(dy, dx) + beta;
}

} // namespace grinsley::selection
