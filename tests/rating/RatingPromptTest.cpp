#include <QAbstractButton>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/AlertView.h"
#include "platform/Reachability.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "rating/RatingPrompt.h"
#include "support/IsolatedTest.h"
#include "support/LoopbackServer.h"
#include "support/Render.h"
#include "support/SettableClock.h"

using namespace grinsley;
using grinsley::testing::SettableClock;

namespace {

constexpr qint64 day = 86400 * 1000;

class RatingPromptTest : public grinsley::testing::IsolatedTest {
protected:
    void SetUp() override {
        IsolatedTest::SetUp();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
        _server.server().Get("/probe", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("ok", "text/plain");
        });
        _server.start();
        RatingPrompt::Configuration config;
        config.appStoreId = 123456789;
        config.reviewHost = QStringLiteral("store.test");
        config.testConnectionUrl = QUrl(QString::fromLatin1(_server.url("/probe")));
        RatingPrompt::setConfiguration(config);
        setFlags(platform::Reachability::Reachable);
        platform::UrlOpener::setHandler([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override {
        waitForReports();
        for (QMessageBox* box : platform::AlertView::visibleAlerts())
            box->close();
        platform::Reachability::setSource({});
        platform::UrlOpener::setHandler({});
        IsolatedTest::TearDown();
    }

    void setFlags(std::optional<platform::Reachability::Flags> flags) {
        platform::Reachability::setSource([flags] { return flags; });
    }

    static void waitForReports() {
        ASSERT_TRUE(QTest::qWaitFor([] { return RatingPrompt::reportsInFlight() == 0; }, 5000));
        // What the reports posted to the main thread (the alert, the test connection) runs now.
        QCoreApplication::processEvents();
    }
    static void launch() {
        RatingPrompt::appLaunched();
        waitForReports();
    }
    static int alerts() { return int(platform::AlertView::visibleAlerts().size()); }
    static void answer(const QString& button) {
        const auto boxes = platform::AlertView::visibleAlerts();
        ASSERT_EQ(boxes.size(), 1);
        for (QAbstractButton* b : boxes.first()->buttons())
            if (b->text() == button)
                return b->click();
        FAIL() << "no button " << button.toStdString();
    }

    static QVariant stored(const char* key) { return platform::UserDefaults::standard().objectForKey(QLatin1String(key)); }
    static void store(const char* key, const QVariant& value) {
        platform::UserDefaults::standard().setObject(value, QLatin1String(key));
    }
    static double seconds(const SettableClock& clock) { return clock.now().toMSecsSinceEpoch() / 1000.0; }

    // A version used `uses` times, first `daysAgo` days before the clock's now.
    static void usedBefore(const SettableClock& clock, int uses, double daysAgo) {
        store("kRatingPromptCurrentVersion", QStringLiteral("1.0"));
        store("kRatingPromptFirstUseDate", seconds(clock) - daysAgo * 86400);
        store("kRatingPromptUseCount", uses);
    }

    grinsley::testing::LoopbackServer _server;
    QList<QUrl> opened;
};

} // namespace

TEST_F(RatingPromptTest, FirstLaunchOfAVersionCountsAndDoesNotPrompt) {
    SettableClock clock;
    launch();
    EXPECT_EQ(stored("kRatingPromptCurrentVersion").toString(), "1.0");
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 1);
    EXPECT_EQ(stored("kRatingPromptFirstUseDate").toDouble(), seconds(clock));
    EXPECT_EQ(alerts(), 0);
    // Counting goes on, and a return to the foreground is a use as well.
    RatingPrompt::appEnteredForeground(true);
    waitForReports();
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 2);
    EXPECT_EQ(stored("kRatingPromptFirstUseDate").toDouble(), seconds(clock)) << "the first use stays put";
}

TEST_F(RatingPromptTest, PromptsOnTheEighthUseThreeDaysAfterTheFirst) {
    SettableClock clock;
    usedBefore(clock, 6, 3);
    launch();
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 7);
    EXPECT_EQ(alerts(), 0) << "the seventh use is not enough";

    // A second short of three days is not enough either.
    store("kRatingPromptFirstUseDate", seconds(clock) - 259199);
    launch();
    EXPECT_EQ(alerts(), 0);

    store("kRatingPromptFirstUseDate", seconds(clock) - 259200);
    store("kRatingPromptUseCount", 7);
    const int probesBefore = _server.requestCount();
    launch();
    EXPECT_EQ(alerts(), 1);
    // The test connection reached the page (its answer is never waited for by the report).
    EXPECT_TRUE(QTest::qWaitFor([&] { return _server.requestCount() > probesBefore; }, 5000));

    // A report that may not prompt counts and asks nothing.
    answer(QStringLiteral("Remind Me Later"));
    clock.advance(2 * day);
    RatingPrompt::appLaunched(false);
    waitForReports();
    EXPECT_EQ(alerts(), 0);
}

