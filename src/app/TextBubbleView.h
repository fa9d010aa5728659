#pragma once

#include <QGraphicsObject>
#include <QPainterPath>

namespace grinsley {

// The hint's speech bubble: a rounded body with a pointer whose apex is at tipPoint, outlined in white on
// dark grey. Sizes are in canvas points; the view scrolls and zooms with the canvas it sits on.
class TextBubbleView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 10;
    static constexpr qreal lineWidth = 3;

    explicit TextBubbleView(const QRectF& frame, QGraphicsItem* parent = nullptr);

    QPointF tipPoint() const { return _tipPoint; }
    void setTipPoint(QPointF tip);
    QSizeF size() const { return _size; }

    // The outline for a view of this size: the open pointer, then the closed body with arcs of radius 10.
    static QPainterPath bubblePath(QSizeF size, QPointF tip);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QSizeF _size;
    QPointF _tipPoint{25, 0};
};

} // namespace grinsley
