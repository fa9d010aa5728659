#include <stdexcept>

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

#include "editing/ImageResize.h"
#include "platform/ImageCodec.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using namespace grinsley::imageresize;
using grinsley::platform::Image;
using grinsley::platform::Orientation;

namespace {

// What Qt's own EXIF handling shows for the same file: an oracle independent of our transforms.
QImage uprightByQt(const QByteArray& jpeg) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

class EveryOrientation : public ::testing::TestWithParam<int> {};

TEST_P(EveryOrientation, RendersUpright) {
    const int exif = GetParam();
    const QByteArray jpeg = grinsley::testing::jpegWithExifOrientation(grinsley::testing::quadrantPhoto({80, 40}), exif);
    const Image photo = platform::ImageCodec::decode(jpeg);
    ASSERT_FALSE(photo.isNull());
    const QImage expected = uprightByQt(jpeg);
    ASSERT_EQ(photo.size(), QSizeF(expected.size())) << "displayed size follows the tag";

    const Image upright = resizedImage(photo, photo.size(), High);
    EXPECT_EQ(upright.orientation(), Orientation::Up);
    ASSERT_EQ(upright.pixelSize(), expected.size());
    // The centre of each quadrant of what a viewer shows.
    for (int qy = 0; qy < 2; ++qy) {
        for (int qx = 0; qx < 2; ++qx) {
            const QPoint at(expected.width() * (1 + 2 * qx) / 4, expected.height() * (1 + 2 * qy) / 4);
            EXPECT_LE(grinsley::testing::channelDistance(upright.bitmap().pixel(at), expected.pixel(at)), 24)
                << "EXIF " << exif << " quadrant " << qx << "," << qy;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ExifTags, EveryOrientation, ::testing::Range(1, 9),
                         [](const auto& info) { return "exif" + std::to_string(info.param); });

TEST(ImageResize, SidewaysPhotoComesOutUprightAtItsTarget) {
    // Stored 1600 x 1200, tagged right (turn clockwise to view): a 1200 x 1600 portrait.
    const Image photo(grinsley::testing::quadrantPhoto({1600, 1200}), Orientation::Right);
    const Image upright = resizedImage(photo, {1200, 1600}, High);
    ASSERT_EQ(upright.pixelSize(), QSize(1200, 1600));
    EXPECT_EQ(upright.orientation(), Orientation::Up);
    // Turned clockwise, the stored bottom-left (blue) is now top left, the stored top-left (red) top right.
    EXPECT_EQ(QColor(upright.bitmap().pixel(300, 400)), grinsley::testing::quadrantColour(2));
    EXPECT_EQ(QColor(upright.bitmap().pixel(900, 400)), grinsley::testing::quadrantColour(0));
}

TEST(ImageResize, MirroredPhotoComesBackUnmirroredAndShrinksSmoothly) {
    const Image photo(grinsley::testing::quadrantPhoto({400, 200}), Orientation::UpMirrored);
    const Image half = resizedImage(photo, {200, 100}, High);
    ASSERT_EQ(half.pixelSize(), QSize(200, 100));
    EXPECT_EQ(QColor(half.bitmap().pixel(50, 25)), grinsley::testing::quadrantColour(1));
    EXPECT_EQ(QColor(half.bitmap().pixel(150, 25)), grinsley::testing::quadrantColour(0));
    // Area averaging: a one-pixel checkerboard shrinks to flat grey, not to one of its colours.
    QImage checker(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QRgb grey = resizedImage(Image(checker), {8, 8}, High).bitmap().pixel(4, 4);
    EXPECT_NEAR(qRed(grey), 128, 8);
}

TEST(ImageResize, FractionalTargetRoundsUp) {
    const Image photo(grinsley::testing::quadrantPhoto({300, 150}));
    EXPECT_EQ(resizedImage(photo, {100.4, 50.2}, High).pixelSize(), QSize(101, 51));
    EXPECT_TRUE(resizedImage(photo, {0, 10}, High).isNull());
}

TEST(ImageResize, ContentModes) {
    const Image photo(grinsley::testing::quadrantPhoto({400, 200}));
    EXPECT_EQ(resizedImageWithContentMode(photo, ScaleAspectFit, {100, 100}, High).pixelSize(), QSize(100, 50));
    EXPECT_EQ(resizedImageWithContentMode(photo, ScaleAspectFill, {100, 100}, High).pixelSize(), QSize(200, 100));
    try {
        resizedImageWithContentMode(photo, 0, {100, 100}, High);
        FAIL() << "content mode 0 must throw";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "Unsupported content mode: 0");
    }
    // The displayed size counts: a sideways photo fits by its turned size.
    const Image sideways(grinsley::testing::quadrantPhoto({400, 200}), Orientation::Left);
    EXPECT_EQ(resizedImageWithContentMode(sideways, ScaleAspectFit, {100, 100}, High).pixelSize(), QSize(50, 100));
}

TEST(ImageResize, CropUsesTheStoredPixels) {
    QImage stored = grinsley::testing::quadrantPhoto({80, 40});
    const Image sideways(stored, Orientation::Right);
    const Image piece = croppedImage(sideways, QRectF(10, 10, 20, 20));
    ASSERT_EQ(piece.pixelSize(), QSize(20, 20));
    EXPECT_EQ(piece.orientation(), Orientation::Up);
    EXPECT_EQ(piece.bitmap().pixel(0, 0), stored.pixel(10, 10));
    EXPECT_EQ(piece.bitmap().pixel(19, 19), stored.pixel(29, 29));
    EXPECT_TRUE(croppedImage(sideways, QRectF(500, 500, 10, 10)).isNull());
}

TEST(ImageResize, UprightPhotoNeedsNoTransform) {
    EXPECT_TRUE(transformForOrientation(Image(QImage(4, 4, QImage::Format_RGB32)), {4, 4}).isIdentity());
}

} // namespace
