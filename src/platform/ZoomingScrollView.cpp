#include "ZoomingScrollView.h"

#include <cmath>

#include <QScrollBar>
#include <QTouchEvent>
#include <QVariantAnimation>
#include <QWheelEvent>

namespace grinsley::platform {

ZoomingScrollView::ZoomingScrollView(QWidget* parent) : QGraphicsView(parent) {
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_AcceptTouchEvents);
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

static bool isTouch(QEvent::Type type) {
    return type == QEvent::TouchBegin || type == QEvent::TouchUpdate || type == QEvent::TouchEnd ||
           type == QEvent::TouchCancel;
}

bool ZoomingScrollView::viewportEvent(QEvent* event) {
    if (!isTouch(event->type()))
        return QGraphicsView::viewportEvent(event);
    auto* touch = static_cast<QTouchEvent*>(event);
    if (event->type() == QEvent::TouchBegin && _fingers.isEmpty() && !touch->points().isEmpty())
        _touchedItem = itemAt(touch->points().first().position().toPoint());
    // Read before the scene sees the event: it rewrites the points into its items' coordinates.
    const QList<Finger> fingers = fingersOf(touch, QPointF());
    // The content sees every touch first: the overlay drops its gesture when a second finger comes.
    QGraphicsView::viewportEvent(event);
    trackTouches(fingers);
    // Qt may split the fingers over several sequences; when one ends, the gesture ends with it, so no
    // finger whose release went elsewhere is left behind.
    if (event->type() == QEvent::TouchEnd || event->type() == QEvent::TouchCancel)
        trackTouches({});
    event->accept(); // keep receiving this touch sequence, whoever in the scene took it
    return true;
}

// Qt may hand a finger's sequence to the view itself rather than to its viewport.
bool ZoomingScrollView::event(QEvent* event) {
    if (!isTouch(event->type()))
        return QGraphicsView::event(event);
    trackTouches(fingersOf(static_cast<QTouchEvent*>(event), -QPointF(viewport()->pos())));
    event->accept();
    return true;
}

QList<ZoomingScrollView::Finger> ZoomingScrollView::fingersOf(const QTouchEvent* event, QPointF offset) {
    QList<Finger> out;
    for (const QEventPoint& point : event->points())
        out.append({point.id(), point.state() == QEventPoint::State::Released, point.position() + offset});
    return out;
}

void ZoomingScrollView::trackTouches(const QList<Finger>& fingers) {
    if (fingers.isEmpty())
        _fingers.clear();
    const qsizetype before = _fingers.size();
    for (const Finger& finger : fingers) {
        if (finger.released)
            _fingers.remove(finger.id);
        else
            _fingers.insert(finger.id, finger.position);
    }
    if (_fingers.size() >= 2) {
        const QPointF a = _fingers.first();
        const QPointF b = std::next(_fingers.begin()).value();
        const qreal distance = std::hypot(a.x() - b.x(), a.y() - b.y());
        if (before < 2 || _pinchStartDistance <= 0) {
            _pinchStartDistance = std::max<qreal>(distance, 1);
            _pinchStartScale = zoomScale();
            _panning = false;
        } else {
            zoomAround(_pinchStartScale * distance / _pinchStartDistance, (a + b) / 2);
        }
    } else if (_fingers.size() == 1) {
        const QPointF at = _fingers.first();
        if (before == 0) {
            _lastPan = at;
            _panning = false;
            _pinchStartDistance = 0;
        } else if (_pinchStartDistance <= 0) {
            if (!_panning && _canCancel && (!_touchedItem || touchesShouldCancelInContentView(_touchedItem)))
                _panning = true;
            if (_panning)
                scrollBy(_lastPan - at);
            _lastPan = at;
        }
    } else {
        _touchedItem = nullptr;
        _panning = false;
        _pinchStartDistance = 0;
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
