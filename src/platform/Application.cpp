#include "Application.h"

#include <QDir>

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QWidget>
#include <QUrl>

Q_LOGGING_CATEGORY(lcPlatform, "grinsley.platform")

namespace grinsley::platform {

QByteArray Application::memoryPressureTrigger() { return QByteArrayLiteral("some 150000 2000000"); }

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

namespace {
int quitSignalPipe[2] = {-1, -1};
void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(quitSignalPipe[0], &byte, 1);
}
} // namespace

// A desktop session ends its programs with SIGTERM (and a terminal with SIGINT): quit through the event
// loop, so that terminating saves what the user had, as closing the window does.
void Application::installQuitSignalHandlers() {
#ifdef Q_OS_UNIX
    if (quitSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitSignalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(quitSignalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
#endif
}

// A pressure-stall trigger: the kernel wakes us when tasks stall on memory for 150 ms within two seconds.
// (An unprivileged process may not ask for a window shorter than 2 s: the kernel refuses it with EINVAL.)
void Application::watchMemoryPressure() {
#ifdef Q_OS_LINUX
    const int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qCInfo(lcPlatform, "No memory warnings: /proc/pressure/memory cannot be opened (%s)", std::strerror(errno));
        return;
    }
    const QByteArray trigger = memoryPressureTrigger();
    if (::write(fd, trigger.constData(), size_t(trigger.size()) + 1) < 0) {
        qCInfo(lcPlatform, "No memory warnings: the kernel refused the pressure trigger (%s)", std::strerror(errno));
        ::close(fd);
        return;
    }
    _pressure = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
    connect(_pressure, &QSocketNotifier::activated, this, [this] { receiveMemoryWarning(); });
    connect(_pressure, &QObject::destroyed, [fd] { ::close(fd); });
#endif
}

void Application::watchWindow(QWidget* window) {
    if (window)
        window->installEventFilter(this);
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    auto* window = qobject_cast<QWidget*>(watched);
    if (window && window->isWindow()) {
        switch (event->type()) {
        case QEvent::WindowStateChange:
            if (window->isMinimized())
                enterBackground();
            else if (window->isVisible())
                enterForeground();
            break;
        case QEvent::Hide:
            enterBackground();
            break;
        case QEvent::Show:
            if (!window->isMinimized())
                enterForeground();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void Application::finishLaunching(const QStringList& arguments) {
    if (_delegate.didFinishLaunching)
        _delegate.didFinishLaunching();
    openArguments(arguments.mid(1), QDir::currentPath());
}

void Application::openArguments(const QStringList& arguments, const QString& workingFolder) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--idiom")) {
            ++i; // and its value
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')) || argument.isEmpty())
            continue;
        const QUrl url(argument);
        // A one-letter scheme is a drive, not a URL; anything without a scheme is a path.
        const bool isUrl = url.isValid() && url.scheme().size() > 1;
        if (isUrl && !url.isLocalFile()) {
            openURL(argument);
        } else if (_delegate.openFile) {
            const QString path = isUrl ? url.toLocalFile() : QDir(workingFolder).absoluteFilePath(argument);
            _delegate.openFile(QDir::cleanPath(path));
        }
    }
}

void Application::enterBackground() {
    if (_inBackground || _terminated)
        return;
    _inBackground = true;
    if (_delegate.willResignActive)
        _delegate.willResignActive();
    emit willResignActive();
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
    emit didBecomeActive();
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
