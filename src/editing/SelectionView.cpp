#include "SelectionView.h"

#include <QGraphicsScene>

#include <cmath>

#include <QFocusEvent>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QTouchEvent>
#include <QVariantAnimation>

#include "editing/PopupMenuSupport.h"
#include "editing/SelectionEllipse.h"
#include "editing/SelectionRectangle.h"
#include "platform/Bundle.h"
#include "platform/MainThread.h"

namespace grinsley {

using namespace selection;

// ---------------------------------------------------------------------------------------------------------
// Creation

SelectionView::SelectionView(const QRectF& frame, QGraphicsItem* parent)
    : QGraphicsObject(parent), _selectionShape(std::make_unique<SelectionEllipse>()), _size(frame.size()),
      _center(frame.center()) {
    setAcceptTouchEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    setFlag(ItemIsFocusable);

    for (const HandleInfo& info : handles) {
        HandleView& view = _handles[std::size_t(info.handle)];
        view.image = platform::Bundle::imageNamed(QLatin1String(info.icon), QStringLiteral("png"));
        view.size = QSizeF(selection::rotationIconHeight, selection::rotationIconHeight);
    }
    HandleView& centerMove = _handles[std::size_t(Handle::CenterMove)];
    centerMove.opacity = 0.7;
    centerMove.size = QSizeF(centerMoveIconSide, centerMoveIconSide);
    HandleView& upperMove = _handles[std::size_t(Handle::UpperMove)];
    upperMove.opacity = 0.7;
    upperMove.centreWithoutScaling = true;
    _handles[std::size_t(Handle::LowerMove)].opacity = 0.7;

    _animation = new QVariantAnimation(this);
    connect(_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        _flashOpacity = value.toReal();
        update();
    });
    _selectionShape->addShapeToPath(_flashPath, selectionRegionRect());

    applyTransform();
}

SelectionView::~SelectionView() {
    platform::MainThread::cancelPreviousPerformRequests(this);
    platform::EditMenu::shared().forgetResponder(this);
}

// ---------------------------------------------------------------------------------------------------------
// Geometry

void SelectionView::setCenter(QPointF center) {
    _center = center;
    applyTransform();
}

QRectF SelectionView::frame() const { return mapRectToParent(bounds()); }

void SelectionView::setRotationAngle(float angle) {
    _rotationAngle = angle;
    applyTransform();
}

void SelectionView::setCenterWithBoundsCheck(QPointF center) {
    setCenter(center);
    emit centerWithBoundsCheckChanged();
}

bool SelectionView::setBoundsIfValid(QSizeF size) {
    bool valid = true;
    if (size.width() < selection::minSelectionViewWidth) {
        size.setWidth(selection::minSelectionViewWidth);
        valid = false;
    }
    if (size.height() < selection::minSelectionViewHeight) {
        size.setHeight(selection::minSelectionViewHeight);
        valid = false;
    }
    setBoundsSize(size);
    return valid;
}

namespace {
const QSizeF margins(2 * selection::horizontalContentOffset, 2 * selection::verticalContentOffset);
} // namespace

void SelectionView::setZoom(qreal zoom) {
    if (!(zoom > 0) || zoom == _zoom)
        return;
    const QSizeF unzoomed = unzoomedBoundsSize();
    _zoom = zoom;
    setUnzoomedBoundsIfValid(unzoomed);
    applyTransform();
}

QSizeF SelectionView::unzoomedBoundsSize() const { return (_size - margins) / _zoom + margins; }

bool SelectionView::setUnzoomedBoundsIfValid(QSizeF size) { return setCanvasRegionSizeIfValid(size - margins); }

bool SelectionView::setCanvasRegionSizeIfValid(QSizeF size) { return setBoundsIfValid(size * _zoom + margins); }

void SelectionView::setBoundsSize(QSizeF size) {
    if (size == _size)
        return;
    prepareGeometryChange();
    _size = size;
    applyTransform();
    update();
}

// The overlay turns about its centre; its local origin is the top-left corner of its bounds.
void SelectionView::applyTransform() {
    const QPointF half(_size.width() / 2, _size.height() / 2);
    QTransform transform;
    transform.translate(half.x(), half.y());
    transform.rotateRadians(double(_rotationAngle));
    transform.scale(1 / _zoom, 1 / _zoom);
    transform.translate(-half.x(), -half.y());
    setTransform(transform);
    setPos(_center - half);
}

