#include "SelectionRectangle.h"

#include <QPainterPath>

#include "editing/PieceOperations.h"
#include "platform/Bundle.h"

namespace grinsley {

void SelectionRectangle::addShapeToPath(QPainterPath& path, const QRectF& rect) const {
    path.addRect(rect);
}

QString SelectionRectangle::getPathForMaskFile() const {
    return platform::Bundle::pathForResource(QStringLiteral("RectangleMask"), QStringLiteral("png"));
}

QImage SelectionRectangle::softEdgeMask(int side, double softness) const { return pieces::rectangleMask(side, softness); }

} // namespace grinsley
