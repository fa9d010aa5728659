#include "ZoomingScrollView.h"

#include <cmath>

#include <QScrollBar>
#include <QTouchEvent>
#include <QVariantAnimation>
#include <QWheelEvent>

namespace grinsley::platform {

ZoomingScrollView::ZoomingScrollView(QWidget* parent) : QGraphicsView(parent) {
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setFrameShape(QFrame::NoFrame);
}

bool ZoomingScrollView::touchesShouldCancelInContentView(QGraphicsItem*) const { return true; }

void ZoomingScrollView::setZoomScale(qreal scale, bool animated) {
    scale = std::clamp(scale, _minimum, _maximum);
    const QPointF centre = viewport()->rect().center();
    if (!animated) {
        zoomAround(scale, centre);
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(zoomScale());
    animation->setEndValue(scale);
    animation->setDuration(200);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this, centre](const QVariant& v) { zoomAround(v.toReal(), centre); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// Keeps the scene point under the viewport point where it is.
void ZoomingScrollView::zoomAround(qreal scale, QPointF viewportPoint) {
    scale = std::clamp(scale, _minimum, _maximum);
    const QPointF anchor = mapToScene(viewportPoint.toPoint());
    setTransform(QTransform::fromScale(scale, scale));
    const QPointF moved = mapFromScene(anchor);
    scrollBy(moved - viewportPoint);
    emit zoomScaleChanged(scale);
}

void ZoomingScrollView::scrollBy(QPointF delta) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(delta.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(delta.y()));
}

bool ZoomingScrollView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto* touch = static_cast<QTouchEvent*>(event);
        const auto points = touch->points();
        if (event->type() == QEvent::TouchBegin && !points.isEmpty()) {
            _touchedItem = itemAt(points.first().position().toPoint());
            _lastPan = points.first().position();
            _panning = false;
            _pinchStartDistance = 0;
        }
        // The content sees every touch first: the overlay drops its gesture when a second finger comes.
        QGraphicsView::viewportEvent(event);
        if (points.size() >= 2) {
            const QPointF a = points.at(0).position();
            const QPointF b = points.at(1).position();
            const qreal distance = std::hypot(a.x() - b.x(), a.y() - b.y());
            if (_pinchStartDistance <= 0) {
                _pinchStartDistance = std::max<qreal>(distance, 1);
                _pinchStartScale = zoomScale();
            } else {
                zoomAround(_pinchStartScale * distance / _pinchStartDistance, (a + b) / 2);
            }
        } else if (points.size() == 1 && event->type() == QEvent::TouchUpdate && _pinchStartDistance <= 0) {
            const QPointF at = points.first().position();
            if (!_panning && _canCancel && (!_touchedItem || touchesShouldCancelInContentView(_touchedItem)))
                _panning = true;
            if (_panning)
                scrollBy(_lastPan - at);
            _lastPan = at;
        }
        if (event->type() == QEvent::TouchEnd || event->type() == QEvent::TouchCancel) {
            _touchedItem = nullptr;
            _panning = false;
        }
        event->accept(); // keep receiving this touch sequence, whoever in the scene took it
        return true;
    }
    default:
        return QGraphicsView::viewportEvent(event);
    }
}

void ZoomingScrollView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        zoomAround(zoomScale() * std::pow(1.0015, event->angleDelta().y()), event->position());
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

} // namespace grinsley::platform
