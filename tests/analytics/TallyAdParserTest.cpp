#include <QTest>

#include "AnalyticsTest.h"
#include "CollectionServer.h"
#include "analytics/TallyAPI.h"
#include "analytics/TallyFileCache.h"
#include "analytics/ads/TallyAdParser.h"
#include "analytics/transport/TallyUpload.h"

using namespace grinsley;

namespace {

// Builds ad answers the way the service writes them: chunks of type, size and payload, big-endian.
class AnswerWriter {
public:
    AnswerWriter& u8(int v) { return put(quint64(quint8(v)), 1); }
    AnswerWriter& u16(int v) { return put(quint64(quint16(v)), 2); }
    AnswerWriter& u32(quint32 v) { return put(v, 4); }
    AnswerWriter& i64(qint64 v) { return put(quint64(v), 8); }
    AnswerWriter& string(const QByteArray& utf8) {
        u16(int(utf8.size()));
        _payload += utf8;
        return *this;
    }
    AnswerWriter& raw(const QByteArray& bytes) {
        _payload += bytes;
        return *this;
    }
    // Closes the payload written so far as a chunk of this type (or of a claimed size).
    AnswerWriter& chunk(int type, std::optional<quint32> claimedSize = std::nullopt) {
        QByteArray header;
        for (int shift : {8, 0})
            header.append(char((type >> shift) & 0xFF));
        const quint32 size = claimedSize.value_or(quint32(_payload.size()));
        for (int shift : {24, 16, 8, 0})
            header.append(char((size >> shift) & 0xFF));
        _answer += header + _payload;
        _payload.clear();
        return *this;
    }
    AnswerWriter& image(qint64 id, const QByteArray& data) {
        i64(id).u32(2).u32(3).string("image/png").u32(quint32(data.size()));
        return raw(data);
    }
    AnswerWriter& style(const QByteArray& font, int size, quint32 colour) { return string(font).u16(size).u32(colour); }
    QByteArray answer() const { return _answer; }

private:
    AnswerWriter& put(quint64 value, int width) {
        for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
            _payload.append(char((value >> shift) & 0xFF));
        return *this;
    }
    QByteArray _payload;
    QByteArray _answer;
};

class TallyAdParserTest : public grinsley::testing::AnalyticsTest {
protected:
    void SetUp() override {
        AnalyticsTest::SetUp();
        TallyFileCache::createInstanceWithApiKey(apiKey);
        TallyAdParser::recreateInstances();
    }
    // A theme with id 7 and a hook "Menu" using it: the parts later chunks refer to.
    static AnswerWriter themeAndHook() {
        AnswerWriter out;
        out.u8(1).u8(7).string("Buy now").i64(11).i64(12);
        for (int i = 0; i < 3; ++i)
            out.style("Helvetica", 14 + i, 0xFF102030);
        out.chunk(TallyAdParser::Themes);
        out.u32(1).string("Menu").u8(3).u8(7).chunk(TallyAdParser::Hooks);
        return out;
    }
    // An answer with a chunk of every kind the parser keeps.
    static QByteArray everyChunk() {
        AnswerWriter out = themeAndHook();
        out.u32(42).chunk(TallyAdParser::Version);
        out.u8(1).u16(2);
        for (int ad = 1; ad <= 2; ++ad)
            out.i64(ad).i64(100).string("Try it").string("Acme").i64(5).i64(9).u8(3).raw("abc");
        out.chunk(TallyAdParser::AdBlock);
        out.u16(1).image(9, QByteArray(40, 'p')).chunk(TallyAdParser::Images);
        out.u32(2).i64(9).u16(-3).i64(10).u16(4).chunk(TallyAdParser::ImageCodes);
        out.u16(0).u16(2).u32(30).i64(123456).u8(3).u8(-1).string("1").string("2").chunk(TallyAdParser::Properties);
        out.u16(1).string("Menu").u16(1).u16(1793).i64(99).chunk(TallyAdParser::HookActions);
        out.u8(1).u8(7);
        for (int i = 0; i < 3; ++i)
            out.style("Courier", 10 + i, 0x00FF8000 + quint32(i));
        for (int v = 0; v < 18; ++v)
            out.u32(quint32(v * 10)).u32(quint32(v * 10 + 1));
        out.chunk(TallyAdParser::ThemeExtensions);
        return out.answer();
    }
};

} // namespace

