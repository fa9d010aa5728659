#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPushButton>
#include <QToolBar>

#include "AppTest.h"
#include "app/PhotoSharing.h"
#include "platform/ActionSheet.h"
#include "platform/MailComposer.h"
#include "platform/PhotoAlbum.h"
#include "platform/Popover.h"
#include "support/FakeMailTransport.h"
#include "support/TestPhotos.h"
#include "app/PhotoSettings.h"
#include "app/SaveAsDialog.h"
#include "editing/DrawView.h"
#include "editing/SelectionView.h"
#include "platform/PhotoAlbum.h"
#include "platform/PhotoMetadata.h"
#include <QBuffer>
#include <QImageReader>
#include <QSlider>
#include "platform/ImageCodec.h"
#include "support/Render.h"
#include "support/SettableClock.h"

using namespace grinsley;
using grinsley::testing::FakeMailTransport;

namespace {

class SharingTest : public grinsley::testing::AppTest {
protected:
    void TearDown() override {
        FakeMailTransport::uninstall();
        AppTest::TearDown();
    }
    // An editor holding the saved photo and piece.
    MoxelViewController* editorWithPhoto(platform::Idiom idiom = platform::Idiom::Phone) {
        saveStateWithPhotoAndPiece();
        launch(idiom);
        return start();
    }
    static QStringList buttonTitles(platform::ActionSheet* sheet) {
        QStringList titles;
        for (int i = 0; i < sheet->numberOfButtons(); ++i)
            titles.append(sheet->buttonTitleAtIndex(i));
        return titles;
    }
    static QStringList albumFiles() {
        return QDir(platform::PhotoAlbum::folder()).entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden);
    }
    static QPushButton* button(platform::ActionSheet* sheet, const QString& title) {
        for (QPushButton* b : sheet->findChildren<QPushButton*>())
            if (b->text() == title)
                return b;
        return nullptr;
    }
};

} // namespace

TEST_F(SharingTest, PhoneSheetHasCloseAndCloseDoesNothing) {
    MoxelViewController* editor = editorWithPhoto();
    const QImage before = editor->drawView()->currentImage().bitmap();
    QTest::mouseClick(editor->topToolbar()->widgetForAction(editor->organizeItem()), Qt::LeftButton);
    platform::ActionSheet* sheet = editor->currentActionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(buttonTitles(sheet), QStringList({"Save Photo", "Email Photo", QString::fromUtf8("Save As…"), "Close"}));
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    EXPECT_EQ(sheet->tag(), MoxelViewController::ORGANIZE_VIEW_TAG);
    EXPECT_EQ(sheet->parentWidget(), editor) << "shown in the editor";
    grinsley::testing::renderToPng(app->window(), "share-sheet-phone");

    QTest::mouseClick(editor->topToolbar()->widgetForAction(editor->organizeItem()), Qt::LeftButton);
    const auto shown = [editor] {
        int visible = 0;
        for (platform::ActionSheet* s : editor->findChildren<platform::ActionSheet*>())
            visible += s->isVisible();
        return visible;
    };
    EXPECT_EQ(shown(), 1) << "Share again: one sheet, not two";
    sheet = editor->currentActionSheet();
    ASSERT_TRUE(sheet);
    QTest::mouseClick(button(sheet, "Close"), Qt::LeftButton);
    EXPECT_EQ(shown(), 0);
    EXPECT_FALSE(editor->currentActionSheet());
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), before);
    EXPECT_TRUE(albumFiles().isEmpty());
    EXPECT_EQ(editor->modalViewController(), nullptr);
}

// Indices outside the sheet, as a dismissal by code gives, are ignored; the upload index does nothing.
TEST_F(SharingTest, DispatchIgnoresIndicesOutsideTheSheet) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Tablet);
    platform::ActionSheet sheet(QString(), QString(), QString(), {"Save Photo", "Email Photo"});
    sheet.setTag(MoxelViewController::ORGANIZE_VIEW_TAG);
    editor->actionSheetClickedButtonAtIndex(&sheet, -1);
    editor->actionSheetClickedButtonAtIndex(&sheet, 2);
    sheet.addButtonWithTitle("Upload");
    editor->actionSheetClickedButtonAtIndex(&sheet, MoxelViewController::SOCIAL_UPLOAD_INDEX);
    sheet.setTag(0);
    editor->actionSheetClickedButtonAtIndex(&sheet, MoxelViewController::EMAIL_BUTTON_INDEX);
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->modalViewController(), nullptr);
    EXPECT_TRUE(mail.sent.empty());
    EXPECT_TRUE(albumFiles().isEmpty());
}

