#include "NavigationController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/ViewController.h"

namespace grinsley::platform {

NavigationController::NavigationController(ViewController* root, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    _bar = new QWidget(this);
    _bar->setObjectName(QStringLiteral("navigationBar"));
    _bar->setFixedHeight(44);
    _bar->setStyleSheet(QStringLiteral("#navigationBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                       "stop:0 #3a3d44, stop:1 #16181c); }"
                                       "QLabel { color: white; font-weight: bold; font-size: 17px; }"
                                       "QToolButton { color: white; border: 1px solid #5a5e66; border-radius: 6px;"
                                       " padding: 4px 10px; background: #2a2d33; }"));
    auto* barLayout = new QHBoxLayout(_bar);
    barLayout->setContentsMargins(8, 0, 8, 0);
    _back = new QToolButton(_bar);
    _back->setObjectName(QStringLiteral("backButton"));
    _back->setText(tr("Back"));
    connect(_back, &QToolButton::clicked, this, [this] { popViewControllerAnimated(true); });
    _title = new QLabel(_bar);
    _title->setAlignment(Qt::AlignCenter);
    barLayout->addWidget(_back);
    barLayout->addWidget(_title, 1);
    barLayout->addSpacing(_back->sizeHint().width());
    _stack = new QStackedWidget(this);
    layout->addWidget(_bar);
    layout->addWidget(_stack, 1);
    if (root)
        pushViewController(root, false);
}

NavigationController::~NavigationController() {
    // Screens with owners of their own are theirs to delete, even while on the stack.
    for (const auto& controller : std::as_const(_controllers)) {
        if (controller && !controller->isOwnedByNavigation()) {
            controller->hide();
            controller->setParent(nullptr);
        }
    }
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
    if (!controller || _controllers.contains(controller))
        return;
    if (ViewController* top = topViewController())
        top->viewWillDisappear(animated);
    controller->_navigationController = this;
    _controllers.append(controller);
    _stack->addWidget(controller);
    controller->resize(_stack->size()); // a screen's view is set up at the size it will be shown at
    show(controller, animated, true);
}

void NavigationController::popViewControllerAnimated(bool animated) {
    if (_controllers.size() < 2)
        return;
    QPointer<ViewController> popped = _controllers.takeLast();
    if (popped) {
        popped->viewWillDisappear(animated);
        _stack->removeWidget(popped);
        popped->hide();
        popped->_navigationController = nullptr;
        popped->setParent(nullptr);
        if (popped->isOwnedByNavigation())
            popped->deleteLater();
    }
    if (ViewController* top = topViewController())
        show(top, animated, false);
}

void NavigationController::show(ViewController* controller, bool animated, bool forward) {
    controller->loadViewIfNeeded();
    _title->setText(controller->windowTitle());
    _back->setVisible(_controllers.size() > 1);
    controller->viewWillAppear(animated);
    _stack->setCurrentWidget(controller);
    if (animated && isVisible()) {
        auto* slide = new QPropertyAnimation(controller, "pos", controller);
        slide->setDuration(220);
        slide->setStartValue(QPoint(forward ? _stack->width() : -_stack->width() / 3, 0));
        slide->setEndValue(QPoint(0, 0));
        slide->setEasingCurve(QEasingCurve::OutCubic);
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    }
    controller->viewDidAppear(animated);
    emit didShowViewController(controller);
}

ViewController* NavigationController::topViewController() const {
    for (auto it = _controllers.crbegin(); it != _controllers.crend(); ++it) {
        if (*it)
            return *it;
    }
    return nullptr;
}

QList<ViewController*> NavigationController::viewControllers() const {
    QList<ViewController*> out;
    for (const auto& controller : _controllers) {
        if (controller)
            out.append(controller);
    }
    return out;
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) { _bar->setVisible(!hidden); }

bool NavigationController::isNavigationBarHidden() const { return _bar->isHidden(); }

int NavigationController::navigationBarHeight() const { return _bar->height(); }

} // namespace grinsley::platform
