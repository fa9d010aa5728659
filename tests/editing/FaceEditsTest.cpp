#include <cmath>

#include <QGraphicsScene>
#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <gtest/gtest.h>

#include "editing/DrawView.h"
#include "editing/PieceOperations.h"
#include "editing/SelectionGeometry.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "support/IsolatedTest.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using grinsley::platform::Image;
using grinsley::testing::channelDistance;

namespace {

// A 400 x 400 canvas; the tests show 800 x 400 photos on it (two photo pixels to a point, offset (0, 100)).
class FaceEditsTest : public grinsley::testing::IsolatedTest {
protected:
    void SetUp() override {
        IsolatedTest::SetUp();
        platform::Device::setIdiom(platform::Idiom::Phone);
        canvas = new DrawView(QSizeF(400, 400));
        scene.addItem(canvas);
        canvas->initialize(44, 44, nullptr);
    }

    SelectionView* overlay() const { return canvas->selectionView(); }

    // The piece the canvas cuts at the overlay's place, with the current edge softness.
    QImage copiedPiece() {
        canvas->doCopy();
        return overlay()->imageSelection().bitmap();
    }

    QGraphicsScene scene;
    DrawView* canvas = nullptr; // owned by the scene
};

// Grey, with a 2 x 2 pattern of red, green, blue and yellow squares of `side` centred on `centre`.
QImage patternPhoto(QPointF centre, int side) {
    QImage photo(800, 400, QImage::Format_ARGB32_Premultiplied);
    photo.fill(QColor(128, 128, 128));
    QPainter p(&photo);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(centre + QPointF(i % 2 ? 0 : -side, i / 2 ? 0 : -side), QSizeF(side, side)), colours[i]);
    return photo;
}

// Pixels of a piece that are neither clear nor opaque: its soft band.
int partlyClear(const QImage& piece) {
    int n = 0;
    for (int y = 0; y < piece.height(); ++y)
        for (int x = 0; x < piece.width(); ++x)
            n += qAlpha(piece.pixel(x, y)) > 0 && qAlpha(piece.pixel(x, y)) < 250;
    return n;
}

} // namespace

// The masks drawn at softness 1 are the bundled ones, pixel for pixel, and the default piece is the one the
// bundled mask makes.
TEST_F(FaceEditsTest, TheDefaultEdgeIsTheBundledMasks) {
    const QImage ellipse(platform::Bundle::pathForResource(QStringLiteral("EllipseMask"), QStringLiteral("png")));
    const QImage rectangle(platform::Bundle::pathForResource(QStringLiteral("RectangleMask"), QStringLiteral("png")));
    EXPECT_EQ(pieces::ellipseMask(256), ellipse.convertToFormat(QImage::Format_Grayscale8));
    EXPECT_EQ(pieces::rectangleMask(256), rectangle.convertToFormat(QImage::Format_Grayscale8));

    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    ASSERT_EQ(canvas->edgeSoftness(), DrawView::defaultEdgeSoftness);
    const QImage piece = copiedPiece();
    QPainterPath outline;
    outline.addEllipse(QRectF(QPointF(0, 0), piece.size()));
    const QImage today = pieces::applyMask(pieces::copyRegion(canvas->currentImage().bitmap(), canvas->scaleSelectionFrame().center(),
                                                              0, piece.size(), outline),
                                           ellipse);
    EXPECT_EQ(piece, today);
}

// Softness 0 gives a hard edge (opaque up to the outline's antialiasing); more softness a wider band.
TEST_F(FaceEditsTest, EdgeSoftnessWidensTheBand) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    const int normal = partlyClear(copiedPiece());
    canvas->setEdgeSoftness(0);
    const QImage hard = copiedPiece();
    canvas->setEdgeSoftness(3);
    const int soft = partlyClear(copiedPiece());
    // A hard edge: only the outline's one-pixel antialiasing is partly clear, all of it at the rim.
    const QPointF c(hard.width() / 2.0, hard.height() / 2.0);
    const double a = hard.width() / 2.0, b = hard.height() / 2.0;
    for (int y = 0; y < hard.height(); ++y) {
        for (int x = 0; x < hard.width(); ++x) {
            const double dx = (x + 0.5 - c.x()) / a, dy = (y + 0.5 - c.y()) / b;
            if (std::sqrt(dx * dx + dy * dy) < 1.0 - 2.0 / b) {
                ASSERT_EQ(qAlpha(hard.pixel(x, y)), 255) << x << "," << y;
            }
        }
    }
    EXPECT_LT(partlyClear(hard), normal / 4);
    EXPECT_GT(soft, 2 * normal);

    canvas->setEdgeSoftness(-1);
    EXPECT_EQ(canvas->edgeSoftness(), 0);
    canvas->setEdgeSoftness(10);
    EXPECT_EQ(canvas->edgeSoftness(), DrawView::maxEdgeSoftness);
    canvas->setEdgeSoftness(std::nan(""));
    EXPECT_EQ(canvas->edgeSoftness(), DrawView::defaultEdgeSoftness);
}

