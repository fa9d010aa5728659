#pragma once

class QObject;

namespace grinsley {

// What child screens (the hint bubble, the shape picker) ask of the editor to be closed.
class ChildViewControllerSupport {
public:
    virtual ~ChildViewControllerSupport() = default;
    virtual void closeModalViewController() = 0;
    virtual void closeChildViewController(QObject* child) = 0;
};

} // namespace grinsley
