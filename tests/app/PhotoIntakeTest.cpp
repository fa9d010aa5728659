#include <sys/stat.h>

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QFile>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/MainScrollView.h"
#include "app/PhotoIntake.h"
#include "app/PhotoSettings.h"
#include "platform/ActivityIndicator.h"
#include "platform/PhotoPicker.h"
#include "platform/UserDefaults.h"
#include "support/Render.h"

using namespace grinsley;
using grinsley::platform::Image;
using grinsley::platform::Orientation;

namespace {

struct SizeCase {
    const char* name;
    QSizeF photo;
    bool tablet;
    QSizeF expected;
    QSize pixels; // in whole pixels, still under the limit
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class ValidSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ValidSize, HalvesUntilUnderTheLimit) {
    const SizeCase& c = GetParam();
    const int limit = c.tablet ? 2000000 : 1000000;
    EXPECT_EQ(MoxelViewController::validSize(c.photo, limit), c.expected);
    EXPECT_EQ(PhotoIntake::pixelSize(c.photo, limit), c.pixels);
    EXPECT_LT(qint64(c.pixels.width()) * c.pixels.height(), limit);
}

INSTANTIATE_TEST_SUITE_P(Limits, ValidSize,
                         ::testing::Values(SizeCase{"phoneTwoRounds", {2592, 1936}, false, {648, 484}, {648, 484}},
                                           SizeCase{"tabletOneRound", {2592, 1936}, true, {1296, 968}, {1296, 968}},
                                           SizeCase{"limitItselfIsTooBig", {1000, 1000}, false, {500, 500}, {500, 500}},
                                           SizeCase{"smallStaysAsItIs", {640, 480}, false, {640, 480}, {640, 480}},
                                           SizeCase{"roundingUpWouldExceed", {2001, 1999}, false, {1000.5, 999.5}, {1000, 999}},
                                           SizeCase{"oddHalvesRoundUp", {2001, 1001}, true, {1000.5, 500.5}, {1001, 501}}),
                         [](const auto& info) { return std::string(info.param.name); });

class PhotoIntakeTest : public grinsley::testing::AppTest {};

} // namespace

TEST_F(PhotoIntakeTest, APickedPhotoIsShrunkTurnedUprightAndShown) {
    photosettings::setReducesToPhoneSize(true);
    launch();
    MoxelViewController* editor = start();
    editor->undoItem()->setEnabled(true);
    // Stored sideways (tagged right) and too big for a phone.
    const Image picked(grinsley::testing::quadrantPhoto({1600, 1200}), Orientation::Right);
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, picked);
    EXPECT_TRUE(editor->isLoadingImage());
    EXPECT_FALSE(editor->openItem()->isEnabled()); // the toolbar is locked while loading
    EXPECT_FALSE(editor->copyItem()->isEnabled());
    ASSERT_NE(editor->activityIndicator(), nullptr);
    EXPECT_TRUE(editor->activityIndicator()->isAnimating());
    EXPECT_EQ(editor->activityIndicator()->size(), QSize(60, 60));
    // Centred on the canvas as it shows.
    const QRect view(editor->scrollView()->viewport()->mapTo(editor, QPoint(0, 0)), editor->scrollView()->viewport()->size());
    EXPECT_LE((editor->activityIndicator()->geometry().center() - view.center()).manhattanLength(), 2);
    // A second pick while the first loads is dropped.
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, Image(grinsley::testing::gradientPhoto({50, 50})));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    const Image shown = editor->drawView()->currentImage();
    EXPECT_EQ(shown.pixelSize(), QSize(600, 800)); // 1200 x 1600 upright, halved once

    // Zoomed in, the spinner stays on the screen's part of the canvas.
    editor->scrollView()->setZoomScale(4.0, false);
    editor->scrollView()->centerOn(editor->drawView()->mapToScene(editor->drawView()->bounds().bottomRight()));
    editor->startActivityIndicator();
    EXPECT_TRUE(view.contains(editor->activityIndicator()->geometry())) << "on screen when zoomed in";
    editor->stopActivityIndicator();
    EXPECT_EQ(shown.orientation(), Orientation::Up);
    EXPECT_EQ(editor->activityIndicator(), nullptr);
    EXPECT_TRUE(editor->openItem()->isEnabled());
    EXPECT_TRUE(editor->copyItem()->isEnabled());
    EXPECT_FALSE(editor->undoItem()->isEnabled());
    EXPECT_TRUE(editor->drawView()->previousImage().isNull());
}