// The rectangle's band widens too, and at 0 its piece is opaque to the edge.
TEST_F(FaceEditsTest, TheRectanglesEdgeToo) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    canvas->changeSelectionShape(1);
    const int normal = partlyClear(copiedPiece());
    canvas->setEdgeSoftness(0);
    EXPECT_EQ(partlyClear(copiedPiece()), 0);
    canvas->setEdgeSoftness(2);
    EXPECT_GT(partlyClear(copiedPiece()), normal * 3 / 2);
}

// The selection goes over a region given in photo pixels: centre, size and turn.
TEST_F(FaceEditsTest, PlaceSelectionFitsARegion) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    canvas->placeSelection({QPointF(300, 220), QSizeF(200, 360), 0.3f});
    EXPECT_NEAR(canvas->scaleSelectionFrame().center().x(), 300, 0.01);
    EXPECT_NEAR(canvas->scaleSelectionFrame().center().y(), 220, 0.01);
    EXPECT_NEAR(canvas->scaleSelectedRegion().width(), 200, 0.01);
    EXPECT_NEAR(canvas->scaleSelectedRegion().height(), 360, 0.01);
    EXPECT_FLOAT_EQ(overlay()->rotationAngle(), 0.3f);
    // A region smaller than the overlay allows gets the overlay's smallest.
    canvas->placeSelection({QPointF(100, 100), QSizeF(10, 10), 0});
    EXPECT_EQ(overlay()->bounds().size(), QSizeF(overlay()->minSelectionViewWidth(), overlay()->minSelectionViewHeight()));
    EXPECT_NEAR(canvas->scaleSelectionFrame().center().x(), 100, 0.01);
}

// Zoomed in, the overlay keeps its handles' size on the screen: a region too small for the overlay at zoom 1
// gets the selection fitted around it, a copy cuts just that region, a change of zoom keeps the region where
// it is on the canvas, and the saved size is the one zoom 1 would have.
TEST_F(FaceEditsTest, ZoomedInASmallRegionGetsTheSelectionAroundIt) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    overlay()->setZoom(4);
    canvas->placeSelection({QPointF(100, 100), QSizeF(20, 24), 0}); // 10 x 12 canvas points
    EXPECT_NEAR(canvas->scaleSelectedRegion().width(), 20, 0.01);
    EXPECT_NEAR(canvas->scaleSelectedRegion().height(), 24, 0.01);
    EXPECT_NEAR(canvas->scaleSelectionFrame().center().x(), 100, 0.01);
    const QSizeF margins(2 * selection::horizontalContentOffset, 2 * selection::verticalContentOffset);
    EXPECT_EQ(overlay()->bounds().size(), QSizeF(40, 48) + margins) << "the overlay's own points are the screen's";
    EXPECT_NEAR(canvas->scaleSelectionFrame().width(), (40 + margins.width()) / 4 * 2, 0.01) << "drawn a quarter as large";
    EXPECT_EQ(overlay()->unzoomedBoundsSize(), QSizeF(10, 12) + margins);
    EXPECT_EQ(copiedPiece().size(), QSize(20, 24));
    EXPECT_EQ(canvas->snapshot().size, QSizeF(10, 12) + margins);
    overlay()->setZoom(3);
    EXPECT_NEAR(canvas->scaleSelectedRegion().width(), 20, 0.01) << "the region stays as it was on the canvas";
    EXPECT_NEAR(canvas->scaleSelectionFrame().center().y(), 100, 0.01);
    // Back at zoom 1 the smallest overlay holds again.
    overlay()->setZoom(1);
    EXPECT_EQ(overlay()->bounds().size(), QSizeF(overlay()->minSelectionViewWidth(), overlay()->minSelectionViewHeight()));
}

