#include "Popover.h"

#include <QScreen>
#include <QVBoxLayout>

namespace grinsley::platform {

Popover::Popover(QWidget* content) : QFrame(nullptr, Qt::Popup), _content(content) {
    setObjectName(QStringLiteral("popover"));
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet(QStringLiteral("#popover { background: #f4f4f6; border: 1px solid #888; border-radius: 10px; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    if (content)
        layout->addWidget(content);
}

void Popover::presentPopoverFromWidget(QWidget* anchor, bool) {
    adjustSize();
    QPoint at = anchor ? anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height())) : QPoint();
    at.rx() -= width() / 2;
    move(at);
    _dismissedByCode = false;
    show();
}

void Popover::dismissPopoverAnimated(bool) {
    _dismissedByCode = true;
    hide();
}

void Popover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (!_dismissedByCode && popoverControllerDidDismissPopover)
        popoverControllerDidDismissPopover(this);
}

} // namespace grinsley::platform
