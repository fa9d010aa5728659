#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include "AnalyticsTest.h"
#include "analytics/TallyFileCache.h"
#include "platform/Directories.h"

using namespace grinsley;

namespace {
class TallyUtilTest : public grinsley::testing::AnalyticsTest {
protected:
    static QStringList logLines() {
        QStringList lines;
        for (const QByteArray& line : readFile(TallyUtil::logFilePath()).split('\n'))
            if (!line.isEmpty())
                lines.append(TallyUtil::transposeDecode(QString::fromUtf8(line)));
        return lines;
    }
};
} // namespace

TEST_F(TallyUtilTest, TransposeEncoding) {
    EXPECT_EQ(TallyUtil::transposeEncode(QStringLiteral("abcdefg")), "abcdefg") << "shorter than 8: unchanged";
    EXPECT_EQ(TallyUtil::transposeEncode(QStringLiteral("abcdefghi")), "ahbicdefg");
    EXPECT_EQ(TallyUtil::transposeDecode(QStringLiteral("ahbicdefg")), "abcdefghi");
    auto* random = QRandomGenerator::global();
    for (int length = 0; length < 40; ++length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text.append(QChar(char16_t(0x20 + random->bounded(0x2000))));
        EXPECT_EQ(TallyUtil::transposeDecode(TallyUtil::transposeEncode(text)), text) << length;
    }
}

TEST_F(TallyUtilTest, DiagnosticsNeedAValidKey) {
    EXPECT_FALSE(TallyUtil::isDebugModeUnlocked());
    TallyUtil::unlockDebugMode(TallyUtil::debugUnlockKey(apiKey).toUpper(), apiKey);
    EXPECT_TRUE(TallyUtil::isDebugModeUnlocked());
    TallyUtil::unlockDebugMode(TallyUtil::debugUnlockKey(QStringLiteral("another key")), apiKey);
    EXPECT_FALSE(TallyUtil::isDebugModeUnlocked()) << "an invalid key switches diagnostics off";
    TallyUtil::unlockDebugMode(QString(), QString());
    EXPECT_FALSE(TallyUtil::isDebugModeUnlocked());
}

// With diagnostics off nothing writes the log; on, every piece of a message gets its own dated line.
TEST_F(TallyUtilTest, TheLogIsWrittenOnlyWhenUnlocked) {
    TallySession& session = start();
    session.recordEvent(QStringLiteral("Open"), std::nullopt);
    session.recordError(QStringLiteral("E"), QStringLiteral("m"), QStringLiteral("x"));
    TallyUtil::handleException(std::runtime_error("boom"));
    TallyFileCache(apiKey).save(QCborValue(1), QStringLiteral("p"));
    EXPECT_FALSE(QFile::exists(TallyUtil::logFilePath()));
    EXPECT_TRUE(TallyUtil::logFilePath().startsWith(QDir::homePath() + "/.local/share/"))
        << "the program's own folder, never the user's Documents";

    TallyUtil::unlockDebugMode(TallyUtil::debugUnlockKey(apiKey), apiKey);
    TallyUtil::logToFile(QStringLiteral("one\ntwo\r\nthree"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 4) << "a break of two control characters leaves an empty piece";
    const QString date = QStringLiteral("2026-01-01 12:00:00 +0000 ");
    EXPECT_EQ(lines.at(0), date + "one");
    EXPECT_EQ(lines.at(1), date + "two");
    EXPECT_EQ(lines.at(2), date);
    EXPECT_EQ(lines.at(3), date + "three");
}

TEST_F(TallyUtilTest, CaughtExceptionsAreLoggedNotThrown) {
    TallyUtil::unlockDebugMode(TallyUtil::debugUnlockKey(apiKey), apiKey);
    bool after = false;
    TallyUtil::guard([] { throw std::out_of_range("index 7"); });
    TallyUtil::guard([] { throw 42; });
    TallyUtil::handleException(platform::ErrorRecord{QStringLiteral("socialErrDomain"), 190, {{"k", "v"}}});
    after = true;
    EXPECT_TRUE(after);
    const QStringList lines = logLines();
    const auto has = [&lines](const QString& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.endsWith(text); });
    };
    EXPECT_TRUE(has("Tally: Caught Exception in Tally Analytics Code"));
    EXPECT_TRUE(has("Tally: Name:std::out_of_range Reason:index 7"));
    EXPECT_TRUE(has("Tally: Caught Error in Tally Analytics Code"));
    EXPECT_TRUE(has("Tally: Code:190 Domain:socialErrDomain"));
    EXPECT_TRUE(has("Tally: {k = v}"));
}

TEST_F(TallyUtilTest, FileCacheKeepsObjectsPerPrefix) {
    TallyFileCache& cache = TallyFileCache::createInstanceWithApiKey(apiKey);
    EXPECT_EQ(&TallyFileCache::createInstanceWithApiKey(QStringLiteral("other")), &cache);
    EXPECT_EQ(TallyFileCache::instance()->apiKey(), apiKey);
    EXPECT_FALSE(cache.get(QStringLiteral("adParser"))) << "never saved";
    const std::optional<QString> path = cache.save(QCborMap{{QStringLiteral("v"), 3}}, QStringLiteral("adParser"));
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, platform::Directories::caches() + "/Tally/tallyCache_adParser_" + apiKey + ".archive");
    EXPECT_EQ(cache.get(QStringLiteral("adParser"))->toMap().value(QStringLiteral("v")).toInteger(), 3);
    EXPECT_TRUE(cache.remove(QStringLiteral("adParser")));
    EXPECT_FALSE(cache.remove(QStringLiteral("adParser")));
    EXPECT_FALSE(cache.get(QStringLiteral("adParser")));
    cache.save(QCborValue(1), QStringLiteral("imageCache"));
    EXPECT_TRUE(cache.removeCache());
    EXPECT_FALSE(QDir(platform::Directories::caches() + "/Tally").exists());
}
