#include <cmath>

#include <gtest/gtest.h>

#include <QPainterPath>

#include "editing/PieceOperations.h"
#include "faces/Blending.h"
#include "faces/FaceFinder.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using namespace grinsley::testing;

namespace {

struct Paste {
    QImage photo, plain, layer, coverage;
};

// The layer's opacity, as a grey image.
QImage opacityOf(const QImage& layer) {
    QImage coverage(layer.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x)
            coverage.scanLine(y)[x] = uchar(qAlpha(layer.pixel(x, y)));
    return coverage;
}

// The right (darker) face of the two-face photo cut with the bundled oval mask and pasted over the left one,
// as a face swap does.
Paste darkFaceOverLightFace() {
    Paste paste;
    paste.photo = twoFacePhoto();
    const faces::FaceSearch search = faces::findFaces(paste.photo);
    EXPECT_EQ(search.faces.size(), 2u);
    if (search.faces.size() != 2)
        return paste;
    const faces::Face& to = search.faces[0];
    const faces::Face& from = search.faces[1];
    const QSize pieceSize = from.size.toSize();
    QPainterPath outline;
    outline.addEllipse(QRectF(QPointF(0, 0), pieceSize));
    const QImage piece = pieces::applyMask(pieces::copyRegion(paste.photo, from.centre, float(from.angle), pieceSize, outline),
                                           pieces::ellipseMask(256));
    paste.plain = pieces::pastePiece(paste.photo, piece, to.centre, float(to.angle), to.size);
    paste.layer = pieces::pieceLayer(paste.photo.size(), piece, to.centre, float(to.angle), to.size);
    paste.coverage = opacityOf(paste.layer);
    return paste;
}

double luminance(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

// Mean luminance of an image over the pixels whose coverage lies in [low, high].
double meanOver(const QImage& image, const QImage& coverage, int low, int high) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int c = coverage.constScanLine(y)[x];
            if (c >= low && c <= high) {
                sum += luminance(image.pixel(x, y));
                ++n;
            }
        }
    }
    return sum / std::max(1, n);
}

} // namespace

// Blending takes the tone of the photo around the piece: a darker face pasted over a lighter one has a seam
// as dark as its own when pasted plainly, and almost none when blended in. Nothing outside the piece changes.
TEST(BlendingTest, TheSeamTakesTheSurroundingsToneAndNothingOutsideChanges) {
    const Paste paste = darkFaceOverLightFace();
    ASSERT_FALSE(paste.plain.isNull());
    const QImage blended = faces::blendIn(paste.photo, paste.layer);
    // At the seam (the piece's soft edge) and over the whole piece, against what the photo had there.
    const double seamBefore = meanOver(paste.photo, paste.coverage, 1, 254);
    const double pieceBefore = meanOver(paste.photo, paste.coverage, 1, 255);
    const double plainStep = std::abs(meanOver(paste.plain, paste.coverage, 1, 254) - seamBefore);
    EXPECT_GT(plainStep, 8.0);
    EXPECT_LT(std::abs(meanOver(blended, paste.coverage, 1, 254) - seamBefore), 0.6 * plainStep);
    EXPECT_GT(std::abs(meanOver(paste.plain, paste.coverage, 1, 255) - pieceBefore), 20.0);
    EXPECT_LT(std::abs(meanOver(blended, paste.coverage, 1, 255) - pieceBefore), 12.0);

    // The piece's detail stays: inside it the blended result differs from the plain paste only by a smooth
    // shift of tone (little Laplacian), while the photo that was there differs by a whole face.
    const auto laplacianOfDifference = [&paste](const QImage& a, const QImage& b) {
        const auto d = [&](int x, int y) { return luminance(a.pixel(x, y)) - luminance(b.pixel(x, y)); };
        double sum = 0;
        int n = 0;
        for (int y = 2; y + 2 < a.height(); ++y)
            for (int x = 2; x + 2 < a.width(); ++x)
                if (paste.coverage.constScanLine(y)[x] == 255) {
                    sum += std::abs(4 * d(x, y) - d(x - 1, y) - d(x + 1, y) - d(x, y - 1) - d(x, y + 1));
                    ++n;
                }
        return sum / std::max(1, n);
    };
    EXPECT_LT(laplacianOfDifference(blended, paste.plain), 0.25 * laplacianOfDifference(paste.photo, paste.plain));

    const QImage photo = paste.photo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int changedInside = 0;
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            if (paste.coverage.constScanLine(y)[x] == 0)
                ASSERT_EQ(blended.pixel(x, y), photo.pixel(x, y)) << x << "," << y;
            else
                changedInside += blended.pixel(x, y) != paste.plain.pixel(x, y);
        }
    }
    EXPECT_GT(changedInside, 1000);

    // No tint: a cheek of the pasted face keeps the warmth (red minus blue) of the cheek it covers, though
    // the piece's rim reaches grey background and hair.
    const auto warmth = [](const QImage& image) {
        double sum = 0;
        const QPoint cheek = inLeftCopy(QPointF(200, 128)).toPoint();
        for (int y = -4; y <= 4; ++y)
            for (int x = -4; x <= 4; ++x)
                sum += qRed(image.pixel(cheek + QPoint(x, y))) - qBlue(image.pixel(cheek + QPoint(x, y)));
        return sum / 81;
    };
    EXPECT_NEAR(warmth(blended), warmth(paste.photo), 10.0);
}

