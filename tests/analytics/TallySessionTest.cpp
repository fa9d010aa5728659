#include <QDir>
#include <QJsonArray>
#include <QTimeZone>

#include "AnalyticsTest.h"
#include "analytics/TallyProtocolData.h"
#include "platform/AtomicFile.h"
#include "platform/Directories.h"

using namespace grinsley;

namespace {

class TallySessionTest : public grinsley::testing::AnalyticsTest {
protected:
    static TallyEvent::Parameters parameters(int count) {
        QVariantMap map;
        for (int i = 0; i < count; ++i)
            map.insert(QStringLiteral("key%1").arg(i), QStringLiteral("value%1").arg(i));
        return map;
    }
    // The session as it is on disk now.
    static QJsonObject onDisk() {
        std::unique_ptr<TallySession> saved = TallySession::fromArchive(readFile(TallySession::currentSessionFilePath()));
        EXPECT_TRUE(saved);
        return saved ? decodedSession(saved->data()) : QJsonObject();
    }
    // Ends the current session and moves it to the saved list.
    static void finish() { TallySession::currentSession()->saveSession(); }
};

} // namespace

// ---- Limits --------------------------------------------------------------------------------------------

TEST_F(TallySessionTest, RefusedEventsMarkTheLogIncomplete) {
    TallySession& session = start();
    session.recordEvent(QStringLiteral("Ten"), parameters(10));
    EXPECT_EQ(session.eventCounts().value("Ten"), 1);
    EXPECT_EQ(session.eventLog().size(), 1);
    EXPECT_TRUE(session.eventLogComplete());

    session.recordEvent(QStringLiteral("Eleven"), parameters(11));
    session.recordEvent(QString(), std::nullopt);
    session.recordEvent(QStringLiteral(""), std::nullopt);
    EXPECT_FALSE(session.eventCounts().contains("Eleven"));
    EXPECT_EQ(session.eventCounts().size(), 1);
    EXPECT_EQ(session.eventLog().size(), 1);
    EXPECT_FALSE(session.eventLogComplete());
    EXPECT_FALSE(onDisk()["eventLogComplete"].toBool()) << "saved even when refused";
}

TEST_F(TallySessionTest, TheHundredAndFirstNameIsNotCounted) {
    TallySession& session = start();
    for (int i = 0; i < TallySession::MAX_EVENT_COUNTS; ++i)
        session.recordEvent(QStringLiteral("name%1").arg(i), std::nullopt);
    EXPECT_TRUE(session.eventLogComplete());
    session.recordEvent(QStringLiteral("one too many"), std::nullopt);
    EXPECT_FALSE(session.eventCounts().contains("one too many"));
    EXPECT_EQ(session.eventLog().size(), 100);
    EXPECT_FALSE(session.eventLogComplete());
    session.recordEvent(QStringLiteral("name7"), std::nullopt);
    EXPECT_EQ(session.eventCounts().value("name7"), 2) << "known names go on counting";
    EXPECT_EQ(session.eventLog().size(), 101) << "and logging";
}

TEST_F(TallySessionTest, TheLogStopsAtAThousandAndCountingGoesOn) {
    TallySession& session = start();
    for (int i = 0; i < TallySession::MAX_EVENT_LOG_COUNT; ++i)
        session.recordEvent(QStringLiteral("Tap"), std::nullopt);
    EXPECT_TRUE(session.eventLogComplete());
    session.recordEvent(QStringLiteral("Tap"), std::nullopt);
    EXPECT_EQ(session.eventCounts().value("Tap"), 1001);
    EXPECT_EQ(session.eventLog().size(), 1000);
    EXPECT_FALSE(session.eventLogComplete());
    const QJsonObject saved = onDisk();
    EXPECT_EQ(saved["events"].toArray().size(), 1000);
    EXPECT_EQ(saved["eventCounts"].toObject()["Tap"].toInt(), 1001);
}

TEST_F(TallySessionTest, WithLoggingOffEventsAreOnlyCounted) {
    TallySession& session = start();
    session.setEventLoggingEnabled(false);
    session.recordEvent(QStringLiteral("Open"), std::nullopt);
    EXPECT_EQ(session.eventCounts().value("Open"), 1);
    EXPECT_TRUE(session.eventLog().isEmpty());
    EXPECT_FALSE(session.eventLogComplete());
}

