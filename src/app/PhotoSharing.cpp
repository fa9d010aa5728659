#include "PhotoSharing.h"

#include "platform/ActionSheet.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/ImageCodec.h"
#include "platform/MailComposer.h"
#include "platform/PhotoAlbum.h"

namespace grinsley {

platform::ActionSheet* PhotoSharing::showShareSheet(int tag, QWidget* editor, QWidget* shareButton, SheetCallback clicked,
                                                   SheetCallback dismissed) {
    auto* sheet = new platform::ActionSheet(QString(), QString(), QString(), {savePhotoText, emailPhotoText});
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

void PhotoSharing::perform(int buttonIndex, const Commands& commands) {
    const std::function<void()>* command = buttonIndex == SaveButton            ? &commands.save
                                           : buttonIndex == EmailButton         ? &commands.email
                                           : buttonIndex == SocialUploadButton ? &commands.socialUpload
                                                                                : nullptr;
    if (command && *command)
        (*command)();
}

QImage PhotoSharing::albumImage(const platform::Image& photo) {
    return platform::ImageCodec::decode(platform::ImageCodec::pngRepresentation(photo)).bitmap();
}

void PhotoSharing::composePhotoMail(platform::MailComposer& composer, const platform::Image& photo) {
    composer.setSubject(mailSubject);
    composer.addAttachmentData(platform::ImageCodec::jpegRepresentation(photo, 1.0), attachmentMimeType,
                               attachmentFileName);
    composer.setMessageBody(mailBody, true);
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
