#pragma once

#include <QGraphicsView>
#include <QMap>
#include <QPointF>

class QTouchEvent;

namespace grinsley::platform {

// A view of one content item that zooms between a minimum and a maximum scale: pinch with two fingers, or
// Ctrl and the mouse wheel. A one-finger drag scrolls the content unless touchesShouldCancelInContentView
// says the touched item keeps it.
class ZoomingScrollView : public QGraphicsView {
    Q_OBJECT
public:
    explicit ZoomingScrollView(QWidget* parent = nullptr);

    qreal zoomScale() const { return transform().m11(); }
    void setZoomScale(qreal scale, bool animated = false);
    qreal minimumZoomScale() const { return _minimum; }
    void setMinimumZoomScale(qreal scale) { _minimum = scale; }
    qreal maximumZoomScale() const { return _maximum; }
    void setMaximumZoomScale(qreal scale) { _maximum = scale; }

    bool canCancelContentTouches() const { return _canCancel; }
    void setCanCancelContentTouches(bool cancel) { _canCancel = cancel; }
    bool delaysContentTouches() const { return _delays; }
    void setDelaysContentTouches(bool delays) { _delays = delays; }
    void setDecelerationRate(qreal rate) { _deceleration = rate; }
    static constexpr qreal decelerationRateFast = 0.99;

    // Whether a drag that began on the item may turn into scrolling.
    virtual bool touchesShouldCancelInContentView(QGraphicsItem* item) const;

signals:
    void zoomScaleChanged(qreal scale);

protected:
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void zoomAround(qreal scale, QPointF viewportPoint);
    // Follows every finger by id, whichever widget Qt delivered it to, in viewport coordinates.
    struct Finger {
        int id;
        bool released;
        QPointF position;
    };
    static QList<Finger> fingersOf(const QTouchEvent* event, QPointF offset);
    void trackTouches(const QList<Finger>& fingers);
    void scrollBy(QPointF delta);

    qreal _minimum = 1;
    qreal _maximum = 1;
    qreal _deceleration = 0.998;
    bool _canCancel = true;
    bool _delays = true;
    // The gesture under way.
    qreal _pinchStartDistance = 0;
    qreal _pinchStartScale = 1;
    QPointF _lastPan;
    QMap<int, QPointF> _fingers;
    QGraphicsItem* _touchedItem = nullptr;
    bool _panning = false;
};

} // namespace grinsley::platform
