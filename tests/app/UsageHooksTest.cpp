#include <QJsonArray>
#include <QProcess>
#include <QToolBar>

#include "AppTest.h"
#include "analytics/TallyAPI.h"
#include "analytics/TallySession.h"
#include "app/ShapePickerViewController.h"
#include "platform/UserDefaults.h"
#include "support/FakeMailTransport.h"
#include "support/LoopbackServer.h"
#include "report/ReportDecoder.h"

using namespace grinsley;
using grinsley::testing::FakeMailTransport;

namespace {

class UsageHooksTest : public grinsley::testing::AppTest {
protected:
    void TearDown() override {
        FakeMailTransport::uninstall();
        AppTest::TearDown();
        TallySession::discardCurrentSession();
    }
    static QStringList events() { return recordedEvents(); }
    static void click(MoxelViewController* editor, QAction* item) {
        QToolBar* bar = editor->topToolbar()->widgetForAction(item) ? editor->topToolbar() : editor->bottomToolbar();
        QTest::mouseClick(bar->widgetForAction(item), Qt::LeftButton);
    }
};

} // namespace

// Every command records its event first; a pick while a photo loads records nothing; Crop records nothing;
// Clear and the menu's Delete are both "Delete".
TEST_F(UsageHooksTest, TheEditorsCommandsInOrder) {
    launch();
    MoxelViewController* editor = start();
    const platform::Image photo = platform::Bundle::imageNamed("Sample1", "jpg");
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, photo);
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, photo); // while the first is loading
    ASSERT_TRUE(QTest::qWaitFor([editor] { return !editor->isLoadingImage(); }, 10000));
    click(editor, editor->copyItem());
    click(editor, editor->pasteItem());
    click(editor, editor->swapItem());
    click(editor, editor->horizontalFlipItem());
    click(editor, editor->cropItem());
    click(editor, editor->undoItem());
    click(editor, editor->clearItem());
    editor->copyButtonTouched();
    editor->deleteButtonTouched(); // the hold menu's Delete
    click(editor, editor->shapesItem());
    editor->closeChildViewController(editor->findChild<ShapePickerViewController*>());
    click(editor, editor->helpItem());
    EXPECT_EQ(events(), QStringList({"App launched", "Start", "Picked image", "Displaying image", "Copy", "Paste",
                                     "Swap", "Flip", "Undo", "Delete", "Copy", "Delete", "Shapes", "Help"}));
}

TEST_F(UsageHooksTest, ShareAndStartScreenCommands) {
    FakeMailTransport::install().canSend = false;
    saveStateWithPhotoAndPiece();
    launch();
    QTest::mouseClick(app->startupViewController()->feedbackButton(), Qt::LeftButton);
    EXPECT_EQ(onlyAlert().first, "Error") << "recorded even though no mail can be sent";
    for (QMessageBox* box : platform::AlertView::visibleAlerts())
        box->close();
    QTest::mouseClick(app->startupViewController()->helpButton(), Qt::LeftButton);
    app->navigationController()->popViewControllerAnimated(false);
    QTest::mouseClick(app->startupViewController()->videoButton(), Qt::LeftButton);
    app->navigationController()->popViewControllerAnimated(false);
    MoxelViewController* editor = start();
    editor->organizeButtonTouched();
    editor->actionSheetClickedButtonAtIndex(editor->currentActionSheet(), editor->currentActionSheet()->cancelButtonIndex()); // Close
    editor->emailButtonTouched();
    EXPECT_EQ(events(), QStringList({"App launched", "Feedback: Startup", "Help: Startup", "Video: Startup", "Start",
                                     "Email"}));
}

TEST_F(UsageHooksTest, LifecycleEventsAndTheRatingPrompt) {
    launch();
    platform::Application::shared().receiveMemoryWarning();
    platform::Application::shared().enterBackground();
    platform::Application::shared().enterForeground();
    EXPECT_EQ(events(), QStringList({"App launched", "App memory warning", "App entered background",
                                     "App entering foreground"}));
    // The launch and the return to the foreground each count as a use of this version.
    ASSERT_TRUE(QTest::qWaitFor([] { return RatingPrompt::reportsInFlight() == 0; }, 5000));
    EXPECT_EQ(platform::UserDefaults::standard().integerForKey("kRatingPromptUseCount"), 2);
    EXPECT_EQ(app->startupViewController()->mainViewController(), nullptr) << "a memory warning did nothing else";
}

// An exception that escapes ends the process with an "Exception" error recorded; the next start uploads it.
TEST_F(UsageHooksTest, AnUncaughtExceptionIsUploadedAtTheNextStart) {
    QProcess child;
    child.start(QStringLiteral(GRINSLEY_CRASHING_CHILD), {});
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    grinsley::testing::LoopbackServer collection;
    std::mutex mutex;
    std::vector<QJsonObject> reports;
    collection.server().Post("/report.do", [&](const httplib::Request& request, httplib::Response& response) {
        if (auto report = tools::ReportDecoder::decodeReport(QByteArray::fromStdString(request.body))) {
            std::lock_guard lock(mutex);
            reports.push_back(*report);
        }
        response.set_content("ok", "text/plain");
    });
    collection.start();
    TallyAPI::setServerURL(QString::fromLatin1(collection.url("/report.do")));
    launch();
    ASSERT_TRUE(QTest::qWaitFor([&] { std::lock_guard lock(mutex); return !reports.empty(); }, 10000));
    const QJsonArray sessions = reports.front()["sessions"].toArray();
    ASSERT_EQ(sessions.size(), 1);
    const QJsonObject crashed = sessions.first().toObject();
    EXPECT_EQ(crashed["eventCounts"].toObject()["Before the crash"].toInt(), 1);
    const QJsonArray errors = crashed["errors"].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first()["id"].toString(), "Exception");
    EXPECT_EQ(errors.first()["message"].toString(), "Crash!");
    EXPECT_EQ(errors.first()["exception"].toString(), "std::runtime_error: disk on fire");
}
