#pragma once

#include <QByteArray>
#include <QString>

namespace grinsley::platform {

// Replaces a file whole: the bytes go to a temporary file beside it, which is then renamed over it, so a
// crash or kill at any instant leaves the old file or the new one, never a torn one.
class AtomicFile {
public:
    enum class Durability {
        // Survives the process being killed (the kernel has the bytes); fast enough for every keystroke.
        ProcessCrash,
        // Also survives a power cut: flushed to the disk before the rename.
        PowerLoss,
    };

    // False, with the old file untouched, when the bytes could not be written.
    static bool write(const QString& path, const QByteArray& bytes, Durability durability = Durability::PowerLoss);
};

} // namespace grinsley::platform
