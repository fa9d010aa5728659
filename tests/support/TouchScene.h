#pragma once

#include <memory>

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointingDevice>

namespace grinsley::testing {

// The one touch screen of the test process, registered with Qt on first use and kept for the whole run.
QPointingDevice* touchScreen();

// A shown view of a scene whose viewport coordinates are the scene's, with a canvas item at the origin and a
// touch screen to drive it: tests touch scene points and the events travel the real route through Qt.
class TouchScene {
public:
    explicit TouchScene(QSizeF canvasSize = {800, 800});
    ~TouchScene();

    QGraphicsScene* scene() const { return _scene.get(); }
    QGraphicsView* view() const { return _view.get(); }
    QGraphicsRectItem* canvas() const { return _canvas; }

    // Touch points by id, at scene points (rounded to whole pixels, as a screen reports them).
    void press(int id, QPointF scenePoint);
    void move(int id, QPointF scenePoint);
    void release(int id, QPointF scenePoint);
    // Two fingers at once: the first stays where it is, the second comes down.
    void pressSecond(QPointF secondAt);
    void moveBoth(QPointF firstAt, QPointF secondAt);
    void releaseBoth(QPointF firstAt, QPointF secondAt);

private:
    QPoint toViewport(QPointF scenePoint) const;

    std::unique_ptr<QGraphicsScene> _scene;
    std::unique_ptr<QGraphicsView> _view;
    QGraphicsRectItem* _canvas = nullptr; // owned by the scene
    QPointingDevice* _device = nullptr;   // owned by Qt
};

} // namespace grinsley::testing