TEST_F(TallySessionTest, ErrorsBeyondTheTenthAreOnlyCounted) {
    TallySession& session = start();
    for (int i = 0; i < 10; ++i)
        session.recordError(QStringLiteral("E%1").arg(i), QStringLiteral("m"), QStringLiteral("x"));
    session.recordError(QStringLiteral("E10"), QStringLiteral("m"), static_cast<const std::exception*>(nullptr));
    EXPECT_EQ(session.totalErrorCount(), 11);
    EXPECT_EQ(session.errors().size(), 10);
    EXPECT_EQ(session.errors().last().id, "E9");

    restart();
    TallySession& next = *TallySession::currentSession();
    next.recordError(QStringLiteral("Exception"), QStringLiteral("Crash!"), static_cast<const std::exception*>(nullptr));
    const std::runtime_error failure("disk on fire");
    next.recordError(QStringLiteral("Exception"), QStringLiteral("Crash!"), &failure);
    platform::ErrorRecord error{QStringLiteral("socialErrDomain"), 10000, {}};
    error.userInfo.insert(platform::ErrorRecord::LocalizedDescriptionKey, QStringLiteral("Request failed"));
    error.userInfo.insert(platform::ErrorRecord::LocalizedFailureReasonKey, QStringLiteral("no network"));
    next.recordError(QStringLiteral("Social"), QStringLiteral("upload"), &error);
    ASSERT_EQ(next.errors().size(), 3);
    EXPECT_EQ(next.errors().at(0).exceptionText, "nil");
    EXPECT_EQ(next.errors().at(1).exceptionText, "std::runtime_error: disk on fire");
    EXPECT_EQ(next.errors().at(2).exceptionText, "Request failed: no network");
    EXPECT_EQ(next.errors().at(0).time, clock.now().toMSecsSinceEpoch());
    const QJsonArray saved = onDisk()["errors"].toArray();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved.at(1)["exception"].toString(), "std::runtime_error: disk on fire");
    EXPECT_EQ(saved.at(1)["message"].toString(), "Crash!");
}

// ---- Timed events --------------------------------------------------------------------------------------

TEST_F(TallySessionTest, EndingATimedEventEndsEveryOpenOneOfThatName) {
    TallySession& session = start();
    session.recordEvent(QStringLiteral("Load"), std::nullopt, true);
    clock.advance(100);
    session.recordEvent(QStringLiteral("Load"), parameters(1), true);
    session.recordEvent(QStringLiteral("Plain"), std::nullopt);
    clock.advance(400);
    session.endTimedEvent(QStringLiteral("Load"), parameters(2));
    session.endTimedEvent(QStringLiteral("Plain"), parameters(3));
    const QList<TallyEvent>& log = session.eventLog();
    EXPECT_EQ(log.at(0).duration(), 500);
    EXPECT_EQ(log.at(1).duration(), 400);
    EXPECT_EQ(log.at(1).parameters()->size(), 2) << "the ending's parameters replace the event's";
    EXPECT_EQ(log.at(2).duration(), 0);
    EXPECT_FALSE(log.at(2).parameters()) << "an untimed event is left alone";
    session.saveToDisk(); // the ending reaches the disk with the next save
    EXPECT_EQ(onDisk()["events"].toArray().at(0)["duration"].toInteger(), 500);
    EXPECT_EQ(onDisk()["events"].toArray().at(1)["parameters"].toObject().size(), 2);

    clock.advance(50);
    session.endTimedEvent(QStringLiteral("Load"), std::nullopt);
    EXPECT_EQ(session.eventLog().at(0).duration(), 500) << "already ended";

    session.recordEvent(QStringLiteral("Solo"), std::nullopt, true);
    clock.advance(70);
    session.endTimedEvent(QStringLiteral("Solo"), std::nullopt);
    session.saveToDisk();
    EXPECT_EQ(onDisk()["events"].toArray().at(3)["duration"].toInteger(), 70);
}

