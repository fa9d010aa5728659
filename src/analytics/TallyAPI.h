#pragma once

#include <exception>
#include <optional>

#include <QString>
#include <QVariantMap>

#include "platform/ErrorRecord.h"

class QObject;

namespace grinsley {

// The analytics component's single entry point: process-wide settings, the session's start, pause, resume and
// end, and every recording call, forwarded to the current session. Every operation but the getters asks the
// usage gate first ("TallySendUsageInfo" in the user defaults: absent or true is open) and runs guarded:
// nothing it does throws into the program. Called on the main thread.
class TallyAPI {
public:
    static constexpr int DEFAULT_PAUSE_SECONDS = 10;
    static inline const QString usageGateKey = QStringLiteral("TallySendUsageInfo");
    // The program's own collection address; GRINSLEY_ANALYTICS_URL replaces it (to watch with a local server).
    static QString defaultServerURL();

    static void startSession(const QString& apiKey);
    static void createAndSendSession();
    static void endSession();
    static void pauseSession();
    static void resumeSession();

    static void logEvent(const QString& name);
    static void logEvent(const QString& name, const QVariantMap& parameters);
    static void logEvent(const QString& name, bool timed);
    static void logEvent(const QString& name, const QVariantMap& parameters, bool timed);
    static void endTimedEvent(const QString& name, const std::optional<QVariantMap>& parameters);
    static void logError(const QString& errorID, const QString& message, const std::exception* exception);
    static void logError(const QString& errorID, const QString& message, const platform::ErrorRecord* error);
    // For the uncaught-exception hook: records like logError, but gives up rather than wait long for a lock
    // another thread holds, and never throws.
    static void logCrash(const QString& errorID, const QString& message, const std::exception* exception) noexcept;
    static void countPageView();
    // Counts a page view on the session current now each time the navigation controller shows a screen.
    static void countPageViews(QObject* controller);

    static void setUserID(const QString& userID);
    static void setGender(const QString& gender);
    static void setAge(int age);
    static void setEventLoggingEnabled(bool enabled);
    static void setSessionReportsOnCloseEnabled(bool enabled);
    static void setSessionReportsOnPauseEnabled(bool enabled);
    // Only before startSession; afterwards an alert says so and the old value stays.
    static void setAppVersion(const QString& version);
    static void setPauseSecondsBeforeStartingNewSession(int seconds);
    static void setMaxSessionsSaved(int maxSessions);
    static void setShowErrorInLogEnabled(bool enabled);
    static void setServerURL(const QString& url);
    static void setSavedResponseURL(const QString& url);
    static void setAdCatalogEnabled(bool enabled);

    static QString getTallyAgentVersion();
    static bool sendUsageInfo();
    static void stopBackgroundTask();
    static void unlockDebugMode(const QString& unlockKey, const QString& apiKey);

    // Every setting back to a fresh process's (tests run many sessions of the facade in one process).
    static void resetSettings();
    static QString serverURL();
    static QString savedResponseURL();
    static QString appVersion();
    static bool udidEnabled() { return true; }
    static bool adCatalogEnabled();
    static bool hasBackgroundTask();
};

} // namespace grinsley
