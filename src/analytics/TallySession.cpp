#include "TallySession.h"

#include <atomic>

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTimeZone>
#include <QUuid>

#include "CborWriter.h"
#include "TallyProtocolData.h"
#include "TallyUtil.h"
#include "platform/AtomicFile.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Directories.h"
#include "platform/UserDefaults.h"

namespace grinsley {

namespace {

constexpr qint64 pageViewIntervalMs = 300;
const QString installationIdKey = QStringLiteral("TallyInstallationIdentifier");

// Process-wide state, all behind storeMutex().
struct Store {
    std::unique_ptr<TallySession> current;
    QString apiKey;
    std::optional<qint64> lastPageViewTime;
    int maxSessions = TallySession::DEFAULT_MAX_SESSIONS;
    std::function<void()> endOfSessionSender;
    // Where the current session is saved, found once per session creation: the save after every recorded
    // event should not ask for the folder and look for the older file name each time.
    QString currentPath;
};
Store& store() {
    static Store s;
    return s;
}

qint64 now() { return platform::Clock::nowMilliseconds(); }

// A file of the library folder named for the API key, with or without the leading dot of the newer names.
QString fileNamed(const char* format, bool dotted) {
    const QString hash = QString::number(TallySession::apiKeyHash(store().apiKey));
    return platform::Directories::library() + QLatin1String(dotted ? "/." : "/") + QString::fromLatin1(format).arg(hash);
}
// The file under its older name when that exists, else under the dotted name.
QString pathFor(const char* format) {
    QString older = fileNamed(format, false);
    return QFile::exists(older) ? older : fileNamed(format, true);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A timestamp or a string that may be missing.
void writeOptional(CborWriter& out, const std::optional<qint64>& value) { value ? out.integer(*value) : out.null(); }
void writeOptional(CborWriter& out, const QString& value) { value.isNull() ? out.null() : out.text(value); }

bool isOptionalInteger(const QCborValue& value) { return value.isInteger() || value.isNull() || value.isUndefined(); }
bool isOptionalString(const QCborValue& value) { return value.isString() || value.isNull() || value.isUndefined(); }
std::optional<qint64> optionalInteger(const QCborValue& value) {
    return value.isInteger() ? std::optional(value.toInteger()) : std::nullopt;
}
QString optionalString(const QCborValue& value) { return value.isString() ? value.toString() : QString(); }

} // namespace

// ---- The current session -------------------------------------------------------------------------------

QRecursiveMutex& TallySession::storeMutex() {
    static QRecursiveMutex mutex;
    return mutex;
}

TallySession* TallySession::currentSession() {
    QMutexLocker lock(&storeMutex());
    return store().current.get();
}

quint64 TallySession::nextSerial() {
    static std::atomic<quint64> serial{0};
    return ++serial;
}

void TallySession::discardCurrentSession() {
    QMutexLocker lock(&storeMutex());
    store().current.reset();
    store().lastPageViewTime.reset(); // a new process has counted none
}

void TallySession::setEndOfSessionSender(std::function<void()> sender) {
    QMutexLocker lock(&storeMutex());
    store().endOfSessionSender = std::move(sender);
}

void TallySession::removeUnfinishedWrites() {
    // A process killed while writing leaves its temporary file beside the one it was replacing.
    QDir library(platform::Directories::library());
    const QStringList names = library.entryList({QStringLiteral("*.archive.tmp-*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        library.remove(name);
}

std::unique_ptr<TallySession> TallySession::readCurrentSessionFile() {
    const QByteArray bytes = readAll(currentSessionFilePath());
    return bytes.isEmpty() ? nullptr : fromArchive(bytes);
}

TallySession* TallySession::createActiveTallySession(const QString& apiKey, const QString& appVersion) {
    QMutexLocker lock(&storeMutex());
    store().apiKey = apiKey;
    store().currentPath = currentSessionFilePath();
    removeUnfinishedWrites();
    if (std::unique_ptr<TallySession> former = readCurrentSessionFile()) {
        former->_crashed = true;
        addToSavedSessions(*former);
        TallyUtil::log("Tally: Add crashed former session");
    } else {
        QFile::remove(currentSessionFilePath());
    }
    const QString version = appVersion.isEmpty() ? platform::Bundle::version() : appVersion;
    store().current = std::make_unique<TallySession>(apiKey, version);
    TallyUtil::log("Tally: Created active session with API[%1]", apiKey);
    return store().current.get();
}

// ---- Saved sessions ------------------------------------------------------------------------------------

QList<QByteArray> TallySession::savedSessions() {
    QMutexLocker lock(&storeMutex());
    const QString path = sessionsFilePath();
    if (!QFile::exists(path))
        return {};
    QCborParserError error;
    const QCborValue archive = QCborValue::fromCbor(readAll(path), &error);
    QList<QByteArray> sessions;
    bool damaged = error.error != QCborError::NoError || !archive.isArray();
    if (!damaged) {
        for (const QCborValue& block : archive.toArray()) {
            if (!block.isByteArray()) {
                damaged = true;
                break;
            }
            sessions.append(block.toByteArray());
        }
    }
    if (damaged) {
        // Left in place, it would make every later save fail and every later session be lost.
        const QString aside = path + QStringLiteral(".damaged-") + QString::number(now());
        QFile::rename(path, aside);
        TallyUtil::log("Tally: saved sessions file could not be read, moved to [%1]; starting a new list", aside);
        return {};
    }
    return sessions;
}

void TallySession::setSavedSessions(const QList<QByteArray>& sessions) {
    QMutexLocker lock(&storeMutex());
    CborWriter out;
    out.startArray(quint64(sessions.size()));
    for (const QByteArray& block : sessions)
        out.bytes(block);
    platform::AtomicFile::write(sessionsFilePath(), out.data());
}

void TallySession::addToSavedSessions(const TallySession& session) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Add session with startTime[%1] to saved sessions", TallyUtil::describeTime(session._startTime));
    QList<QByteArray> sessions = savedSessions();
    sessions.append(session.data());
    setSavedSessions(removeOldSessionsIfNecessary(sessions));
}

QList<QByteArray>& TallySession::removeOldSessionsIfNecessary(QList<QByteArray>& sessions) {
    const int limit = maxSessions();
    if (sessions.size() > limit) {
        const int excess = int(sessions.size()) - limit;
        TallyUtil::log("Tally: Max sessions allowed[%1] exceeded", limit);
        TallyUtil::log("Tally: Removing [%1] sessions from saved sessions", excess);
        sessions.remove(0, excess);
    }
    return sessions;
}

void TallySession::setMaxSessions(int maxSessions) {
    QMutexLocker lock(&storeMutex());
    store().maxSessions = std::max(0, maxSessions);
}

int TallySession::maxSessions() {
    QMutexLocker lock(&storeMutex());
    return store().maxSessions;
}

bool TallySession::sentSession() {
    const bool sent = QFile::exists(sessionSentFilePath());
    TallyUtil::log("Tally: application sent session[%1]", sent);
    return sent;
}

void TallySession::setSentSession() {
    const QString path = sessionSentFilePath();
    if (!QFile::exists(path))
        platform::AtomicFile::write(path, {});
}

qint64 TallySession::initialTimestamp() {
    QMutexLocker lock(&storeMutex());
    const QString path = initialTimestampFilePath();
    const QCborValue saved = QCborValue::fromCbor(readAll(path));
    if (saved.isInteger()) {
        TallyUtil::log("Tally: Initial timestamp[%1] from saved source", TallyUtil::describeTime(saved.toInteger()));
        return saved.toInteger();
    }
    const qint64 first = store().current ? store().current->_startTime : now();
    platform::AtomicFile::write(path, QCborValue(first).toCbor());
    TallyUtil::log("Tally: Initial timestamp[%1] created and saved", TallyUtil::describeTime(first));
    return first;
}

QString TallySession::phoneID() {
    // A phone has a device identifier; here each installation makes one and keeps it.
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    QString id = defaults.stringForKey(installationIdKey);
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        defaults.setObject(id, installationIdKey);
        defaults.synchronize();
    }
    return QStringLiteral("IPHONE") + id;
}

// ---- File names ----------------------------------------------------------------------------------------

qint32 TallySession::apiKeyHash(const QString& apiKey) {
    // FNV-1a over the key's UTF-8: Qt's own string hash is seeded anew in every process.
    quint32 hash = 2166136261u;
    for (const char byte : apiKey.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return qint32(hash);
}

QString TallySession::sessionsFilePath() { return pathFor("tallyStored%1.archive"); }
QString TallySession::currentSessionFilePath() { return pathFor("tallyCurrent%1.archive"); }
QString TallySession::sessionSentFilePath() { return pathFor("tallySent%1.archive"); }
QString TallySession::initialTimestampFilePath() { return pathFor("initialTimestamp%1.archive"); }

QString TallySession::oldSessionsFilePath() { return fileNamed("tallyStored%1.archive", false); }
QString TallySession::oldCurrentSessionFilePath() { return fileNamed("tallyCurrent%1.archive", false); }
QString TallySession::oldSessionSentFilePath() { return fileNamed("tallySent%1.archive", false); }
QString TallySession::oldInitialTimestampFilePath() { return fileNamed("initialTimestamp%1.archive", false); }

// ---- The report ----------------------------------------------------------------------------------------

QByteArray TallySession::dataForSessions(const QList<ReportItem>& sessions, bool requestAds) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Creating HTTP data from sessions");
    const TallySession* current = store().current.get();
    const QString apiKey = current ? current->_apiKey : QString();
    const QString appVersion = current ? current->_appVersion : QString();
    const QString deviceId = phoneID();
    const qint64 firstRun = initialTimestamp();
    const qint64 sessionStart = current ? current->_startTime : 0;
    const QString propertyKey = QStringLiteral("device.model.1");
    const QString propertyValue = QStringLiteral("MobileDevice");

    QByteArray data;
    TallyProtocolData::appendUshort(PROTOCOL_VERSION, data);
    TallyProtocolData::appendUshort(requestAds ? 1 : 0, data);
    TallyProtocolData::appendLong(0, data);   // the ad image cache's time: no ad catalogue here
    TallyProtocolData::appendUshort(0, data); // nor cached ad items
    TallyProtocolData::appendUshort(PLATFORM, data);
    TallyProtocolData::appendUshort(AGENT_VERSION, data);
    TallyProtocolData::appendTimestamp(now(), data);
    TallyProtocolData::appendString(apiKey, data);
    TallyProtocolData::appendString(appVersion, data);
    TallyProtocolData::appendUshort(0, data);
    TallyProtocolData::appendString(deviceId, data);
    TallyProtocolData::appendTimestamp(firstRun, data);
    TallyProtocolData::appendTimestamp(sessionStart, data);
    TallyProtocolData::appendUshort(1, data);
    TallyProtocolData::appendString(propertyKey, data);
    TallyProtocolData::appendString(propertyValue, data);
    TallyUtil::log("Tally: cacheTimeStamp[%1] numCachedItems[%2]", qint64(0), 0);
    TallyUtil::log("Tally: protocol[%1] platform[%2] agent[%3]", int(PROTOCOL_VERSION), int(PLATFORM), int(AGENT_VERSION));
    TallyUtil::log("Tally: apiKey[%1] appVersion[%2]", apiKey, appVersion);
    TallyUtil::log("Tally: ID Type [%1] ID [%2]", 0, deviceId);
    TallyUtil::log("Tally: initialTimestamp[%1] sessionTimestamp[%2]", TallyUtil::describeTime(firstRun),
                   TallyUtil::describeTime(sessionStart));
    TallyUtil::log("Tally: property[%1] value[%2]", propertyKey, propertyValue);

    QByteArray blocks;
    int count = 0;
    for (const ReportItem& item : sessions) {
        TallyUtil::guard([&] {
            QByteArray block;
            if (const auto* session = std::get_if<const TallySession*>(&item))
                block = *session ? (*session)->data() : QByteArray();
            else
                block = std::get<QByteArray>(item);
            if (block.isEmpty())
                return;
            blocks += block;
            ++count;
        });
    }
    TallyProtocolData::appendUshort(quint16(count), data);
    data += blocks;
    TallyUtil::log("Tally: sessionCount[%1]", count);
    TallyUtil::log("Tally: Creating HTTP data from sessions complete");
    return data;
}

// ---- One session ---------------------------------------------------------------------------------------

TallySession::TallySession(QString apiKey, QString appVersion)
    : _startTime(now()), _apiKey(std::move(apiKey)), _appVersion(std::move(appVersion)),
      _locale(QLocale::system().name()), _timeZone(QString::fromUtf8(QTimeZone::systemTimeZoneId())) {
    saveToDisk();
    TallyUtil::log("Tally: Initialized session from scratch with startTime[%1]", TallyUtil::describeTime(_startTime));
}

void TallySession::saveToDisk() const {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Saving session with startTime[%1]", TallyUtil::describeTime(_startTime));
    // Safe against the process being killed, which is what the current session must survive; flushing to the
    // disk on every recorded event would cost milliseconds each.
    const QString path = store().currentPath.isEmpty() ? currentSessionFilePath() : store().currentPath;
    platform::AtomicFile::write(path, archive(), platform::AtomicFile::Durability::ProcessCrash);
}

void TallySession::pauseSession() {
    QMutexLocker lock(&storeMutex());
    _pauseTime = now();
    saveToDisk();
    TallyUtil::log("Tally: Pause session with pauseTime[%1]", TallyUtil::describeTime(_pauseTime));
}

void TallySession::resumeSession() {
    QMutexLocker lock(&storeMutex());
    if (!_pauseTime)
        return;
    const qint64 resumed = now();
    _totalPauseIntervalMillis += TallyProtocolData::timeIntervalFrom(_pauseTime, resumed);
    _pauseTime.reset();
    saveToDisk();
    TallyUtil::log("Tally: Resume session with resumeTime[%1]", TallyUtil::describeTime(resumed));
}

void TallySession::saveSession() {
    QMutexLocker lock(&storeMutex());
    addToSavedSessions(*this);
    QFile::remove(currentSessionFilePath());
    if (store().current.get() == this)
        store().current.reset(); // destroys this
}

void TallySession::endSessionAndSend(bool send, bool removeCurrentSession) {
    std::function<void()> sender;
    {
        QMutexLocker lock(&storeMutex());
        _endTime = now();
        TallyUtil::log("Tally: Ending session with endTime[%1]", TallyUtil::describeTime(_endTime));
        endTimedEvents();
        if (_sessionReportsOnCloseEnabled && send)
            sender = store().endOfSessionSender;
    }
    const std::optional<qint64> endTime = _endTime;
    if (sender)
        sender(); // the upload: not under the lock, which the main thread needs meanwhile
    if (removeCurrentSession)
        saveSession();
    TallyUtil::log("Tally: Ending session with endTime[%1] complete", TallyUtil::describeTime(endTime));
}

void TallySession::maybeIncrementPageView() {
    QMutexLocker lock(&storeMutex());
    const qint64 time = now();
    std::optional<qint64>& last = store().lastPageViewTime;
    if (last && time - *last <= pageViewIntervalMs)
        return;
    ++_pageViewCount;
    last = time;
}

void TallySession::setUserID(const QString& userID) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Set userID[%1]", userID);
    _userID = userID;
}

void TallySession::setGender(const QString& gender) {
    QMutexLocker lock(&storeMutex());
    _gender = gender == QLatin1String("m") ? 1 : gender == QLatin1String("f") ? 0 : -1;
    TallyUtil::log("given gender [%1], _gender = [%2]", gender, _gender);
}

void TallySession::setAge(int age) {
    if (age < 1 || age > 150)
        return;
    QMutexLocker lock(&storeMutex());
    const int year = platform::Clock::now().toLocalTime().date().year();
    _age = QDateTime(QDate(year - age, 1, 1), QTime(0, 0), Qt::LocalTime).toMSecsSinceEpoch();
    TallyUtil::log("Tally: set age to [%1]", TallyUtil::describeTime(_age));
}

void TallySession::setEventLoggingEnabled(bool enabled) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Event logging enabled[%1]", enabled);
    _eventLoggingEnabled = enabled;
}

void TallySession::setSessionReportsOnCloseEnabled(bool enabled) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Session reports on close enabled[%1]", enabled);
    _sessionReportsOnCloseEnabled = enabled;
}

