#pragma once

#include <functional>

#include <QFrame>
#include <QPointer>

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

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<QWidget> _content;
    bool _dismissedByCode = false;
};

} // namespace grinsley::platform
