#include <csignal>

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QToolBar>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/MainScrollView.h"
#include "platform/ActionSheet.h"
#include "platform/PhotoAlbum.h"
#include "platform/SingleInstance.h"

using namespace grinsley;

namespace {

class DesktopTest : public grinsley::testing::AppTest {
protected:
    // The editor with a photo and a piece, ready for commands.
    MoxelViewController* editorWithPhoto() {
        launch();
        MoxelViewController* editor = start();
        editor->imagePickerControllerDidFinishPickingMedia(nullptr, platform::Bundle::imageNamed("Sample1", "jpg"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
        if (editor->currentTextBubbleController())
            editor->closeChildViewController(editor->currentTextBubbleController());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->window()->activateWindow();
        editor->scrollView()->setFocus();
        return editor;
    }
    void key(QKeySequence sequence) {
        const QKeyCombination combination = sequence[0];
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : app->window(),
                        combination.key(), combination.keyboardModifiers());
    }
    void drop(const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPointF at(app->window()->width() / 2, app->window()->height() / 2);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(app->window(), &enter);
        ASSERT_TRUE(enter.isAccepted()) << "the window takes a dragged file";
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(app->window(), &dropped);
    }
};

} // namespace

// The usual keys run the editor's commands, and the items' tooltips say which.
TEST_F(DesktopTest, ShortcutsRunTheCommands) {
    MoxelViewController* editor = editorWithPhoto();
    EXPECT_EQ(editor->copyItem()->toolTip(), "Copy (Ctrl+C)");
    EXPECT_EQ(editor->undoItem()->toolTip(), "Undo (Ctrl+Z)");
    key(QKeySequence::Copy);
    ASSERT_TRUE(editor->hasSelectedImage());
    const QImage before = editor->drawView()->currentImage().bitmap();
    key(QKeySequence(Qt::Key_Right));
    key(QKeySequence(Qt::SHIFT | Qt::Key_Right));
    key(QKeySequence::Paste);
    EXPECT_NE(editor->drawView()->currentImage().bitmap(), before) << "pasted";
    const QImage pasted = editor->drawView()->currentImage().bitmap();
    key(QKeySequence::Undo);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), before) << "undone";
    EXPECT_EQ(editor->redoItem()->toolTip(), "Redo (Ctrl+Shift+Z)");
    for (QKeySequence redo : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        key(redo);
        EXPECT_EQ(editor->drawView()->currentImage().bitmap(), pasted) << "redone by " << redo.toString().toStdString();
        key(QKeySequence::Undo);
    }
    key(QKeySequence::Delete);
    EXPECT_FALSE(editor->hasSelectedImage());

    key(QKeySequence::Save);
    ASSERT_TRUE(QTest::qWaitFor([] { return !QDir(platform::PhotoAlbum::folder()).entryList(QDir::Files).isEmpty(); }, 5000))
        << "saved to the album";
    key(QKeySequence::Open);
    ASSERT_TRUE(grinsley::testing::EditorProbe::photoPicker(editor));
    key(QKeySequence::Cancel);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(grinsley::testing::EditorProbe::photoPicker(editor)) << "Escape closes the picker";
    editor->organizeButtonTouched();
    ASSERT_TRUE(editor->currentActionSheet());
    key(QKeySequence::Cancel);
    EXPECT_FALSE(editor->currentActionSheet()) << "Escape closes the sheet";
}

// The arrows nudge the selection a point, or ten with Shift, and the move is saved like a drag.
TEST_F(DesktopTest, ArrowsNudgeTheSelection) {
    MoxelViewController* editor = editorWithPhoto();
    SelectionView* overlay = editor->drawView()->selectionView();
    const QPointF start = overlay->center();
    key(QKeySequence(Qt::Key_Left));
    key(QKeySequence(Qt::Key_Up));
    EXPECT_EQ(overlay->center(), start + QPointF(-1, -1));
    key(QKeySequence(Qt::SHIFT | Qt::Key_Down));
    key(QKeySequence(Qt::SHIFT | Qt::Key_Right));
    EXPECT_EQ(overlay->center(), start + QPointF(9, 9));
    EXPECT_EQ(editor->scrollView()->horizontalScrollBar()->value(), 0) << "the keys are not the view's to scroll";
}

