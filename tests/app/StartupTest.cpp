#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "platform/AlertView.h"
#include "platform/Directories.h"
#include "platform/UserDefaults.h"
#include "support/FakeMailTransport.h"
#include "support/Render.h"

using namespace grinsley;
using grinsley::platform::InterfaceOrientation;
using grinsley::testing::FakeMailTransport;

namespace {

class StartupTest : public grinsley::testing::AppTest {
protected:
    void TearDown() override {
        FakeMailTransport::uninstall();
        AppTest::TearDown();
    }
};

} // namespace

TEST_F(StartupTest, LaunchShowsTheStartScreen) {
    launch();
    ASSERT_TRUE(app->window()->isVisible());
    StartupViewController* start = app->startupViewController();
    EXPECT_EQ(app->navigationController()->topViewController(), start);
    EXPECT_TRUE(app->navigationController()->isNavigationBarHidden());
    EXPECT_EQ(start->mainViewController(), nullptr);
    EXPECT_EQ(start->startButton()->text(), "Start");
    EXPECT_EQ(start->feedbackButton()->text(), "Feedback");
    const QString path = grinsley::testing::renderToPng(app->window(), "start-screen-phone");
    EXPECT_FALSE(QImage(path).isNull());
}

TEST_F(StartupTest, BackgroundBeforeStartSavesNothing) {
    launch();
    platform::Application::shared().enterBackground();
    platform::Application::shared().receiveMemoryWarning();
    platform::Application::shared().terminate();
    EXPECT_FALSE(platform::UserDefaults::standard().hasKey("currentImage"));
    EXPECT_TRUE(QDir(EditingStateWriter::folder()).isEmpty());
}

TEST_F(StartupTest, BackgroundAfterStartSavesTheEditingState) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    const QString saved = platform::UserDefaults::standard().stringForKey("currentImage");
    ASSERT_TRUE(QFile::remove(saved));
    editor->drawView()->selectionView()->setCenter({111, 222});
    platform::Application::shared().enterBackground();
    EXPECT_TRUE(QFile::exists(platform::UserDefaults::standard().stringForKey("currentImage")));
    EXPECT_FLOAT_EQ(platform::UserDefaults::standard().floatForKey("selectionViewCenterX"), 111);
}

TEST_F(StartupTest, StartTwiceLeavesOneEditor) {
    launch();
    MoxelViewController* first = start();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(MoxelViewController::liveCount(), 1);
    app->navigationController()->popViewControllerAnimated(false);
    EXPECT_EQ(app->navigationController()->topViewController(), app->startupViewController());
    EXPECT_EQ(app->startupViewController()->mainViewController(), first); // the start screen still holds it
    MoxelViewController* second = start();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(MoxelViewController::liveCount(), 1);
    EXPECT_EQ(app->navigationController()->topViewController(), second);
}

TEST_F(StartupTest, FeedbackWithoutMailShowsTheError) {
    FakeMailTransport::install().canSend = false;
    launch();
    QTest::mouseClick(app->startupViewController()->feedbackButton(), Qt::LeftButton);
    EXPECT_EQ(onlyAlert(), std::make_pair(QString("Error"), QString("This device is not configured to send email.")));
    EXPECT_EQ(app->startupViewController()->modalViewController(), nullptr);
}

TEST_F(StartupTest, FeedbackComposesTheSupportMail) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    launch();
    QTest::mouseClick(app->startupViewController()->feedbackButton(), Qt::LeftButton);
    auto* composer = qobject_cast<platform::MailComposer*>(app->startupViewController()->modalViewController());
    ASSERT_NE(composer, nullptr);
    EXPECT_TRUE(composer->hasBlackBarStyle());
    ASSERT_EQ(mail.sent.size(), 1u);
    EXPECT_EQ(mail.sent[0].subject, "Grinsley feedback");
    EXPECT_EQ(mail.sent[0].body, "");
    EXPECT_EQ(mail.sent[0].toRecipients, QStringList{"support@grinsley.app"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->startupViewController()->modalViewController(); }, 2000));
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
}

TEST_F(StartupTest, FailedFeedbackMailSaysSo) {
    FakeMailTransport::install().result = platform::MailComposeResult::Failed;
    launch();
    QTest::mouseClick(app->startupViewController()->feedbackButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->startupViewController()->modalViewController(); }, 2000));
    EXPECT_EQ(onlyAlert(),
              std::make_pair(QString("Send Email"), QString("Error sending email. Your message was not sent.")));
}

TEST_F(StartupTest, RotationRules) {
    launch();
    StartupViewController* start = app->startupViewController();
    EXPECT_TRUE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::Portrait));
    EXPECT_TRUE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::PortraitUpsideDown));
    EXPECT_FALSE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
    EXPECT_FALSE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeRight));
    // The phone's start screen stays portrait when the window turns.
    app->window()->resize(780, 390);
    QCoreApplication::processEvents();
    EXPECT_EQ(start->interfaceOrientation(), InterfaceOrientation::Portrait);
    MoxelViewController* editor = start->startButton() ? this->start() : nullptr;
    for (auto o : {InterfaceOrientation::Portrait, InterfaceOrientation::PortraitUpsideDown,
                   InterfaceOrientation::LandscapeLeft, InterfaceOrientation::LandscapeRight})
        EXPECT_TRUE(editor->shouldAutorotateToInterfaceOrientation(o));
    platform::Device::setIdiom(platform::Idiom::Tablet);
    EXPECT_TRUE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
    EXPECT_TRUE(start->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeRight));
}

TEST_F(StartupTest, TabletStartScreen) {
    launch(platform::Idiom::Tablet);
    const QString path = grinsley::testing::renderToPng(app->window(), "start-screen-tablet");
    EXPECT_FALSE(QImage(path).isNull());
    EXPECT_EQ(start()->interfaceFileName(), "MoxelViewController-iPad");
}

// A mail program that keeps the hand-over waiting never traps the user: the notice closes, and a late answer
// changes nothing.
TEST_F(StartupTest, TheMailNoticeCanAlwaysBeClosed) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    mail.answers = false;
    launch();
    QTest::mouseClick(app->startupViewController()->feedbackButton(), Qt::LeftButton);
    auto* composer = qobject_cast<platform::MailComposer*>(app->startupViewController()->modalViewController());
    ASSERT_TRUE(composer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(mail.pending); }, 5000));
    ASSERT_TRUE(composer->closeButton());
    grinsley::testing::renderToPng(app->window(), "mail-notice");
    QTest::mouseClick(composer->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->startupViewController()->modalViewController() == nullptr; }, 5000));
    mail.pending(platform::MailComposeResult::Failed);
    QCoreApplication::processEvents();
    EXPECT_EQ(onlyAlert(), std::make_pair(QString(), QString())) << "the late answer is not reported";
}

// On a desktop, minimising the window sends the program to the background (the editing state is saved) and
// showing it again brings it back.
TEST_F(StartupTest, MinimisingIsTheBackground) {
    saveStateWithPhotoAndPiece();
    launch();
    start();
    platform::UserDefaults::standard().removeObjectForKey("currentImage");
    app->window()->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(platform::Application::shared().isInBackground());
    EXPECT_TRUE(platform::UserDefaults::standard().hasKey("currentImage")) << "saved on the way out";
    app->window()->showNormal();
    QCoreApplication::processEvents();
    EXPECT_FALSE(platform::Application::shared().isInBackground());
    app->window()->hide();
    EXPECT_TRUE(platform::Application::shared().isInBackground());
}