// A pause closes the open timed events at its time; they move to the real end when the session ends.
TEST_F(TallySessionTest, AutomaticallyEndedEventsMoveToTheLaterEnd) {
    TallySession& session = start();
    clock.advance(1000);
    session.recordEvent(QStringLiteral("Watch"), std::nullopt, true);
    session.recordEvent(QStringLiteral("Mine"), std::nullopt, true);
    clock.advance(2000);
    session.endTimedEvent(QStringLiteral("Mine"), std::nullopt);
    clock.advance(3000);
    session.pauseSession();
    session.endSessionAndSend(false, false);
    EXPECT_EQ(session.eventLog().at(0).duration(), 5000);
    EXPECT_TRUE(session.eventLog().at(0).automaticallyEnded());
    session.resumeSession();
    clock.advance(4000);
    session.endSessionAndSend(false, false);
    EXPECT_EQ(session.eventLog().at(0).duration(), 9000);
    EXPECT_EQ(session.eventLog().at(1).duration(), 2000) << "ended by the program: keeps its time";
    EXPECT_FALSE(session.eventLog().at(1).automaticallyEnded());
    EXPECT_EQ(session.sessionLength(), 10000);

    const QJsonObject record = decodedSession(session.data());
    EXPECT_EQ(record["events"].toArray().at(0)["startOffset"].toInteger(), 1000);
    EXPECT_EQ(record["events"].toArray().at(0)["duration"].toInteger(), 9000);
}

// ---- Session state -------------------------------------------------------------------------------------

TEST_F(TallySessionTest, PausesAddUpAndSessionLength) {
    TallySession& session = start();
    EXPECT_EQ(session.sessionLength(), -1);
    session.resumeSession(); // no pause in progress: nothing changes
    EXPECT_EQ(session.totalPauseIntervalMillis(), 0);
    session.pauseSession();
    clock.advance(1500);
    session.resumeSession();
    session.pauseSession();
    clock.advance(2);
    session.resumeSession();
    EXPECT_EQ(session.totalPauseIntervalMillis(), 1502);
    EXPECT_FALSE(session.pauseTime());
    EXPECT_EQ(onDisk()["totalPause"].toInteger(), 1502);
    EXPECT_EQ(session.timeIntervalSinceSessionStart(session.startTime() + 77), 77);
}

TEST_F(TallySessionTest, PageViewsCloserThanAThirdOfASecondCountOnce) {
    TallySession& session = start();
    session.maybeIncrementPageView();
    clock.advance(200);
    session.maybeIncrementPageView();
    EXPECT_EQ(session.pageViewCount(), 1);
    clock.advance(100);
    session.maybeIncrementPageView();
    EXPECT_EQ(session.pageViewCount(), 1) << "exactly 0.3 s after the last counted one";
    clock.advance(1);
    session.maybeIncrementPageView();
    EXPECT_EQ(session.pageViewCount(), 2);
    clock.advance(400);
    session.maybeIncrementPageView();
    EXPECT_EQ(session.pageViewCount(), 3);
}

TEST_F(TallySessionTest, AgeGenderAndUser) {
    TallySession& session = start();
    session.setAge(0);
    session.setAge(151);
    EXPECT_FALSE(session.age());
    session.setAge(30);
    EXPECT_EQ(session.age(), QDateTime(QDate(1996, 1, 1), QTime(0, 0), Qt::LocalTime).toMSecsSinceEpoch());
    session.setAge(150);
    EXPECT_EQ(session.age(), QDateTime(QDate(1876, 1, 1), QTime(0, 0), Qt::LocalTime).toMSecsSinceEpoch());
    session.setGender(QStringLiteral("f"));
    EXPECT_EQ(session.gender(), 0);
    session.setGender(QStringLiteral("m"));
    EXPECT_EQ(session.gender(), 1);
    session.setGender(QStringLiteral("M"));
    EXPECT_EQ(session.gender(), -1);
    EXPECT_EQ(session.userID(), "");
    session.setUserID(QStringLiteral("u-7"));
    EXPECT_EQ(session.userID(), "u-7");
}

// ---- Persistence ---------------------------------------------------------------------------------------

TEST_F(TallySessionTest, ACutOffSessionIsPickedUpAsCrashed) {
    TallySession& first = start();
    const qint64 firstStart = first.startTime();
    first.recordEvent(QStringLiteral("Open"), parameters(2));
    first.setUserID(QStringLiteral("someone"));
    first.pauseSession();

    clock.advance(60000);
    TallySession& second = restart();
    EXPECT_NE(second.startTime(), firstStart);
    const QList<QByteArray> saved = TallySession::savedSessions();
    ASSERT_EQ(saved.size(), 1);
    const QJsonObject record = decodedSession(saved.first());
    EXPECT_EQ(record["startTime"].toInteger(), firstStart);
    EXPECT_EQ(record["events"].toArray().at(0)["parameters"].toObject()["key1"].toString(), "value1");
    EXPECT_EQ(record["sessionLength"].toInteger(), -1);
    // The flag lives in the archive only; the new session is on disk, not crashed.
    EXPECT_FALSE(TallySession::fromArchive(readFile(TallySession::currentSessionFilePath()))->crashed());
    EXPECT_EQ(onDisk()["startTime"].toInteger(), second.startTime());
}