// ---------------------------------------------------------------------------------------------------------
// Piece and shape

void SelectionView::setImageSelection(platform::Image image) {
    _imageSelection = std::move(image);
    update();
    emit changed();
}

void SelectionView::assignSelectionShape(int shape) {
    if (shape == RectangleShape)
        setSelectionShape(std::make_unique<SelectionRectangle>());
    else
        setSelectionShape(std::make_unique<SelectionEllipse>());
}

void SelectionView::setSelectionShape(std::unique_ptr<SelectionShape> shape) {
    if (!shape)
        return;
    _selectionShape = std::move(shape);
    update();
    emit changed();
}

QString SelectionView::getPathForMaskFile() const { return _selectionShape->getPathForMaskFile(); }

void SelectionView::addShapeToContext(QPainterPath& context, const QRectF& rect) const {
    _selectionShape->addShapeToContext(context, rect);
}

void SelectionView::flipImage(bool vertical) {
    if (_imageSelection.isNull())
        return;
    const int limit = int(_size.width());
    const QSize pixels = _imageSelection.pixelSize();
    const qreal w = pixels.width();
    const qreal h = pixels.height();
    QSizeF output(w, h);
    if (w > limit || h > limit) {
        const qreal ratio = w / h;
        output = ratio > 1 ? QSizeF(limit, limit / ratio) : QSizeF(limit * ratio, limit);
    }
    QImage flipped = _imageSelection.bitmap().mirrored(!vertical, vertical);
    const QSize target(qMax(1, qRound(output.width())), qMax(1, qRound(output.height())));
    if (target != pixels)
        flipped = flipped.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    setImageSelection(platform::Image(std::move(flipped)));
}

void SelectionView::runAnimation() {
    _flashPath = QPainterPath();
    _selectionShape->addShapeToPath(_flashPath, selectionRegionRect());
    _animation->stop();
    _animation->setStartValue(1.0);
    _animation->setEndValue(0.0);
    _animation->setDuration(500);
    _animation->start();
}

bool SelectionView::isFlashing() const { return _animation->state() == QAbstractAnimation::Running; }

// ---------------------------------------------------------------------------------------------------------
// Hit tests and gesture steps

bool SelectionView::isMove(QPointF p) const {
    return handleContains(Handle::CenterMove, _size, p) || handleContains(Handle::UpperMove, _size, p) ||
           handleContains(Handle::LowerMove, _size, p);
}
bool SelectionView::isResizeTop(QPointF p) const { return handleContains(Handle::TopResize, _size, p); }
bool SelectionView::isResizeBottom(QPointF p) const { return handleContains(Handle::BottomResize, _size, p); }
bool SelectionView::isResizeLeft(QPointF p) const { return handleContains(Handle::LeftResize, _size, p); }
bool SelectionView::isResizeRight(QPointF p) const { return handleContains(Handle::RightResize, _size, p); }
bool SelectionView::isRotateUpperLeft(QPointF p) const {
    return handleContains(Handle::UpperLeftRotation, _size, p);
}
bool SelectionView::isRotateUpperRight(QPointF p) const {
    return handleContains(Handle::UpperRightRotation, _size, p);
}
bool SelectionView::isRotateLowerLeft(QPointF p) const {
    return handleContains(Handle::LowerLeftRotation, _size, p);
}
bool SelectionView::isRotateLowerRight(QPointF p) const {
    return handleContains(Handle::LowerRightRotation, _size, p);
}

void SelectionView::rotateView(QPointF p) {
    setRotationAngle(_rotationAngle + rotationStep(TouchAction(_touchAction), p, _size));
}

// A resize moves the centre by half the change along the overlay's own axis, so the opposite edge stays put.
void SelectionView::changeWidth(qreal width, qreal widthDiff) {
    if (!(selection::minSelectionViewWidth < width))
        return;
    setBoundsIfValid(QSizeF(width, _size.height()));
    const float d = float(widthDiff);
    setCenterWithBoundsCheck(_center + QPointF(computeSineValue(d), -computeCosineValue(d)));
}

