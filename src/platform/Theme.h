#pragma once

#include <QCheckBox>
#include <QColor>
#include <QIcon>
#include <QString>

class QToolBar;

namespace grinsley::platform::theme {

// The application's own look for the screens the platform layer draws (alerts, sheets, the edit menu, the
// photo picker): the dark of the toolbars, rows a finger can hit.
inline constexpr int fingerHeight = 44;

// The dark panel's gradient and edge, and the accent of a pressed or chosen control: for what draws itself
// (popovers, check boxes) and for the style rules below alike.
inline const QColor panelTop{0x34, 0x37, 0x3e};
inline const QColor panelBottom{0x1b, 0x1c, 0x20};
inline const QColor panelBorder{0x4a, 0x4d, 0x55};
inline const QColor accent{0x2c, 0x6f, 0xd6};

// Rules for a dark panel with the given object name, its labels and its buttons.
inline QString darkPanel(const char* objectName, int radius = 12) {
    return QStringLiteral("#%1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %4, stop:1 %5);"
                          " border: 1px solid %6; border-radius: %2px; }"
                          "#%1 QLabel { color: #f2f2f4; font-size: 15px; background: transparent; border: none; }"
                          "#%1 QPushButton { min-height: %3px; padding: 0 18px; border-radius: 9px; border: none;"
                          " background: #474a52; color: white; font-size: 16px; }"
                          "#%1 QPushButton:hover { background: #545862; }"
                          "#%1 QPushButton:pressed { background: %7; }")
        .arg(QLatin1String(objectName))
        .arg(radius)
        .arg(fingerHeight)
        .arg(panelTop.name(), panelBottom.name(), panelBorder.name(), accent.name());
}

// The toolbars' dark gradient and their buttons' white labels, for a screen with toolbars.
QString toolbars();
// An item's glyph; a disabled item's fades with its label, so that it looks disabled at a glance.
QIcon toolbarIcon(const QImage& glyph, qreal scale);
// A phone's toolbar: its items spread across the bar with flexible space between them, no separators.
void spreadItems(QToolBar* bar);

// A check box for the dark panels: a dark box with a light border, filled with the accent blue and a white tick
// when checked (the desktop style draws a light tick on a white box there, which cannot be seen).
class DarkCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    // Room for the box and the whole label as paintEvent lays them out (the style's hint knows neither).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace grinsley::platform::theme