TEST_F(TallySessionTest, ASavedSessionLeavesNoCurrentFile) {
    start().recordEvent(QStringLiteral("Open"), std::nullopt);
    finish();
    EXPECT_EQ(TallySession::currentSession(), nullptr);
    EXPECT_FALSE(QFile::exists(TallySession::currentSessionFilePath()));
    restart();
    EXPECT_EQ(TallySession::savedSessions().size(), 1) << "nothing picked up twice";
}

TEST_F(TallySessionTest, TheSavedListKeepsTheNewestFifty) {
    for (int i = 0; i < 51; ++i) {
        start().setUserID(QString::number(i));
        finish();
    }
    const QList<QJsonObject> saved = savedSessions();
    ASSERT_EQ(saved.size(), 50);
    EXPECT_EQ(saved.first()["userID"].toString(), "1") << "the oldest went";
    EXPECT_EQ(saved.last()["userID"].toString(), "50");
}

// Lowering the limit trims the list when the next session is added (eight plus one, down to five).
TEST_F(TallySessionTest, LoweringTheLimitTrimsAtTheNextAddition) {
    for (int i = 0; i < 8; ++i) {
        start().setUserID(QString::number(i));
        finish();
    }
    TallySession::setMaxSessions(5);
    EXPECT_EQ(TallySession::savedSessions().size(), 8);
    start().setUserID(QStringLiteral("8"));
    finish();
    const QList<QJsonObject> saved = savedSessions();
    ASSERT_EQ(saved.size(), 5);
    EXPECT_EQ(saved.first()["userID"].toString(), "4");
}

TEST_F(TallySessionTest, OlderFileNamesAreUsedWhenPresent) {
    start();
    const QString hash = QString::number(TallySession::apiKeyHash(apiKey));
    const QString library = platform::Directories::library();
    EXPECT_EQ(TallySession::currentSessionFilePath(), library + "/.tallyCurrent" + hash + ".archive");
    EXPECT_EQ(TallySession::sessionsFilePath(), library + "/.tallyStored" + hash + ".archive");
    EXPECT_EQ(TallySession::sessionSentFilePath(), library + "/.tallySent" + hash + ".archive");
    EXPECT_EQ(TallySession::initialTimestampFilePath(), library + "/.initialTimestamp" + hash + ".archive");

    // A saved list under the older name is read and written there.
    finish();
    ASSERT_TRUE(QFile::rename(TallySession::sessionsFilePath(), TallySession::oldSessionsFilePath()));
    EXPECT_EQ(TallySession::sessionsFilePath(), library + "/tallyStored" + hash + ".archive");
    start();
    finish();
    EXPECT_EQ(TallySession::savedSessions().size(), 2);
    EXPECT_FALSE(QFile::exists(library + "/.tallyStored" + hash + ".archive"));

    EXPECT_FALSE(TallySession::sentSession());
    TallySession::setSentSession();
    TallySession::setSentSession();
    EXPECT_TRUE(TallySession::sentSession());
    EXPECT_EQ(readFile(TallySession::sessionSentFilePath()).size(), 0);
}

// The hash in the names must be the same in every run; these values are fixed for good.
TEST_F(TallySessionTest, FileNameHashIsStable) {
    EXPECT_EQ(TallySession::apiKeyHash(QString()), qint32(2166136261u));
    EXPECT_EQ(TallySession::apiKeyHash(QStringLiteral("a")), qint32(0xe40c292cu));
    EXPECT_NE(TallySession::apiKeyHash(QStringLiteral("ab")), TallySession::apiKeyHash(QStringLiteral("ba")));
}

