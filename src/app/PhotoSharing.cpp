#include "PhotoSharing.h"

#include "platform/AlertView.h"
#include "platform/ImageCodec.h"
#include "platform/MailComposer.h"
#include "platform/PhotoAlbum.h"

namespace grinsley {

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