void SelectionView::changeHeight(qreal height, qreal heightDiff) {
    if (!(selection::minSelectionViewHeight < height))
        return;
    setBoundsIfValid(QSizeF(_size.width(), height));
    const float d = float(heightDiff);
    setCenterWithBoundsCheck(_center + QPointF(computeCosineValue(d), computeSineValue(d)));
}

float SelectionView::computeSineValue(float value) const {
    const float phi = float(double(_rotationAngle) + M_PI_2);
    return std::sin(phi) * value;
}

float SelectionView::computeCosineValue(float value) const {
    const float phi = float(double(_rotationAngle) + M_PI_2);
    return std::cos(phi) * value;
}

// ---------------------------------------------------------------------------------------------------------
// Touches

bool SelectionView::sceneEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate: {
        auto* touch = static_cast<QTouchEvent*>(event);
        const auto& points = touch->points();
        if (points.isEmpty())
            return false;
        if (event->type() == QEvent::TouchBegin)
            touchesBegan(points.size(), points.first().position());
        else
            touchesMoved(points.size(), points.first().position());
        // More than one finger is a pinch: leave it to the scroll view.
        event->setAccepted(points.size() == 1);
        return true;
    }
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        touchesEnded();
        event->accept();
        return true;
    default:
        return QGraphicsObject::sceneEvent(event);
    }
}

// A mouse stands in for one finger; mouse events made from touches are ignored, the touches came first.
void SelectionView::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    if (event->source() != Qt::MouseEventNotSynthesized || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    touchesBegan(1, event->pos());
}

void SelectionView::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
    if (event->source() == Qt::MouseEventNotSynthesized)
        touchesMoved(1, event->pos());
}

void SelectionView::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    if (event->source() == Qt::MouseEventNotSynthesized)
        touchesEnded();
}

void SelectionView::touchesBegan(qsizetype touchCount, QPointF p) {
    if (touchCount > 1) {
        _touchAction = TouchNone;
        // Handing the fingers to the scroll view ends this touch for the overlay, menu timer included.
        platform::MainThread::cancelPreviousPerformRequests(this);
        return;
    }
    const QPointF q = mapToParent(p);
    _offsetFromCenter = q - _center;
    _offsetFromEdge = 0;
    _touchAction = hitTest(p, _size);
    switch (_touchAction) {
    case TouchResizeTop:
        _offsetFromEdge = p.y();
        break;
    case TouchResizeBottom:
        _offsetFromEdge = _size.height() - p.y();
        break;
    case TouchResizeLeft:
        _offsetFromEdge = p.x();
        break;
    case TouchResizeRight:
        _offsetFromEdge = _size.width() - p.x();
        break;
    default:
        break;
    }
    platform::MainThread::performAfterDelay(this, [this, p] { showCopyPasteMenu(p); }, menuDelay);
}

void SelectionView::touchesMoved(qsizetype touchCount, QPointF p) {
    if (touchCount > 1) {
        _touchAction = TouchNone;
        platform::MainThread::cancelPreviousPerformRequests(this);
        return;
    }
    const qreal width = _size.width();
    const qreal height = _size.height();
    const qreal e = _offsetFromEdge;
    switch (_touchAction) {
    case TouchNone:
        return;
    case TouchMove:
        setCenterWithBoundsCheck(mapToParent(p) - _offsetFromCenter);
        break;
    case TouchRotateUpperLeft:
    case TouchRotateUpperRight:
    case TouchRotateLowerLeft:
    case TouchRotateLowerRight:
        rotateView(p);
        break;
    case TouchResizeTop: {
        const qreal h = height - p.y() + e;
        changeHeight(h, -(h - height) / 2);
        break;
    }
    case TouchResizeBottom: {
        const qreal h = p.y() + e;
        changeHeight(h, (h - height) / 2);
        break;
    }
    case TouchResizeLeft: {
        const qreal w = width - p.x() + e;
        changeWidth(w, -(w - width) / 2);
        break;
    }
    case TouchResizeRight: {
        const qreal w = p.x() + e;
        changeWidth(w, (w - width) / 2);
        break;
    }
    default:
        break;
    }
    platform::MainThread::cancelPreviousPerformRequests(this);
}

void SelectionView::touchesEnded() {
    const bool acted = _touchAction != TouchNone;
    _touchAction = TouchNone;
    platform::MainThread::cancelPreviousPerformRequests(this);
    if (acted)
        emit changed();
}

