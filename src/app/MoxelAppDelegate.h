#pragma once

#include <memory>

#include <QObject>

class QWidget;

namespace grinsley {

class StartupViewController;
namespace platform {
class NavigationController;
}

// The application's delegate: owns the window, the navigation stack and the start screen for the life of
// the process, and passes the platform's lifecycle along to the start screen.
class MoxelAppDelegate : public QObject {
    Q_OBJECT
public:
    // The application's key with the analytics service.
    static constexpr const char* analyticsKey = "G7RNSLY20K4XQ2MV8ZTA";

    MoxelAppDelegate();
    ~MoxelAppDelegate() override;

    QWidget* window() const { return _window.get(); }
    platform::NavigationController* navigationController() const { return _navigationController; }
    StartupViewController* startupViewController() const { return _startupViewController; }

    // Registers these callbacks with the platform's application object.
    void install();

    void applicationDidFinishLaunching();
    void applicationDidEnterBackground();
    void applicationWillTerminate();
    void applicationWillEnterForeground();
    void applicationDidReceiveMemoryWarning();
    // A photo handed to the program (command line, a later start, the desktop): the editor opens it through the
    // same intake as Open, coming forward first.
    void openPhotoFile(const QString& path);
    // A URL handed to the program: the answer of the editor's social session, false without one.
    bool handleOpenURL(const QString& url);
    // The window to the front (a later start handed its work here).
    void bringToFront();

protected:
    // Photos dropped anywhere on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QWidget> _window;
    platform::NavigationController* _navigationController = nullptr; // child of the window
    StartupViewController* _startupViewController = nullptr;         // child of the navigation stack
};

} // namespace grinsley