// A photo dropped on the window opens through the intake; a file that is no photo gets the intake's alert.
TEST_F(DesktopTest, DroppedPhotosOpenThroughTheIntake) {
    launch();
    const QString photo = home() + "/dropped.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(photo, {1600, 1200}, 6));
    drop(photo); // on the start screen: the editor comes
    MoxelViewController* editor = app->startupViewController()->mainViewController();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->hasCurrentImage() && !editor->isLoadingImage(); }, 5000));
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(1200, 1600)); // at its own size, upright
    // Qt hands a drop to the nearest widget under the pointer that takes drops: not the canvas's view.
    EXPECT_TRUE(app->window()->acceptDrops());
    EXPECT_FALSE(editor->scrollView()->viewport()->acceptDrops());

    const QString notes = home() + "/notes.png";
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a photo");
    file.close();
    drop(notes);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    EXPECT_EQ(onlyAlert(), std::pair(QStringLiteral("Cannot Open Photo"),
                                     QString::fromUtf8("\u201Cnotes.png\u201D is not a photo Grinsley can read.")));
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(1200, 1600)) << "the photo stays";
}

// Arguments: paths (relative to the folder they were given in) and file URLs are files; other URLs go to the
// URL path; options and the layout option's value are neither.
TEST_F(DesktopTest, ArgumentsAreFilesOrUrls) {
    QStringList files, urls;
    platform::ApplicationDelegate delegate;
    delegate.openFile = [&](const QString& path) { files << path; };
    delegate.handleOpenURL = [&](const QString& url) {
        urls << url;
        return true;
    };
    platform::Application::shared().setDelegate(delegate);
    platform::Application::shared().openArguments(
        {"--idiom", "tablet", "a.jpg", "../b.png", "file:///tmp/c%20d.jpg", "sn314159265358979://authorize#access_token=x",
         "-v", "/abs/e.jpg"},
        "/home/u/Pictures");
    EXPECT_EQ(files, QStringList({"/home/u/Pictures/a.jpg", "/home/u/b.png", "/tmp/c d.jpg", "/abs/e.jpg"}));
    EXPECT_EQ(urls, QStringList{"sn314159265358979://authorize#access_token=x"});
}

// A second start hands its photo and its URL to the running program and ends; the running one opens the photo
// in its editor and passes the URL along. Real processes of the real program.
TEST_F(DesktopTest, ASecondStartHandsItsWorkToTheFirst) {
    const QString runtime = home() + "/run";
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    const QString socket = platform::SingleInstance::serverName();
    ASSERT_TRUE(socket.startsWith(runtime));

    QProcess first;
    first.setProcessChannelMode(QProcess::SeparateChannels);
    first.start(QStringLiteral(GRINSLEY_PROGRAM), {"--idiom", "phone"});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket) || first.state() != QProcess::Running; }, 20000));
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    const QString photo = home() + "/camera.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(photo, {1600, 1200}, 6));
    QProcess second;
    second.setWorkingDirectory(home());
    second.start(QStringLiteral(GRINSLEY_PROGRAM), {"camera.jpg", "sn314159265358979://authorize#access_token=abc"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    // The first saves its editing state after the photo is in: read it as the next start would.
    const QString defaults = home() + "/.config/Grinsley/defaults.ini";
    QString saved;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        saved = QSettings(defaults, QSettings::IniFormat).value("currentImage").toString();
        return !saved.isEmpty();
    }, 20000)) << first.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(saved).size(), QSize(1200, 1600));
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    const QByteArray log = first.readAllStandardError();
    EXPECT_TRUE(log.contains("no session takes the URL sn314159265358979://authorize\n")) << log.toStdString();
    EXPECT_FALSE(log.contains("abc")) << "no token in the log";
}
