#include <csignal>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "FullSizeSpots.h"
#include "editing/DrawView.h"
#include "editing/SelectionView.h"
#include "platform/Directories.h"
#include "platform/UserDefaults.h"
#include "support/IsolatedTest.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using grinsley::platform::Image;

namespace {

class EditingStateTest : public grinsley::testing::IsolatedTest {
protected:
    void TearDown() override {
        EditingStateWriter::shared().waitUntilIdle();
        IsolatedTest::TearDown();
    }
    DrawView* makeCanvas(QGraphicsScene* into = nullptr) {
        auto* view = new DrawView(QSizeF(400, 400));
        (into ? into : &scene)->addItem(view);
        view->initialize(0, 0, nullptr);
        return view;
    }
    // What a new run of the program would find.
    DrawView* restored() {
        EditingStateWriter::shared().waitUntilIdle();
        platform::UserDefaults::resetStandard();
        restoredScene.clear();
        DrawView* view = makeCanvas(&restoredScene);
        view->restoreApplicationState();
        return view;
    }
    QGraphicsScene scene;
    QGraphicsScene restoredScene; // apart, so that the canvas under test stays the one on top
};

int lastNumbered(const QByteArray& output, const QByteArray& word) {
    int last = 0;
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith(word + ' '))
            last = line.mid(word.size() + 1).toInt();
    return last;
}

} // namespace

// With saving after each edit on, an edit reaches the disk without an orderly quit: a paste, then a move of
// the selection by the user.
TEST_F(EditingStateTest, EachEditIsSavedWithoutAQuit) {
    DrawView* canvas = makeCanvas();
    canvas->setSavesAfterEachEdit(true);
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({300, 300})));
    canvas->doCopy();
    canvas->selectionView()->setCenter({150, 160});
    canvas->doPaste();
    QCoreApplication::processEvents();
    const QImage pasted = canvas->currentImage().bitmap();
    EXPECT_EQ(restored()->currentImage().bitmap().convertToFormat(QImage::Format_RGB32),
              pasted.convertToFormat(QImage::Format_RGB32));

    QGraphicsView view(&scene);
    view.setSceneRect(canvas->bounds());
    view.resize(500, 500);
    view.show();
    const QPoint from = view.mapFromScene(QPointF(150, 160));
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), from + QPoint(30, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(restored()->selectionView()->center(), QPointF(150, 160)) << "not saved before the drag ends";
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, from + QPoint(30, 0));
    ASSERT_EQ(canvas->selectionView()->center(), QPointF(180, 160)) << "the drag moved it";
    QCoreApplication::processEvents();
    EXPECT_EQ(restored()->selectionView()->center(), QPointF(180, 160));
    // Only the files the defaults name are left.
    EXPECT_EQ(QDir(EditingStateWriter::folder()).entryList(QDir::Files).size(), 2);
}

