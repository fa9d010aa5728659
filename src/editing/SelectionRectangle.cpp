#include "SelectionRectangle.h"

#include <QPainterPath>

#include "platform/Bundle.h"

namespace grinsley {

void SelectionRectangle::addShapeToPath(QPainterPath& path, const QRectF& rect) const {
    path.addRect(rect);
}

QString SelectionRectangle::getPathForMaskFile() const {
    return platform::Bundle::pathForResource(QStringLiteral("RectangleMask"), QStringLiteral("png"));
}

} // namespace grinsley
