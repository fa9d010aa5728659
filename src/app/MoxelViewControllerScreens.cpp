// The editor controller, continued: the operations it serves for the other screens, in their order (photo
// intake, sharing, the hint bubble and the shape picker, the social hooks). See MoxelViewController.cpp.
#include "MoxelViewController.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "analytics/TallyAPI.h"
#include "app/BusySpinner.h"
#include "app/GrinsleyCommon.h"
#include "app/MainScrollView.h"
#include "app/PhotoIntake.h"
#include "app/PhotoSettings.h"
#include "app/PhotoSharing.h"
#include "app/SaveAsDialog.h"
#include "app/ShapePickerViewController.h"
#include "app/TextBubbleViewController.h"
#include "app/UploadPhotoViewController.h"
#include "editing/DrawView.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/MailComposer.h"
#include "platform/Notice.h"
#include "platform/PhotoAlbum.h"
#include "platform/PhotoPicker.h"

namespace grinsley {

// ---------------------------------------------------------------------------------------------------------
// Photo intake: the library picker, then loading on a worker

int MoxelViewController::maxImageSize() { return PhotoIntake::maxImageSize(); }
QSizeF MoxelViewController::validSize(QSizeF size, int limit) { return PhotoIntake::validSize(size, limit); }

// The photo library: a popover from Open on the tablet, a full screen on the phone.
void MoxelViewController::openButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Open"));
    auto* picker = new platform::PhotoPicker;
    picker->setDialogHost(window());
    picker->didFinishPickingFile = [self = QPointer<MoxelViewController>(this)](platform::PhotoPicker* from, const QString& path) {
        if (!self)
            return;
        self->openPhotoFile(path); // loading first: the editor that shows again is waiting for a photo
        self->closePhotoPicker(from);
    };
    picker->didCancel = [this](platform::PhotoPicker* from) { closePhotoPicker(from); };
    _picker = picker;
    if (platform::Device::isTablet()) {
        picker->setFixedSize(360, 480);
        openPopover(picker, _openItem);
    } else {
        presentModalViewController(picker, true);
    }
}

void MoxelViewController::imagePickerControllerDidFinishPickingMedia(platform::PhotoPicker*, const platform::Image& photo) {
    askBeforeReplacing([self = QPointer<MoxelViewController>(this), photo] {
        if (self)
            self->_intake->takePickedPhoto(photo);
    });
}

void MoxelViewController::displayLoadedImage(const platform::Image& photo) {
    TallyAPI::logEvent(QStringLiteral("Displaying image"));
    if (_currentTextBubbleController)
        closeChildViewController(_currentTextBubbleController);
    // The tablet's hint is a sheet at Open: it has said its piece once a photo is here.
    if (_currentActionSheet && _currentActionSheet->title() == HINT_TEXT)
        _currentActionSheet->dismissWithClickedButtonIndex(-1, false);
    _scrollView->setZoomScale(_scrollView->minimumZoomScale());
    _drawView->setCurrentImage(photo);
    _drawView->setPhotoMetadata(_intake->metadata());
    _keptPhoto = _drawView->photoVersion();
    _drawView->setPreviousImage(platform::Image());
    _drawView->setPreviousSelectedImage(platform::Image());
    _drawView->forgetComparison();
    _isLoadingImage = false;
    updateToolbarItemsForInitialState();
    stopActivityIndicator();
}

void MoxelViewController::startActivityIndicator() { _busy->begin(); }
void MoxelViewController::stopActivityIndicator() { _busy->end(); }

// The middle of the part of the canvas on screen, in the editor's coordinates. (Half the zoomed canvas frame's
// size, as a phone had it, lands off screen once the canvas is zoomed in.)
QPointF MoxelViewController::getViewCenter() const {
    const QWidget* viewport = _scrollView->viewport();
    return QRectF(viewport->mapTo(this, QPoint(0, 0)), QSizeF(viewport->size())).center();
}