// ---------------------------------------------------------------------------------------------------------
// Responder and menu

bool SelectionView::becomeFirstResponder() {
    if (!canBecomeFirstResponder())
        return false;
    setFocus(Qt::OtherFocusReason);
    _firstResponder = true;
    return true;
}

// The menu's own popup and a window switch take keyboard focus for a while without ending the overlay's turn.
void SelectionView::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        _firstResponder = false;
    QGraphicsObject::focusOutEvent(event);
}

void SelectionView::copy() {
    if (_popupMenuSupport)
        _popupMenuSupport->copyButtonTouched();
}

void SelectionView::paste() {
    if (_popupMenuSupport)
        _popupMenuSupport->pasteButtonTouched();
}

void SelectionView::deleteSelection() {
    if (_popupMenuSupport)
        _popupMenuSupport->deleteButtonTouched();
}

bool SelectionView::canPerformAction(platform::EditAction action) const {
    using platform::EditAction;
    // Without an editor to ask, nothing can be done.
    switch (action) {
    case EditAction::Copy:
        return _popupMenuSupport && _popupMenuSupport->canCopy();
    case EditAction::Paste:
        return _popupMenuSupport && _popupMenuSupport->canPaste();
    case EditAction::Delete:
        return _popupMenuSupport && _popupMenuSupport->canDelete();
    default:
        return false; // the overlay implements only these three edit commands
    }
}

void SelectionView::performAction(platform::EditAction action) {
    switch (action) {
    case platform::EditAction::Copy:
        copy();
        break;
    case platform::EditAction::Paste:
        paste();
        break;
    case platform::EditAction::Delete:
        deleteSelection();
        break;
    default:
        break;
    }
}

void SelectionView::showCopyPasteMenu(QPointF p) {
    if (!becomeFirstResponder())
        return;
    platform::EditMenu& menu = platform::EditMenu::shared();
    menu.setTargetRect(QRectF(p, QSizeF(0, 0)), this, this);
    menu.setMenuItems(_popupMenuSupport ? _popupMenuSupport->customMenuItems() : QList<QAction*>());
    menu.setMenuVisible(true, true);
    // The menu takes the pointer: the release of this press goes to it. End the press here, or the scene
    // keeps this overlay as the pointer's grabber and the next drag is read as the old press.
    if (menu.isMenuVisible()) {
        touchesEnded();
        if (scene() && scene()->mouseGrabberItem() == this)
            ungrabMouse();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Drawing

void SelectionView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF region = selectionRegionRect();
    if (!_imageSelection.isNull()) {
        painter->save();
        painter->setOpacity(pieceOpacity);
        painter->drawImage(region, _imageSelection.bitmap());
        painter->restore();
    }
    drawSelectionBorder(painter, 1);
    drawHandles(painter);
    if (_flashOpacity > 0) {
        painter->save();
        painter->setOpacity(_flashOpacity);
        painter->fillPath(_flashPath, Qt::white);
        painter->restore();
    }
}

// White dashes, then black ones in the gaps: the outline shows on any photo.
void SelectionView::drawSelectionBorder(QPainter* painter, int lineWidth) const {
    QPainterPath outline;
    _selectionShape->addShapeToContext(outline, selectionRegionRect());
    painter->save();
    painter->setBrush(Qt::NoBrush);
    const qreal dashUnits = 8.0 / qMax(1, lineWidth); // Qt counts dashes in line widths
    for (const auto& [colour, phase] : {std::pair{QColor(Qt::white), 0.0}, std::pair{QColor(Qt::black), 8.0}}) {
        QPen pen(colour, lineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({dashUnits, dashUnits});
        pen.setDashOffset(phase / qMax(1, lineWidth));
        painter->setPen(pen);
        painter->drawPath(outline);
    }
    painter->restore();
}

void SelectionView::drawHandles(QPainter* painter) const {
    for (const HandleInfo& info : handles) {
        const HandleView& view = _handles[std::size_t(info.handle)];
        if (view.image.isNull())
            continue;
        const QPointF centre = handleCenter(info.handle, _size);
        const QSizeF size = view.centreWithoutScaling ? view.image.size() : view.size;
        painter->save();
        painter->setOpacity(view.opacity);
        painter->drawImage(QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size),
                           view.image.bitmap());
        painter->restore();
    }
}

} // namespace grinsley