TEST_F(TallySessionTest, ForeignOrBrokenCurrentFilesAreNotPickedUp) {
    start().recordEvent(QStringLiteral("Open"), std::nullopt);
    const QString path = TallySession::currentSessionFilePath();
    QCborMap archive = QCborValue::fromCbor(readFile(path)).toMap();
    archive.insert(QStringLiteral("serializationVersion"), 2);
    ASSERT_TRUE(platform::AtomicFile::write(path, archive.toCborValue().toCbor()));
    restart();
    EXPECT_TRUE(TallySession::savedSessions().isEmpty()) << "version 2 is not loaded";

    archive.insert(QStringLiteral("serializationVersion"), 1);
    ASSERT_TRUE(platform::AtomicFile::write(path, archive.toCborValue().toCbor()));
    EXPECT_TRUE(TallySession::fromArchive(readFile(path)));
    archive.remove(QStringLiteral("serializationVersion"));
    EXPECT_TRUE(TallySession::fromArchive(archive.toCborValue().toCbor())) << "absent is version 0, read as 1";

    const QByteArray whole = readFile(path);
    for (const QByteArray& broken : {whole.left(whole.size() / 2), QByteArray("not an archive"), QByteArray()}) {
        ASSERT_TRUE(platform::AtomicFile::write(path, broken));
        restart();
        EXPECT_TRUE(TallySession::savedSessions().isEmpty());
    }
}

// A damaged saved list is moved aside for inspection, and saving goes on with a new list.
TEST_F(TallySessionTest, ADamagedSavedListIsMovedAside) {
    start();
    finish();
    const QString path = TallySession::sessionsFilePath();
    ASSERT_TRUE(platform::AtomicFile::write(path, QByteArray("\x9f\x41", 2)));
    start();
    finish();
    EXPECT_EQ(TallySession::savedSessions().size(), 1);
    const QStringList aside = QDir(platform::Directories::library())
                                  .entryList({QStringLiteral(".tallyStored*.damaged-*")}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(platform::Directories::library() + "/" + aside.first()), QByteArray("\x9f\x41", 2));
}

TEST_F(TallySessionTest, InitialTimestampIsTheFirstRun) {
    const qint64 first = start().startTime();
    clock.advance(86400000);
    restart();
    EXPECT_EQ(TallySession::initialTimestamp(), clock.now().toMSecsSinceEpoch()) << "made on first ask";
    clock.advance(5000);
    restart();
    EXPECT_EQ(TallySession::initialTimestamp(), first + 86400000);
    EXPECT_TRUE(TallySession::phoneID().startsWith("IPHONE"));
    EXPECT_EQ(TallySession::phoneID(), TallySession::phoneID());
}

// ---- Encoding ------------------------------------------------------------------------------------------

// The record of a plain new session, byte for byte.
TEST_F(TallySessionTest, SessionRecordBytes) {
    TallySession& session = start();
    const QByteArray data = session.data();
    QByteArray expected;
    TallyProtocolData::appendUshort(1, expected);
    TallyProtocolData::appendString(QStringLiteral("1.0"), expected);
    TallyProtocolData::appendLong(clock.now().toMSecsSinceEpoch(), expected);
    expected += QByteArray(8, char(0xFF)); // no end time: -1
    expected += QByteArray(8, 0);          // no pause
    TallyProtocolData::appendString(QLocale::system().name(), expected);
    TallyProtocolData::appendString(QString::fromUtf8(QTimeZone::systemTimeZoneId()), expected);
    expected += QByteArray("\x01\x00\x00\x01", 4); // internet, empty user id, location present
    expected += QByteArray(8 + 8 + 4 + 4 + 2, 0);  // latitude, longitude, accuracy, page views, reserved
    expected += QByteArray("\xFF\x00", 2);         // gender unknown, no age (and no birth date)
    expected += QByteArray("\x00\x00\x00\x00\x01", 5); // no counts, no events, log complete
    expected += QByteArray(4 + 2 + 2, 0);              // no errors, none stored, no impressions
    EXPECT_EQ(data.toHex(), expected.toHex());

    session.setAge(40);
    session.setGender(QStringLiteral("m"));
    const QJsonObject record = decodedSession(session.data());
    EXPECT_EQ(record["gender"].toInt(), 1);
    EXPECT_EQ(record["birthDate"].toInteger(), *session.age());
}

TEST_F(TallySessionTest, EventRecordsInTheReport) {
    TallySession& session = start();
    clock.advance(1234);
    session.recordEvent(QStringLiteral("Open"), QVariantMap{{"photo", "IMG 1.jpg"}});
    const QByteArray record = session.eventLog().first().dataRelativeToSessionStart(session.startTime());
    EXPECT_EQ(record.toHex(), QByteArray("00044f70656e"
                                         "0001"
                                         "000570686f746f"
                                         "0009494d4720312e6a7067"
                                         "00000000000004d2"
                                         "0000000000000000"));
}

