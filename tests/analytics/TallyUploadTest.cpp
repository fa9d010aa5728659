#include <QDir>
#include <QJsonArray>
#include <QTest>

#include "AnalyticsTest.h"
#include "CollectionServer.h"
#include "analytics/TallyAPI.h"
#include "analytics/transport/TallyHTTPClient.h"
#include "analytics/transport/TallyHeartBeater.h"
#include "analytics/transport/TallyHTTPResponse.h"
#include "analytics/transport/TallyUpload.h"
#include "platform/Directories.h"
#include "platform/NotificationCenter.h"

using namespace grinsley;
using grinsley::testing::CollectionServer;
using Behaviour = CollectionServer::Behaviour;

namespace {

class TallyUploadTest : public grinsley::testing::AnalyticsTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(QTest::qWaitFor([] { return TallyUpload::uploadsInFlight() == 0; }, 30000));
        TallyAPI::setSavedResponseURL(QString());
        AnalyticsTest::TearDown();
    }
    // Saved sessions told apart by their user ids, then a current session.
    static void savedSessionsAndACurrentOne(int count) {
        for (int i = 0; i < count; ++i) {
            start().setUserID(QStringLiteral("saved%1").arg(i));
            TallySession::currentSession()->saveSession();
        }
        start().setUserID(QStringLiteral("current"));
    }
    static QStringList userIDs(const QJsonArray& sessions) {
        QStringList ids;
        for (const QJsonValue& session : sessions)
            ids.append(session["userID"].toString());
        return ids;
    }
};

struct Answer {
    const char* name;
    int status;
    Behaviour behaviour;
    bool success;
};
// Tests are listed by the case's name, not its bytes.
void PrintTo(const Answer& c, std::ostream* os) { *os << c.name; }

class CreationUploadAnswers : public TallyUploadTest, public ::testing::WithParamInterface<Answer> {};

} // namespace

// The upload at session creation reads the answer: success empties the list and marks "sent"; anything
// else keeps every session and records that the internet could not be reached.
TEST_P(CreationUploadAnswers, DecideTheSavedList) {
    const Answer answer = GetParam();
    CollectionServer server(answer.status, answer.behaviour);
    TallyAPI::setServerURL(QString::fromLatin1(server.url()));
    savedSessionsAndACurrentOne(2);
    TallyUpload::sendSessionsToServerForAdCatalog();
    // Sent once, whatever came back: the server may count every copy that reaches it.
    if (answer.behaviour == Behaviour::RedirectLoop)
        EXPECT_GT(server.requests(), 1);
    else
        EXPECT_EQ(server.requests(), 1);
    if (answer.success) {
        EXPECT_TRUE(TallySession::savedSessions().isEmpty());
        EXPECT_TRUE(TallySession::sentSession());
        EXPECT_TRUE(TallySession::currentSession()->internetAvailable());
        ASSERT_EQ(server.reports().size(), 1u);
        const QJsonObject report = server.reports().front();
        EXPECT_EQ(userIDs(report["sessions"].toArray()), QStringList({"saved0", "saved1"})) << "not the current one";
        EXPECT_EQ(report["header"].toObject()["adsRequested"].toInt(), 0);
    } else {
        EXPECT_EQ(TallySession::savedSessions().size(), 2);
        EXPECT_FALSE(TallySession::sentSession());
        EXPECT_FALSE(TallySession::currentSession()->internetAvailable());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, CreationUploadAnswers,
                         ::testing::Values(Answer{"ok", 200, Behaviour::Status, true},
                                           Answer{"found", 302, Behaviour::Status, true},
                                           Answer{"notFound", 404, Behaviour::Status, false},
                                           Answer{"serverError", 500, Behaviour::Status, false},
                                           Answer{"redirectLoop", 0, Behaviour::RedirectLoop, false},
                                           Answer{"garbage", 0, Behaviour::Garbage, false},
                                           Answer{"reset", 0, Behaviour::Reset, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TallyUploadTest, NoListenerCountsAsNoInternet) {
    TallyAPI::setServerURL(QStringLiteral("http://127.0.0.1:9/report.do"));
    savedSessionsAndACurrentOne(1);
    TallyUpload::sendSessionsToServerForAdCatalog();
    EXPECT_EQ(TallySession::savedSessions().size(), 1);
    EXPECT_FALSE(TallySession::currentSession()->internetAvailable());
}

// At a pause the report carries the saved blocks and then the current session; the answer changes nothing.
TEST_F(TallyUploadTest, PauseUploadCarriesSavedThenCurrent) {
    for (int status : {200, 500}) {
        CollectionServer server(status);
        TallyAPI::setServerURL(QString::fromLatin1(server.url()));
        savedSessionsAndACurrentOne(2);
        TallyUpload::sendSessionsToServerForSessionPause();
        ASSERT_EQ(server.reports().size(), 1u);
        EXPECT_EQ(userIDs(server.reports().front()["sessions"].toArray()),
                  QStringList({"saved0", "saved1", "current"}));
        EXPECT_EQ(TallySession::savedSessions().size(), 2) << status;
        EXPECT_FALSE(TallySession::sentSession());
        TallySession::currentSession()->saveSession(); // the next round starts from nothing
        TallySession::setSavedSessions({});
    }
}

TEST_F(TallyUploadTest, ASavedResponseMakesNoRequest) {
    CollectionServer server(500);
    TallyAPI::setServerURL(QString::fromLatin1(server.url()));
    savedSessionsAndACurrentOne(1);
    const QString saved = TallyHTTPResponse(QByteArray("fine"), 200, QVariantMap{}, std::nullopt).saveToDisk();
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(saved.startsWith(platform::Directories::documents() + "/tallyResponse"));
    TallyAPI::setSavedResponseURL(QUrl::fromLocalFile(saved).toString());
    TallyUpload::sendSessionsToServerForAdCatalog();
    EXPECT_EQ(server.requests(), 0);
    EXPECT_TRUE(TallySession::savedSessions().isEmpty()) << "the stored 200 decides";
}

// A session saved while the upload at creation is in flight was never sent: it stays.
TEST_F(TallyUploadTest, ASessionSavedDuringTheUploadIsKept) {
    CollectionServer server(200);
    std::atomic<bool> arrived{false}, proceed{false};
    server.setOnReport([&] {
        arrived = true;
        while (!proceed)
            std::this_thread::yield();
    });
    TallyAPI::setServerURL(QString::fromLatin1(server.url()));
    savedSessionsAndACurrentOne(2);
    TallyUpload::startThread(&TallyUpload::sendSessionsToServerForAdCatalog);
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.load(); }, 10000));
    TallySession::currentSession()->saveSession(); // "current" joins the list meanwhile
    proceed = true;
    ASSERT_TRUE(QTest::qWaitFor([] { return TallyUpload::uploadsInFlight() == 0; }, 10000));
    const QList<QJsonObject> left = savedSessions();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.first()["userID"].toString(), "current");
}

