#pragma once

#include <array>
#include <memory>

#include <QGraphicsObject>
#include <QPainterPath>
#include <QPointer>

#include "editing/SelectionGeometry.h"
#include "editing/SelectionShape.h"
#include "platform/EditMenu.h"
#include "platform/Image.h"

class QVariantAnimation;

namespace grinsley {

class PopupMenuSupport;

// The selection the user places over the photo: a dashed outline of the current shape, eleven handles that
// move, resize and rotate it, the piece shown half-transparent inside it, a white flash, and a
// press-and-hold menu. Its parent item is the canvas, whose coordinates `center()` and `frame()` use; touch
// points arrive in the overlay's own, rotated coordinates.
class SelectionView : public QGraphicsObject, public platform::EditResponder {
    Q_OBJECT
public:
    // A handle icon: its image (null when the resource could not be read), its size in points and opacity.
    struct HandleView {
        platform::Image image;
        QSizeF size;
        qreal opacity = 1.0;
        bool centreWithoutScaling = false;
    };

    explicit SelectionView(const QRectF& frame, QGraphicsItem* parent = nullptr);
    ~SelectionView() override;

    // --- Geometry, in the canvas's coordinates unless named otherwise
    QRectF bounds() const { return {QPointF(0, 0), _size}; }
    QPointF center() const { return _center; }
    // Sets the centre without telling anyone; the canvas uses it to clamp.
    void setCenter(QPointF center);
    // The axis-aligned box around the rotated overlay.
    QRectF frame() const;
    QRectF selectionRegionRect() const { return selection::selectionRegionRect(_size); }

    float rotationAngle() const { return _rotationAngle; }
    void setRotationAngle(float angle);

    QPointF centerWithBoundsCheck() const { return _center; }
    // Sets the centre, then emits centerWithBoundsCheckChanged so the canvas can clamp it.
    void setCenterWithBoundsCheck(QPointF center);

    // Raises a width below 70 and a height below 158 to those minimums; true when nothing had to be raised.
    bool setBoundsIfValid(QSizeF size);

    // How far the view is zoomed in. The handles and the smallest size keep their size on the screen, so the
    // overlay is drawn this many times smaller on the canvas: a small face can have the selection and its
    // handles around it once zoomed in. Its bounds stay in its own points (screen points); changing the zoom
    // keeps the selection region's extent on the canvas. 1 is the overlay as it always was.
    void setZoom(qreal zoom);
    qreal zoom() const { return _zoom; }
    // The bounds the overlay would have at zoom 1 for the same selection region (kept in the saved state), and
    // the way back.
    QSizeF unzoomedBoundsSize() const;
    bool setUnzoomedBoundsIfValid(QSizeF size);
    // Sets the selection region's size on the canvas (canvas points), raised to the smallest overlay.
    bool setCanvasRegionSizeIfValid(QSizeF size);

    int minSelectionViewWidth() const { return selection::minSelectionViewWidth; }
    int minSelectionViewHeight() const { return selection::minSelectionViewHeight; }
    int verticalContentOffset() const { return selection::verticalContentOffset; }
    int rotationIconHeight() const { return selection::rotationIconHeight; }

    // --- The piece and the shape
    const platform::Image& imageSelection() const { return _imageSelection; }
    void setImageSelection(platform::Image image);

    SelectionShape* selectionShape() const { return _selectionShape.get(); }
    void setSelectionShape(std::unique_ptr<SelectionShape> shape);
    // RectangleShape installs a rectangle, anything else an ellipse.
    void assignSelectionShape(int shape);
    QString getPathForMaskFile() const;
    void addShapeToContext(QPainterPath& context, const QRectF& rect) const;

    // Mirrors the piece top-to-bottom (vertical) or left-to-right, limiting its larger side to the overlay's
    // width. Does nothing without a piece.
    void flipImage(bool vertical);

    // The flash: the shape filled white, fading from opaque to clear over half a second.
    void runAnimation();
    bool isFlashing() const;
    qreal flashOpacity() const { return _flashOpacity; }

    // --- Touches
    bool isHandlingTouchEvent() const { return _touchAction != selection::TouchNone; }
    int touchAction() const { return _touchAction; }

    bool isMove(QPointF p) const;
    bool isResizeTop(QPointF p) const;
    bool isResizeBottom(QPointF p) const;
    bool isResizeLeft(QPointF p) const;
    bool isResizeRight(QPointF p) const;
    bool isRotateUpperLeft(QPointF p) const;
    bool isRotateUpperRight(QPointF p) const;
    bool isRotateLowerLeft(QPointF p) const;
    bool isRotateLowerRight(QPointF p) const;

    void rotateView(QPointF p);
    void changeWidth(qreal width, qreal widthDiff);
    void changeHeight(qreal height, qreal heightDiff);
    float computeSineValue(float value) const;
    float computeCosineValue(float value) const;

    // --- Responder and menu
    PopupMenuSupport* popupMenuSupport() const { return _popupMenuSupport; }
    void setPopupMenuSupport(PopupMenuSupport* support) { _popupMenuSupport = support; }

    bool canBecomeFirstResponder() const { return true; }
    bool becomeFirstResponder();
    bool isFirstResponder() const { return _firstResponder; }
    void copy();
    void paste();
    void deleteSelection(); // the edit menu's Delete ("delete" is taken in C++)
    bool canPerformAction(platform::EditAction action) const override;
    void performAction(platform::EditAction action) override;
    void showCopyPasteMenu(QPointF p);

    static constexpr std::chrono::milliseconds menuDelay{600};
    static constexpr qreal pieceOpacity = 0.7;

    const HandleView& handleView(selection::Handle handle) const { return _handles[std::size_t(handle)]; }

    // --- Drawing
    QRectF boundingRect() const override { return bounds(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    void drawSelectionBorder(QPainter* painter, int lineWidth) const;

signals:
    void centerWithBoundsCheckChanged();
    // The piece or the shape changed, or a move, resize or turn by the user ended.
    void changed();

protected:
    bool sceneEvent(QEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // One step of a gesture: how many fingers the event holds, and the first one in overlay coordinates.
    void touchesBegan(qsizetype touchCount, QPointF p);
    void touchesMoved(qsizetype touchCount, QPointF p);
    void touchesEnded();
    void setBoundsSize(QSizeF size);
    void applyTransform();
    void drawHandles(QPainter* painter) const;

    std::array<HandleView, selection::handleCount> _handles;
    QVariantAnimation* _animation = nullptr; // child QObject
    QPainterPath _flashPath;
    qreal _flashOpacity = 0; // the flash's own opacity stays 0; the animation lifts it for a moment
    float _rotationAngle = 0;
    platform::Image _imageSelection;
    int _touchAction = selection::TouchNone;
    QPointF _offsetFromCenter;
    qreal _offsetFromEdge = 0;
    PopupMenuSupport* _popupMenuSupport = nullptr; // not owned: the editor
    bool _firstResponder = false;
    std::unique_ptr<SelectionShape> _selectionShape;

    QSizeF _size;
    qreal _zoom = 1;
    QPointF _center;
};

} // namespace grinsley