// A save after a paste writes the pasted rectangle, not the photo again; Undo is a rectangle too. A restart
// lays the rectangles over the photo in order, and goes on saving only what changes; past half the photo's
// size in rectangles the photo is written whole again. The metadata of the file the photo came from goes with
// the photo each time.
TEST_F(EditingStateTest, SavesAfterAPasteWriteItsRectangle) {
    const QString camera = home() + "/camera.jpg";
    ASSERT_TRUE(grinsley::testing::writeCameraJpeg(camera, {40, 30}, 1));
    QFile cameraFile(camera);
    ASSERT_TRUE(cameraFile.open(QIODevice::ReadOnly));
    const auto expectCameraMetadata = [](const platform::PhotoMetadata& kept) {
        EXPECT_EQ(kept.dateTaken(), "2026:05:04 12:34:56");
        EXPECT_EQ(kept.cameraModel(), "Test One");
        EXPECT_TRUE(kept.hasLocation()) << "dropped only from copies that leave";
        EXPECT_TRUE(kept.hasColourProfile());
    };
    DrawView* canvas = makeCanvas();
    canvas->setSavesAfterEachEdit(true);
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 800})));
    canvas->setPhotoMetadata(platform::PhotoMetadata::readEncoded(cameraFile.readAll()));
    QCoreApplication::processEvents();
    EditingStateWriter::shared().waitUntilIdle();
    const QString base = platform::UserDefaults::standard().stringForKey("currentImage");
    const auto patches = [] { return platform::UserDefaults::standard().objectForKey(EditingStateWriter::patchesKey).toStringList(); };
    const auto written = [](const QString& entry) { return QImage(entry.section(',', 2)); };
    canvas->selectionView()->setBoundsIfValid({44 + 40, 132 + 60}); // a region of 80 x 120 pixels
    canvas->doCopy();
    canvas->selectionView()->setCenter({100, 120});
    canvas->doPaste();
    canvas->doUndo();
    QCoreApplication::processEvents();
    EditingStateWriter::shared().waitUntilIdle();
    EXPECT_EQ(platform::UserDefaults::standard().stringForKey("currentImage"), base) << "the photo not written again";
    ASSERT_EQ(patches().size(), 2) << "the paste and its Undo";
    EXPECT_LE(written(patches()[0]).width(), 84) << "a rectangle around the piece";
    EXPECT_LE(written(patches()[0]).height(), 124);
    canvas->doRedo();
    QCoreApplication::processEvents();
    const QImage edited = canvas->currentImage().bitmap();
    DrawView* again = restored();
    EXPECT_EQ(again->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), edited.convertToFormat(QImage::Format_RGB32));
    expectCameraMetadata(again->photoMetadata());

    // The restored canvas goes on where the saved state ended.
    again->setSavesAfterEachEdit(true);
    again->selectionView()->setCenter({300, 300});
    again->doPaste();
    QCoreApplication::processEvents();
    EditingStateWriter::shared().waitUntilIdle();
    EXPECT_EQ(platform::UserDefaults::standard().stringForKey("currentImage"), base);
    EXPECT_EQ(patches().size(), 4);
    again->selectionView()->setBoundsIfValid({44 + 150, 132 + 150});
    for (int i = 0; i < 12; ++i) { // rectangles past half the photo
        again->selectionView()->setCenter({double(60 + 25 * i), 200.0 + 10 * (i % 3)});
        again->doPaste();
        QCoreApplication::processEvents();
    }
    EditingStateWriter::shared().waitUntilIdle();
    EXPECT_NE(platform::UserDefaults::standard().stringForKey("currentImage"), base) << "the photo whole again";
    EXPECT_LT(patches().size(), 12);
    const QImage last = again->currentImage().bitmap();
    DrawView* third = restored();
    EXPECT_EQ(third->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), last.convertToFormat(QImage::Format_RGB32));
    expectCameraMetadata(third->photoMetadata());
}

// Killed at any moment while it edits and saves, the editor leaves one whole edit on disk: the photo, the
// piece and its turn all of the same edit, and no older than the last one it had seen saved. With "--full" the
// editor pastes numbered pieces into a 12-megapixel photo, saved as rectangles over it.
TEST_F(EditingStateTest, AKillLeavesOneWholeEdit) {
    const int trials = qEnvironmentVariableIntValue("GRINSLEY_KILL_TRIALS") > 0
                           ? qEnvironmentVariableIntValue("GRINSLEY_KILL_TRIALS")
                           : 8;
    for (const bool full : {false, true}) {
        for (int trial = 0; trial < (full ? std::max(1, trials / 2) : trials); ++trial) {
            SCOPED_TRACE(::testing::Message() << (full ? "full size, trial " : "trial ") << trial);
            QDir(EditingStateWriter::folder()).removeRecursively();
            for (const char* key : {"currentImage", "imageSelection", "currentImagePatches"})
                platform::UserDefaults::standard().removeObjectForKey(key);
            platform::UserDefaults::standard().synchronize();
            QProcess editor;
            editor.start(QStringLiteral(GRINSLEY_EDITING_CHILD), full ? QStringList{"--full"} : QStringList{});
            ASSERT_TRUE(editor.waitForStarted(5000));
            const int killAfter = 1 + int(QRandomGenerator::global()->bounded(40));
            QByteArray output;
            while (lastNumbered(output, "edit") < killAfter && editor.state() == QProcess::Running) {
                editor.waitForReadyRead(20000);
                output += editor.readAllStandardOutput();
            }
            // At a random moment of the write that the last edit began, not always at its start.
            QThread::usleep(QRandomGenerator::global()->bounded(100000));
            ::kill(pid_t(editor.processId()), SIGKILL);
            ASSERT_TRUE(editor.waitForFinished(5000));
            output += editor.readAllStandardOutput();
            const int edited = lastNumbered(output, "edit");
            const int saved = lastNumbered(output, "saved");

            DrawView* canvas = restored();
            if (canvas->currentImage().isNull()) {
                EXPECT_EQ(saved, 0) << "nothing on disk after a save was seen";
                continue;
            }
            const auto number = [](QRgb c) { return qRed(c) + 256 * qGreen(c); };
            ASSERT_TRUE(canvas->hasSelectedImage()) << "the photo without its piece";
            const QImage piece = canvas->selectionView()->imageSelection().bitmap();
            const int pieceEdit = number(piece.pixel(piece.width() / 2, piece.height() / 2));
            EXPECT_EQ(qRound(canvas->selectionView()->rotationAngle() * 1000), pieceEdit) << "the turn of another edit";
            const QImage photo = canvas->currentImage().bitmap();
            if (!full) {
                EXPECT_EQ(number(photo.pixel(0, 0)), pieceEdit) << "the piece of another edit";
            } else {
                // Every paste up to the piece's edit is on the photo, and none after it.
                const auto spot = [&](int k) { return photo.pixel(((fullSizeSpot(k) - QPointF(0, 50)) * 10).toPoint()); };
                for (int k = 1; k <= pieceEdit; ++k)
                    ASSERT_EQ(number(spot(k)), k) << "paste " << k << " missing under the piece of edit " << pieceEdit;
                EXPECT_NE(qBlue(spot(pieceEdit + 1)), 77) << "a paste after the piece's edit";
            }
            EXPECT_GE(pieceEdit, saved);
            EXPECT_LE(pieceEdit, edited + 1);
        }
    }
}

