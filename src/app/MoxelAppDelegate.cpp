#include "MoxelAppDelegate.h"

#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QLoggingCategory>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "analytics/TallyAPI.h"
#include "app/MoxelViewController.h"
#include "app/StartupViewController.h"
#include "social/SocialDialog.h"
#include "social/SocialSession.h"
#include "app/UncaughtExceptionHandler.h"
#include "platform/Application.h"
#include "platform/Device.h"
#include "platform/NavigationController.h"
#include "rating/RatingPrompt.h"

Q_LOGGING_CATEGORY(lcApp, "grinsley.app")

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
    _window->setAcceptDrops(true);
    _window->installEventFilter(this);
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
    delegate.openFile = [this](const QString& path) { openPhotoFile(path); };
    delegate.handleOpenURL = [this](const QString& url) { return handleOpenURL(url); };
    platform::Application::shared().setDelegate(std::move(delegate));
    installSocialDialogs();
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

void MoxelAppDelegate::bringToFront() {
    if (_window->isMinimized())
        _window->showNormal();
    _window->show();
    _window->raise();
    _window->activateWindow();
}

void MoxelAppDelegate::openPhotoFile(const QString& path) {
    bringToFront();
    MoxelViewController* editor = _startupViewController->mainViewController();
    if (!editor || _navigationController->topViewController() != editor) {
        while (_navigationController->topViewController() != _startupViewController)
            _navigationController->popViewControllerAnimated(false);
        _startupViewController->startButtonTouched();
        editor = _startupViewController->mainViewController();
    }
    if (!editor)
        return;
    editor->loadViewIfNeeded();
    editor->dismissPopoverViews(false);
    editor->dismissModalViewController(false);
    editor->openPhotoFile(path);
}

namespace {
// The first local file among what is dragged, if any.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}
} // namespace

bool MoxelAppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == _window.get()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!droppedFile(drag->mimeData()).isEmpty())
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = droppedFile(drop->mimeData());
            if (path.isEmpty())
                return true;
            drop->acceptProposedAction();
            openPhotoFile(path); // its own checks say whether it is a photo
            return true;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool MoxelAppDelegate::handleOpenURL(const QString& url) {
    if (const std::shared_ptr<SocialSession> session = _startupViewController->socialSession())
        return session->handleOpenURL(url);
    // Only where it was going: what follows may be a token, which never goes into a log.
    const QUrl target(url);
    qCInfo(lcApp).noquote() << "no session takes the URL" << target.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
    return false;
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