// The piece stays exactly where it was: blending the photo into itself changes (almost) nothing; a piece
// shifted by a pixel or recoloured would show on the astronaut's detail.
TEST(BlendingTest, ThePieceStaysInPlace) {
    const QImage photo = samplePhotograph(QStringLiteral("astronaut.png"));
    QImage layer(photo.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const QRect patch(150, 80, 151, 120);
    for (int y = patch.top(); y <= patch.bottom(); ++y)
        for (int x = patch.left(); x <= patch.right(); ++x)
            layer.setPixel(x, y, photo.pixel(x, y));
    const QImage blended = faces::blendIn(photo, layer);
    int worst = 0;
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            worst = std::max(worst, channelDistance(blended.pixel(x, y), photo.pixel(x, y)));
    EXPECT_LE(worst, 3);
}

// A piece at the photo's edge takes the photo's tone; a layer that reaches nothing leaves the photo as it is.
TEST(BlendingTest, EdgesAndEmptyLayers) {
    const QImage photo = samplePhotograph(QStringLiteral("astronaut.png"));
    QImage layer(photo.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    EXPECT_EQ(faces::blendIn(photo, layer), photo);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x)
            layer.setPixel(x, y, qRgb(0, 0, 0));
    const QImage blended = faces::blendIn(photo, layer);
    ASSERT_EQ(blended.size(), photo.size());
    EXPECT_EQ(blended.pixel(200, 200), photo.pixel(200, 200));
    EXPECT_GT(qRed(blended.pixel(85, 55)), 40); // the black patch took the tone of the photo it covers
}

// The whole soft edge takes part: where the piece reaches only faintly (the edge's outer half) its detail still
// shows, faded by its opacity, instead of the photo alone.
TEST(BlendingTest, TheOuterHalfOfTheSoftEdgeIsBlendedToo) {
    QImage photo(200, 200, QImage::Format_ARGB32_Premultiplied);
    photo.fill(QColor(128, 128, 128));
    QImage layer(photo.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            const double r = std::hypot(x - 100.0, y - 100.0);
            const int alpha = int(std::clamp((60.0 - r) / 20.0, 0.0, 1.0) * 255);
            const int grey = (x / 2) % 2 ? 188 : 68; // stripes whose mean is the photo's grey
            layer.setPixel(x, y, qPremultiply(qRgba(grey, grey, grey, alpha)));
        }
    }
    const QImage blended = faces::blendIn(photo, layer);
    double deviation = 0;
    int n = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            const int alpha = qAlpha(layer.pixel(x, y));
            if (alpha >= 1 && alpha <= 100) {
                deviation += std::abs(luminance(blended.pixel(x, y)) - 128);
                ++n;
            }
        }
    }
    ASSERT_GT(n, 1000);
    // Matched to a flat grey the stripes keep half their contrast (the spread is scaled by at most a half).
    EXPECT_GT(deviation / n, 4.0) << "the stripes fade out over the edge rather than stop where it is half";
}
