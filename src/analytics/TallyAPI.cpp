#include "TallyAPI.h"

#include <atomic>
#include <mutex>
#include <thread>


#include "TallyFileCache.h"
#include "TallyProtocolData.h"
#include "TallySession.h"
#include "TallyUtil.h"
#include "ads/TallyAdParser.h"
#include "platform/AlertView.h"
#include "platform/Application.h"
#include "platform/BackgroundTask.h"
#include "platform/Clock.h"
#include "platform/NavigationController.h"
#include "platform/ViewController.h"
#include "platform/UserDefaults.h"
#include "transport/TallyHeartBeater.h"
#include "transport/TallyUpload.h"

namespace grinsley {

namespace {

// The facade's settings. Upload threads read the server's addresses and the ad switch, so all of it is behind
// one lock.
struct SettingValues {
    QString apiKey;
    QString appVersion;
    std::optional<QString> userID;
    std::optional<QString> gender;
    int age = -1;
    std::optional<qint64> pauseTime;
    int pauseSecondsBeforeStartingNewSession = TallyAPI::DEFAULT_PAUSE_SECONDS;
    bool sessionReportsOnCloseEnabled = true;
    bool sessionReportsOnPauseEnabled = true;
    bool eventLoggingEnabled = true;
    QString serverURL = TallyAPI::defaultServerURL();
    QString savedResponseURL;
    bool adCatalogEnabled = false;
};
struct Settings {
    std::mutex mutex;
    SettingValues values;
    bool observing = false; // the lifecycle observers are added once per process
};
Settings& settings() {
    static Settings s;
    return s;
}
std::atomic<platform::BackgroundTask::Identifier> backgroundTask{platform::BackgroundTask::Invalid};

template <typename T>
T read(T SettingValues::*field) {
    std::lock_guard lock(settings().mutex);
    return settings().values.*field;
}
template <typename T>
void write(T SettingValues::*field, T value) {
    std::lock_guard lock(settings().mutex);
    settings().values.*field = std::move(value);
}

// The gate: false, with the diagnostic line, when it is closed.
bool gateOpen(const char* name) {
    if (TallyAPI::sendUsageInfo())
        return true;
    TallyUtil::log("Tally: %1 disabled.", QString::fromLatin1(name));
    return false;
}

// The gate, then the work under the guard.
template <typename Work>
void gated(const char* name, Work&& work) {
    if (gateOpen(name))
        TallyUtil::guard(std::forward<Work>(work));
}

template <typename Work>
void unguarded(const char* name, Work&& work) {
    if (gateOpen(name))
        work();
}

// The current session, for a recording call; none before startSession.
template <typename Work>
void onCurrentSession(Work&& work) {
    QMutexLocker lock(&TallySession::storeMutex());
    if (TallySession* session = TallySession::currentSession())
        work(*session);
}

} // namespace

QString TallyAPI::defaultServerURL() {
    const QString configured = qEnvironmentVariable("GRINSLEY_ANALYTICS_URL");
    return configured.isEmpty() ? QStringLiteral("http://collect.grinsley.app/report.do") : configured;
}

// ---- The gate --------------------------------------------------------------------------------------------

bool TallyAPI::sendUsageInfo() {
    const platform::UserDefaults& defaults = platform::UserDefaults::standard();
    const bool open = !defaults.hasKey(usageGateKey) || defaults.boolForKey(usageGateKey);
    TallyUtil::log(open ? "Tally: sendUsageInfo: TallySendUsageInfo is NULL or ON"
                        : "Tally: sendUsageInfo: TallySendUsageInfo is OFF");
    return open;
}

// ---- Sessions --------------------------------------------------------------------------------------------

void TallyAPI::startSession(const QString& apiKey) {
    gated("startSession", [&] {
        TallyUtil::log("Tally: Start session with apiKey[%1]", apiKey);
        write(&SettingValues::apiKey, apiKey);
        TallyHeartBeater::createAndStartInstance(1.0);
        TallyFileCache::createInstanceWithApiKey(apiKey);
        TallySession::setEndOfSessionSender(&TallyUpload::sendSessionsToServerForEndOfSession);
        createAndSendSession();
        std::lock_guard lock(settings().mutex);
        if (!settings().observing) {
            settings().observing = true;
            platform::Application& application = platform::Application::shared();
            QObject::connect(&application, &platform::Application::willTerminate, &application, [] { endSession(); });
            QObject::connect(&application, &platform::Application::willResignActive, &application, [] { pauseSession(); });
            QObject::connect(&application, &platform::Application::didBecomeActive, &application, [] { resumeSession(); });
        }
        TallyUtil::log("Tally: Finish starting session with apiKey[%1]", apiKey);
    });
}

void TallyAPI::createAndSendSession() {
    gated("createAndSendSession", [] {
        TallyAdParser::recreateInstances();
        TallySession::createActiveTallySession(read(&SettingValues::apiKey), read(&SettingValues::appVersion));
        setSessionReportsOnCloseEnabled(read(&SettingValues::sessionReportsOnCloseEnabled));
        setSessionReportsOnPauseEnabled(read(&SettingValues::sessionReportsOnPauseEnabled));
        setEventLoggingEnabled(read(&SettingValues::eventLoggingEnabled));
        setAge(read(&SettingValues::age));
        if (const auto userID = read(&SettingValues::userID))
            setUserID(*userID);
        if (const auto gender = read(&SettingValues::gender))
            setGender(*gender);
        TallyUpload::startThread(&TallyUpload::sendSessionsToServerForAdCatalog);
    });
}

void TallyAPI::endSession() {
    gated("endSession", [] {
        if (TallySession* session = TallySession::currentSession())
            session->endSession();
    });
}

void TallyAPI::pauseSession() {
    gated("pauseSession", [] {
        write(&SettingValues::pauseTime, std::optional(platform::Clock::nowMilliseconds()));
        TallySession* session = TallySession::currentSession();
        if (!session)
            return;
        session->pauseSession();
        session->endSessionAndSend(false, false);
        // The end time set just now must reach the disk: a program killed in the background is then reported
        // as paused, not as still running.
        session->saveToDisk();
        if (session->sessionReportsOnPauseEnabled()) {
            stopBackgroundTask();
            TallyUtil::log("Tally: start background task");
            backgroundTask = platform::BackgroundTask::begin([] { stopBackgroundTask(); });
            TallyUpload::startThread(&TallyUpload::sendSessionsToServerForSessionPause);
        }
    });
}

void TallyAPI::resumeSession() {
    gated("resumeSession", [] {
        const std::optional<qint64> pausedAt = read(&SettingValues::pauseTime);
        // A resume uses the pause up: a second "became active" without a pause must not measure from it again.
        write(&SettingValues::pauseTime, std::optional<qint64>());
        const qint64 paused = TallyProtocolData::timeIntervalFrom(pausedAt, platform::Clock::nowMilliseconds());
        TallySession* session = TallySession::currentSession();
        if (!session)
            return;
        if (paused > qint64(read(&SettingValues::pauseSecondsBeforeStartingNewSession)) * 1000) {
            session->saveSession();
            createAndSendSession();
        } else {
            session->resumeSession();
        }
    });
}

void TallyAPI::stopBackgroundTask() {
    const platform::BackgroundTask::Identifier task = backgroundTask.exchange(platform::BackgroundTask::Invalid);
    if (task == platform::BackgroundTask::Invalid)
        return;
    TallyUtil::log("Tally: stop background task");
    platform::BackgroundTask::end(task);
}

bool TallyAPI::hasBackgroundTask() { return backgroundTask.load() != platform::BackgroundTask::Invalid; }

// ---- Recording -------------------------------------------------------------------------------------------

void TallyAPI::logEvent(const QString& name) {
    gated("logEvent", [&] { onCurrentSession([&](TallySession& s) { s.recordEvent(name, std::nullopt, false); }); });
}

void TallyAPI::logEvent(const QString& name, const QVariantMap& parameters) {
    gated("logEvent:withParameters", [&] { onCurrentSession([&](TallySession& s) { s.recordEvent(name, parameters, false); }); });
}

void TallyAPI::logEvent(const QString& name, bool timed) {
    gated("logEvent:timed", [&] { onCurrentSession([&](TallySession& s) { s.recordEvent(name, std::nullopt, timed); }); });
}

void TallyAPI::logEvent(const QString& name, const QVariantMap& parameters, bool timed) {
    gated("logEvent:withParameters:timed",
          [&] { onCurrentSession([&](TallySession& s) { s.recordEvent(name, parameters, timed); }); });
}

void TallyAPI::endTimedEvent(const QString& name, const std::optional<QVariantMap>& parameters) {
    gated("endTimedEvent", [&] { onCurrentSession([&](TallySession& s) { s.endTimedEvent(name, parameters); }); });
}

void TallyAPI::logError(const QString& errorID, const QString& message, const std::exception* exception) {
    gated("logError:message:exception",
          [&] { onCurrentSession([&](TallySession& s) { s.recordError(errorID, message, exception); }); });
}

void TallyAPI::logError(const QString& errorID, const QString& message, const platform::ErrorRecord* error) {
    gated("logError:message:error", [&] { onCurrentSession([&](TallySession& s) { s.recordError(errorID, message, error); }); });
}

void TallyAPI::logCrash(const QString& errorID, const QString& message, const std::exception* exception) noexcept {
    TallyUtil::guard([&] {
        if (!sendUsageInfo())
            return;
        QRecursiveMutex& store = TallySession::storeMutex();
        if (!store.tryLock(2000))
            return; // another thread holds the session and does not let go: better no record than a hang
        if (TallySession* session = TallySession::currentSession())
            session->recordError(errorID, message, exception);
        store.unlock();
    });
}

void TallyAPI::countPageView() {
    gated("countPageView", [] { onCurrentSession([](TallySession& s) { s.maybeIncrementPageView(); }); });
}

void TallyAPI::countPageViews(QObject* controller) {
    gated("countPageViews", [controller] {
        auto* navigation = qobject_cast<platform::NavigationController*>(controller);
        TallySession* session = TallySession::currentSession();
        if (!navigation || !session)
            return;
        // The session current now, and no later one; once it is gone, nothing is counted.
        const quint64 held = session->serial();
        QObject::connect(navigation, &platform::NavigationController::didShowViewController, navigation, [held] {
            onCurrentSession([held](TallySession& s) {
                if (s.serial() == held)
                    s.maybeIncrementPageView();
            });
        });
    });
}

// ---- Settings --------------------------------------------------------------------------------------------

void TallyAPI::setUserID(const QString& userID) {
    gated("setUserID", [&] {
        onCurrentSession([&](TallySession& s) { s.setUserID(userID); });
        TallyUtil::log("Tally: setUserID[%1]", userID);
        write(&SettingValues::userID, std::optional(userID));
    });
}

void TallyAPI::setGender(const QString& gender) {
    gated("setGender", [&] {
        onCurrentSession([&](TallySession& s) { s.setGender(gender); });
        TallyUtil::log("Tally: setGender[%1]", gender);
        write(&SettingValues::gender, std::optional(gender));
    });
}

void TallyAPI::setAge(int age) {
    gated("setAge", [&] {
        write(&SettingValues::age, age);
        onCurrentSession([&](TallySession& s) { s.setAge(age); });
    });
}

void TallyAPI::setEventLoggingEnabled(bool enabled) {
    gated("setEventLoggingEnabled", [&] {
        write(&SettingValues::eventLoggingEnabled, enabled);
        onCurrentSession([&](TallySession& s) { s.setEventLoggingEnabled(enabled); });
    });
}

void TallyAPI::setSessionReportsOnCloseEnabled(bool enabled) {
    gated("setSessionReportsOnCloseEnabled", [&] {
        write(&SettingValues::sessionReportsOnCloseEnabled, enabled);
        onCurrentSession([&](TallySession& s) { s.setSessionReportsOnCloseEnabled(enabled); });
    });
}

void TallyAPI::setSessionReportsOnPauseEnabled(bool enabled) {
    gated("setSessionReportsOnPauseEnabled", [&] {
        write(&SettingValues::sessionReportsOnPauseEnabled, enabled);
        onCurrentSession([&](TallySession& s) { s.setSessionReportsOnPauseEnabled(enabled); });
    });
}

void TallyAPI::setAppVersion(const QString& version) {
    gated("setAppVersion", [&] {
        if (TallySession::currentSession()) {
            platform::AlertView(QString(), QStringLiteral("TallyAPI: Please call setAppVersion before startSession."),
                                QStringLiteral("Cancel"))
                .show();
            return;
        }
        write(&SettingValues::appVersion, version);
        TallyUtil::log("Tally: setAppVersion[%1]", version);
    });
}

// These four ask the gate but have no guard, as the facade always had it; they cannot throw.
void TallyAPI::setPauseSecondsBeforeStartingNewSession(int seconds) {
    unguarded("setPauseSecondsBeforeStartingNewSession",
              [seconds] { write(&SettingValues::pauseSecondsBeforeStartingNewSession, seconds); });
}

void TallyAPI::setMaxSessionsSaved(int maxSessions) {
    unguarded("setMaxSessionsSaved", [maxSessions] { TallySession::setMaxSessions(maxSessions); });
}

void TallyAPI::setShowErrorInLogEnabled(bool enabled) {
    unguarded("setShowErrorInLogEnabled", [enabled] { TallyUtil::setShowErrorInLogEnabled(enabled); });
}

void TallyAPI::setAdCatalogEnabled(bool enabled) {
    unguarded("setAdCatalogEnabled", [enabled] { write(&SettingValues::adCatalogEnabled, enabled); });
}

void TallyAPI::setServerURL(const QString& url) {
    gated("setServerURL", [&] { write(&SettingValues::serverURL, url); });
}

void TallyAPI::setSavedResponseURL(const QString& url) {
    gated("setSavedResponseURL", [&] { write(&SettingValues::savedResponseURL, url); });
}

QString TallyAPI::getTallyAgentVersion() { return TallySession::getAgentVersion(); }
void TallyAPI::unlockDebugMode(const QString& unlockKey, const QString& apiKey) { TallyUtil::unlockDebugMode(unlockKey, apiKey); }
void TallyAPI::resetSettings() {
    std::lock_guard lock(settings().mutex);
    settings().values = SettingValues();
}

QString TallyAPI::serverURL() { return read(&SettingValues::serverURL); }
QString TallyAPI::savedResponseURL() { return read(&SettingValues::savedResponseURL); }
QString TallyAPI::appVersion() { return read(&SettingValues::appVersion); }
bool TallyAPI::adCatalogEnabled() { return read(&SettingValues::adCatalogEnabled); }

} // namespace grinsley