TEST_F(SharingTest, TabletSheetPointsAtShareAndClosesThePopoverFirst) {
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Tablet);
    editor->shapesButtonTouched();
    QPointer<platform::Popover> popover = editor->currentPopoverController();
    ASSERT_TRUE(popover && popover->isVisible());
    editor->organizeButtonTouched();
    EXPECT_TRUE(!popover || !popover->isVisible()) << "the open popover closes first";
    platform::ActionSheet* sheet = editor->currentActionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(buttonTitles(sheet), QStringList({"Save Photo", "Email Photo", QString::fromUtf8("Save As…")}));
    EXPECT_TRUE(sheet->isWindow());
    QWidget* share = editor->topToolbar()->widgetForAction(editor->organizeItem());
    const QPoint below = share->mapToGlobal(QPoint(share->width() / 2, share->height()));
    QCoreApplication::processEvents();
    // Under the item, moved along only as far as the window's edge asks.
    EXPECT_LE(sheet->geometry().left(), below.x());
    EXPECT_GE(sheet->geometry().right(), below.x());
    EXPECT_EQ(sheet->geometry().left(), app->window()->mapToGlobal(QPoint(0, 0)).x() + 4);
    EXPECT_NEAR(sheet->geometry().top(), below.y(), 2);
    grinsley::testing::renderToPng(sheet, "share-sheet-tablet");
    // A tap outside closes it and triggers nothing.
    sheet->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->currentActionSheet());
    EXPECT_TRUE(albumFiles().isEmpty());
    EXPECT_EQ(editor->modalViewController(), nullptr);
}

// The album gets the photo after a PNG round trip, under a new name each time; nothing half-written remains.
TEST_F(SharingTest, SavePhotoWritesANewFileEachTime) {
    grinsley::testing::SettableClock clock;
    MoxelViewController* editor = editorWithPhoto();
    const QImage expected = PhotoSharing::albumImage(editor->drawView()->currentImage());
    for (int save = 1; save <= 2; ++save) {
        editor->organizeButtonTouched();
        QTest::mouseClick(button(editor->currentActionSheet(), "Save Photo"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return albumFiles().size() == save; }, 5000));
    }
    const QStringList files = albumFiles();
    EXPECT_EQ(files, QStringList({"Grinsley 2026-01-01 12.00.00 (2).png", "Grinsley 2026-01-01 12.00.00.png"}))
        << "readable, time-based names; the second save keeps the first";
    const mode_t umask = ::umask(0);
    ::umask(umask);
    for (const QString& file : files) {
        const QString path = platform::PhotoAlbum::folder() + "/" + file;
        const QImage saved(path);
        EXPECT_EQ(saved.convertToFormat(expected.format()), expected);
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~umask) << "the user's usual mode, like every other photo";
    }
    QTest::qWait(50);
    EXPECT_EQ(onlyAlert(), std::make_pair(QString(), QString())) << "success is silent";
}

TEST_F(SharingTest, AFailedSaveSaysSoAndWhy) {
    MoxelViewController* editor = editorWithPhoto();
    // The album folder cannot be made: a file stands in its place.
    QDir().mkpath(QFileInfo(platform::PhotoAlbum::folder()).path());
    QFile blocker(platform::PhotoAlbum::folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    editor->saveButtonTouched();
    ASSERT_TRUE(QTest::qWaitFor([] { return !platform::AlertView::visibleAlerts().isEmpty(); }, 5000));
    const auto [title, message] = onlyAlert();
    EXPECT_EQ(title, "Photo Not Saved");
    EXPECT_EQ(message.count(platform::PhotoAlbum::folder()), 1) << "names the folder, once: " << message.toStdString();
    EXPECT_TRUE(message.contains("could not be made")) << message.toStdString();
    EXPECT_TRUE(message.contains("not a folder")) << message.toStdString();
}

TEST_F(SharingTest, EmailPhotoAttachesTheFullQualityJpeg) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    MoxelViewController* editor = editorWithPhoto();
    editor->organizeButtonTouched();
    QTest::mouseClick(button(editor->currentActionSheet(), "Email Photo"), Qt::LeftButton);
    auto* composer = qobject_cast<platform::MailComposer*>(editor->modalViewController());
    ASSERT_TRUE(composer);
    EXPECT_TRUE(composer->hasBlackBarStyle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mail.sent.empty(); }, 5000));
    const platform::MailMessage& message = mail.sent.front();
    EXPECT_EQ(message.subject, "Grinsley photo for you");
    EXPECT_EQ(message.body, "<br/><br/>Created by Grinsley for iPhone / iPad / iPod");
    EXPECT_TRUE(message.bodyIsHtml);
    EXPECT_TRUE(message.toRecipients.isEmpty());
    ASSERT_EQ(message.attachments.size(), 1);
    const platform::MailAttachment& attachment = message.attachments.first();
    EXPECT_EQ(attachment.fileName, "Grinsley.jpg");
    EXPECT_EQ(attachment.mimeType, "image/jpg");
    const QImage jpeg = QImage::fromData(attachment.data, "JPEG");
    const QImage photo = editor->drawView()->currentImage().bitmap();
    ASSERT_EQ(jpeg.size(), photo.size());
    // Full quality: close to the photo everywhere (a low quality would smear the faces' edges).
    const QColor a = jpeg.pixelColor(120, 290), b = photo.pixelColor(120, 290);
    EXPECT_NEAR(a.red(), b.red(), 6);
    EXPECT_EQ(attachment.data, platform::ImageCodec::jpegRepresentation(editor->drawView()->currentImage(), 1.0))
        << "full quality";
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->modalViewController() == nullptr; }, 5000));
}

