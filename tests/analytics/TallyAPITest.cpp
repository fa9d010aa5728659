#include <QJsonArray>
#include <QMessageBox>
#include <QTest>

#include "AnalyticsTest.h"
#include "CollectionServer.h"
#include "analytics/TallyAPI.h"
#include "analytics/transport/TallyUpload.h"
#include "platform/AlertView.h"
#include "platform/Application.h"
#include "platform/BackgroundTask.h"
#include "platform/Directories.h"
#include "platform/NavigationController.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"

using namespace grinsley;
using grinsley::testing::CollectionServer;

namespace {

class TallyAPITest : public grinsley::testing::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        platform::Application::shared().resetLifecycle();
        TallyAPI::setServerURL(QString::fromLatin1(_server.url()));
    }
    void TearDown() override {
        waitForUploads();
        for (QMessageBox* box : platform::AlertView::visibleAlerts())
            box->close();
        AnalyticsTest::TearDown();
    }
    static void waitForUploads() {
        EXPECT_TRUE(QTest::qWaitFor([] { return TallyUpload::uploadsInFlight() == 0; }, 30000));
    }
    static quint64 currentSerial() {
        TallySession* session = TallySession::currentSession();
        return session ? session->serial() : 0;
    }

    CollectionServer _server{200};
};

} // namespace

// A pause of exactly the threshold resumes the session; one millisecond more starts a new one.
TEST_F(TallyAPITest, PauseRuleAtTenSeconds) {
    TallyAPI::startSession(apiKey);
    const quint64 first = currentSerial();
    ASSERT_NE(first, 0u);
    TallyAPI::pauseSession();
    clock.advance(10000);
    TallyAPI::resumeSession();
    EXPECT_EQ(currentSerial(), first);
    EXPECT_EQ(TallySession::currentSession()->totalPauseIntervalMillis(), 10000);

    waitForUploads();
    TallyAPI::pauseSession();
    waitForUploads(); // the pause's own upload, so the last report is the new session's
    clock.advance(10001);
    TallyAPI::resumeSession();
    EXPECT_NE(currentSerial(), first);
    waitForUploads();
    const std::vector<QJsonObject> reports = _server.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back()["header"].toObject()["sessionStart"].toInteger(), clock.now().toMSecsSinceEpoch())
        << "the new session's upload at creation";
}

// A "became active" without a pause before it finds no pause time: it cannot end a running session.
TEST_F(TallyAPITest, AResumeUsesThePauseUp) {
    TallyAPI::startSession(apiKey);
    const quint64 first = currentSerial();
    TallyAPI::pauseSession();
    clock.advance(2000);
    TallyAPI::resumeSession();
    clock.advance(60000);
    TallyAPI::resumeSession();
    EXPECT_EQ(currentSerial(), first);
    EXPECT_EQ(TallySession::currentSession()->totalPauseIntervalMillis(), 2000);
}

// The application's lifecycle drives the session: background pauses and uploads with a background task;
// quitting ends the session and sends it.
TEST_F(TallyAPITest, LifecycleNotifications) {
    TallyAPI::startSession(apiKey);
    waitForUploads();
    TallyAPI::logEvent(QStringLiteral("Tap"), true);
    platform::Application::shared().enterBackground();
    EXPECT_TRUE(TallySession::currentSession()->pauseTime());
    waitForUploads();
    EXPECT_FALSE(TallyAPI::hasBackgroundTask()) << "ended once the pause upload finished";
    EXPECT_EQ(platform::BackgroundTask::running(), 0);
    // The end time set at the pause is on disk, with the timed event closed at it.
    const auto onDisk = TallySession::fromArchive(readFile(TallySession::currentSessionFilePath()));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->endTime(), clock.now().toMSecsSinceEpoch());
    EXPECT_TRUE(onDisk->eventLog().first().automaticallyEnded());

    clock.advance(3000);
    platform::Application::shared().enterForeground();
    const int before = _server.requests();
    platform::Application::shared().terminate();
    EXPECT_EQ(_server.requests(), before + 1) << "the end-of-session upload, on the quitting thread";
    EXPECT_EQ(TallySession::currentSession(), nullptr);
    EXPECT_EQ(TallySession::savedSessions().size(), 1);
    EXPECT_FALSE(QFile::exists(TallySession::currentSessionFilePath()));
    const QJsonObject last = _server.reports().back();
    EXPECT_EQ(last["sessions"].toArray().last()["totalPause"].toInteger(), 3000);
}

