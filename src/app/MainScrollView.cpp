#include "MainScrollView.h"

#include <typeinfo>

#include "editing/SelectionView.h"

namespace grinsley {

bool MainScrollView::touchesShouldCancelInContentView(QGraphicsItem* item) const {
    QGraphicsObject* object = item ? item->toGraphicsObject() : nullptr;
    // Exactly the overlay's class, not a subclass of it.
    if (object && typeid(*object) == typeid(SelectionView))
        return !static_cast<SelectionView*>(object)->isHandlingTouchEvent();
    return true;
}

} // namespace grinsley