TEST_F(RatingPromptTest, TheAlertReadsRateAndTheProgramsName) {
    SettableClock clock;
    usedBefore(clock, 7, 4);
    launch();
    const auto boxes = platform::AlertView::visibleAlerts();
    ASSERT_EQ(boxes.size(), 1);
    QMessageBox* box = boxes.first();
    EXPECT_EQ(box->windowTitle(), "Rate Grinsley");
    EXPECT_EQ(box->informativeText(), "If you like this app, don't forget to take a few seconds to leave a rating. "
                                      "\n\nThanks for using it!");
    QStringList texts;
    for (QAbstractButton* b : box->buttons())
        texts.append(b->text());
    EXPECT_TRUE(texts.contains("No Thanks"));
    EXPECT_TRUE(texts.contains("Rate Grinsley"));
    EXPECT_TRUE(texts.contains("Remind Me Later"));

    answer(QStringLiteral("Rate Grinsley"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(), "https://store.test/app/reviews?type=software&id=123456789");
    EXPECT_TRUE(stored("kRatingPromptRatedCurrentVersion").toBool());
    clock.advance(10 * day);
    launch();
    EXPECT_EQ(alerts(), 0) << "a rated version is not asked about again";
}

TEST_F(RatingPromptTest, RemindMeLaterWaitsADay) {
    SettableClock clock;
    usedBefore(clock, 7, 3);
    launch();
    answer(QStringLiteral("Remind Me Later"));
    EXPECT_EQ(stored("kRatingPromptReminderRequestDate").toDouble(), seconds(clock));
    EXPECT_FALSE(stored("kRatingPromptDeclinedToRate").toBool());

    clock.advance(day - 1000);
    launch();
    EXPECT_EQ(alerts(), 0) << "within the day";
    clock.advance(1000);
    launch();
    EXPECT_EQ(alerts(), 1) << "a day after the reminder";
}

// An alert closed without an answer records none, and a later launch may ask again.
TEST_F(RatingPromptTest, AnAlertClosedWithoutAnAnswer) {
    SettableClock clock;
    usedBefore(clock, 7, 3);
    launch();
    ASSERT_EQ(alerts(), 1);
    platform::AlertView::visibleAlerts().first()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(stored("kRatingPromptDeclinedToRate").toBool());
    EXPECT_FALSE(stored("kRatingPromptReminderRequestDate").isValid());
    launch();
    EXPECT_EQ(alerts(), 1) << "asked again";
}

TEST_F(RatingPromptTest, NoThanksHoldsUntilANewVersion) {
    SettableClock clock;
    usedBefore(clock, 7, 3);
    launch();
    answer(QStringLiteral("No Thanks"));
    EXPECT_TRUE(stored("kRatingPromptDeclinedToRate").toBool());
    for (int i = 0; i < 3; ++i) {
        clock.advance(5 * day);
        launch();
    }
    EXPECT_EQ(alerts(), 0);
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 11);

    QCoreApplication::setApplicationVersion(QStringLiteral("1.1"));
    store("kRatingPromptReminderRequestDate", 5.0);
    store("kRatingPromptRatedCurrentVersion", true);
    store("kRatingPromptSignificantEventCount", 4);
    launch();
    EXPECT_EQ(stored("kRatingPromptCurrentVersion").toString(), "1.1");
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 1);
    EXPECT_EQ(stored("kRatingPromptSignificantEventCount").toInt(), 0);
    EXPECT_EQ(stored("kRatingPromptFirstUseDate").toDouble(), seconds(clock));
    EXPECT_EQ(stored("kRatingPromptReminderRequestDate").toDouble(), 0.0);
    EXPECT_FALSE(stored("kRatingPromptDeclinedToRate").toBool());
    EXPECT_FALSE(stored("kRatingPromptRatedCurrentVersion").toBool());
}

