#include <csignal>

#include <QDir>
#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>

#include "AnalyticsTest.h"
#include "platform/Directories.h"

using namespace grinsley;

namespace {

class TallyKillTest : public grinsley::testing::AnalyticsTest {};

// The last count the recorder printed whole before it died.
int lastReturned(const QByteArray& output) {
    int last = 0;
    for (const QByteArray& line : output.split('\n')) {
        bool ok = false;
        const int value = line.toInt(&ok);
        if (ok)
            last = value;
    }
    return last;
}

} // namespace

// A process killed at a random moment while it records leaves a session that the next start picks up whole:
// every event whose call had returned is there, and no file is torn.
TEST_F(TallyKillTest, EveryReturnedEventSurvivesAKill) {
    const int trials = qEnvironmentVariableIntValue("GRINSLEY_KILL_TRIALS") > 0
                           ? qEnvironmentVariableIntValue("GRINSLEY_KILL_TRIALS")
                           : 25;
    auto* random = QRandomGenerator::global();
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE(trial);
        // Each trial starts from nothing: no session of this process or of the last trial on disk.
        TallySession::discardCurrentSession();
        QDir(platform::Directories::library()).removeRecursively();
        QProcess recorder;
        recorder.start(QStringLiteral(GRINSLEY_TALLY_RECORDER), {apiKey});
        ASSERT_TRUE(recorder.waitForStarted(5000));
        // Kill after a random number of returned calls: early, mid-log and past the log's limit.
        const int killAfter = int(random->bounded(1300));
        QByteArray output;
        while (lastReturned(output) < killAfter && recorder.state() == QProcess::Running) {
            recorder.waitForReadyRead(5000);
            output += recorder.readAllStandardOutput();
        }
        ::kill(pid_t(recorder.processId()), SIGKILL);
        ASSERT_TRUE(recorder.waitForFinished(5000));
        output += recorder.readAllStandardOutput();
        const int returned = lastReturned(output);

        TallySession& next = start();
        const QList<QByteArray> saved = TallySession::savedSessions();
        if (returned == 0 && saved.isEmpty())
            continue; // killed before the first event came back (its session may not have been saved yet)
        ASSERT_EQ(saved.size(), 1);
        const QJsonObject picked = decodedSession(saved.first());
        const int recovered = picked["eventCounts"].toObject()["Event"].toInt();
        EXPECT_GE(recovered, returned);
        EXPECT_LE(recovered, returned + 1) << "at most the call in flight besides";
        EXPECT_EQ(picked["events"].toArray().size(), std::min(recovered, TallySession::MAX_EVENT_LOG_COUNT));
        // An error follows every 97th event before its count is printed.
        EXPECT_GE(picked["totalErrors"].toInt(), returned / 97);
        EXPECT_LE(picked["totalErrors"].toInt(), recovered / 97);
        EXPECT_FALSE(next.crashed());
        EXPECT_TRUE(QDir(platform::Directories::library())
                        .entryList({QStringLiteral("*.tmp-*")}, QDir::Files | QDir::Hidden)
                        .isEmpty())
            << "an interrupted write's leftovers are cleared at start";
    }
}