TEST_F(TallyAPITest, AClosedGateDoesNothing) {
    platform::UserDefaults::standard().setObject(false, TallyAPI::usageGateKey);
    TallyAPI::startSession(apiKey);
    TallyAPI::logEvent(QStringLiteral("Open"));
    TallyAPI::setServerURL(QStringLiteral("http://elsewhere.test/"));
    waitForUploads();
    EXPECT_EQ(TallySession::currentSession(), nullptr);
    EXPECT_TRUE(QDir(platform::Directories::library()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(_server.requests(), 0);
    EXPECT_EQ(TallyAPI::serverURL(), QString::fromLatin1(_server.url())) << "settings stay as they were";

    platform::UserDefaults::standard().setObject(true, TallyAPI::usageGateKey);
    EXPECT_TRUE(TallyAPI::sendUsageInfo());
    platform::UserDefaults::standard().removeObjectForKey(TallyAPI::usageGateKey);
    EXPECT_TRUE(TallyAPI::sendUsageInfo()) << "absent is open";
}

TEST_F(TallyAPITest, BeforeStartNothingIsRecorded) {
    TallyAPI::logEvent(QStringLiteral("Early"));
    TallyAPI::logError(QStringLiteral("E"), QStringLiteral("m"), static_cast<const std::exception*>(nullptr));
    TallyAPI::countPageView();
    EXPECT_EQ(TallySession::currentSession(), nullptr);
    EXPECT_FALSE(QFile::exists(TallySession::currentSessionFilePath()));
    EXPECT_EQ(TallyAPI::getTallyAgentVersion(), "42");
}

TEST_F(TallyAPITest, AppVersionOnlyBeforeStart) {
    QCoreApplication::setApplicationVersion(QStringLiteral("3.1"));
    TallyAPI::setAppVersion(QStringLiteral("9.9-before"));
    TallyAPI::setAppVersion(QStringLiteral("2.0"));
    TallyAPI::startSession(apiKey);
    EXPECT_EQ(TallySession::currentSession()->appVersion(), "2.0");
    TallyAPI::setAppVersion(QStringLiteral("7.0"));
    const auto alerts = platform::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first()->windowTitle(), "");
    EXPECT_EQ(alerts.first()->informativeText(), "TallyAPI: Please call setAppVersion before startSession.");
    EXPECT_EQ(TallyAPI::appVersion(), "2.0");
}

TEST_F(TallyAPITest, AppVersionAfterStartLeavesTheBundleVersion) {
    QCoreApplication::setApplicationVersion(QStringLiteral("3.1"));
    TallyAPI::startSession(apiKey);
    TallyAPI::setAppVersion(QStringLiteral("7.0"));
    EXPECT_EQ(platform::AlertView::visibleAlerts().size(), 1);
    TallyAPI::pauseSession();
    waitForUploads();
    ASSERT_FALSE(_server.reports().empty());
    EXPECT_EQ(_server.reports().back()["header"].toObject()["appVersion"].toString(), "3.1");
}

TEST_F(TallyAPITest, SettingsReachEveryNewSession) {
    TallyAPI::setUserID(QStringLiteral("u1"));
    TallyAPI::setGender(QStringLiteral("f"));
    TallyAPI::setAge(40);
    TallyAPI::setEventLoggingEnabled(false);
    TallyAPI::startSession(apiKey);
    TallySession* session = TallySession::currentSession();
    EXPECT_EQ(session->userID(), "u1");
    EXPECT_EQ(session->gender(), 0);
    EXPECT_TRUE(session->age());
    EXPECT_FALSE(session->eventLoggingEnabled());
    EXPECT_TRUE(session->sessionReportsOnPauseEnabled()) << "the facade's default";
}

// Page views count on the session that was current when counting began, and on no later one.
TEST_F(TallyAPITest, PageViewsOfANavigationController) {
    TallyAPI::startSession(apiKey);
    auto* root = new platform::ViewController;
    platform::NavigationController navigation(root);
    TallyAPI::countPageViews(&navigation);
    TallyAPI::countPageViews(root); // not a navigation controller: ignored
    navigation.pushViewController(new platform::ViewController, false);
    EXPECT_EQ(TallySession::currentSession()->pageViewCount(), 1);
    clock.advance(1000);
    TallySession::currentSession()->saveSession();
    TallyAPI::createAndSendSession();
    navigation.popViewControllerAnimated(false);
    EXPECT_EQ(TallySession::currentSession()->pageViewCount(), 0);
}
