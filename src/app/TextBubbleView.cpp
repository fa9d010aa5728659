#include "TextBubbleView.h"

#include <QPainter>

namespace grinsley {

namespace {
// From the path's current point, a line towards the corner and an arc of the radius that turns towards the
// next point, ending where the arc meets the line from the corner to that point.
void addArcToPoint(QPainterPath& path, QPointF corner, QPointF next, qreal radius) {
    const QPointF from = path.currentPosition();
    const auto unit = [](QPointF v) { return v / std::hypot(v.x(), v.y()); };
    const QPointF in = unit(from - corner);
    const QPointF out = unit(next - corner);
    const QPointF start = corner + in * radius;
    const QPointF centre = corner + (in + out) * radius; // the corners here are right angles
    path.lineTo(start);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // Angles in Qt's arcs run counter-clockwise with y pointing up.
    const auto angle = [centre](QPointF p) { return qRadiansToDegrees(std::atan2(centre.y() - p.y(), p.x() - centre.x())); };
    const QPointF end = corner + out * radius;
    qreal sweep = angle(end) - angle(start);
    while (sweep > 180)
        sweep -= 360;
    while (sweep < -180)
        sweep += 360;
    path.arcTo(circle, angle(start), sweep);
}
} // namespace

TextBubbleView::TextBubbleView(const QRectF& frame, QGraphicsItem* parent)
    : QGraphicsObject(parent), _size(frame.size()) {
    setPos(frame.topLeft());
}

void TextBubbleView::setTipPoint(QPointF tip) {
    _tipPoint = tip;
    update();
}

QPainterPath TextBubbleView::bubblePath(QSizeF size, QPointF tip) {
    const QRectF body(3, 13, size.width() - 6, size.height() - 16);
    const qreal minX = body.left(), maxX = body.right(), minY = body.top(), maxY = body.bottom();
    const qreal midX = body.center().x(), midY = body.center().y();
    QPainterPath path;
    path.moveTo(tip.x() - 10, minY);
    path.lineTo(tip.x(), tip.y() + 3);
    path.lineTo(tip.x() + 10, minY);
    path.moveTo(minX, midY);
    addArcToPoint(path, {minX, minY}, {midX, minY}, cornerRadius);
    addArcToPoint(path, {maxX, minY}, {maxX, midY}, cornerRadius);
    addArcToPoint(path, {maxX, maxY}, {midX, maxY}, cornerRadius);
    addArcToPoint(path, {minX, maxY}, {minX, midY}, cornerRadius);
    path.closeSubpath();
    return path;
}

QRectF TextBubbleView::boundingRect() const { return {QPointF(0, 0), _size}; }

void TextBubbleView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(Qt::white, lineWidth));
    painter->setBrush(Qt::darkGray);
    painter->drawPath(bubblePath(_size, _tipPoint)); // filled and stroked in one step
}

} // namespace grinsley