// ---------------------------------------------------------------------------------------------------------
// Sharing

// One sheet at a time: a second Share replaces the first (on the phone they would stack, one Close leaving one).
void MoxelViewController::organizeButtonTouched() {
    dismissPopoverViews(platform::Device::isTablet());
    _currentActionSheet = PhotoSharing::showShareSheet(
        ORGANIZE_VIEW_TAG, this, widgetForItem(_organizeItem),
        [this](platform::ActionSheet* s, int index) { actionSheetClickedButtonAtIndex(s, index); },
        [this](platform::ActionSheet* s, int index) { actionSheetDidDismissWithButtonIndex(s, index); });
}

void MoxelViewController::actionSheetClickedButtonAtIndex(platform::ActionSheet* sheet, int buttonIndex) {
    if (!sheet || buttonIndex < 0 || buttonIndex >= sheet->numberOfButtons())
        return;
    if (sheet->tag() == ORGANIZE_VIEW_TAG)
        PhotoSharing::perform(*sheet, buttonIndex, {[this] { saveButtonTouched(); }, [this] { emailButtonTouched(); },
                                                    [this] { socialUploadButtonTouched(); }, [this] { saveAsButtonTouched(); }});
    _currentActionSheet = nullptr;
}

void MoxelViewController::actionSheetDidDismissWithButtonIndex(platform::ActionSheet* sheet, int) {
    if (sheet == _currentActionSheet)
        _currentActionSheet = nullptr;
}

// What is shared is the photo with every edit asked for: one still being worked out lands first.
const platform::Image& MoxelViewController::photoToShare() {
    _drawView->finishDrawing();
    return _drawView->currentImage();
}

// Encoded and written on a thread of its own; the interface goes on meanwhile.
void MoxelViewController::saveButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Save"));
    const platform::Image photo = photoToShare();
    const qint64 saved = _drawView->photoVersion();
    PhotoSharing::saveToAlbum(photo, _drawView->photoMetadata(),
                              [self = QPointer<MoxelViewController>(this), saved](const std::optional<platform::ErrorRecord>& error) {
                                  if (!self)
                                      return;
                                  if (!error)
                                      self->_keptPhoto = saved;
                                  self->saveCompleted(error);
                              });
}

// Save As: a name, a folder and a format in the program's own dialog; encoded and written on a worker.
void MoxelViewController::saveAsButtonTouched() {
    if (!hasCurrentImage())
        return;
    TallyAPI::logEvent(QStringLiteral("Save As"));
    dismissPopoverViews(false);
    const QString name = QStringLiteral("Grinsley %1.jpg").arg(platform::PhotoAlbum::timeStamp());
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    auto* dialog = new SaveAsDialog(window(), QDir(pictures).exists() ? pictures : QDir::homePath(), name);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    _saveAsDialog = dialog;
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog](const QString& chosen) {
        const QString format = dialog->format();
        const QString path = SaveAsDialog::withSuffix(chosen, format);
        const QImage photo = photoToShare().bitmap(); // before the version below is read
        _saveAs.start([photo, path, format, quality = dialog->quality(),
                       metadata = _drawView->photoMetadata(), keep = photosettings::keepsLocation()] {
                          return SaveAsDialog::write(photo, path, format, quality, metadata, keep);
                      },
                      [this, path, saved = _drawView->photoVersion()](const std::optional<QString>& failure) {
                          _busy->end();
                          if (failure) {
                              platform::AlertView(tr("Photo Not Saved"),
                                                  tr("\u201C%1\u201D could not be saved.\n%2").arg(QFileInfo(path).fileName(), *failure),
                                                  tr("OK"))
                                  .show();
                              return;
                          }
                          _keptPhoto = saved;
                          platform::Notice::show(this, tr("Saved as %1").arg(QFileInfo(path).fileName()));
                      });
        _busy->begin();
    });
    dialog->open();
}