TEST_F(PhotoIntakeTest, PhotoAndPiecePlacedBeforeQuittingComeBack) {
    launch();
    MoxelViewController* editor = start();
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, platform::Bundle::imageNamed("Sample1", "jpg"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    editor->copyItem()->trigger();
    editor->drawView()->selectionView()->setCenter({250, 300});
    const QImage piece = editor->drawView()->selectionView()->imageSelection().bitmap();
    platform::Application::shared().terminate();

    app.reset(); // a new run of the program
    platform::UserDefaults::resetStandard();
    launch();
    MoxelViewController* again = start();
    EXPECT_TRUE(again->hasCurrentImage());
    EXPECT_EQ(again->drawView()->selectionView()->imageSelection().bitmap(), piece);
    EXPECT_EQ(again->drawView()->selectionView()->center(), QPointF(250, 300));
}

TEST_F(PhotoIntakeTest, PickerStartsInPicturesOrTheSamples) {
    const QString folder = platform::PhotoPicker::startFolder();
    EXPECT_TRUE(QFile::exists(folder + "/Sample1.jpg")); // Pictures is empty in a fresh home
    EXPECT_EQ(platform::PhotoPicker::libraryPhotos(), QStringList{folder + "/Sample1.jpg"});
}

// Open shows the library full screen on the phone: the photos of Pictures and its folders, newest first, their
// thumbnails made off the interface thread and kept; a tap on one closes the picker and opens that photo.
TEST_F(PhotoIntakeTest, ThePhoneLibraryIsAGridOfThePhotosNewestFirst) {
    const QString pictures = home() + "/Pictures";
    QDir().mkpath(pictures + "/Holiday");
    const QStringList names{pictures + "/old.jpg", pictures + "/Holiday/newest.jpg", pictures + "/middle.png"};
    const QDateTime now = QDateTime::currentDateTime();
    const int ages[] = {300, 10, 100};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(grinsley::testing::quadrantPhoto({400, 300}).save(names[i]));
        QFile file(names[i]);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(now.addSecs(-ages[i]), QFileDevice::FileModificationTime));
    }
    launch();
    MoxelViewController* editor = start();
    editor->openItem()->trigger();
    platform::PhotoPicker* picker = grinsley::testing::EditorProbe::photoPicker(editor);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(editor->modalViewController(), picker);
    EXPECT_EQ(picker->geometry(), app->window()->rect()) << "the whole screen";
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->thumbnailsShown() == 3; }, 5000));
    EXPECT_EQ(picker->photos(), QStringList({names[1], names[2], names[0]}));
    EXPECT_EQ(QDir(platform::PhotoPicker::thumbnailFolder()).entryList(QDir::Files).size(), 3) << "kept for next time";
    grinsley::testing::renderScreenToPng(app->window(), "photo-picker-phone");
    // The columns fill the width: no strip left over at the side.
    const int cell = picker->grid()->gridSize().width(), across = picker->grid()->viewport()->width();
    EXPECT_LT(across - (across / cell) * cell, across / cell) << cell << " in " << across;

    // Browse: the program's own dark dialog, inside the phone's window, a list of names without columns.
    QTest::mouseClick(picker->browseButton(), Qt::LeftButton);
    QPointer<QFileDialog> dialog = picker->browseDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->viewMode(), QFileDialog::List);
    const QRect window(app->window()->mapToGlobal(QPoint(0, 0)), app->window()->size());
    EXPECT_TRUE(window.contains(dialog->frameGeometry())) << "inside the 390-point window: " << dialog->frameGeometry().x() << "," << dialog->frameGeometry().y() << " " << dialog->frameGeometry().width() << "x" << dialog->frameGeometry().height() << " min " << dialog->minimumSizeHint().width();
    EXPECT_LT(dialog->palette().color(QPalette::Window).lightness(), 60) << "dark";
    grinsley::testing::renderScreenToPng(app->window(), "browse-dialog-phone");
    dialog->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QListWidget* grid = picker->grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(0)).center());
    ASSERT_TRUE(editor->isLoadingImage()) << "the tapped photo is opening";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(400, 300));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(grinsley::testing::EditorProbe::photoPicker(editor), nullptr) << "closed by the pick";
}

