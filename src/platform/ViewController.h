#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Device.h"

namespace grinsley::platform {

class NavigationController;

// A screen: a widget with the phone platform's lifecycle hooks. Its view is set up once, on first need
// (viewDidLoad); a navigation controller tells it when it appears and when the device turns.
class ViewController : public QWidget {
    Q_OBJECT
public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    NavigationController* navigationController() const { return _navigationController; }

    void loadViewIfNeeded();
    bool isViewLoaded() const { return _viewLoaded; }

    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation) const { return true; }
    virtual void willRotateToInterfaceOrientation(InterfaceOrientation, double /*duration*/) {}
    virtual void didRotateFromInterfaceOrientation(InterfaceOrientation) {}
    InterfaceOrientation interfaceOrientation() const { return _orientation; }

    // A screen shown over this one, covering the window, until dismissed; this screen owns it meanwhile.
    void presentModalViewController(ViewController* modal, bool animated);
    void dismissModalViewController(bool animated);
    ViewController* modalViewController() const { return _modal; }

    // Whether the navigation controller should delete this screen once it is popped (true), or leave it to
    // an owner of its own.
    bool isOwnedByNavigation() const { return _ownedByNavigation; }
    void setOwnedByNavigation(bool owned) { _ownedByNavigation = owned; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class NavigationController;
    NavigationController* _navigationController = nullptr;
    QPointer<ViewController> _modal;
    InterfaceOrientation _orientation = InterfaceOrientation::Portrait;
    bool _viewLoaded = false;
    bool _ownedByNavigation = true;
};

} // namespace grinsley::platform