void TallySession::setSessionReportsOnPauseEnabled(bool enabled) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Session reports on pause enabled[%1]", enabled);
    _sessionReportsOnPauseEnabled = enabled;
}

qint64 TallySession::sessionLength() const {
    return _endTime ? TallyProtocolData::timeIntervalFrom(_startTime, _endTime) : -1;
}

qint64 TallySession::timeIntervalSinceSessionStart(qint64 time) const {
    return TallyProtocolData::timeIntervalFrom(_startTime, time);
}

// ---- Events and errors ---------------------------------------------------------------------------------

void TallySession::recordEvent(const QString& name, const TallyEvent::Parameters& parameters, bool timed) {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Recording event eventName[%1] with parameters[%2]", name, parameters);
    if (name.isEmpty() || (parameters && parameters->size() > MAX_EVENT_PARAMETERS)) {
        _eventLogComplete = false;
        TallyUtil::log("Tally: Event eventName[%1] with parameters[%2] not recorded", name, parameters);
    } else {
        const bool counted = _eventCounts.contains(name) || _eventCounts.size() < MAX_EVENT_COUNTS;
        if (counted) {
            const int count = ++_eventCounts[name];
            TallyUtil::log("Tally: Event count for eventName[%1] updated to count[%2]", name, count);
        }
        const bool logged = counted && _eventLog.size() < MAX_EVENT_LOG_COUNT && _eventLoggingEnabled;
        if (logged) {
            _eventLog.append(TallyEvent(name, timed, parameters));
            TallyUtil::log("Tally: Event log for eventName[%1] updated", name);
        }
        if (!logged)
            _eventLogComplete = false;
    }
    saveToDisk();
    TallyUtil::log("Tally: Recording event eventName[%1] with parameters[%2] complete", name, parameters);
}