// Each region goes to the other's place, turned and scaled to fit, in one edit that one Undo takes back;
// nothing else changes, and the floating piece stays.
TEST_F(FaceEditsTest, SwapRegionsExchangesTwoRegions) {
    const QPointF a(200, 200), b(600, 200);
    const QImage photo = patternPhoto(a, 40);
    canvas->setCurrentImage(Image(photo));
    canvas->doCopy();
    const QImage floating = overlay()->imageSelection().bitmap();
    canvas->changeSelectionShape(1); // a rectangle, so that the corners travel too
    canvas->setEdgeSoftness(0);
    // B is larger and turned a quarter clockwise.
    canvas->swapRegions({a, QSizeF(120, 120), 0}, {b, QSizeF(180, 180), float(M_PI / 2)});
    const QImage out = canvas->currentImage().bitmap();
    const auto near = [&](QPointF p, QColor colour) { return channelDistance(out.pixel(p.toPoint()), colour.rgb()) <= 8; };
    // A's pattern at B, 1.5 times as large and turned: its red top-left square is now B's top right.
    EXPECT_TRUE(near(b + QPointF(30, -30), Qt::red));
    EXPECT_TRUE(near(b + QPointF(30, 30), Qt::green));
    EXPECT_TRUE(near(b + QPointF(-30, -30), Qt::blue));
    EXPECT_TRUE(near(b + QPointF(-30, 30), Qt::yellow));
    EXPECT_TRUE(near(b + QPointF(70, 0), QColor(128, 128, 128))); // beyond the pattern's 60-pixel reach
    // B's grey at A: the pattern is gone there.
    EXPECT_TRUE(near(a + QPointF(-20, -20), QColor(128, 128, 128)));
    EXPECT_TRUE(near(a + QPointF(20, 20), QColor(128, 128, 128)));
    // Outside both regions, nothing changed.
    for (QPoint p : {QPoint(5, 5), QPoint(400, 200), QPoint(795, 395), QPoint(200, 290)})
        EXPECT_EQ(out.pixel(p), photo.pixel(p)) << p.x() << "," << p.y();
    EXPECT_EQ(overlay()->imageSelection().bitmap(), floating);
    canvas->doUndo();
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    EXPECT_EQ(overlay()->imageSelection().bitmap(), floating);
}

// With blending on, a swap changes only the regions, and changes them differently from a plain swap: the
// right half of the photo is darker, so each piece takes the other half's tone.
TEST_F(FaceEditsTest, BlendedSwapChangesOnlyTheRegions) {
    const QPointF a(200, 200), b(600, 200);
    QImage photo = patternPhoto(a, 40);
    QPainter(&photo).fillRect(QRect(400, 0, 400, 400), QColor(60, 60, 60));
    canvas->setCurrentImage(Image(photo));
    const pieces::PhotoRegion ra{a, QSizeF(120, 120), 0}, rb{b, QSizeF(120, 120), 0};
    canvas->swapRegions(ra, rb);
    const QImage plain = canvas->currentImage().bitmap();
    canvas->doUndo();
    canvas->setBlendsIn(true);
    canvas->swapRegions(ra, rb);
    EXPECT_EQ(canvas->currentImage().bitmap(), plain) << "the plain swap shows while the blend is worked out";
    ASSERT_TRUE(QTest::qWaitFor([this] { return !canvas->isBlending(); }, 10000));
    const QImage blended = canvas->currentImage().bitmap();
    int differ = 0;
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            const bool inRegion = std::hypot(x - a.x(), y - a.y()) < 62 || std::hypot(x - b.x(), y - b.y()) < 62;
            if (!inRegion)
                ASSERT_EQ(blended.pixel(x, y), photo.pixel(x, y)) << x << "," << y;
            else
                differ += channelDistance(blended.pixel(x, y), plain.pixel(x, y)) > 8;
        }
    }
    EXPECT_GT(differ, 500);
}

// Paste blends too when the option is on, and Undo takes it back like any Paste.
TEST_F(FaceEditsTest, PasteBlendsWhenOn) {
    QImage photo = patternPhoto(QPointF(200, 200), 40);
    QPainter(&photo).fillRect(QRect(400, 0, 400, 400), QColor(60, 60, 60));
    canvas->setCurrentImage(Image(photo));
    canvas->placeSelection({QPointF(200, 200), QSizeF(120, 120), 0});
    canvas->doCopy();
    canvas->placeSelection({QPointF(600, 200), QSizeF(120, 120), 0});
    canvas->doPaste();
    const QImage plain = canvas->currentImage().bitmap();
    canvas->doUndo();
    canvas->setBlendsIn(true);
    canvas->doPaste();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !canvas->isBlending(); }, 10000));
    const QImage blended = canvas->currentImage().bitmap();
    // The grey around the pattern took the dark half's tone.
    EXPECT_GT(channelDistance(plain.pixel(600, 250), blended.pixel(600, 250)), 30);
    EXPECT_EQ(blended.pixel(600, 300), photo.pixel(600, 300));
    canvas->doUndo();
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    // An Undo before the blend is done wins: the late blend is dropped.
    canvas->doPaste();
    canvas->doUndo();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !canvas->isBlending(); }, 10000));
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
}
