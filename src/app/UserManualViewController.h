#pragma once

#include "platform/ViewController.h"

namespace grinsley {

namespace platform {
class WebView;
}

// The user manual: the bundled page "grinsley.html" in a web view, with the navigation bar's back button.
class UserManualViewController : public platform::ViewController {
    Q_OBJECT
public:
    explicit UserManualViewController(QWidget* parent = nullptr);

    platform::WebView* webView() const { return _webView; }
    void viewDidLoad() override;
    void loadUserManual();
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation) const override { return true; }

private:
    platform::WebView* _webView = nullptr;
};

} // namespace grinsley
