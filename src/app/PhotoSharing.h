#pragma once

#include <QImage>
#include <QString>

#include "platform/ErrorRecord.h"
#include "platform/Image.h"

namespace grinsley {

namespace platform {
class MailComposer;
}

// The work behind the share sheet's two ways out: the photo for the album, and the e-mail around it.
class PhotoSharing {
public:
    static inline const QString mailSubject = QStringLiteral("Grinsley photo for you");
    static inline const QString attachmentMimeType = QStringLiteral("image/jpg");
    static inline const QString attachmentFileName = QStringLiteral("Grinsley.jpg");
    static inline const QString mailBody = QStringLiteral("<br/><br/>Created by Grinsley for iPhone / iPad / iPod");

    // The photo as the album receives it: encoded as PNG and decoded again.
    static QImage albumImage(const platform::Image& photo);
    // Subject, the photo as a full-quality JPEG attachment, and the HTML body; no recipients.
    static void composePhotoMail(platform::MailComposer& composer, const platform::Image& photo);
    // The alert that says the photo was not saved, and why.
    static void showNotSavedMessage(const platform::ErrorRecord& error);
};

} // namespace grinsley
