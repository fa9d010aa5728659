#include "ScreenGrab.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

namespace grinsley::platform {

QPixmap grabScreen(QWidget* window) {
    QPixmap screen = window->grab();
    QPainter painter(&screen);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == window || !top->isVisible())
            continue;
        painter.drawPixmap(top->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0)), top->grab());
    }
    return screen;
}

} // namespace grinsley::platform