TEST_F(SharingTest, EmailWithoutMailOrWithAFailure) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    mail.canSend = false;
    MoxelViewController* editor = editorWithPhoto();
    editor->emailButtonTouched();
    EXPECT_EQ(onlyAlert(), std::make_pair(QString("Error"), QString("This device is not configured to send email.")));
    EXPECT_EQ(editor->modalViewController(), nullptr);
    for (QMessageBox* box : platform::AlertView::visibleAlerts())
        box->close();

    mail.canSend = true;
    mail.result = platform::MailComposeResult::Failed;
    editor->emailButtonTouched();
    ASSERT_TRUE(QTest::qWaitFor([] { return !platform::AlertView::visibleAlerts().isEmpty(); }, 5000));
    EXPECT_EQ(onlyAlert().first, "Send Email");
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->modalViewController() == nullptr; }, 5000));
}

// Through the desktop's real hand-off (stand-ins for xdg-email and xdg-mime on the PATH): the body goes as the
// text the HTML stands for, and each message's attachment is a file of its own that the next one leaves alone.
TEST_F(SharingTest, TheDesktopHandOffGetsTextAndAFileForEachMessage) {
    const QString bin = home() + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString log = home() + "/xdg-email.log";
    const auto script = [&](const QString& name, const QString& body) {
        QFile file(bin + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    };
    script("xdg-mime", "echo mail.desktop");
    script("xdg-email", "for a in \"$@\"; do printf '%s\\0' \"$a\"; done >> '" + log + "'; printf '\\n\\0' >> '" + log + "'");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", (bin + ":").toLocal8Bit() + path);
    MoxelViewController* editor = editorWithPhoto();
    for (int message = 1; message <= 2; ++message) {
        editor->emailButtonTouched();
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor->modalViewController() == nullptr; }, 10000));
    }
    qputenv("PATH", path);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> words = file.readAll().split('\0');
    QStringList bodies, attachments;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words[i] == "--body")
            bodies << QString::fromUtf8(words[i + 1]);
        if (words[i] == "--attach")
            attachments << QString::fromUtf8(words[i + 1]);
    }
    ASSERT_EQ(bodies.size(), 2);
    EXPECT_EQ(bodies[0], "\n\nCreated by Grinsley for iPhone / iPad / iPod") << "text, not markup";
    ASSERT_EQ(attachments.size(), 2);
    EXPECT_NE(attachments[0], attachments[1]);
    for (const QString& attachment : attachments) {
        EXPECT_EQ(QFileInfo(attachment).fileName(), "Grinsley.jpg");
        EXPECT_FALSE(QImage(attachment).isNull()) << "still whole after the next message";
    }
}

