// A stand-in for the program in the crash test: starts analytics as the program does, records an event and
// then lets an exception escape.
#include <stdexcept>

#include <QCoreApplication>

#include "analytics/TallyAPI.h"
#include "app/MoxelAppDelegate.h"
#include "app/UncaughtExceptionHandler.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    grinsley::installUncaughtExceptionHandler();
    grinsley::TallyAPI::startSession(QLatin1String(grinsley::MoxelAppDelegate::analyticsKey));
    grinsley::TallyAPI::logEvent(QStringLiteral("Before the crash"));
    throw std::runtime_error("disk on fire");
}
