#include <gtest/gtest.h>

#include "platform/Bundle.h"
#include "platform/Image.h"

using namespace grinsley::platform;

TEST(Bundle, FindsResourcesByNameAndTypeOnly) {
    EXPECT_FALSE(Bundle::pathForResource("EllipseMask", "png").isEmpty());
    EXPECT_FALSE(Bundle::pathForResource("RectangleMask", "png").isEmpty());
    EXPECT_TRUE(Bundle::pathForResource("EllipseMask", "jpg").isEmpty());
    EXPECT_TRUE(Bundle::pathForResource("NoSuchThing", "png").isEmpty());
    EXPECT_TRUE(Bundle::pathForResource("", "png").isEmpty());
}

TEST(Bundle, HandleIconsAreFortyFourPointsDrawnAtDoubleResolution) {
    for (const char* name : {"Resize", "Rotate1", "Rotate2", "Rotate3", "Rotate4", "MoveLarge"}) {
        const Image icon = Bundle::imageNamed(name);
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_EQ(icon.size(), QSizeF(44, 44)) << name;
        EXPECT_EQ(icon.pixelSize(), QSize(88, 88)) << name;
    }
    EXPECT_EQ(Bundle::imageNamed("Move").size(), QSizeF(22, 22));
    EXPECT_TRUE(Bundle::imageNamed("Missing").isNull());
}

TEST(Bundle, MasksAreOneGreyChannelBlackInsideWhiteOutside) {
    for (const char* name : {"EllipseMask", "RectangleMask"}) {
        const QImage mask(Bundle::pathForResource(name, "png"));
        ASSERT_FALSE(mask.isNull()) << name;
        EXPECT_TRUE(mask.isGrayscale()) << name;
        EXPECT_EQ(qGray(mask.pixel(mask.width() / 2, mask.height() / 2)), 0) << name;
        EXPECT_EQ(qGray(mask.pixel(0, 0)), 255) << name;
    }
    // The ellipse mask has its soft edge inside the inscribed ellipse: a point on the diagonal just outside
    // it is fully white, one well inside is black.
    const QImage ellipse(Bundle::pathForResource("EllipseMask", "png"));
    const int side = ellipse.width();
    EXPECT_EQ(qGray(ellipse.pixel(int(side * 0.14), int(side * 0.14))), 255);
    EXPECT_EQ(qGray(ellipse.pixel(int(side * 0.25), int(side * 0.25))), 0);
}

TEST(Image, SidewaysTagsSwapThePointSize) {
    const QImage bitmap(40, 30, QImage::Format_ARGB32_Premultiplied);
    for (int value = 0; value < 8; ++value) {
        const Image image(bitmap, *Image::orientationFromValue(value));
        const bool sideways = value == 2 || value == 3 || value == 6 || value == 7;
        EXPECT_EQ(image.size(), sideways ? QSizeF(30, 40) : QSizeF(40, 30)) << value;
        EXPECT_EQ(image.pixelSize(), QSize(40, 30));
    }
    EXPECT_FALSE(Image::orientationFromValue(8));
    EXPECT_FALSE(Image::orientationFromValue(-1));
    EXPECT_EQ(Image(bitmap, Orientation::Up, 2).size(), QSizeF(20, 15));
    EXPECT_EQ(Image(QImage(4, 4, QImage::Format_RGB888)).bitmap().format(), QImage::Format_ARGB32_Premultiplied);
}
