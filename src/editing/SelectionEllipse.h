#pragma once

#include "editing/SelectionShape.h"

namespace grinsley {

class SelectionEllipse final : public SelectionShape {
public:
    void addShapeToPath(QPainterPath& path, const QRectF& rect) const override;
    QString getPathForMaskFile() const override;
    QImage softEdgeMask(int side, double softness) const override;
};

} // namespace grinsley
