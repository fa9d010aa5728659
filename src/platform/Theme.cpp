#include "Theme.h"

#include <QAction>
#include <QPainter>
#include <QToolBar>

namespace grinsley::platform::theme {

QString toolbars() {
    return QStringLiteral("QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #34373e,"
                          " stop:1 #101114); border: none; spacing: 2px; padding: 2px; }"
                          "QToolButton { color: white; font-size: 10px; padding: 1px 3px; background: transparent;"
                          " border: none; border-radius: 5px; }"
                          "QToolButton:hover { background: rgba(255,255,255,28); }"
                          "QToolButton:pressed { background: rgba(255,255,255,60); }"
                          "QToolButton:disabled { color: #6b6e75; }");
}

QIcon toolbarIcon(const QImage& glyph, qreal scale) {
    QPixmap pixmap = QPixmap::fromImage(glyph);
    pixmap.setDevicePixelRatio(scale);
    QIcon icon(pixmap);
    QImage faded = glyph.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter fade(&faded);
    fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    fade.fillRect(faded.rect(), QColor(0, 0, 0, 80));
    fade.end();
    QPixmap disabled = QPixmap::fromImage(faded);
    disabled.setDevicePixelRatio(scale);
    icon.addPixmap(disabled, QIcon::Disabled);
    return icon;
}

void spreadItems(QToolBar* bar) {
    QAction* previous = nullptr;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            bar->removeAction(action);
            continue;
        }
        if (previous) {
            auto* space = new QWidget(bar);
            space->setObjectName(QStringLiteral("flexibleSpace"));
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            bar->insertWidget(action, space);
        }
        previous = action;
    }
}

} // namespace grinsley::platform::theme
