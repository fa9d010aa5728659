#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRecursiveMutex>
#include <QString>
#include <QVariantMap>

#include "TallyEvent.h"
#include "platform/ErrorRecord.h"

namespace grinsley {

// One analytics session, from a start (or a resume after a long pause) to its end, with its events and
// errors. The current session is written to disk after every change, so a session cut off by a crash is
// picked up at the next start; finished sessions wait on disk, already encoded for the report, until an
// upload succeeds.
//
// Upload threads read the saved list and encode the current session while the main thread records: every
// operation that touches either takes storeMutex().
class TallySession {
public:
    static constexpr int MAX_EVENT_PARAMETERS = 10;
    static constexpr int MAX_EVENT_COUNTS = 100;
    static constexpr int MAX_EVENT_LOG_COUNT = 1000;
    static constexpr int MAX_ERRORS = 10;
    static constexpr int MAX_IMPRESSIONS = 1000;
    static constexpr int DEFAULT_MAX_SESSIONS = 50;
    static constexpr int SERIALIZATION_VERSION = 1;
    static constexpr quint16 PROTOCOL_VERSION = 15;
    static constexpr quint16 PLATFORM = 2;
    static constexpr quint16 AGENT_VERSION = 42;

    struct Error {
        qint64 time = 0;
        QString id;
        QString message;
        QString exceptionText;
    };
    // What a report carries: a session to encode now, or a block encoded when it was saved.
    using ReportItem = std::variant<const TallySession*, QByteArray>;

    // ---- The current session and the files -----------------------------------------------------------

    // Picks up a session the last run left (marked crashed, moved to the saved list) and makes a new current
    // session. An empty version is the bundle's.
    static TallySession* createActiveTallySession(const QString& apiKey, const QString& appVersion = {});
    static TallySession* currentSession();
    // Forgets the current session without saving it, and the last page view, as a killed process would (its
    // file stays).
    static void discardCurrentSession();
    static QRecursiveMutex& storeMutex();

    // The saved sessions, oldest first. A file that cannot be decoded is moved aside (kept for inspection)
    // and the list starts afresh.
    static QList<QByteArray> savedSessions();
    static void setSavedSessions(const QList<QByteArray>& sessions);
    static void addToSavedSessions(const TallySession& session);
    static QList<QByteArray>& removeOldSessionsIfNecessary(QList<QByteArray>& sessions);
    static void setMaxSessions(int maxSessions);
    static int maxSessions();
    static bool sentSession();
    static void setSentSession();
    static qint64 initialTimestamp();
    static QString phoneID();
    static QString getAgentVersion() { return QString::number(AGENT_VERSION); }

    // Each file is under its older name (no leading dot) when that exists, else under the dotted one.
    static QString sessionsFilePath();
    static QString currentSessionFilePath();
    static QString sessionSentFilePath();
    static QString initialTimestampFilePath();
    static QString oldSessionsFilePath();
    static QString oldCurrentSessionFilePath();
    static QString oldSessionSentFilePath();
    static QString oldInitialTimestampFilePath();
    // The stable 32-bit hash of the API key in the file names (the same in every run and build).
    static qint32 apiKeyHash(const QString& apiKey);

    // The report: header, then the sessions (encoded now, or copied as saved).
    static QByteArray dataForSessions(const QList<ReportItem>& sessions, bool requestAds = true);

    // Runs when a session ends with sending asked for and reports on close enabled (the upload).
    static void setEndOfSessionSender(std::function<void()> sender);

    // ---- One session ---------------------------------------------------------------------------------

    // A new session, saved to disk at once.
    TallySession(QString apiKey, QString appVersion);
    // A session from its archived form; none when the bytes are not one (or of another version).
    static std::unique_ptr<TallySession> fromArchive(const QByteArray& archive);
    QByteArray archive() const;

