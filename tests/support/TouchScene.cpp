#include "TouchScene.h"

#include <QTest>

namespace grinsley::testing {

QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

TouchScene::TouchScene(QSizeF canvasSize)
    : _scene(std::make_unique<QGraphicsScene>(QRectF(QPointF(0, 0), canvasSize))),
      _view(std::make_unique<QGraphicsView>(_scene.get())) {
    _canvas = _scene->addRect(QRectF(QPointF(0, 0), canvasSize), Qt::NoPen, Qt::NoBrush);
    _view->setFrameShape(QFrame::NoFrame);
    _view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    _view->viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    _view->setFixedSize(canvasSize.toSize());
    _view->show();
    (void)QTest::qWaitForWindowExposed(_view.get());
    _device = touchScreen();
}

TouchScene::~TouchScene() = default;

QPoint TouchScene::toViewport(QPointF scenePoint) const { return _view->mapFromScene(scenePoint); }

void TouchScene::press(int id, QPointF p) { QTest::touchEvent(_view->viewport(), _device).press(id, toViewport(p)); }
void TouchScene::move(int id, QPointF p) { QTest::touchEvent(_view->viewport(), _device).move(id, toViewport(p)); }
void TouchScene::release(int id, QPointF p) {
    QTest::touchEvent(_view->viewport(), _device).release(id, toViewport(p));
}

void TouchScene::pressSecond(QPointF second) {
    QTest::touchEvent(_view->viewport(), _device).stationary(0).press(1, toViewport(second));
}

void TouchScene::moveBoth(QPointF first, QPointF second) {
    QTest::touchEvent(_view->viewport(), _device).move(0, toViewport(first)).move(1, toViewport(second));
}

void TouchScene::releaseBoth(QPointF first, QPointF second) {
    QTest::touchEvent(_view->viewport(), _device).release(0, toViewport(first)).release(1, toViewport(second));
}

} // namespace grinsley::testing