void TallySession::endTimedEvent(const QString& name, const TallyEvent::Parameters& parameters) {
    QMutexLocker lock(&storeMutex());
    const qint64 ended = now();
    for (TallyEvent& event : _eventLog) {
        if (!event.isUnterminated() || event.name() != name)
            continue;
        event.setEnded(ended);
        if (parameters)
            event.setParameters(parameters);
        TallyUtil::log("Tally: event named[%1] ended at %2", name, TallyUtil::describeTime(ended));
    }
}

void TallySession::endTimedEvents() {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: ending all unterminated timed events with _endTime[%1]...", TallyUtil::describeTime(_endTime));
    for (TallyEvent& event : _eventLog) {
        if (!event.isUnterminated() && !event.automaticallyEnded())
            continue;
        event.setEnded(_endTime);
        event.setAutomaticallyEnded(true);
        TallyUtil::log("Tally: forcefully terminated event named[%1]", event.name());
    }
    TallyUtil::log("Tally: ...finished ending un-ended timed events.");
}

void TallySession::recordError(const QString& errorID, const QString& message, const std::exception* exception) {
    const QString text = exception ? QStringLiteral("%1: %2").arg(TallyUtil::exceptionName(*exception),
                                                                  QString::fromUtf8(exception->what()))
                                   : QStringLiteral("nil");
    TallyUtil::log("Tally: Recording error id[%1] with message[%2] and exception[%3]", errorID, message, text);
    recordError(errorID, message, text);
    TallyUtil::log("Tally: Recording error id[%1] with message[%2] and exception[%3] complete", errorID, message, text);
}

