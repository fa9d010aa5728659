#pragma once

#include <functional>

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QSocketNotifier;
class QWidget;

namespace grinsley::platform {

// What the application tells its delegate. Every method is optional: an empty member is one the delegate
// does not implement.
struct ApplicationDelegate {
    std::function<void()> didFinishLaunching;
    std::function<void()> didEnterBackground;
    std::function<void()> willEnterForeground;
    std::function<void()> didBecomeActive;
    std::function<void()> willResignActive;
    std::function<void()> willTerminate;
    std::function<void()> didReceiveMemoryWarning;
    std::function<bool(const QString& url)> handleOpenURL;
    // A file handed to the program (on its command line, by a later start, or by the desktop).
    std::function<void(const QString& path)> openFile;
};

// The application's lifecycle, from Qt's application state and quit signals: hidden or suspended is the
// background, active the foreground. Memory warnings come from the kernel's memory-pressure notifications
// where Linux offers them (/proc/pressure/memory).
class Application : public QObject {
    Q_OBJECT
public:
    static Application& shared();

    void setDelegate(ApplicationDelegate delegate) { _delegate = std::move(delegate); }
    const ApplicationDelegate& delegate() const { return _delegate; }

    // Called once the main window is up: tells the delegate, then hands it the URLs on the command line.
    void finishLaunching(const QStringList& arguments);
    // Command-line arguments after the program's name: files (paths, relative to the working folder, or
    // file: URLs) go to the delegate's openFile, other URLs to openURL; options and their values are skipped.
    void openArguments(const QStringList& arguments, const QString& workingFolder);
    // SIGTERM, SIGINT and SIGHUP (a closed terminal) quit through the event loop, and so terminate properly;
    // the program's entry calls it.
    void installQuitSignalHandlers();
    // A desktop's way into the background: the main window minimised or hidden; back when it shows again.
    void watchWindow(QWidget* window);

    // The lifecycle events, as the platform or a test raises them.
    void enterBackground();
    void enterForeground();
    void terminate();
    void receiveMemoryWarning();
    bool openURL(const QString& url);

    bool isInBackground() const { return _inBackground; }
    // Whether a memory-pressure watcher runs (Linux with pressure-stall information only).
    bool isWatchingMemoryPressure() const { return _pressure != nullptr; }
    // What the watcher asks the kernel: stalls of 150 ms within a 2-second window.
    static QByteArray memoryPressureTrigger();
    // Back to a freshly launched, active application (a new run, as tests start one).
    void resetLifecycle() {
        _inBackground = false;
        _terminated = false;
    }

signals:
    // Broadcast beside the delegate calls, for other listeners (the analytics session). A desktop program
    // stops being active when its window is hidden or minimised, and becomes active again when it returns.
    void willResignActive();
    void didBecomeActive();
    void didEnterBackground();
    void willEnterForeground();
    void willTerminate();
    void didReceiveMemoryWarning();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Application();
    void watchMemoryPressure();

    ApplicationDelegate _delegate;
    bool _inBackground = false;
    bool _terminated = false;
    QSocketNotifier* _pressure = nullptr;
};

} // namespace grinsley::platform
