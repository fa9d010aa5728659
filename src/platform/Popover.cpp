#include "Popover.h"

#include <algorithm>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace grinsley::platform {

Popover::Popover(QWidget* content) : QFrame(nullptr, Qt::Popup), _content(content) {
    setObjectName(QStringLiteral("popover"));
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet(QStringLiteral("#popover { background: #26282d; border: 1px solid #4a4d55; border-radius: 10px; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    if (content)
        layout->addWidget(content);
}

void Popover::placeUnder(QWidget* floating, QWidget* anchor) {
    QPoint at = anchor ? anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height())) : QPoint();
    at.rx() -= floating->width() / 2;
    if (QWidget* window = anchor ? anchor->window() : nullptr) {
        const QRect inside(window->mapToGlobal(QPoint(0, 0)), window->size());
        at.setX(std::clamp(at.x(), inside.left() + 4, std::max(inside.left() + 4, inside.right() - floating->width() - 4)));
    }
    floating->move(at);
}

void Popover::presentPopoverFromWidget(QWidget* anchor, bool) {
    adjustSize();
    placeUnder(this, anchor);
    _dismissedByCode = false;
    show();
}

void Popover::dismissPopoverAnimated(bool) {
    _dismissedByCode = true;
    hide();
}

void Popover::passPressToToolbar(QWidget* floating, QMouseEvent* event) {
    if (floating->rect().contains(event->position().toPoint()))
        return;
    // Found by geometry among the windows' toolbars: asking the screen what is at a point fails where the
    // window reaches past the screen.
    const QPoint global = event->globalPosition().toPoint();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == floating || !window->isVisible())
            continue;
        for (QToolBar* bar : window->findChildren<QToolBar*>()) {
            for (QToolButton* button : bar->findChildren<QToolButton*>()) {
                if (button->isVisible() && button->rect().contains(button->mapFromGlobal(global))) {
                    // After the frame has closed, so that the button's command finds no frame open.
                    QMetaObject::invokeMethod(button, &QToolButton::click, Qt::QueuedConnection);
                    return;
                }
            }
        }
    }
}

void Popover::mousePressEvent(QMouseEvent* event) {
    passPressToToolbar(this, event);
    QFrame::mousePressEvent(event);
}

void Popover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (!_dismissedByCode && popoverControllerDidDismissPopover)
        popoverControllerDidDismissPopover(this);
}

} // namespace grinsley::platform
