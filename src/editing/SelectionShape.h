#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

class QPainterPath;

namespace grinsley {

// The two shapes the user can pick, by the numbers the overlay and the canvas take.
enum SelectionShapeKind : int { EllipseShape = 0, RectangleShape = 1 };

// The outline of what the user selects, inscribed in a rectangle, and the mask that softens a copied piece's
// edge. Stateless: the overlay holds one and replaces it when the user picks another shape.
class SelectionShape {
public:
    virtual ~SelectionShape() = default;

    // Appends the closed outline inscribed in the rectangle to the path, untransformed.
    virtual void addShapeToPath(QPainterPath& path, const QRectF& rect) const = 0;
    // Full path of the shape's mask image among the application's resources; looked up on every call.
    virtual QString getPathForMaskFile() const = 0;
    // The shape's mask drawn anew with another width of soft edge (see pieces::ellipseMask); none by default.
    virtual QImage softEdgeMask(int side, double softness) const {
        (void)side;
        (void)softness;
        return {};
    }
    // Qt has no current path on a painter; a drawing's path under construction is a QPainterPath, so this
    // appends the same outline to it.
    void addShapeToContext(QPainterPath& context, const QRectF& rect) const { addShapeToPath(context, rect); }
};

} // namespace grinsley