// On the tablet the library is a popover from Open; Cancel closes it. Browse offers a file dialog over the
// window, whose choice opens even though the popover closed when the dialog came up.
TEST_F(PhotoIntakeTest, TheTabletLibraryIsAPopoverWithBrowse) {
    launch(platform::Idiom::Tablet);
    MoxelViewController* editor = start();
    editor->openItem()->trigger();
    platform::PhotoPicker* picker = grinsley::testing::EditorProbe::photoPicker(editor);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(editor->currentPopoverController());
    EXPECT_EQ(editor->currentPopoverController()->contentViewController(), picker);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->thumbnailsShown() == 1; }, 5000)) << "the bundled sample";
    grinsley::testing::renderScreenToPng(app->window(), "photo-picker-tablet");
    QTest::mouseClick(picker->cancelButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(editor->currentPopoverController());

    editor->openItem()->trigger();
    QTest::mouseClick(grinsley::testing::EditorProbe::photoPicker(editor)->browseButton(), Qt::LeftButton);
    QPointer<QFileDialog> dialog = grinsley::testing::EditorProbe::photoPicker(editor)->browseDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->parentWidget(), app->window());
    grinsley::testing::renderScreenToPng(app->window(), "browse-dialog-tablet");
    editor->dismissPopoverViews(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(dialog) << "the dialog outlives the popover";
    const QString photo = home() + "/elsewhere.png";
    ASSERT_TRUE(grinsley::testing::quadrantPhoto({64, 48}).save(photo));
    emit dialog->fileSelected(photo);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage() && editor->hasCurrentImage(); }, 5000));
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(64, 48));
}

// A photo with edits not saved or shared is replaced only on Replace, whichever way the new photo comes (the
// picker, a file, a second start); one unedited, or saved since its edit, is replaced at once. Undo back to the
// photo as opened leaves nothing unsaved.
TEST_F(PhotoIntakeTest, ReplacingAnEditedPhotoAsks) {
    launch();
    MoxelViewController* editor = start();
    const QString first = home() + "/first.jpg", second = home() + "/second.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(first, {400, 300}));
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(second, {300, 400}));
    const auto opened = [&] { return QTest::qWaitFor([&] { return !editor->isLoadingImage() && editor->hasCurrentImage(); }, 5000); };
    ASSERT_TRUE(editor->openPhotoFile(first));
    ASSERT_TRUE(opened());
    EXPECT_FALSE(editor->hasUnsavedEdits());
    editor->copyItem()->trigger();
    editor->drawView()->selectionView()->setCenterWithBoundsCheck(editor->drawView()->bounds().center() + QPointF(40, 40));
    editor->pasteItem()->trigger();
    ASSERT_TRUE(editor->hasUnsavedEdits());
    const QImage edited = editor->drawView()->currentImage().bitmap();

    // A file: asked, and Keep Editing keeps everything.
    ASSERT_TRUE(editor->openPhotoFile(second));
    EXPECT_EQ(onlyAlert().first, QStringLiteral("Replace the edited photo?"));
    grinsley::testing::renderScreenToPng(app->window(), "replace-edited-photo-phone");
    ASSERT_TRUE(answerReplaceSheet(false));
    EXPECT_FALSE(editor->isLoadingImage());
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), edited);
    // A second start hands the file over the same way.
    platform::Application::shared().openArguments({second}, home());
    EXPECT_EQ(onlyAlert().first, QStringLiteral("Replace the edited photo?"));
    ASSERT_TRUE(answerReplaceSheet(false));
    // The picker: asked too.
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, platform::Bundle::imageNamed("Sample1", "jpg"));
    ASSERT_TRUE(answerReplaceSheet(false));
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), edited);

    // Undo back to the photo as opened: nothing to lose, opened at once; so is one saved after its edit.
    editor->undoItem()->trigger();
    EXPECT_FALSE(editor->hasUnsavedEdits());
    editor->pasteItem()->trigger();
    editor->saveButtonTouched();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->hasUnsavedEdits(); }, 5000)) << "saved to the album";
    ASSERT_TRUE(editor->openPhotoFile(second));
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
    ASSERT_TRUE(opened());
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(300, 400));
    EXPECT_TRUE(editor->drawView()->hasSelectedImage()) << "the piece carries over";

    // Edited again: Replace opens the new photo.
    editor->pasteItem()->trigger();
    ASSERT_TRUE(editor->openPhotoFile(first));
    ASSERT_TRUE(answerReplaceSheet(true));
    ASSERT_TRUE(opened());
    EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(400, 300));
}

