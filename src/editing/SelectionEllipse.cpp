#include "SelectionEllipse.h"

#include <QPainterPath>

#include "editing/PieceOperations.h"
#include "platform/Bundle.h"

namespace grinsley {

void SelectionEllipse::addShapeToPath(QPainterPath& path, const QRectF& rect) const {
    path.addEllipse(rect);
}

QString SelectionEllipse::getPathForMaskFile() const {
    return platform::Bundle::pathForResource(QStringLiteral("EllipseMask"), QStringLiteral("png"));
}

QImage SelectionEllipse::softEdgeMask(int side, double softness) const { return pieces::ellipseMask(side, softness); }

} // namespace grinsley