// A camera's photo at full size: edited, then saved to the album, by Save As in each format and by e-mail. Each
// copy has the photo's own size (the e-mail's long side at most 2048) and the edit, and keeps the date taken,
// the camera and the colour profile, with the orientation written as 1 and the location only when asked.
TEST_F(SharingTest, FullSizeCopiesKeepTheEditAndTheMetadata) {
    FakeMailTransport::State& mail = FakeMailTransport::install();
    const QString camera = home() + "/camera.jpg";
    ASSERT_TRUE(grinsley::testing::writeCameraJpeg(camera, {2400, 1800}, 6));
    launch();
    MoxelViewController* editor = start();
    ASSERT_TRUE(editor->openPhotoFile(camera));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 10000));
    ASSERT_EQ(editor->drawView()->currentImage().pixelSize(), QSize(1800, 2400));
    editor->drawView()->setDrawingOnWorkerFrom(0); // every edit lands later: each copy waits for the paste before it
    editor->copyItem()->trigger();
    SelectionView* selection = editor->drawView()->selectionView();
    selection->setCenter(selection->center() + QPointF(60, 60));

    struct Copy {
        const char* how;
        QString format;
        bool keepLocation;
        QSize size;
        int tolerance; // per channel, at the edit's centre
    };
    const Copy copies[] = {
        {"Save As JPEG", "jpg", false, {1800, 2400}, 4},
        {"Save As PNG", "png", false, {1800, 2400}, 0},
        {"Save As WebP", "webp", true, {1800, 2400}, 6},
        {"album", "png", false, {1800, 2400}, 0},
        {"e-mail", "jpg", false, {1536, 2048}, 255},
    };
    for (const Copy& c : copies) {
        SCOPED_TRACE(c.how);
        photosettings::setKeepsLocation(c.keepLocation);
        if (c.size == QSize(1800, 2400)) { // where the edit's pixels are compared
            selection->setCenter(selection->center() + QPointF(0, 12));
            editor->pasteItem()->trigger();
            EXPECT_TRUE(editor->drawView()->isDrawing());
        }
        QByteArray bytes;
        if (QString(c.how) == "album") {
            editor->saveButtonTouched();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !albumFiles().isEmpty(); }, 10000));
            QFile file(platform::PhotoAlbum::folder() + "/" + albumFiles().first());
            ASSERT_TRUE(QTest::qWaitFor([&] { return noticeText(editor) == "Saved to Pictures/Grinsley"; }, 5000));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
        } else if (QString(c.how) == "e-mail") {
            editor->emailButtonTouched();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !mail.sent.empty(); }, 5000));
            bytes = mail.sent.front().attachments.first().data;
        } else {
            editor->saveAsButtonTouched();
            auto* dialog = qobject_cast<SaveAsDialog*>(editor->saveAsDialog());
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(app->window()->geometry().contains(dialog->frameGeometry())) << "inside the phone's window";
            EXPECT_EQ(dialog->qualitySlider()->value(), 92);
            if (c.format == "jpg")
                grinsley::testing::renderScreenToPng(app->window(), "save-as-phone");
            const QString path = home() + "/Copy of camera";
            dialog->selectNameFilter(c.format == "jpg" ? SaveAsDialog::jpegFilter : c.format == "png" ? SaveAsDialog::pngFilter : SaveAsDialog::webpFilter);
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept(); // as the Save button does
            QFile file(path + "." + c.format);
            ASSERT_TRUE(QTest::qWaitFor([&] { return noticeText(editor) == "Saved as Copy of camera." + c.format; }, 10000));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
        }
        QBuffer encoded(&bytes);
        EXPECT_EQ(QImageReader(&encoded).format(), c.format == "jpg" ? QByteArray("jpeg") : c.format.toLatin1()) << "in its format";
        const QImage edited = editor->drawView()->currentImage().bitmap();
        const QPoint inEdit = editor->drawView()->scaleSelectionFrame().center().toPoint();
        const QImage copy = QImage::fromData(bytes);
        ASSERT_EQ(copy.size(), c.size);
        if (c.size == edited.size()) { // the edit's pixels, on average over a patch (a lossy format rings at edges)
            double worst = 0;
            for (int shift : {16, 8, 0}) { // red, green, blue
                const auto channel = [shift](QRgb p) { return int(p >> shift) & 255; };
                double got = 0, want = 0;
                for (int dy = -4; dy <= 4; ++dy)
                    for (int dx = -4; dx <= 4; ++dx) {
                        got += channel(copy.pixel(inEdit + QPoint(dx, dy)));
                        want += channel(edited.pixel(inEdit + QPoint(dx, dy)));
                    }
                worst = std::max(worst, std::abs(got - want) / 81);
            }
            EXPECT_LE(worst, c.tolerance);
        }
        const platform::PhotoMetadata kept = platform::PhotoMetadata::readEncoded(bytes);
        EXPECT_EQ(kept.dateTaken(), "2026:05:04 12:34:56");
        EXPECT_EQ(kept.cameraMake(), "Grinsley Optics");
        EXPECT_EQ(kept.cameraModel(), "Test One");
        EXPECT_EQ(kept.orientation(), 1);
        EXPECT_EQ(kept.hasLocation(), c.keepLocation);
        EXPECT_TRUE(kept.hasColourProfile());
    }
    EXPECT_FALSE(editor->hasUnsavedEdits()) << "saved";
    grinsley::testing::renderScreenToPng(app->window(), "full-size-pastes-phone");
}
