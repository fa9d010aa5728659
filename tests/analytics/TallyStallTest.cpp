#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "AnalyticsTest.h"
#include "CollectionServer.h"
#include "analytics/TallyAPI.h"
#include "analytics/transport/TallyHTTPClient.h"
#include "analytics/transport/TallyUpload.h"
#include "platform/Application.h"

using namespace grinsley;
using grinsley::testing::CollectionServer;

namespace {

class TallyStallTest : public grinsley::testing::AnalyticsTest {};

// The longest the main thread's event loop went without turning, over the given time.
qint64 longestStall(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(1);
    QTest::qWait(milliseconds);
    return longest;
}

} // namespace

// Against a server that never answers: the uploads at session creation and at a pause run beside the
// interface, and quitting waits for the end-of-session upload about its 5-second limit, no more.
TEST_F(TallyStallTest, UploadsNeverHoldTheInterface) {
    CollectionServer silent(0, CollectionServer::Behaviour::Silent);
    TallyAPI::setServerURL(QString::fromLatin1(silent.url()));
    platform::Application::shared().resetLifecycle();

    QElapsedTimer call;
    call.start();
    TallyAPI::startSession(apiKey);
    const qint64 startCall = call.elapsed();
    const qint64 creationStall = longestStall(1500);
    call.restart();
    TallyAPI::pauseSession();
    const qint64 pauseCall = call.elapsed();
    const qint64 pauseStall = longestStall(1500);
    EXPECT_EQ(TallyUpload::uploadsInFlight(), 2) << "both still waiting for the silent server";

    TallyAPI::resumeSession();
    call.restart();
    platform::Application::shared().terminate();
    const qint64 quit = call.elapsed();

    std::printf("startSession call %lld ms; longest stall during the creation upload %lld ms; pauseSession call "
                "%lld ms; longest stall during the pause upload %lld ms; quit with a silent server %lld ms\n",
                static_cast<long long>(startCall), static_cast<long long>(creationStall),
                static_cast<long long>(pauseCall), static_cast<long long>(pauseStall), static_cast<long long>(quit));
    RecordProperty("creation_stall_ms", int(creationStall));
    RecordProperty("pause_stall_ms", int(pauseStall));
    RecordProperty("quit_ms", int(quit));
    EXPECT_LT(creationStall, 100);
    EXPECT_LT(pauseStall, 100);
    EXPECT_GE(quit, 4500);
    EXPECT_LT(quit, 7000);
    EXPECT_EQ(TallySession::savedSessions().size(), 1) << "nothing lost";

    TallyHTTPClient::abortAll(); // as the program does once quitting has waited its time
    EXPECT_TRUE(QTest::qWaitFor([] { return TallyUpload::uploadsInFlight() == 0; }, 5000));
}