void MoxelViewController::saveCompleted(const std::optional<platform::ErrorRecord>& error) {
    if (error)
        PhotoSharing::showNotSavedMessage(*error);
    else
        platform::Notice::show(this, PhotoSharing::savedText);
}

void MoxelViewController::emailButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Email"));
    const platform::Image photo = photoToShare();
    GrinsleyCommon::presentMailComposer(
        this, [this, &photo](platform::MailComposer& composer) { PhotoSharing::composePhotoMail(composer, photo, _drawView->photoMetadata()); },
        [this, mailed = _drawView->photoVersion()](platform::MailComposer* c, platform::MailComposeResult r) {
            // Sent or kept as a draft: the photo is shared.
            if (r == platform::MailComposeResult::Sent || r == platform::MailComposeResult::Saved)
                _keptPhoto = mailed;
            mailComposeControllerDidFinishWithResult(c, r);
        });
}

void MoxelViewController::mailComposeControllerDidFinishWithResult(platform::MailComposer*, platform::MailComposeResult result) {
    GrinsleyCommon::finishMail(this, result);
}

// ---------------------------------------------------------------------------------------------------------
// Hint bubble and shape picker

void MoxelViewController::displayTextBubble() {
    if (platform::Device::isTablet()) {
        auto* sheet = new platform::ActionSheet(HINT_TEXT, QString(), QString(), {});
        sheet->didDismissWithButtonIndex = [this](platform::ActionSheet* s, int index) {
            actionSheetDidDismissWithButtonIndex(s, index);
        };
        dismissPopoverViews(true);
        sheet->showFromWidget(widgetForItem(_openItem));
        _currentActionSheet = sheet;
        return;
    }
    if (_currentTextBubbleController)
        closeChildViewController(_currentTextBubbleController);
    auto* bubble = new TextBubbleViewController(this);
    bubble->setText(HINT_TEXT);
    bubble->setDelegate(this);
    bubble->loadView(QSizeF(window()->size()), _drawView);
    _currentTextBubbleController = bubble;
}

// A desktop window can have any size: on the phone the picker covers the editor in both orientations.
void MoxelViewController::shapesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Shapes"));
    auto* picker = new ShapePickerViewController;
    picker->setDelegate(this);
    if (platform::Device::isTablet()) {
        openPopover(picker, _shapesItem);
        return;
    }
    delete _shapePicker.data();
    _shapePicker = picker;
    picker->setParent(this);
    picker->setGeometry(rect());
    picker->show();
    picker->raise();
    picker->viewWillAppear(false);
}

// ---------------------------------------------------------------------------------------------------------
// Social hooks

void MoxelViewController::sessionDidLogin() { TallyAPI::logEvent(QStringLiteral("Social logged in")); }
void MoxelViewController::sessionDidNotLogin(bool) { TallyAPI::logEvent(QStringLiteral("Social did not log in")); }
void MoxelViewController::sessionDidLogout() { TallyAPI::logEvent(QStringLiteral("Social logged out")); }
void MoxelViewController::requestDidLoad(SocialRequest*, const SocialResult&) {
    TallyAPI::logEvent(QStringLiteral("Social request completed"));
}
void MoxelViewController::requestDidFailWithError(SocialRequest*, const platform::ErrorRecord& error) {
    TallyAPI::logError(QStringLiteral("Social request failed"), error.localizedDescription(), &error);
}
void MoxelViewController::dialogDidComplete(SocialDialog*) { TallyAPI::logEvent(QStringLiteral("Social dialog completed")); }

void MoxelViewController::uploadPhotoToSocial() {
    dismissPopoverViews(false); // nothing floats over a full screen
    auto* upload = new UploadPhotoViewController;
    upload->setDisplayImage(photoToShare().bitmap());
    presentModalViewController(upload, true); // kept by nobody here: it closes itself
}

} // namespace grinsley
