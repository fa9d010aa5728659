#pragma once

namespace grinsley {

namespace platform {
class ViewController;
}

// What child screens (the hint bubble, the shape picker) ask of the editor to be closed.
class ChildViewControllerSupport {
public:
    virtual ~ChildViewControllerSupport() = default;
    virtual void closeModalViewController() = 0;
    virtual void closeChildViewController(platform::ViewController* child) = 0;
};

} // namespace grinsley
