#include "UserManualViewController.h"

#include <QVBoxLayout>

#include "platform/Bundle.h"
#include "platform/NavigationController.h"
#include "platform/WebView.h"

namespace grinsley {

UserManualViewController::UserManualViewController(QWidget* parent) : ViewController(parent) {
    setObjectName(QStringLiteral("userManual"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    _webView = new platform::WebView(this);
    layout->addWidget(_webView);
}

void UserManualViewController::viewDidLoad() {
    setWindowTitle(QStringLiteral("User Manual"));
    if (navigationController())
        navigationController()->setNavigationBarHidden(false, false);
    loadUserManual();
}

void UserManualViewController::loadUserManual() {
    // The bundle is compiled in: its files are reached through the qrc scheme.
    const QString path = platform::Bundle::pathForResource(QStringLiteral("grinsley"), QStringLiteral("html"));
    _webView->loadRequest(QUrl(QStringLiteral("qrc") + path));
}

} // namespace grinsley
