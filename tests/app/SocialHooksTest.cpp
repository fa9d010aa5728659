#include <QLabel>
#include <QPushButton>
#include <QSequentialAnimationGroup>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "analytics/TallySession.h"
#include "app/UploadPhotoViewController.h"
#include "platform/UrlOpener.h"
#include "social/SocialDialog.h"
#include "support/LoopbackServer.h"
#include "support/Render.h"

using namespace grinsley;

namespace {

class SocialHooksTest : public grinsley::testing::AppTest {
protected:
    void TearDown() override {
        AppTest::TearDown();
        TallySession::discardCurrentSession();
    }
    static QStringList events() { return recordedEvents(); }
};

const QString loginRedirect = QStringLiteral("sn" GRINSLEY_SOCIAL_APP_ID "://authorize#access_token=t&expires_in=0");

} // namespace

// A URL handed to the program finds no session before the first Start, nor in an editor (which never makes one);
// a session put there answers once it asked for a login, and its login reaches the editor's callback.
TEST_F(SocialHooksTest, OpenedUrlsGoToTheEditorsSession) {
    launch();
    EXPECT_EQ(app->startupViewController()->socialSession(), nullptr);
    EXPECT_FALSE(platform::Application::shared().openURL(loginRedirect));
    MoxelViewController* editor = start();
    EXPECT_EQ(editor->socialSession(), nullptr);
    EXPECT_FALSE(platform::Application::shared().openURL(loginRedirect));

    auto session = std::make_shared<SocialSession>(QStringLiteral(GRINSLEY_SOCIAL_APP_ID));
    session->setSessionDelegate(editor->socialSessionDelegate());
    editor->setSocialSession(session);
    EXPECT_EQ(app->startupViewController()->socialSession(), session);
    EXPECT_FALSE(platform::Application::shared().openURL("https://elsewhere.test/"));
    EXPECT_FALSE(platform::Application::shared().openURL(loginRedirect)) << "no login was asked for";
    platform::UrlOpener::setHandler([](const QUrl& url) { return url.scheme() == "https"; }); // a browser
    session->authorize({}, editor->socialSessionDelegate());
    platform::UrlOpener::setHandler({});
    EXPECT_TRUE(platform::Application::shared().openURL(loginRedirect));
    EXPECT_TRUE(session->isSessionValid());
    EXPECT_EQ(events().last(), "Social logged in");
}

// Each callback records its one item and does nothing else.
TEST_F(SocialHooksTest, TheCallbacksRecordTheirItems) {
    launch();
    MoxelViewController* editor = start();
    editor->socialSessionDelegate()->sessionDidNotLogin(true);
    editor->socialSessionDelegate()->sessionDidLogout();
    editor->socialRequestDelegate()->requestDidLoad(nullptr, QByteArray("{}"));
    editor->socialDialogDelegate()->dialogDidComplete(nullptr);
    EXPECT_EQ(events().mid(events().size() - 4),
              QStringList({"Social did not log in", "Social logged out", "Social request completed", "Social dialog completed"}));
    EXPECT_FALSE(editor->socialRequestDelegate()->requestLoading) << "the callbacks the editor does not take";
    EXPECT_FALSE(editor->socialDialogDelegate()->dialogCompleteWithUrl);

    const platform::ErrorRecord error{"socialErrDomain", 190, {{platform::ErrorRecord::LocalizedDescriptionKey, "Invalid token"}}};
    editor->socialRequestDelegate()->requestDidFailWithError(nullptr, error);
    const auto& errors = TallySession::currentSession()->errors();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.last().id, "Social request failed");
    EXPECT_EQ(errors.last().message, "Invalid token");
}

// The upload screen shows the photo with Upload and Cancel; Upload does nothing, Cancel closes it.
TEST_F(SocialHooksTest, TheUploadScreenShowsAndCloses) {
    for (const auto idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        launch(idiom);
        MoxelViewController* editor = start();
        editor->drawView()->setCurrentImage(platform::Bundle::imageNamed("Sample1", "jpg"));
        editor->uploadPhotoToSocial();
        auto* upload = qobject_cast<UploadPhotoViewController*>(editor->modalViewController());
        ASSERT_NE(upload, nullptr);
        EXPECT_EQ(upload->displayImage(), editor->drawView()->currentImage().bitmap());
        EXPECT_EQ(upload->geometry(), app->window()->rect());
        QCoreApplication::processEvents();
        EXPECT_FALSE(upload->imageView()->pixmap().isNull());
        grinsley::testing::renderScreenToPng(app->window(), idiom == platform::Idiom::Phone ? "upload-phone" : "upload-tablet");
        QTest::mouseClick(upload->uploadButton(), Qt::LeftButton);
        EXPECT_EQ(editor->modalViewController(), upload) << "Upload does nothing";
        QTest::mouseClick(upload->cancelButton(), Qt::LeftButton);
        EXPECT_EQ(editor->modalViewController(), nullptr);
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A web dialog as it shows over the editor, on both layouts (rendered for people to look at); it closes by its
// button and leaves the editor as it was.
TEST_F(SocialHooksTest, ADialogOverTheEditor) {
    grinsley::testing::LoopbackServer server;
    server.server().Get("/dialog/feed", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><head><title>Post to Plaza</title></head><body style='font-family:sans-serif'>"
                        "<h3>Share your photo</h3><textarea style='width:90%;height:80px'></textarea></body></html>",
                        "text/html");
    });
    server.start();
    for (const auto idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        launch(idiom);
        MoxelViewController* editor = start();
        editor->drawView()->setCurrentImage(platform::Bundle::imageNamed("Sample1", "jpg"));
        editor->dismissPopoverViews(false);
        if (editor->currentTextBubbleController())
            editor->closeChildViewController(editor->currentTextBubbleController());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->window()->activateWindow();
        // Kept as a session keeps its dialogs: the window holds the panel while it shows, and may go first.
        SocialDialogHandle handle(new SocialDialog(QString::fromLatin1(server.url("/dialog/feed")), makeSocialParams(),
                                                   editor->socialDialogDelegate()));
        SocialDialog& dialog = *handle.dialog();
        handle.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.title() == "Post to Plaza"; }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.bounce()->state() == QAbstractAnimation::Stopped; }, 5000));
        EXPECT_EQ(dialog.parentWidget(), app->window());
        grinsley::testing::renderScreenToPng(app->window(), idiom == platform::Idiom::Phone ? "social-dialog-over-editor-phone"
                                                                                             : "social-dialog-over-editor-tablet");
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000));
        EXPECT_FALSE(dialog.modalBackgroundView()->isVisible());
        EXPECT_TRUE(editor->isVisible());
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
