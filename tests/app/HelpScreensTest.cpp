#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QWebEnginePage>

#include "AppTest.h"
#include "app/PlayVideoViewControlller.h"
#include "app/UserManualViewController.h"
#include "platform/WebView.h"
#include "support/LoopbackServer.h"
#include "support/Render.h"

using namespace grinsley;

namespace {
class HelpScreensTest : public grinsley::testing::AppTest {
protected:
    // Runs a script in the page and waits for its answer.
    static QVariant evaluate(platform::WebView* view, const QString& script) {
        QVariant result;
        bool done = false;
        view->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return result;
    }
};
} // namespace

// The manual is the bundled page, loaded whole in a real web view: its title, and every picture there.
TEST_F(HelpScreensTest, TheManualLoadsWithAllItsPictures) {
    launch();
    QTest::mouseClick(app->startupViewController()->helpButton(), Qt::LeftButton);
    auto* manual = qobject_cast<UserManualViewController*>(app->navigationController()->topViewController());
    ASSERT_TRUE(manual);
    EXPECT_EQ(manual->windowTitle(), "User Manual");
    EXPECT_FALSE(app->navigationController()->isNavigationBarHidden());
    QSignalSpy loaded(manual->webView(), &QWebEngineView::loadFinished);
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(loaded.first().first().toBool());
    EXPECT_EQ(manual->webView()->url().toString(), "qrc:/html/grinsley.html");
    EXPECT_EQ(manual->webView()->title(), "Grinsley User Manual");
    const QVariant missing = evaluate(manual->webView(),
                                      "Array.from(document.images).filter(i => !i.complete || i.naturalWidth === 0)"
                                      ".map(i => i.getAttribute('src')).join(',')");
    EXPECT_EQ(missing.toString(), "") << "pictures that did not load";
    EXPECT_GE(evaluate(manual->webView(), "document.images.length").toInt(), 15);
    grinsley::testing::renderToPng(app->window(), "user-manual-phone");

    // Back: the start screen hides the bar again.
    app->navigationController()->popViewControllerAnimated(false);
    EXPECT_EQ(app->navigationController()->topViewController(), app->startupViewController());
    EXPECT_TRUE(app->navigationController()->isNavigationBarHidden());
}

TEST_F(HelpScreensTest, HelpInTheEditorPushesTheManual) {
    launch(platform::Idiom::Tablet);
    MoxelViewController* editor = start();
    QTest::mouseClick(editor->topToolbar()->widgetForAction(editor->helpItem()), Qt::LeftButton);
    EXPECT_FALSE(editor->currentActionSheet()) << "the hint closes first on a tablet";
    auto* manual = qobject_cast<UserManualViewController*>(app->navigationController()->topViewController());
    ASSERT_TRUE(manual);
    QSignalSpy loaded(manual->webView(), &QWebEngineView::loadFinished);
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return evaluate(manual->webView(), "Array.from(document.images).every(i => i.complete)").toBool(); },
        10000));
    QTest::qWait(200); // the pictures' first paint
    grinsley::testing::renderToPng(app->window(), "user-manual-tablet");
    app->navigationController()->popViewControllerAnimated(false);
    EXPECT_TRUE(app->navigationController()->isNavigationBarHidden());
    EXPECT_TRUE(editor->currentActionSheet()) << "back in an editor without a photo: the hint again";
}

TEST_F(HelpScreensTest, VideoSizes) {
    using Sizes = PlayVideoViewControlller::Sizes;
    const Sizes tablet = PlayVideoViewControlller::sizesFor(QSizeF(768, 1004), 44, true);
    EXPECT_EQ(tablet.player, QSizeF(708, 708));
    EXPECT_EQ(tablet.webView, QSizeF(708, 708));
    const Sizes landscape = PlayVideoViewControlller::sizesFor(QSizeF(1024, 748), 44, true);
    EXPECT_EQ(landscape.player, QSizeF(688, 688));
    const Sizes phone = PlayVideoViewControlller::sizesFor(QSizeF(320, 460), 44, false);
    EXPECT_EQ(phone.player, QSizeF(320, 416));
    EXPECT_EQ(phone.webView, QSizeF(320, 460));
}