void TallySession::recordError(const QString& errorID, const QString& message, const platform::ErrorRecord* error) {
    const QString text = error ? QStringLiteral("%1: %2").arg(error->localizedDescription(), error->localizedFailureReason())
                               : QStringLiteral("nil");
    TallyUtil::log("Tally: Recording error id[%1] with message[%2] and error[%3]", errorID, message, text);
    recordError(errorID, message, text);
    TallyUtil::log("Tally: Recording error id[%1] with message[%2] and error[%3] complete", errorID, message, text);
}

void TallySession::recordError(const QString& errorID, const QString& message, const QString& exceptionString) {
    QMutexLocker lock(&storeMutex());
    ++_totalErrorCount;
    if (_errors.size() < MAX_ERRORS) {
        _errors.append({now(), errorID, message, exceptionString});
        TallyUtil::log("Tally: Error id[%1] updated", errorID);
    } else {
        TallyUtil::log("Tally: Error id[%1] not recorded", errorID);
    }
    saveToDisk();
}

// ---- Encodings -----------------------------------------------------------------------------------------

QByteArray TallySession::data() const {
    QMutexLocker lock(&storeMutex());
    TallyUtil::log("Tally: Creating HTTP data from session");
    QByteArray data;
    TallyProtocolData::appendUshort(quint16(_serializationVersion), data);
    TallyProtocolData::appendString(_appVersion, data);
    TallyProtocolData::appendTimestamp(_startTime, data);
    TallyProtocolData::appendLong(sessionLength(), data);
    TallyProtocolData::appendLong(_totalPauseIntervalMillis, data);
    TallyProtocolData::appendString(_locale, data);
    TallyProtocolData::appendString(_timeZone, data);
    TallyProtocolData::appendBoolean(_internetAvailable, data);
    TallyProtocolData::appendString(userID(), data);
    TallyProtocolData::appendBoolean(true, data); // location present (never set: zeros)
    TallyProtocolData::appendDouble(_latitude, data);
    TallyProtocolData::appendDouble(_longitude, data);
    TallyProtocolData::appendFloat(_accuracy, data);
    TallyProtocolData::appendInt(_pageViewCount, data);
    TallyProtocolData::appendByte(0, data); // reserved
    TallyProtocolData::appendByte(0, data);
    TallyProtocolData::appendByte(_gender, data);
    TallyProtocolData::appendBoolean(_age.has_value(), data);
    if (_age)
        TallyProtocolData::appendTimestamp(*_age, data);
    TallyProtocolData::appendUshort(quint16(_eventCounts.size()), data);
    for (auto it = _eventCounts.cbegin(); it != _eventCounts.cend(); ++it) {
        TallyProtocolData::appendString(it.key(), data);
        TallyProtocolData::appendInt(it.value(), data);
    }
    TallyProtocolData::appendUshort(quint16(_eventLog.size()), data);
    for (const TallyEvent& event : _eventLog)
        data += event.dataRelativeToSessionStart(_startTime);
    TallyProtocolData::appendBoolean(_eventLogComplete, data);
    TallyProtocolData::appendInt(_totalErrorCount, data);
    TallyProtocolData::appendUshort(quint16(_errors.size()), data);
    for (const Error& error : _errors) {
        TallyProtocolData::appendTimestamp(error.time, data);
        TallyProtocolData::appendString(error.id, data);
        TallyProtocolData::appendString(error.message, data);
        TallyProtocolData::appendString(error.exceptionText, data);
    }
    TallyProtocolData::appendUshort(0, data); // ad impressions: no ad catalogue here
    TallyUtil::log("Tally: Creating HTTP data from session complete");
    return data;
}