// A version and an end of message: the version is set and the parser saved; the next session creation
// brings it back as the previous instance.
TEST_F(TallyAdParserTest, VersionAndEndOfMessageAreSavedAndRestored) {
    TallyAdDelegate delegate;
    int available = 0;
    delegate.dataAvailable = [&] { ++available; };
    auto parser = TallyAdParser::instance();
    parser->setAdDelegate(&delegate);
    parser->parseData(AnswerWriter().u32(42).chunk(TallyAdParser::Version).chunk(TallyAdParser::EndOfMessage).answer());
    EXPECT_EQ(parser->versionId(), 42);
    EXPECT_EQ(parser->adParsingPhase(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(available, 1);
    ASSERT_TRUE(TallyFileCache::instance()->get(TallyAdParser::archivePrefix));
    ASSERT_TRUE(TallyFileCache::instance()->get(TallyAdParser::imageCachePrefix));

    TallyAdParser::recreateInstances();
    ASSERT_TRUE(TallyAdParser::oldInstance());
    EXPECT_EQ(TallyAdParser::oldInstance()->versionId(), 42);
    EXPECT_FALSE(TallyAdParser::instance()->versionId()) << "a fresh current instance";
}

TEST_F(TallyAdParserTest, UnknownChunksAreSkippedBySize) {
    auto parser = TallyAdParser::instance();
    parser->processTaggedFile(AnswerWriter()
                                  .raw(QByteArray(9, '\xAB'))
                                  .chunk(0x0104)
                                  .raw("x")
                                  .chunk(0x7777)
                                  .u32(5)
                                  .chunk(TallyAdParser::Version)
                                  .answer());
    EXPECT_EQ(parser->versionId(), 5);
}

TEST_F(TallyAdParserTest, HookActionsSetTheClickAction) {
    auto parser = TallyAdParser::instance();
    AnswerWriter out = themeAndHook();
    out.u16(2).string("Menu").u16(2).u16(1793).i64(99).u16(1792).i64(5);
    out.string("Nowhere").u16(1).u16(1793).i64(1).chunk(TallyAdParser::HookActions);
    parser->processTaggedFile(out.answer());
    ASSERT_TRUE(parser->hookMap().contains("Menu"));
    EXPECT_EQ(parser->hookMap()["Menu"].clickAction, 99);
    EXPECT_EQ(parser->hookMap()["Menu"].adBlockId, 3);
    EXPECT_FALSE(parser->hookMap().contains("Nowhere"));
}

TEST_F(TallyAdParserTest, AnErrorChunkTellsTheDelegateAndParsingGoesOn) {
    TallyAdDelegate delegate;
    int unavailable = 0;
    delegate.dataUnavailable = [&] { ++unavailable; };
    auto parser = TallyAdParser::instance();
    parser->setAdDelegate(&delegate);
    parser->parseData(
        AnswerWriter().u16(500).string("no ads today").chunk(TallyAdParser::Error).u32(3).chunk(TallyAdParser::Version).answer());
    QCoreApplication::processEvents();
    EXPECT_EQ(unavailable, 1);
    EXPECT_EQ(parser->errorsReported(), 1);
    EXPECT_EQ(parser->versionId(), 3);
    parser->parseData(std::nullopt);
    parser->parseData(QByteArray());
    QCoreApplication::processEvents();
    EXPECT_EQ(unavailable, 3) << "no answer: unavailable, the maps as they were";
    EXPECT_EQ(parser->versionId(), 3);
}

TEST_F(TallyAdParserTest, ANegativeImageIdIsSkippedInStep) {
    auto parser = TallyAdParser::instance();
    parser->processTaggedFile(AnswerWriter().u16(2).image(-4, "bad").image(9, "good").chunk(TallyAdParser::Images).answer());
    ASSERT_EQ(parser->imageMap().size(), 1);
    EXPECT_EQ(parser->imageMap()[9].data, "good");
    EXPECT_EQ(parser->imageMap()[9].mimeFormat, "image/png");
    EXPECT_EQ(TallyAdParser::imageCache().images().size(), 1);
}

TEST_F(TallyAdParserTest, ThemeExtensions) {
    auto parser = TallyAdParser::instance();
    AnswerWriter out = themeAndHook();
    out.u8(2);
    for (int theme : {99, 7}) { // an unknown theme first: read and dropped
        out.u8(theme);
        for (int i = 0; i < 3; ++i)
            out.style("Courier", 10, 0x00FF8000);
        for (int v = 0; v < 18; ++v)
            out.u32(quint32(v * 10)).u32(quint32(v * 10 + 1));
    }
    out.chunk(TallyAdParser::ThemeExtensions);
    parser->processTaggedFile(out.answer());
    ASSERT_EQ(parser->themeMap().size(), 1);
    const TallyAdTheme theme = parser->themeMap()[7];
    EXPECT_TRUE(theme.extended);
    EXPECT_EQ(theme.sellMessage, "Buy now");
    EXPECT_EQ(theme.portraitStyles[2].size, 16);
    EXPECT_EQ(theme.portraitStyles[0].color, QColor::fromRgbF(0x10 / 255.0f, 0x20 / 255.0f, 0x30 / 255.0f));
    EXPECT_EQ(theme.landscapeStyles[0].font, "Courier");
    EXPECT_EQ(theme.landscapeStyles[0].color, QColor(255, 128, 0));
    EXPECT_EQ(theme.portrait.adSize, QSize(0, 1));
    EXPECT_EQ(theme.portrait.appImagePosition, QPoint(20, 21));
    EXPECT_EQ(theme.landscape.adSize, QSize(30, 31));
    EXPECT_EQ(theme.portrait.sellMessagePosition, QPoint(60, 61));
    EXPECT_EQ(theme.landscape.advertiserSize, QSize(170, 171));
}

// What a session saves at an end of message is what the next one reads back, field for field.
TEST_F(TallyAdParserTest, TheSavedParserComesBackWhole) {
    auto parser = TallyAdParser::instance();
    parser->parseData(everyChunk() + AnswerWriter().chunk(TallyAdParser::EndOfMessage).answer());
    ASSERT_TRUE(parser->properties());
    ASSERT_TRUE(parser->themeMap().value(7).extended);
    TallyAdParser::recreateInstances();
    const auto restored = TallyAdParser::oldInstance();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->versionId(), parser->versionId());
    EXPECT_EQ(restored->adBlockMap(), parser->adBlockMap());
    EXPECT_EQ(restored->hookMap(), parser->hookMap());
    EXPECT_EQ(restored->themeMap(), parser->themeMap());
    EXPECT_EQ(restored->imageCodeMap(), parser->imageCodeMap());
    EXPECT_EQ(restored->properties(), parser->properties());
}

// An ad block chunk that ends before its id and count are read stores nothing and keeps what was stored.
TEST_F(TallyAdParserTest, ACutShortAdBlockChangesNoBlock) {
    TallyAdParser parser;
    parser.processTaggedFile(QByteArray::fromHex("0103000000020700" "010800000000"));
    EXPECT_TRUE(parser.adBlockMap().isEmpty());
    parser.processTaggedFile(AnswerWriter().u8(7).u16(0).chunk(TallyAdParser::AdBlock).answer());
    ASSERT_TRUE(parser.adBlockMap().contains(7)) << "an empty block that says so is stored";
    parser.processTaggedFile(AnswerWriter().u8(7).u16(1).i64(5).i64(6).string("").string("").i64(0).i64(0).u8(0)
                                 .chunk(TallyAdParser::AdBlock).answer());
    ASSERT_EQ(parser.adBlockMap()[7].size(), 1);
    parser.processTaggedFile(QByteArray::fromHex("010300000001" "07"));
    EXPECT_EQ(parser.adBlockMap()[7].size(), 1) << "the block read before stays";
}

// Every prefix of a full answer reads without reading outside it and keeps what came before the cut.
TEST_F(TallyAdParserTest, TruncatedAndOversizedAnswers) {
    const QByteArray full = everyChunk();
    {
        auto parser = std::make_shared<TallyAdParser>();
        parser->processTaggedFile(full);
        EXPECT_EQ(parser->adBlockMap()[1].size(), 2);
        EXPECT_EQ(parser->adBlockMap()[1][1].cookie, "abc");
        EXPECT_EQ(parser->imageCodeMap()[-3], 9);
        ASSERT_TRUE(parser->properties());
        EXPECT_EQ(parser->properties()->landscapeMaximumShown, -1);
        EXPECT_EQ(parser->properties()->cacheUpdateTimestamp, 123456);
    }
    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        TallyAdParser parser;
        parser.processTaggedFile(full.left(cut));
        EXPECT_LE(parser.adBlockMap().value(1).size(), 2);
        if (cut > full.indexOf("Menu") + 6) {
            EXPECT_TRUE(parser.hookMap().contains("Menu")) << cut;
        }
    }
    // Counts and sizes far beyond the answer: read what is there, allocate nothing for the rest.
    TallyAdParser parser;
    parser.processTaggedFile(AnswerWriter()
                                 .u8(1)
                                 .u16(65535)
                                 .i64(1)
                                 .i64(2)
                                 .string("only one")
                                 .string("x")
                                 .i64(3)
                                 .i64(4)
                                 .u8(0)
                                 .chunk(TallyAdParser::AdBlock)
                                 .u32(0xFFFFFFFF)
                                 .chunk(TallyAdParser::Hooks)
                                 .u16(1)
                                 .i64(1)
                                 .u32(1)
                                 .u32(1)
                                 .string("image/png")
                                 .u32(0x7FFFFFFF)
                                 .chunk(TallyAdParser::Images)
                                 .u32(1)
                                 .chunk(TallyAdParser::Version, 0xFFFFFFF0)
                                 .answer());
    EXPECT_EQ(parser.adBlockMap()[1].size(), 1);
    EXPECT_TRUE(parser.imageMap().isEmpty());
    EXPECT_EQ(parser.versionId(), 1) << "the last chunk's bytes that are there are read";
}

