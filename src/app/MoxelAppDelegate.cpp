#include "MoxelAppDelegate.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "analytics/TallyAPI.h"
#include "app/StartupViewController.h"
#include "app/UncaughtExceptionHandler.h"
#include "platform/Application.h"
#include "platform/Device.h"
#include "platform/NavigationController.h"
#include "rating/RatingPrompt.h"

namespace grinsley {

MoxelAppDelegate::MoxelAppDelegate() : _window(std::make_unique<QWidget>()) {
    _window->setWindowTitle(QStringLiteral("Grinsley"));
    _window->setObjectName(QStringLiteral("window"));
    _startupViewController = new StartupViewController;
    _navigationController = new platform::NavigationController(_startupViewController, _window.get());
    auto* layout = new QVBoxLayout(_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_navigationController);
    // A phone-shaped or tablet-shaped window, kept inside the screen.
    QSize size = platform::Device::isTablet() ? QSize(820, 1100) : QSize(390, 780);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() - QSize(40, 80));
    _window->resize(size);
}

MoxelAppDelegate::~MoxelAppDelegate() {
    // The window's last hide must not reach a delegate that is going away.
    _window->removeEventFilter(&platform::Application::shared());
}

void MoxelAppDelegate::install() {
    platform::ApplicationDelegate delegate;
    delegate.didFinishLaunching = [this] { applicationDidFinishLaunching(); };
    delegate.didEnterBackground = [this] { applicationDidEnterBackground(); };
    delegate.willTerminate = [this] { applicationWillTerminate(); };
    delegate.willEnterForeground = [this] { applicationWillEnterForeground(); };
    delegate.didReceiveMemoryWarning = [this] { applicationDidReceiveMemoryWarning(); };
    platform::Application::shared().setDelegate(std::move(delegate));
}

void MoxelAppDelegate::applicationDidFinishLaunching() {
    installUncaughtExceptionHandler();
    TallyAPI::startSession(QLatin1String(analyticsKey));
    TallyAPI::logEvent(QStringLiteral("App launched"));
    _window->show();
    _window->raise();
    _window->activateWindow();
    platform::Application::shared().watchWindow(_window.get());
    RatingPrompt::appLaunched();
}

void MoxelAppDelegate::applicationDidEnterBackground() {
    TallyAPI::logEvent(QStringLiteral("App entered background"));
    _startupViewController->saveApplicationState();
}

void MoxelAppDelegate::applicationWillTerminate() {
    TallyAPI::logEvent(QStringLiteral("App terminated"));
    _startupViewController->saveApplicationState();
}

void MoxelAppDelegate::applicationWillEnterForeground() {
    TallyAPI::logEvent(QStringLiteral("App entering foreground"));
    RatingPrompt::appEnteredForeground(true);
}

void MoxelAppDelegate::applicationDidReceiveMemoryWarning() {
    TallyAPI::logEvent(QStringLiteral("App memory warning"));
    _startupViewController->respondToMemoryWarning();
}

} // namespace grinsley