    void pauseSession();
    void resumeSession();
    // Moves the session to the saved list and deletes the current-session file. When this is the current
    // session it is destroyed: touch nothing of it afterwards.
    void saveSession();
    void endSession() { endSessionAndSend(true, true); }
    void endSessionAndSend(bool send, bool removeCurrentSession);
    void saveToDisk() const;
    void maybeIncrementPageView();

    void setUserID(const QString& userID);
    QString userID() const { return _userID.value_or(QString(QLatin1String(""))); }
    void setGender(const QString& gender);
    void setAge(int age);
    void setEventLoggingEnabled(bool enabled);
    bool eventLoggingEnabled() const { return _eventLoggingEnabled; }
    void setSessionReportsOnCloseEnabled(bool enabled);
    bool sessionReportsOnCloseEnabled() const { return _sessionReportsOnCloseEnabled; }
    void setSessionReportsOnPauseEnabled(bool enabled);
    bool sessionReportsOnPauseEnabled() const { return _sessionReportsOnPauseEnabled; }
    void setInternetAvailable(bool available) { _internetAvailable = available; }
    bool internetAvailable() const { return _internetAvailable; }

    // Milliseconds from start to end; -1 without an end time.
    qint64 sessionLength() const;
    qint64 timeIntervalSinceSessionStart(qint64 time) const;
    // The session's record in the report.
    QByteArray data() const;

    // Events and errors, within the limits.
    void recordEvent(const QString& name, const TallyEvent::Parameters& parameters, bool timed = false);
    void endTimedEvent(const QString& name, const TallyEvent::Parameters& parameters);
    void endTimedEvents();
    void recordError(const QString& errorID, const QString& message, const std::exception* exception);
    void recordError(const QString& errorID, const QString& message, const platform::ErrorRecord* error);
    void recordError(const QString& errorID, const QString& message, const QString& exceptionString);

    // Distinct for every session of the process: tells a session apart from a later one at the same address.
    quint64 serial() const { return _serial; }
    qint64 startTime() const { return _startTime; }
    std::optional<qint64> endTime() const { return _endTime; }
    std::optional<qint64> pauseTime() const { return _pauseTime; }
    qint64 totalPauseIntervalMillis() const { return _totalPauseIntervalMillis; }
    bool crashed() const { return _crashed; }
    const QString& apiKey() const { return _apiKey; }
    const QString& appVersion() const { return _appVersion; }
    int pageViewCount() const { return _pageViewCount; }
    int gender() const { return _gender; }
    std::optional<qint64> age() const { return _age; }
    const QMap<QString, int>& eventCounts() const { return _eventCounts; }
    const QList<TallyEvent>& eventLog() const { return _eventLog; }
    bool eventLogComplete() const { return _eventLogComplete; }
    const QList<Error>& errors() const { return _errors; }
    int totalErrorCount() const { return _totalErrorCount; }

private:
    TallySession() = default;
    static std::unique_ptr<TallySession> readCurrentSessionFile();
    static void removeUnfinishedWrites();

    quint64 _serial = nextSerial();
    static quint64 nextSerial();
    int _serializationVersion = SERIALIZATION_VERSION;
    qint64 _startTime = 0;
    std::optional<qint64> _endTime;
    std::optional<qint64> _pauseTime;
    qint64 _totalPauseIntervalMillis = 0;
    double _latitude = 0.0;
    double _longitude = 0.0;
    float _accuracy = 0.0f;
    bool _crashed = false;
    QString _apiKey;
    QString _appVersion;
    std::optional<QString> _userID;
    QMap<QString, int> _eventCounts;
    QList<TallyEvent> _eventLog;
    bool _eventLogComplete = true;
    QList<Error> _errors;
    int _totalErrorCount = 0;
    bool _eventLoggingEnabled = true;
    bool _sessionReportsOnCloseEnabled = true;
    bool _sessionReportsOnPauseEnabled = false;
    int _pageViewCount = 0;
    QString _locale;
    QString _timeZone;
    bool _internetAvailable = true;
    int _gender = -1;
    std::optional<qint64> _age;
};

} // namespace grinsley