// A second run names its files anew: the files an earlier run named stay whole until the defaults no longer
// name them, so a kill in the middle of the second run's first save leaves the first run's state.
TEST_F(EditingStateTest, ASecondRunNamesItsOwnFiles) {
    const QString home = EditingStateWriter::folder();
    ASSERT_TRUE(QDir().mkpath(home));
    QStringList earlier;
    for (const char* key : {DrawView::currentImageKey, DrawView::imageSelectionKey}) {
        const QString path = home + "/" + key + "-1.png";
        ASSERT_TRUE(grinsley::testing::gradientPhoto({40, 40}).save(path));
        platform::UserDefaults::standard().setObject(path, QLatin1String(key));
        earlier << path;
    }
    platform::UserDefaults::standard().synchronize();
    QProcess second;
    second.start(QStringLiteral(GRINSLEY_EDITING_CHILD), {"--once"});
    ASSERT_TRUE(second.waitForFinished(20000));
    const QStringList named = QString::fromLocal8Bit(second.readAllStandardOutput()).trimmed().split('\n');
    ASSERT_EQ(named.size(), 2) << second.readAllStandardError().toStdString();
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(named[i].isEmpty());
        EXPECT_NE(named[i], earlier[i]);
        EXPECT_TRUE(QFileInfo(named[i]).isFile());
    }
}

// An earlier version's state: the files in the cache folder, the folders named twice over. They are moved
// where they belong now, once, and what is already there is left alone.
TEST_F(EditingStateTest, AnEarlierVersionsStateIsMovedOver) {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Grinsley";
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Grinsley";
    ASSERT_TRUE(QDir().mkpath(config + "/Grinsley"));
    ASSERT_TRUE(QDir().mkpath(cache + "/Grinsley"));
    const QImage photo = grinsley::testing::gradientPhoto({120, 80});
    ASSERT_TRUE(photo.save(cache + "/Grinsley/currentImage.png"));
    {
        QFile ini(config + "/Grinsley/defaults.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[General]\ncurrentImage=%1/Grinsley/currentImage.png\n").arg(cache).toUtf8());
    }
    QFile keep(cache + "/Grinsley/keep.txt"), newer(cache + "/keep.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && newer.open(QIODevice::WriteOnly));
    keep.write("old");
    newer.write("new");
    keep.close();
    newer.close();

    platform::Directories::mendDoubledFolders();
    platform::UserDefaults::resetStandard();
    EXPECT_TRUE(QFile::exists(config + "/defaults.ini"));
    EXPECT_FALSE(QDir(config + "/Grinsley").exists());
    EXPECT_TRUE(QFile::exists(cache + "/Grinsley/keep.txt")) << "a name already taken is left where it was";

    DrawView* canvas = makeCanvas();
    canvas->restoreApplicationState();
    ASSERT_FALSE(canvas->currentImage().isNull());
    EXPECT_EQ(canvas->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), photo.convertToFormat(QImage::Format_RGB32));
    const QString now = platform::UserDefaults::standard().stringForKey("currentImage");
    EXPECT_EQ(now, EditingStateWriter::folder() + "/currentImage.png");
    EXPECT_TRUE(QFile::exists(now));
    EXPECT_FALSE(QFile::exists(cache + "/currentImage.png")) << "moved, not copied";
}