// The report: header fields in order, current session's key and version, saved blocks copied as they are.
TEST_F(TallySessionTest, ReportHeaderAndSessions) {
    TallySession& session = start();
    EXPECT_EQ(TallySession::getAgentVersion(), "42");
    const QByteArray empty = TallySession::dataForSessions({}, false);
    const QJsonObject report = *tools::ReportDecoder::decodeReport(empty);
    const QJsonObject header = report["header"].toObject();
    EXPECT_EQ(header["protocolVersion"].toInt(), 15);
    EXPECT_EQ(header["adsRequested"].toInt(), 0);
    EXPECT_EQ(header["platform"].toInt(), 2);
    EXPECT_EQ(header["agentVersion"].toInt(), 42);
    EXPECT_EQ(header["reportTime"].toInteger(), clock.now().toMSecsSinceEpoch());
    EXPECT_EQ(header["apiKey"].toString(), apiKey);
    EXPECT_EQ(header["appVersion"].toString(), "1.0");
    EXPECT_EQ(header["deviceId"].toString(), TallySession::phoneID());
    EXPECT_EQ(header["sessionStart"].toInteger(), session.startTime());
    EXPECT_EQ(header["properties"].toObject()["device.model.1"].toString(), "MobileDevice");
    EXPECT_TRUE(report["sessions"].toArray().isEmpty());
    EXPECT_EQ(empty.right(2).toHex(), "0000") << "a session count of 0 ends an empty report";

    session.recordEvent(QStringLiteral("Open"), std::nullopt);
    const QByteArray block = session.data();
    const QByteArray full =
        TallySession::dataForSessions({QByteArray(), block, &session, static_cast<const TallySession*>(nullptr)});
    const QJsonObject both = *tools::ReportDecoder::decodeReport(full);
    EXPECT_EQ(both["header"].toObject()["adsRequested"].toInt(), 1);
    EXPECT_EQ(both["sessions"].toArray().size(), 2) << "empty items are left out and not counted";
    EXPECT_TRUE(full.endsWith(block + block));
}

// The report tool reads a lone session record, and refuses what the format forbids, naming the field and
// where it starts: the tests that read the encoder's output through it would miss those faults otherwise.
TEST_F(TallySessionTest, TheReportToolIsStrict) {
    TallySession& session = start();
    session.setUserID(QStringLiteral("uuuu"));
    const QByteArray record = session.data();
    QString error;
    const std::optional<QJsonObject> decoded = tools::ReportDecoder::decodeFile(record, &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ((*decoded)["session"].toObject()["userID"].toString(), "uuuu");

    const qsizetype id = record.indexOf("uuuu");
    const struct {
        qsizetype at;
        QByteArray bytes;
        const char* message;
    } faults[] = {
        {id + 4, "\x02", "boolean 2 in location present (offset %1)"},
        {id + 1, "\xC3\x28", "invalid UTF-8 in user id (offset %1)"},
    };
    for (const auto& fault : faults) {
        QByteArray bad = record;
        bad.replace(fault.at, fault.bytes.size(), fault.bytes);
        EXPECT_FALSE(tools::ReportDecoder::decodeFile(bad, &error)) << fault.message;
        EXPECT_EQ(error, QString::fromLatin1(fault.message).arg(fault.at == id + 1 ? id : fault.at));
    }
    EXPECT_FALSE(tools::ReportDecoder::decodeFile(record.left(id + 2), &error));
    EXPECT_EQ(error, QStringLiteral("truncated in user id (offset %1)").arg(id));
    EXPECT_FALSE(tools::ReportDecoder::decodeFile(record + "x", &error));
    EXPECT_EQ(error, QStringLiteral("trailing bytes after offset %1").arg(record.size()));
}

// Nothing is cut in the middle of the archive when the saved list and the current session are written
// while another thread encodes reports (the upload threads do).
TEST_F(TallySessionTest, RecordingWhileAnotherThreadReports) {
    TallySession& session = start();
    std::atomic<bool> done{false};
    std::atomic<int> reports{0};
    std::thread reader([&] {
        while (!done) {
            const QByteArray report = TallySession::dataForSessions(
                {TallySession::currentSession()}, false); // reads the live session under the lock
            if (tools::ReportDecoder::decodeReport(report))
                ++reports;
        }
    });
    for (int i = 0; i < 300; ++i)
        session.recordEvent(QStringLiteral("Tap"), parameters(3));
    done = true;
    reader.join();
    EXPECT_GT(reports.load(), 0);
    EXPECT_EQ(onDisk()["eventCounts"].toObject()["Tap"].toInt(), 300);
}
