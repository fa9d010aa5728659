#include "PhotoSharing.h"

#include "app/PhotoSettings.h"
#include "editing/ImageResize.h"
#include "platform/ActionSheet.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/ImageCodec.h"
#include "platform/MailComposer.h"
#include "platform/PhotoAlbum.h"

namespace grinsley {

platform::ActionSheet* PhotoSharing::showShareSheet(int tag, QWidget* editor, QWidget* shareButton, SheetCallback clicked,
                                                   SheetCallback dismissed) {
    auto* sheet = new platform::ActionSheet(QString(), QString(), QString(), {savePhotoText, emailPhotoText, saveAsText});
    sheet->setTag(tag);
    sheet->clickedButtonAtIndex = std::move(clicked);
    sheet->didDismissWithButtonIndex = std::move(dismissed);
    if (platform::Device::isTablet()) {
        sheet->showFromWidget(shareButton);
    } else {
        sheet->setCancelButtonIndex(sheet->addButtonWithTitle(QStringLiteral("Close")));
        sheet->showInView(editor);
    }
    return sheet;
}

void PhotoSharing::perform(const platform::ActionSheet& sheet, int buttonIndex, const Commands& commands) {
    const std::function<void()>* command = sheet.buttonTitleAtIndex(buttonIndex) == saveAsText ? &commands.saveAs
                                           : buttonIndex == SaveButton            ? &commands.save
                                           : buttonIndex == EmailButton         ? &commands.email
                                           : buttonIndex == SocialUploadButton ? &commands.socialUpload
                                                                                : nullptr;
    if (command && *command)
        (*command)();
}

QImage PhotoSharing::albumImage(const platform::Image& photo) {
    return platform::ImageCodec::decode(platform::ImageCodec::pngRepresentation(photo)).bitmap();
}

void PhotoSharing::composePhotoMail(platform::MailComposer& composer, const platform::Image& photo,
                                    const platform::PhotoMetadata& metadata) {
    composer.setSubject(mailSubject);
    platform::Image attached(metadata.withColourProfile(photo.bitmap()));
    const QSize size = photo.pixelSize();
    if (!photosettings::reducesToPhoneSize() && std::max(size.width(), size.height()) > mailLongSide)
        attached = platform::Image(metadata.withColourProfile(
            imageresize::resizedImage(photo, QSizeF(size.scaled(mailLongSide, mailLongSide, Qt::KeepAspectRatio)), imageresize::High).bitmap()));
    composer.addAttachmentData(metadata.writtenInto(platform::ImageCodec::jpegRepresentation(attached, 1.0),
                                                    photosettings::keepsLocation()),
                               attachmentMimeType, attachmentFileName);
    composer.setMessageBody(mailBody, true);
}

void PhotoSharing::saveToAlbum(const platform::Image& photo, const platform::PhotoMetadata& metadata,
                               std::function<void(const std::optional<platform::ErrorRecord>&)> completion) {
    const QImage image = metadata.withColourProfile(photosettings::reducesToPhoneSize() ? albumImage(photo) : photo.bitmap());
    platform::PhotoAlbum::save(image, std::move(completion), [metadata, keep = photosettings::keepsLocation()](const QByteArray& png) {
        return metadata.writtenInto(png, keep);
    });
}

// Saving says nothing when it works; a user told nothing of a failure would believe the photo was kept.
void PhotoSharing::showNotSavedMessage(const platform::ErrorRecord& error) {
    platform::AlertView(QStringLiteral("Photo Not Saved"),
                        QStringLiteral("The photo could not be saved in %1.\n%2 %3")
                            .arg(platform::PhotoAlbum::folder(), error.localizedDescription(),
                                 error.localizedFailureReason()),
                        QStringLiteral("OK"))
        .show();
}

} // namespace grinsley
