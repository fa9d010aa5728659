// The process entry: the application loop with the delegate that builds the window.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include "analytics/transport/TallyHTTPClient.h"
#include "analytics/transport/TallyUpload.h"
#include "app/MoxelAppDelegate.h"
#include "platform/Application.h"
#include "platform/BackgroundTask.h"
#include "platform/Device.h"
#include "platform/Directories.h"
#include "platform/Reachability.h"
#include "platform/SingleInstance.h"
#include "platform/WebView.h"
#include "rating/RatingPrompt.h"

int main(int argc, char** argv) {
    grinsley::platform::WebView::prepareBeforeApplication({"snconnect"}); // the social dialogs report through it
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    // No organization name: the folders would be named ".../Grinsley/Grinsley".
    grinsley::platform::Directories::mendDoubledFolders();
    QCoreApplication::setApplicationVersion(QStringLiteral(GRINSLEY_VERSION));
    grinsley::platform::Device::configure(QCoreApplication::arguments());
    grinsley::platform::Reachability::loadBackend(); // here: it must be loaded on the main thread

    // One program per user: a later start hands its files and URLs to the running one and ends.
    if (grinsley::platform::SingleInstance::handToRunning(QCoreApplication::arguments().mid(1), QDir::currentPath()))
        return 0;

    grinsley::MoxelAppDelegate delegate;
    delegate.install();
    grinsley::platform::SingleInstance instance;
    instance.received = [&delegate](const QStringList& arguments, const QString& workingFolder) {
        delegate.bringToFront();
        grinsley::platform::Application::shared().openArguments(arguments, workingFolder);
    };
    if (!instance.listen())
        qWarning("Grinsley: cannot take files from later starts at %s", qPrintable(instance.serverName()));
    grinsley::platform::Application::shared().installQuitSignalHandlers();
    grinsley::platform::Application::shared().finishLaunching(QCoreApplication::arguments());
    const int status = app.exec();
    // An upload begun at a pause may still run: give it its time, then end what is left before the
    // application object goes away under the threads.
    grinsley::platform::BackgroundTask::waitForRunningTasks(std::chrono::seconds(5));
    grinsley::TallyHTTPClient::abortAll();
    QDeadlineTimer stragglers(1000);
    while ((grinsley::TallyUpload::uploadsInFlight() > 0 || grinsley::RatingPrompt::reportsInFlight() > 0) &&
           !stragglers.hasExpired())
        QThread::msleep(10);
    return status;
}