QByteArray TallySession::archive() const {
    QMutexLocker lock(&storeMutex());
    CborWriter out;
    out.startMap(24);
    const auto key = [&out](const char* name) { out.text(QLatin1StringView(name)); };
    key("serializationVersion");
    out.integer(SERIALIZATION_VERSION);
    key("startTime");
    out.integer(_startTime);
    key("endTime");
    writeOptional(out, _endTime);
    key("pauseTime");
    writeOptional(out, _pauseTime);
    key("pauseIntervalMillis");
    out.integer(_totalPauseIntervalMillis);
    key("eventCounts");
    out.startMap(quint64(_eventCounts.size()));
    for (auto it = _eventCounts.cbegin(); it != _eventCounts.cend(); ++it) {
        out.text(it.key());
        out.integer(it.value());
    }
    key("eventLog");
    out.startArray(quint64(_eventLog.size()));
    for (const TallyEvent& event : _eventLog)
        out.raw(event.archive());
    key("eventLogComplete");
    out.boolean(_eventLogComplete);
    key("errors");
    out.startArray(quint64(_errors.size()));
    for (const Error& error : _errors) {
        out.startArray(4);
        out.integer(error.time);
        out.text(error.id);
        out.text(error.message);
        out.text(error.exceptionText);
    }
    key("totalErrorCount");
    out.integer(_totalErrorCount);
    key("adLog");
    out.startArray(0);
    key("latitude");
    out.dbl(_latitude);
    key("longitude");
    out.dbl(_longitude);
    key("accuracy");
    out.single(_accuracy);
    key("crashed");
    out.boolean(_crashed);
    key("apiKey");
    writeOptional(out, _apiKey);
    key("appVersion");
    writeOptional(out, _appVersion);
    key("userID");
    writeOptional(out, _userID.value_or(QString()));
    key("pageViewCount");
    out.integer(_pageViewCount);
    key("locale");
    writeOptional(out, _locale);
    key("timeZone");
    writeOptional(out, _timeZone);
    key("internetAvailable");
    out.boolean(_internetAvailable);
    key("age");
    writeOptional(out, _age);
    key("gender");
    out.integer(_gender);
    return out.take();
}