// A photo file opens through the worker, shrunk and upright, like a picked one.
// A photo file opens upright: at its own size, reduced by halvings (and said so) above the full-size ceiling,
// or exactly as a phone reduces it with the setting on.
TEST_F(PhotoIntakeTest, APhotoFileOpensUprightAtItsSizeOrAPhones) {
    struct Case {
        const char* name;
        bool phoneSize;
        qint64 ceiling;
        QSize opened;
        QString notice;
    };
    const Case cases[] = {
        {"full size", false, 64'000'000, {1200, 1600}, {}},
        {"over the ceiling", false, 1'000'000, {600, 800},
         QString::fromUtf8("This photo is too large to edit whole (1200 × 1600); it opened at 600 × 800.")},
        {"phone size", true, 64'000'000, {600, 800}, {}},
    };
    launch();
    MoxelViewController* editor = start();
    const QString file = home() + "/camera.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(file, {1600, 1200}, 6));
    const qint64 ceiling = PhotoIntake::fullSizeCeiling;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        photosettings::setReducesToPhoneSize(c.phoneSize);
        PhotoIntake::fullSizeCeiling = c.ceiling;
        ASSERT_TRUE(editor->openPhotoFile(file));
        EXPECT_TRUE(editor->isLoadingImage());
        EXPECT_FALSE(editor->openPhotoFile(file)) << "one at a time";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
        EXPECT_EQ(editor->drawView()->currentImage().pixelSize(), c.opened);
        EXPECT_EQ(noticeText(editor), c.notice);
        for (auto* notice : editor->findChildren<QLabel*>(QStringLiteral("grinsleyNotice")))
            notice->hide();
    }
    PhotoIntake::fullSizeCeiling = ceiling;
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
}

// A file that is no photo (here a named pipe, which would block a read for ever) gets an alert naming it and
// the reason; the photo, the piece and Undo stay as they were.
TEST_F(PhotoIntakeTest, AFileThatCannotBeOpenedSaysWhyAndChangesNothing) {
    launch();
    MoxelViewController* editor = start();
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, platform::Bundle::imageNamed("Sample1", "jpg"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    editor->copyItem()->trigger();
    editor->pasteItem()->trigger();
    const QImage photo = editor->drawView()->currentImage().bitmap();
    const QImage piece = editor->drawView()->selectionView()->imageSelection().bitmap();
    ASSERT_TRUE(editor->undoItem()->isEnabled());

    const QString pipe = home() + "/Holiday.jpg";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(editor->openPhotoFile(pipe));
    ASSERT_TRUE(answerReplaceSheet(true)) << "the pasted photo was not saved";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    EXPECT_EQ(onlyAlert(), std::pair(QStringLiteral("Cannot Open Photo"),
                                     QString::fromUtf8("\u201CHoliday.jpg\u201D is not a regular file.")));
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo);
    EXPECT_EQ(editor->drawView()->selectionView()->imageSelection().bitmap(), piece);
    EXPECT_TRUE(editor->undoItem()->isEnabled());
    EXPECT_TRUE(editor->pasteItem()->isEnabled());
    EXPECT_TRUE(editor->openItem()->isEnabled());
    EXPECT_EQ(editor->activityIndicator(), nullptr);
}
