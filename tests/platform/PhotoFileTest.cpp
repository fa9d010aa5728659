#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <QImageReader>
#include <gtest/gtest.h>

#include "editing/ImageResize.h"
#include "platform/ImageCodec.h"
#include "platform/ImageCodec.h"
#include "platform/PhotoFile.h"
#include "support/IsolatedTest.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using grinsley::platform::Image;
using grinsley::platform::Orientation;
using grinsley::platform::ImageCodec;
using grinsley::platform::PhotoFile;
using grinsley::testing::quadrantColour;

namespace {

// Halves until under a phone's million pixels, as the editor asks.
QSize phoneTarget(QSizeF upright) {
    while (upright.width() * upright.height() >= 1000000) upright /= 2;
    return {int(std::ceil(upright.width())), int(std::ceil(upright.height()))};
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return data;
}

void write(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// The colour at the middle of each quadrant of an upright result.
std::array<QRgb, 4> quadrants(const QImage& image) {
    const int w = image.width(), h = image.height();
    return {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
            image.pixel(3 * w / 4, 3 * h / 4)};
}

class PhotoFileTest : public grinsley::testing::IsolatedTest {
protected:
    QString path(const QString& name) const { return home() + QLatin1Char('/') + name; }
};

} // namespace

// Each tag moves whole pixels: where the stored corners land, and agreement with the drawing path.
TEST_F(PhotoFileTest, OrientationMovesWholePixels) {
    QImage stored(5, 3, QImage::Format_ARGB32_Premultiplied);
    stored.fill(Qt::gray);
    const QRgb topLeft = qRgb(255, 0, 0), topRight = qRgb(0, 255, 0), bottomLeft = qRgb(0, 0, 255);
    stored.setPixel(0, 0, topLeft);
    stored.setPixel(4, 0, topRight);
    stored.setPixel(0, 2, bottomLeft);
    struct Case {
        Orientation orientation;
        QPoint topLeftTo, topRightTo, bottomLeftTo; // in a result of 5 x 3, or 3 x 5 when sideways
    };
    const Case cases[] = {
        {Orientation::Up, {0, 0}, {4, 0}, {0, 2}},           {Orientation::UpMirrored, {4, 0}, {0, 0}, {4, 2}},
        {Orientation::Down, {4, 2}, {0, 2}, {4, 0}},         {Orientation::DownMirrored, {0, 2}, {4, 2}, {0, 0}},
        {Orientation::LeftMirrored, {0, 0}, {0, 4}, {2, 0}}, {Orientation::Right, {2, 0}, {2, 4}, {0, 0}},
        {Orientation::RightMirrored, {2, 4}, {2, 0}, {0, 4}}, {Orientation::Left, {0, 4}, {0, 0}, {2, 4}},
    };
    for (const Case& c : cases) {
        const QImage out = PhotoFile::upright(stored, c.orientation);
        const bool sideways = Image::isTransposed(c.orientation);
        ASSERT_EQ(out.size(), sideways ? QSize(3, 5) : QSize(5, 3)) << int(c.orientation);
        EXPECT_EQ(out.pixel(c.topLeftTo), topLeft) << int(c.orientation);
        EXPECT_EQ(out.pixel(c.topRightTo), topRight) << int(c.orientation);
        EXPECT_EQ(out.pixel(c.bottomLeftTo), bottomLeft) << int(c.orientation);
    }
    // The same turns as the resize that draws a tagged photo upright.
    const QImage photo = grinsley::testing::quadrantPhoto({40, 30});
    for (int tag = 0; tag < 8; ++tag) {
        const Image tagged(photo, Orientation(tag));
        const Image drawn = imageresize::resizedImage(tagged, tagged.size(), imageresize::None);
        EXPECT_EQ(quadrants(PhotoFile::upright(photo, Orientation(tag))), quadrants(drawn.bitmap())) << tag;
    }
}

TEST_F(PhotoFileTest, TheLargestReductionThatStillCovers) {
    EXPECT_EQ(PhotoFile::reductionFor({4032, 3024}, {1008, 756}), 4);
    EXPECT_EQ(PhotoFile::reductionFor({4032, 3024}, {1009, 756}), 2);
    EXPECT_EQ(PhotoFile::reductionFor({4032, 3024}, {1008, 757}), 2);
    EXPECT_EQ(PhotoFile::reductionFor({8000, 6000}, {1000, 750}), 8);
    EXPECT_EQ(PhotoFile::reductionFor({799, 601}, {100, 76}), 8) << "a reduced side rounds up";
    EXPECT_EQ(PhotoFile::reductionFor({640, 480}, {640, 480}), 1);
}

// A camera's sideways photo comes out upright at the size the limit leads to, read at a reduction.
TEST_F(PhotoFileTest, ASidewaysJpegIsReadUprightAtTheTargetSize) {
    const QString file = path("sideways.jpg");
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(file, {1600, 1200}, 6));
    QSizeF asked;
    const PhotoFile::Result result = PhotoFile::readUpright(file, [&](QSizeF upright) {
        asked = upright;
        return phoneTarget(upright);
    });
    ASSERT_TRUE(result.ok()) << PhotoFile::describe(result).toStdString();
    EXPECT_EQ(asked, QSizeF(1200, 1600)) << "the target is asked for the upright size";
    EXPECT_EQ(result.photo.pixelSize(), QSize(600, 800));
    EXPECT_EQ(result.photo.orientation(), Orientation::Up);
    EXPECT_EQ(result.photo.bitmap().format(), QImage::Format_ARGB32_Premultiplied);
    // Turned a quarter clockwise: the stored bottom left (blue) is now top left.
    const auto q = quadrants(result.photo.bitmap());
    const int expected[] = {2, 0, 3, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_LE(grinsley::testing::channelDistance(q[size_t(i)], quadrantColour(expected[i]).rgb()), 12) << i;
}

// A JPEG decoded straight into its upright places: at full size pixel for pixel what the general reader's decode
// turned upright gives, at half size the upright decode turned, for every tag (the photo's detail shows any pixel
// out of place; the mirrored tags take the general way).
TEST_F(PhotoFileTest, TheDirectJpegDecodePutsEveryPixelInItsPlace) {
    QImage detail = grinsley::testing::gradientPhoto({203, 147}); // odd sizes: bands and tiles end part-way
    for (int y = 0; y < detail.height(); y += 3)
        for (int x = (y * 7) % 5; x < detail.width(); x += 5)
            detail.setPixel(x, y, qRgb((x * 31) & 255, (y * 17) & 255, 255 - x));
    const auto worst = [](const QImage& a, const QImage& b) {
        int most = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                most = std::max(most, grinsley::testing::channelDistance(a.pixel(x, y), b.pixel(x, y)));
        return most;
    };
    const QImage halfUp = PhotoFile::decodeJpegUpright(grinsley::testing::jpegWithExifOrientation(detail, 1), 2, Orientation::Up);
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE(::testing::Message() << "tag " << tag);
        const QByteArray jpeg = grinsley::testing::jpegWithExifOrientation(detail, tag);
        QBuffer buffer;
        buffer.setData(jpeg);
        QImageReader reader(&buffer, "jpeg");
        reader.setAutoTransform(false);
        const Orientation orientation = ImageCodec::orientationOf(reader.transformation());
        const QImage general = PhotoFile::upright(reader.read().convertToFormat(QImage::Format_RGB32), orientation);
        const QImage direct = PhotoFile::decodeJpegUpright(jpeg, 1, orientation);
        if (orientation != Orientation::Up && !Image::isTransposed(orientation)) {
            EXPECT_TRUE(direct.isNull());
            continue;
        }
        ASSERT_EQ(direct.size(), general.size());
        EXPECT_LE(worst(direct, general), 2);
        const QImage half = PhotoFile::decodeJpegUpright(jpeg, 2, orientation);
        const QImage turned = PhotoFile::upright(halfUp, orientation);
        ASSERT_EQ(half.size(), turned.size());
        EXPECT_LE(worst(half, turned), 2) << "at half size";
    }
}