TEST_F(RatingPromptTest, ASignificantEventFirstLeavesTheFirstUseOpen) {
    SettableClock clock;
    usedBefore(clock, 30, 30);
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    RatingPrompt::userDidSignificantEvent(true);
    waitForReports();
    EXPECT_EQ(stored("kRatingPromptCurrentVersion").toString(), "2.0");
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 0);
    EXPECT_EQ(stored("kRatingPromptSignificantEventCount").toInt(), 1);
    EXPECT_EQ(stored("kRatingPromptFirstUseDate").toDouble(), 0.0);
    EXPECT_EQ(alerts(), 0);

    clock.advance(1000);
    launch();
    EXPECT_EQ(stored("kRatingPromptFirstUseDate").toDouble(), seconds(clock));
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 1);
    RatingPrompt::userDidSignificantEvent(false);
    waitForReports();
    EXPECT_EQ(stored("kRatingPromptSignificantEventCount").toInt(), 2);
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 1);
}

// Every use counts, but without a usable connection nobody is asked.
TEST_F(RatingPromptTest, NoPromptWithoutTheNetwork) {
    using R = platform::Reachability;
    SettableClock clock;
    usedBefore(clock, 7, 3);
    const std::optional<R::Flags> offline[] = {std::nullopt, 0u, R::Reachable | R::ConnectionRequired,
                                                R::ConnectionRequired};
    int uses = 7;
    for (const auto& flags : offline) {
        setFlags(flags);
        launch();
        EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), ++uses);
        EXPECT_EQ(alerts(), 0);
    }
    RatingPrompt::setConfiguration({.testConnectionUrl = QUrl()});
    setFlags(R::Reachable);
    launch();
    EXPECT_EQ(alerts(), 0) << "no test connection can be made";

    RatingPrompt::setConfiguration({.testConnectionUrl = QUrl(QString::fromLatin1(_server.url("/probe")))});
    setFlags(R::TransientConnection | R::ConnectionRequired);
    launch();
    EXPECT_EQ(alerts(), 1) << "a transient connection serves";
}

TEST_F(RatingPromptTest, OverlappingReportsCountEachAndAskOnce) {
    SettableClock clock;
    usedBefore(clock, 7, 3);
    constexpr int reports = 200;
    for (int i = 0; i < reports; ++i)
        RatingPrompt::appEnteredForeground(true);
    waitForReports();
    QCoreApplication::processEvents();
    EXPECT_EQ(stored("kRatingPromptUseCount").toInt(), 7 + reports);
    EXPECT_EQ(alerts(), 1);
    answer(QStringLiteral("Remind Me Later"));
    EXPECT_EQ(alerts(), 0);
    EXPECT_FALSE(RatingPrompt::sharedInstance().isAlertOpen());
}

TEST_F(RatingPromptTest, OtherAnswersChangeNothing) {
    SettableClock clock;
    RatingPrompt::sharedInstance().alertViewClickedButtonAtIndex(3);
    RatingPrompt::sharedInstance().alertViewClickedButtonAtIndex(-1);
    EXPECT_FALSE(platform::UserDefaults::standard().hasKey("kRatingPromptDeclinedToRate"));
    EXPECT_FALSE(platform::UserDefaults::standard().hasKey("kRatingPromptReminderRequestDate"));
    EXPECT_TRUE(opened.isEmpty());
}

// The alert over a phone-sized and a tablet-sized window, for people to look at.
TEST_F(RatingPromptTest, RendersTheAlertOverBothLayouts) {
    SettableClock clock;
    for (const auto& [name, size] : {std::pair{"phone", QSize(390, 844)}, std::pair{"tablet", QSize(768, 1024)}}) {
        QMainWindow window;
        window.resize(size);
        auto* content = new QWidget;
        content->setStyleSheet(QStringLiteral("background: #202020;")); // on the content only: the alert keeps its look
        window.setCentralWidget(content);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        usedBefore(clock, 7, 3);
        store("kRatingPromptReminderRequestDate", 0.0);
        launch();
        const auto boxes = platform::AlertView::visibleAlerts();
        ASSERT_EQ(boxes.size(), 1);
        const QRect inside(window.mapToGlobal(QPoint(0, 0)), window.size());
        EXPECT_TRUE(inside.contains(boxes.first()->frameGeometry())) << "the alert fits the window";
        QImage picture = window.grab().toImage();
        QPainter painter(&picture);
        const QPixmap alert = boxes.first()->grab();
        painter.drawPixmap((size.width() - alert.width()) / 2, (size.height() - alert.height()) / 2, alert);
        painter.end();
        EXPECT_TRUE(picture.save(grinsley::testing::outputFolder() + QStringLiteral("/rating-alert-%1.png").arg(name)));
        answer(QStringLiteral("Remind Me Later"));
    }
}