std::unique_ptr<TallySession> TallySession::fromArchive(const QByteArray& bytes) {
    QCborParserError error;
    const QCborValue archive = QCborValue::fromCbor(bytes, &error);
    if (error.error != QCborError::NoError || !archive.isMap())
        return nullptr;
    const QCborMap map = archive.toMap();
    const auto value = [&map](const char* name) { return map.value(QLatin1StringView(name)); };
    const QCborValue version = value("serializationVersion");
    if (!isOptionalInteger(version) || (version.toInteger() != 0 && version.toInteger() != SERIALIZATION_VERSION))
        return nullptr;
    if (!value("startTime").isInteger() || !isOptionalInteger(value("endTime")) ||
        !isOptionalInteger(value("pauseTime")) || !isOptionalInteger(value("age")) ||
        !isOptionalString(value("apiKey")) || !isOptionalString(value("appVersion")) ||
        !isOptionalString(value("userID")) || !isOptionalString(value("locale")) || !isOptionalString(value("timeZone")))
        return nullptr;

    std::unique_ptr<TallySession> session(new TallySession);
    TallySession& s = *session;
    s._startTime = value("startTime").toInteger();
    s._endTime = optionalInteger(value("endTime"));
    s._pauseTime = optionalInteger(value("pauseTime"));
    s._totalPauseIntervalMillis = value("pauseIntervalMillis").toInteger();
    const QCborMap counts = value("eventCounts").toMap();
    if (counts.size() > MAX_EVENT_COUNTS)
        return nullptr;
    for (const auto& [name, count] : counts) {
        if (!name.isString() || !count.isInteger())
            return nullptr;
        s._eventCounts.insert(name.toString(), int(count.toInteger()));
    }
    const QCborArray log = value("eventLog").toArray();
    if (log.size() > MAX_EVENT_LOG_COUNT)
        return nullptr;
    for (const QCborValue& entry : log) {
        std::optional<TallyEvent> event = TallyEvent::fromArchive(entry.toMap());
        if (!event)
            return nullptr;
        s._eventLog.append(std::move(*event));
    }
    s._eventLogComplete = value("eventLogComplete").toBool(true);
    const QCborArray errors = value("errors").toArray();
    if (errors.size() > MAX_ERRORS)
        return nullptr;
    for (const QCborValue& entry : errors) {
        const QCborArray fields = entry.toArray();
        if (fields.size() != 4 || !fields.at(0).isInteger())
            return nullptr;
        s._errors.append({fields.at(0).toInteger(), fields.at(1).toString(), fields.at(2).toString(), fields.at(3).toString()});
    }
    s._totalErrorCount = int(value("totalErrorCount").toInteger());
    s._latitude = value("latitude").toDouble();
    s._longitude = value("longitude").toDouble();
    s._accuracy = float(value("accuracy").toDouble());
    s._crashed = value("crashed").toBool();
    s._apiKey = optionalString(value("apiKey"));
    s._appVersion = optionalString(value("appVersion"));
    if (value("userID").isString())
        s._userID = value("userID").toString();
    s._pageViewCount = int(value("pageViewCount").toInteger());
    s._locale = optionalString(value("locale"));
    s._timeZone = optionalString(value("timeZone"));
    s._internetAvailable = value("internetAvailable").toBool(true);
    s._age = optionalInteger(value("age"));
    s._gender = int(value("gender").toInteger(-1));
    return session;
}

} // namespace grinsley