// Photos far above the codec's own allocation limit open, decoded at a reduction.
TEST_F(PhotoFileTest, AFortyEightMegapixelPhotoOpens) {
    const QString file = path("48mp.jpg");
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(file, {8000, 6000}, 8));
    const PhotoFile::Result result = PhotoFile::readUpright(file, phoneTarget);
    ASSERT_TRUE(result.ok()) << PhotoFile::describe(result).toStdString();
    EXPECT_EQ(result.photo.pixelSize(), QSize(750, 1000));
}

// Unusual but sound photos: each opens, the right way round and in its colours.
TEST_F(PhotoFileTest, UnusualButSoundPhotos) {
    QImage deep(64, 48, QImage::Format_RGBA64);
    deep.fill(QColor(30, 200, 30));
    write(path("deep.png"), encoded(deep, "png"));
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(QColor(220, 30, 30));
    write(path("one.png"), encoded(one, "png"));
    write(path("tag9.jpg"), grinsley::testing::jpegWithExifOrientation(grinsley::testing::quadrantPhoto({40, 30}), 9));
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(path("cmyk.jpg"), {40, 30}, 0, true));

    PhotoFile::Result r = PhotoFile::readUpright(path("deep.png"), phoneTarget);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.photo.bitmap().pixel(10, 10), qRgb(30, 200, 30)) << "16 bits a channel";
    r = PhotoFile::readUpright(path("one.png"), phoneTarget);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.photo.pixelSize(), QSize(1, 1));
    r = PhotoFile::readUpright(path("tag9.jpg"), phoneTarget);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.photo.pixelSize(), QSize(40, 30)) << "an unknown tag is as stored";
    r = PhotoFile::readUpright(path("cmyk.jpg"), phoneTarget);
    ASSERT_TRUE(r.ok());
    const auto q = quadrants(r.photo.bitmap());
    for (int i = 0; i < 4; ++i)
        EXPECT_LE(grinsley::testing::channelDistance(q[size_t(i)], quadrantColour(i).rgb()), 16) << i;
}

