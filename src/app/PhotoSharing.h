#pragma once

#include <functional>
#include <optional>

#include <QImage>
#include <QString>

#include "platform/ErrorRecord.h"
#include "platform/Image.h"
#include "platform/PhotoMetadata.h"

class QWidget;

namespace grinsley {

namespace platform {
class ActionSheet;
class MailComposer;
} // namespace platform

// The share sheet, and the work behind its two ways out: the photo for the album, and the e-mail around it.
class PhotoSharing {
public:
    // The share sheet's buttons, by index.
    enum Button { SaveButton = 0, EmailButton = 1, SocialUploadButton = 2 };
    static inline const QString savePhotoText = QStringLiteral("Save Photo");
    static inline const QString emailPhotoText = QStringLiteral("Email Photo");
    static inline const QString saveAsText = QStringLiteral("Save As\u2026"); // after the two, found by its title

    // The sheet with Save Photo and Email Photo: on the tablet floating at the Share button, on the phone over the
    // editor with a Close button. Its buttons report to `clicked`, its dismissal to `dismissed`.
    using SheetCallback = std::function<void(platform::ActionSheet*, int)>;
    static platform::ActionSheet* showShareSheet(int tag, QWidget* editor, QWidget* shareButton, SheetCallback clicked,
                                                 SheetCallback dismissed);
    // Runs what a share sheet's button stands for; other indices do nothing.
    struct Commands {
        std::function<void()> save, email, socialUpload, saveAs;
    };
    static void perform(const platform::ActionSheet& sheet, int buttonIndex, const Commands& commands);

    static inline const QString mailSubject = QStringLiteral("Grinsley photo for you");
    static inline const QString attachmentMimeType = QStringLiteral("image/jpg");
    static inline const QString attachmentFileName = QStringLiteral("Grinsley.jpg");
    static inline const QString mailBody = QStringLiteral("<br/><br/>Created by Grinsley for iPhone / iPad / iPod");

    // The photo as the album receives it: encoded as PNG and decoded again.
    static QImage albumImage(const platform::Image& photo);
    // Subject, the photo as a full-quality JPEG attachment with the kept metadata, and the HTML body; no
    // recipients. At full size the attachment's long side is at most mailLongSide pixels.
    static constexpr int mailLongSide = 2048;
    static void composePhotoMail(platform::MailComposer& composer, const platform::Image& photo,
                                 const platform::PhotoMetadata& metadata = {});
    // The photo into the album: at full size as it is, reduced to phone size through a PNG round trip as a
    // phone's album takes it; with the kept metadata.
    static void saveToAlbum(const platform::Image& photo, const platform::PhotoMetadata& metadata,
                            std::function<void(const std::optional<platform::ErrorRecord>&)> completion);
    // Said after a save to the album.
    static inline const QString savedText = QStringLiteral("Saved to Pictures/Grinsley");
    // The alert that says the photo was not saved, and why.
    static void showNotSavedMessage(const platform::ErrorRecord& error);
};

} // namespace grinsley