TEST_F(TallyUploadTest, UrlWithProtocol) {
    EXPECT_EQ(TallyHTTPClient::urlWithProtocol(QString(), "collect.test", 80, "p", QVariantMap{{"a", 1}}).toString(),
              "http://collect.test/p?a=1");
    EXPECT_EQ(TallyHTTPClient::urlWithProtocol("https", "collect.test", 8443, QString(), QString("x=y")).toString(),
              "https://collect.test:8443?x=y");
    EXPECT_EQ(TallyHTTPClient::urlWithProtocol(QString(), "h", 0, "report.do", {}).toString(), "http://h/report.do");
    EXPECT_EQ(TallyHTTPClient::queryDictionaryToString({{"b", "2"}, {"a", "1"}}), "a=1&b=2");
}

TEST_F(TallyUploadTest, TheHeartBeats) {
    int beats = 0;
    QObject owner;
    platform::NotificationCenter::defaultCenter().addObserver(&owner, TallyHeartBeater::notificationName,
                                                              [&beats](const QVariantMap&) { ++beats; });
    TallyHeartBeater& beater = TallyHeartBeater::createAndStartInstance(0.01);
    EXPECT_EQ(&TallyHeartBeater::createAndStartInstance(5), &beater);
    EXPECT_EQ(TallyHeartBeater::instance(), &beater);
    EXPECT_TRUE(QTest::qWaitFor([&beats] { return beats >= 3; }, 5000));
}

TEST_F(TallyUploadTest, ResponseSuccessRuleAndDescription) {
    for (int status : {199, 200, 302, 399, 400, 0})
        EXPECT_EQ(TallyHTTPResponse(QByteArray(), status, std::nullopt, std::nullopt).isSuccess(),
                  status >= 200 && status < 400)
            << status;
    const TallyHTTPResponse none = TallyHTTPResponse::withResponse(std::nullopt, {}, QByteArray("x"), std::nullopt);
    EXPECT_FALSE(none.body());
    EXPECT_EQ(none.statusCode(), 0);
    EXPECT_EQ(TallyHTTPResponse(QByteArray("hi"), 404, std::nullopt, std::nullopt).description(),
              "status:404 error:(null) body:hi");
}
