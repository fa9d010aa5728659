// The process entry: the application loop with the delegate that builds the window.
#include <QApplication>

#include "app/MoxelAppDelegate.h"
#include "platform/Application.h"
#include "platform/Device.h"
#include "platform/Reachability.h"
#include "platform/WebView.h"

int main(int argc, char** argv) {
    grinsley::platform::WebView::prepareBeforeApplication();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setOrganizationName(QStringLiteral("Grinsley"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GRINSLEY_VERSION));
    grinsley::platform::Device::configure(QCoreApplication::arguments());
    grinsley::platform::Reachability::loadBackend(); // here: it must be loaded on the main thread

    grinsley::MoxelAppDelegate delegate;
    delegate.install();
    grinsley::platform::Application::shared().installQuitSignalHandlers();
    grinsley::platform::Application::shared().finishLaunching(QCoreApplication::arguments());
    return app.exec();
}
