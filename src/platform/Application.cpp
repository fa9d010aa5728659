#include "Application.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QUrl>

namespace grinsley::platform {

Application& Application::shared() {
    static Application* application = new Application; // lives as long as the process
    return *application;
}

Application::Application() {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationHidden || state == Qt::ApplicationSuspended)
                enterBackground();
            else if (state == Qt::ApplicationActive && _inBackground)
                enterForeground();
        });
        connect(app, &QCoreApplication::aboutToQuit, this, &Application::terminate);
    }
    watchMemoryPressure();
}

// A pressure-stall trigger: the kernel wakes us when tasks stall on memory for 150 ms within a second.
void Application::watchMemoryPressure() {
#ifdef Q_OS_LINUX
    const int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    const char trigger[] = "some 150000 1000000";
    if (::write(fd, trigger, sizeof trigger) < 0) {
        ::close(fd);
        return;
    }
    _pressure = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
    connect(_pressure, &QSocketNotifier::activated, this, [this] { receiveMemoryWarning(); });
    connect(_pressure, &QObject::destroyed, [fd] { ::close(fd); });
#endif
}

void Application::finishLaunching(const QStringList& arguments) {
    if (_delegate.didFinishLaunching)
        _delegate.didFinishLaunching();
    for (const QString& argument : arguments.mid(1)) {
        const QUrl url(argument);
        if (url.isValid() && url.scheme().size() > 1 && !argument.startsWith(QLatin1Char('-')))
            openURL(argument);
    }
}

void Application::enterBackground() {
    if (_inBackground || _terminated)
        return;
    _inBackground = true;
    if (_delegate.willResignActive)
        _delegate.willResignActive();
    if (_delegate.didEnterBackground)
        _delegate.didEnterBackground();
    emit didEnterBackground();
}

void Application::enterForeground() {
    if (!_inBackground || _terminated)
        return;
    _inBackground = false;
    if (_delegate.willEnterForeground)
        _delegate.willEnterForeground();
    emit willEnterForeground();
    if (_delegate.didBecomeActive)
        _delegate.didBecomeActive();
}

void Application::terminate() {
    if (_terminated)
        return;
    _terminated = true;
    if (_delegate.willTerminate)
        _delegate.willTerminate();
    emit willTerminate();
}

void Application::receiveMemoryWarning() {
    if (_delegate.didReceiveMemoryWarning)
        _delegate.didReceiveMemoryWarning();
    emit didReceiveMemoryWarning();
}

bool Application::openURL(const QString& url) {
    return _delegate.handleOpenURL && _delegate.handleOpenURL(url);
}

} // namespace grinsley::platform