// The upload at session creation asks for ads when the catalogue is on and hands the answer to the parser.
TEST_F(TallyAdParserTest, TheCreationUploadFeedsTheParser) {
    grinsley::testing::LoopbackServer server;
    const QByteArray ads = AnswerWriter().u32(77).chunk(TallyAdParser::Version).chunk(TallyAdParser::EndOfMessage).answer();
    std::atomic<int> askedForAds{-1};
    server.server().Post("/report.do", [&](const httplib::Request& request, httplib::Response& response) {
        const auto report = tools::ReportDecoder::decodeReport(QByteArray::fromStdString(request.body));
        askedForAds = report ? (*report)["header"].toObject()["adsRequested"].toInt() : -2;
        response.set_content(ads.toStdString(), "application/octet-stream");
    });
    server.start();
    TallyAPI::setServerURL(QString::fromLatin1(server.url("/report.do")));
    TallyAPI::setAdCatalogEnabled(true);
    TallyAPI::startSession(apiKey);
    ASSERT_TRUE(QTest::qWaitFor([] { return TallyUpload::uploadsInFlight() == 0; }, 10000));
    EXPECT_EQ(askedForAds.load(), 1);
    EXPECT_EQ(TallyAdParser::instance()->versionId(), 77);
    EXPECT_TRUE(TallyAdParser::instance()->internetAvailable());
    TallyAPI::setAdCatalogEnabled(false);
}
