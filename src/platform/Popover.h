#pragma once

#include <functional>

#include <QFrame>
#include <QPainterPath>
#include <QPointer>

class QMouseEvent;

namespace grinsley::platform {

// A tablet's popover: a screen shown in a small floating frame pointing at the control that opened it.
// A tap outside dismisses it (and tells the delegate); dismissPopoverAnimated does not tell it.
class Popover : public QFrame {
    Q_OBJECT
public:
    std::function<void(Popover*)> popoverControllerDidDismissPopover;

    explicit Popover(QWidget* content);

    QWidget* contentViewController() const { return _content; }
    void presentPopoverFromWidget(QWidget* anchor, bool animated);
    void dismissPopoverAnimated(bool animated);
    bool isPopoverVisible() const { return isVisible(); }
    // Puts a floating widget under the anchor, centred on it, moved along only as far as keeps it inside the
    // anchor's window.
    static void placeUnder(QWidget* floating, QWidget* anchor);
    // A press outside a floating frame closes it (Qt's popups eat that press); when the press was on a toolbar's
    // button, the button is pressed too, as a tap on a phone's toolbar reaches the toolbar. Call it from the
    // frame's mousePressEvent before anything else.
    static void passPressToToolbar(QWidget* floating, QMouseEvent* event);

protected:
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPainterPath outline() const;
    int _arrowX = 0; // where the arrow's tip is, in the frame's own points
    QPointer<QWidget> _content;
    bool _dismissedByCode = false;
};

} // namespace grinsley::platform
