#pragma once

#include <functional>
#include <optional>
#include <variant>

#include <QImage>
#include <QString>

#include "platform/ErrorRecord.h"

namespace grinsley::platform {

// The user's photo album: the folder "Grinsley" in the desktop's Pictures folder. Every save is a new PNG
// under a readable, time-based name; nothing earlier is ever overwritten, and no half-written file ever
// appears under a final name.
class PhotoAlbum {
public:
    using Completion = std::function<void(const std::optional<ErrorRecord>& error)>;

    static QString folder();
    // The time a save's name carries, as "yyyy-MM-dd HH.mm.ss" local time.
    static QString timeStamp();
    // What is done to the encoded PNG before it is written (metadata added); none leaves it as it is.
    using Finish = std::function<QByteArray(const QByteArray& png)>;
    // Encodes and writes on a thread of its own; the completion runs on the main thread with the path's
    // failure, or none on success.
    static void save(const QImage& image, Completion completion, Finish finish = {});
    // The same work, on the calling thread: the path written, or the failure.
    static std::variant<QString, ErrorRecord> saveNow(const QImage& image, const Finish& finish = {});
};

} // namespace grinsley::platform
