#include "Theme.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>

namespace grinsley::platform::theme {

// No spacing between items: the flexible spaces between them spread them, and a tablet's bar of eighteen
// items must fit a narrow window.
QString toolbars() {
    return QStringLiteral("QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #34373e,"
                          " stop:1 #101114); border: none; spacing: 0px; padding: 2px; }"
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

namespace {
constexpr qreal checkBoxSide = 22;
constexpr qreal checkBoxGap = 10; // between the box and the label
} // namespace

QSize DarkCheckBox::sizeHint() const {
    const QSize style = QCheckBox::sizeHint();
    const int label = fontMetrics().horizontalAdvance(text());
    return {int(1 + checkBoxSide + checkBoxGap) + label + 4, std::max(style.height(), int(checkBoxSide) + 4)};
}

void DarkCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    constexpr qreal side = checkBoxSide;
    const QRectF box(1, (height() - side) / 2, side, side);
    p.setPen(QPen(isChecked() ? accent : QColor(0x8e, 0x8e, 0x93), 1.5));
    p.setBrush(isChecked() ? accent : QColor(0x2c, 0x2c, 0x30));
    p.drawRoundedRect(box, 5, 5);
    if (isChecked()) {
        QPainterPath tick;
        tick.moveTo(box.left() + 5.5, box.center().y() + 0.5);
        tick.lineTo(box.left() + 9.5, box.bottom() - 6);
        tick.lineTo(box.right() - 5, box.top() + 6.5);
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    if (hasFocus()) {
        p.setPen(QPen(QColor(0x6e, 0xa8, 0xff), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(-2.5, -2.5, 2.5, 2.5), 7, 7);
    }
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRectF(box.right() + checkBoxGap, 0, width() - box.right() - checkBoxGap, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

} // namespace grinsley::platform::theme
