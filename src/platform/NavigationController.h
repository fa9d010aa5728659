#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QLabel;
class QStackedWidget;
class QToolButton;

namespace grinsley::platform {

class ViewController;

// A stack of full screens with a navigation bar (title and back button) that each screen may hide.
// Pushing and popping slide the screens when animated; nothing waits for the slide.
class NavigationController : public QWidget {
    Q_OBJECT
public:
    explicit NavigationController(ViewController* root, QWidget* parent = nullptr);
    ~NavigationController() override;

    void pushViewController(ViewController* controller, bool animated);
    // Pops the top screen (never the root); deletes it unless it has an owner of its own.
    void popViewControllerAnimated(bool animated);
    ViewController* topViewController() const;
    QList<ViewController*> viewControllers() const;

    void setNavigationBarHidden(bool hidden, bool animated = false);
    bool isNavigationBarHidden() const;
    int navigationBarHeight() const;

signals:
    void didShowViewController(grinsley::platform::ViewController* controller);

private:
    void show(ViewController* controller, bool animated, bool forward);

    QWidget* _bar = nullptr;
    QToolButton* _back = nullptr;
    QLabel* _title = nullptr;
    QStackedWidget* _stack = nullptr;
    QList<QPointer<ViewController>> _controllers;
};

} // namespace grinsley::platform