// The online player is the page it always was around an embed the engine plays; no online video is set by
// default, and one configured is the device's.
TEST_F(HelpScreensTest, PlayerPageIsTheTemplate) {
    EXPECT_EQ(PlayVideoViewControlller::playerPage("https://video.test/v/abc", 687.6, 416),
              "<html><head><style type=\"text/css\">body { background-color: #282828; color: white; "
              "margin-left: auto; margin-right: auto; }</style></head><body style=\"margin:0\"><iframe id=\"player\" "
              "src=\"https://video.test/v/abc\" width=\"688\" height=\"416\" frameborder=\"0\" "
              "allow=\"autoplay; fullscreen\" allowfullscreen></iframe></body></html>");
    PlayVideoViewControlller::Configuration& config = PlayVideoViewControlller::configuration();
    const PlayVideoViewControlller::Configuration saved = config;
    EXPECT_TRUE(PlayVideoViewControlller::videoUrl(false).isEmpty());
    config.watchUrlPrefix = "https://video.test/watch?v=";
    config.tabletVideoId = "T1";
    config.phoneVideoId = "P1";
    EXPECT_EQ(PlayVideoViewControlller::videoUrl(true), "https://video.test/watch?v=T1");
    EXPECT_EQ(PlayVideoViewControlller::videoUrl(false), "https://video.test/watch?v=P1");
    config = saved;
}

// A configured online video: the screen shows its player and, without a connection, says so after it has
// appeared.
TEST_F(HelpScreensTest, VideoScreenWithoutAConnection) {
    PlayVideoViewControlller::Configuration& config = PlayVideoViewControlller::configuration();
    const PlayVideoViewControlller::Configuration saved = config;
    config.phoneVideoId = "P1";
    grinsley::testing::LoopbackServer probe;
    probe.server().Get("/", [](const httplib::Request&, httplib::Response& response) { response.status = 503; });
    probe.start();
    qputenv("GRINSLEY_CONNECTIVITY_PROBE_URL", probe.url());
    launch();
    QTest::mouseClick(app->startupViewController()->videoButton(), Qt::LeftButton);
    auto* video = qobject_cast<PlayVideoViewControlller*>(app->navigationController()->topViewController());
    ASSERT_TRUE(video);
    QSignalSpy loaded(video->webView(), &QWebEngineView::loadFinished);
    EXPECT_EQ(video->windowTitle(), "Grinsley Video");
    const QSize window = app->window()->size();
    EXPECT_TRUE(video->html().contains(QString("width=\"%1\" height=\"%2\"").arg(window.width()).arg(window.height() - 44)))
        << video->html().toStdString();
    EXPECT_EQ(video->webView()->size(), window);
    ASSERT_TRUE(QTest::qWaitFor([] { return !platform::AlertView::visibleAlerts().isEmpty(); }, 15000));
    EXPECT_EQ(onlyAlert(), std::make_pair(QString("Internet Connection Error"),
                                          QString("An active Internet connection is needed to view this video.")));
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(20000));
    EXPECT_EQ(evaluate(video->webView(), "document.getElementById('player').getAttribute('width')").toString(),
              QString::number(window.width()));
    qunsetenv("GRINSLEY_CONNECTIVITY_PROBE_URL");
    EXPECT_FALSE(video->shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation::LandscapeLeft));
    config = saved;
}

// The bundled tutorial plays without a connection (and says nothing of one), at the player's sizes, on both
// layouts; on the tablet the room around the square player is dark.
TEST_F(HelpScreensTest, TheBundledTutorialPlays) {
    for (platform::Idiom idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        launch(idiom);
        QTest::mouseClick(app->startupViewController()->videoButton(), Qt::LeftButton);
        auto* video = qobject_cast<PlayVideoViewControlller*>(app->navigationController()->topViewController());
        ASSERT_TRUE(video);
        EXPECT_FALSE(video->playsOnline());
        QSignalSpy loaded(video->webView(), &QWebEngineView::loadFinished);
        ASSERT_TRUE(loaded.count() > 0 || loaded.wait(20000));
        EXPECT_EQ(evaluate(video->webView(), "document.getElementById('player').canPlayType('video/webm; codecs=\"vp9\"')").toString(),
                  "probably");
        // Its length is known once the engine has read the file: it can be played.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return evaluate(video->webView(), "document.getElementById('player').readyState").toInt() >= 1;
        }, 15000)) << "the video never loaded";
        const double seconds = evaluate(video->webView(), "document.getElementById('player').duration").toDouble();
        EXPECT_GT(seconds, 10.0);
        EXPECT_LE(seconds, 60.0) << "a minute at most";
        const QSizeF player = PlayVideoViewControlller::sizesFor(QSizeF(app->window()->size()), 44, idiom == platform::Idiom::Tablet).player;
        EXPECT_EQ(evaluate(video->webView(), "document.getElementById('player').getAttribute('width')").toString(),
                  QString::number(player.width()));
        EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
        EXPECT_LT(video->palette().color(QPalette::Window).lightness(), 60) << "dark around the player";
        QTest::qWait(600); // a few frames in
        grinsley::testing::renderToPng(app->window(), idiom == platform::Idiom::Phone ? "video-phone" : "video-tablet");
    }
}