// The malformed photos a user may pick, each with the reason it gets.
TEST_F(PhotoFileTest, MalformedPhotosAreRefusedWithTheirReason) {
    const QByteArray jpeg = grinsley::testing::jpegWithExifOrientation(grinsley::testing::gradientPhoto({300, 200}), 1);
    const QByteArray png = encoded(grinsley::testing::gradientPhoto({300, 200}), "png");
    QByteArray claimsTooMuch = jpeg;
    const qsizetype frame = claimsTooMuch.indexOf(QByteArrayView("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    for (int i : {5, 6, 7, 8}) // height and width: 65 000 each
        claimsTooMuch[frame + i] = char(i % 2 ? 0xFD : 0xE8);
    // A camera's file: a whole thumbnail (its own scan and end marker) in an application segment before the
    // photo, which is cut short in its scan.
    const QByteArray thumbnail = encoded(grinsley::testing::gradientPhoto({40, 30}), "jpg");
    QByteArray segment("\xFF\xE2", 2);
    segment.append(char((thumbnail.size() + 2) >> 8)).append(char((thumbnail.size() + 2) & 0xFF)).append(thumbnail);
    const QByteArray withThumbnail = jpeg.left(2) + segment + jpeg.mid(2);
    QByteArray corrupt = jpeg;
    for (qsizetype i = 4; i < 200; ++i) // the headers after the start marker, scrambled
        corrupt[i] = char(i * 37);

    write(path("empty.jpg"), {});
    write(path("notes.jpg"), "shopping list: eggs, flour\n");
    write(path("half.jpg"), jpeg.left(jpeg.size() / 2));
    write(path("half.png"), png.left(png.size() / 2));
    write(path("thumbnail.jpg"), withThumbnail);
    write(path("cut-after-thumbnail.jpg"), withThumbnail.left(withThumbnail.size() - jpeg.size() / 3));
    write(path("corrupt.jpg"), corrupt);
    write(path("huge.jpg"), claimsTooMuch);
    QDir().mkpath(path("folder.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0600), 0);

    const std::pair<const char*, PhotoFile::Failure> cases[] = {
        {"empty.jpg", PhotoFile::Failure::Empty},         {"notes.jpg", PhotoFile::Failure::NotAnImage},
        {"half.jpg", PhotoFile::Failure::Damaged},        {"half.png", PhotoFile::Failure::Damaged},
        {"corrupt.jpg", PhotoFile::Failure::Damaged},     {"huge.jpg", PhotoFile::Failure::TooLarge},
        {"folder.jpg", PhotoFile::Failure::NotRegular},   {"pipe.jpg", PhotoFile::Failure::NotRegular},
        {"missing.jpg", PhotoFile::Failure::Unreadable},  {"cut-after-thumbnail.jpg", PhotoFile::Failure::Damaged},
    };
    EXPECT_TRUE(PhotoFile::readUpright(path("thumbnail.jpg"), phoneTarget).ok()) << "whole, it opens";
    for (const auto& [name, failure] : cases) {
        const PhotoFile::Result r = PhotoFile::readUpright(path(QString::fromLatin1(name)), phoneTarget);
        EXPECT_EQ(r.failure, failure) << name;
        EXPECT_TRUE(r.photo.isNull()) << name;
        EXPECT_FALSE(PhotoFile::describe(r).isEmpty()) << name;
    }
    EXPECT_EQ(PhotoFile::describe(PhotoFile::readUpright(path("huge.jpg"), phoneTarget)),
              "is too large to open (65000 x 65000 pixels)");
    EXPECT_EQ(PhotoFile::describe(PhotoFile::readUpright(path("missing.jpg"), phoneTarget)),
              "cannot be read (No such file or directory)");
}
