#include <csignal>

#include <sys/resource.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "support/IsolatedTest.h"

using namespace grinsley;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files may grow only this far while it lives: a write past it fails half way, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        _signal = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of the process ending
        ::getrlimit(RLIMIT_FSIZE, &_saved);
        rlimit limit = _saved;
        limit.rlim_cur = bytes;
        _set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &_saved);
        std::signal(SIGXFSZ, _signal);
    }
    bool isSet() const { return _set; }

private:
    rlimit _saved{};
    void (*_signal)(int) = nullptr;
    bool _set = false;
};

class AtomicFileTest : public grinsley::testing::IsolatedTest {};

} // namespace

// A write that fails half way reports it, leaves the earlier file whole and leaves no temporary file behind;
// one that succeeds replaces the file.
TEST_F(AtomicFileTest, AFailedWriteLeavesTheEarlierFileWhole) {
    const QString path = home() + "/state.bin";
    const QByteArray earlier(1000, 'a');
    ASSERT_TRUE(platform::AtomicFile::write(path, earlier));
    for (const auto durability : {platform::AtomicFile::Durability::ProcessCrash, platform::AtomicFile::Durability::PowerLoss}) {
        {
            FileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.isSet());
            EXPECT_FALSE(platform::AtomicFile::write(path, QByteArray(1024 * 1024, 'b'), durability));
        }
        EXPECT_EQ(contents(path), earlier);
        EXPECT_EQ(QDir(home()).entryList(QDir::Files | QDir::Hidden), QStringList{"state.bin"}) << "no temporary file left";
    }
    const QByteArray later(2000, 'c');
    EXPECT_TRUE(platform::AtomicFile::write(path, later));
    EXPECT_EQ(contents(path), later);
    EXPECT_FALSE(platform::AtomicFile::write(home() + "/no-such-folder/state.bin", later));
}
