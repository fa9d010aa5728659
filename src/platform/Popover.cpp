#include "Popover.h"

#include <algorithm>

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Theme.h"

namespace grinsley::platform {

namespace {
constexpr int arrowHeight = 10;
constexpr int arrowHalfWidth = 11;
constexpr qreal radius = 12;
} // namespace

Popover::Popover(QWidget* content) : QFrame(nullptr, Qt::Popup), _content(content) {
    setObjectName(QStringLiteral("popover"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8 + arrowHeight, 8, 8);
    if (content)
        layout->addWidget(content);
}

// The rounded panel and the arrow towards the button, as one outline; the window is cut to it, so no square
// corner shows on any desktop, with or without a compositor.
QPainterPath Popover::outline() const {
    QPainterPath panel;
    panel.addRoundedRect(QRectF(0.5, arrowHeight + 0.5, width() - 1.0, height() - arrowHeight - 1.0), radius, radius);
    const qreal x = std::clamp<qreal>(_arrowX, radius + arrowHalfWidth, width() - radius - arrowHalfWidth);
    QPainterPath arrow;
    arrow.moveTo(x - arrowHalfWidth, arrowHeight + 1.5);
    arrow.lineTo(x, 0.5);
    arrow.lineTo(x + arrowHalfWidth, arrowHeight + 1.5);
    arrow.closeSubpath();
    return panel.united(arrow);
}

void Popover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, theme::panelTop);
    fill.setColorAt(1, theme::panelBottom);
    p.setBrush(fill);
    p.setPen(QPen(theme::panelBorder, 1));
    p.drawPath(outline());
}

void Popover::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    setMask(QRegion(outline().toFillPolygon().toPolygon()));
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
    // The arrow points at the middle of the button, wherever the window's edge pushed the panel.
    _arrowX = anchor ? anchor->mapToGlobal(QPoint(anchor->width() / 2, 0)).x() - pos().x() : width() / 2;
    setMask(QRegion(outline().toFillPolygon().toPolygon()));
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
