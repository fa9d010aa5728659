#include "ViewController.h"

#include <QResizeEvent>

namespace grinsley::platform {

ViewController::ViewController(QWidget* parent) : QWidget(parent) {}

ViewController::~ViewController() { delete _modal.data(); }

void ViewController::loadViewIfNeeded() {
    if (_viewLoaded)
        return;
    _viewLoaded = true;
    viewDidLoad();
}

void ViewController::presentModalViewController(ViewController* modal, bool animated) {
    if (!modal)
        return;
    dismissModalViewController(false);
    _modal = modal;
    QWidget* host = window();
    modal->setParent(host);
    modal->setGeometry(host->rect());
    modal->loadViewIfNeeded();
    modal->viewWillAppear(animated);
    modal->show();
    modal->raise();
    modal->viewDidAppear(animated);
}

void ViewController::dismissModalViewController(bool animated) {
    if (!_modal)
        return;
    ViewController* modal = _modal;
    _modal = nullptr;
    modal->viewWillDisappear(animated);
    modal->hide();
    modal->deleteLater();
    // The presenter shows again, and is told so, as it was told when it first appeared.
    if (isVisible()) {
        viewWillAppear(animated);
        viewDidAppear(animated);
    }
}

// A turn of the device is a change of the window's shape between portrait and landscape. A screen that
// refuses the new orientation keeps its layout callbacks quiet.
void ViewController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (_modal)
        _modal->setGeometry(window()->rect());
    const InterfaceOrientation next = Device::interfaceOrientation(this);
    if (!_viewLoaded || isLandscape(next) == isLandscape(_orientation) || !shouldAutorotateToInterfaceOrientation(next))
        return;
    willRotateToInterfaceOrientation(next, 0.3);
    const InterfaceOrientation previous = _orientation;
    _orientation = next;
    didRotateFromInterfaceOrientation(previous);
}

} // namespace grinsley::platform
