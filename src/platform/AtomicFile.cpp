#include "AtomicFile.h"

#include <QSaveFile>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#endif

namespace grinsley::platform {

#ifdef Q_OS_UNIX
// Plain system calls: QSaveFile always flushes to the disk, which costs milliseconds on every save.
bool AtomicFile::write(const QString& path, const QByteArray& bytes, Durability durability) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    qsizetype written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        written += ok ? n : 0;
    }
    if (ok && durability == Durability::PowerLoss)
        ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = std::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}
#else
bool AtomicFile::write(const QString& path, const QByteArray& bytes, Durability) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
#endif

} // namespace grinsley::platform
