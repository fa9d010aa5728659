#pragma once

#include "platform/ZoomingScrollView.h"

namespace grinsley {

// The editor's zooming view of the canvas. A drag never turns into scrolling while it moves, resizes or
// rotates the selection.
class MainScrollView : public platform::ZoomingScrollView {
    Q_OBJECT
public:
    explicit MainScrollView(QWidget* parent = nullptr) : ZoomingScrollView(parent) {}
    bool touchesShouldCancelInContentView(QGraphicsItem* item) const override;
};

} // namespace grinsley
