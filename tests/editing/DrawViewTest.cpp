#include <array>
#include <cmath>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QGraphicsScene>
#include <QPainterPath>
#include <QTest>

#include <gtest/gtest.h>

#include "editing/DrawView.h"
#include "editing/EditingStateWriter.h"
#include "editing/PieceOperations.h"
#include "editing/SelectionEllipse.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/Directories.h"
#include "platform/UserDefaults.h"
#include "support/IsolatedTest.h"
#include "support/Render.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using grinsley::platform::Image;
using grinsley::testing::channelDistance;

namespace {

constexpr float quarterTurn = 1.5707964f;

// A 400 x 400 canvas in a scene, set up as the editor does.
class DrawViewTest : public grinsley::testing::IsolatedTest {
protected:
    void SetUp() override {
        IsolatedTest::SetUp();
        platform::Device::setIdiom(platform::Idiom::Phone);
        canvas = makeCanvas();
    }

    DrawView* makeCanvas() {
        auto* view = new DrawView(QSizeF(400, 400));
        scene.addItem(view);
        view->initialize(44, 44, nullptr);
        return view;
    }

    SelectionView* overlay() const { return canvas->selectionView(); }

    // The photo on the canvas, a piece copied from (120, 200) and swapped in at (280, 200); the piece copied.
    QImage copyThenSwap(const QImage& photo) {
        canvas->setCurrentImage(Image(photo));
        overlay()->setCenter({120, 200});
        canvas->doCopy();
        const QImage first = overlay()->imageSelection().bitmap();
        overlay()->setCenter({280, 200});
        canvas->doSwap();
        return first;
    }

    // The largest channel difference between two photos inside a disc.
    static int worstInside(const QImage& a, const QImage& b, QPointF centre, qreal radius) {
        int worst = 0;
        for (int y = int(centre.y() - radius); y <= int(centre.y() + radius); ++y)
            for (int x = int(centre.x() - radius); x <= int(centre.x() + radius); ++x)
                if (std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y()) <= radius)
                    worst = std::max(worst, channelDistance(a.pixel(x, y), b.pixel(x, y)));
        return worst;
    }

    QGraphicsScene scene;
    DrawView* canvas = nullptr; // owned by the scene
};

// A shape whose mask is nowhere to be found.
struct MasklessEllipse : SelectionShape {
    void addShapeToPath(QPainterPath& path, const QRectF& rect) const override { path.addEllipse(rect); }
    QString getPathForMaskFile() const override { return QStringLiteral("/nonexistent/mask.png"); }
};

} // namespace

TEST_F(DrawViewTest, PhotoTwiceAsWideFillsTheWidthCentredVertically) {
    EXPECT_EQ(overlay()->center(), QPointF(200, 200));
    EXPECT_EQ(overlay()->bounds().size(), QSizeF(132, 264));
    EXPECT_EQ(canvas->topToolbarHeight(), 44);
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({800, 400})));
    EXPECT_FLOAT_EQ(canvas->scaleRatio(), 2.0f);
    EXPECT_EQ(canvas->imageOffset(), QPointF(0, 100));
    // The overlay's centre is the photo's centre; the region is 88 x 132 points, 176 x 264 pixels.
    EXPECT_EQ(canvas->scaleSelectionFrame().center(), QPointF(400, 200));
    EXPECT_EQ(canvas->scaleSelectedRegion().size(), QSizeF(176, 264));
    // Without a photo the ratio stays as it was.
    canvas->setCurrentImage(Image());
    EXPECT_FLOAT_EQ(canvas->scaleRatio(), 2.0f);
}

TEST_F(DrawViewTest, CopyThenPasteInPlaceLeavesThePhotoAsItWas) {
    for (float angle : {0.0f, quarterTurn, 0.4f}) {
        const QImage photo = grinsley::testing::gradientPhoto({800, 400});
        canvas->setCurrentImage(Image(photo));
        overlay()->setBoundsIfValid({300, 250}); // a wide region: 256 x 118 points
        overlay()->setCenter({210, 190});
        overlay()->setRotationAngle(angle);
        const QImage snapshot = canvas->previousImage().bitmap();
        canvas->doCopy();
        ASSERT_TRUE(canvas->hasSelectedImage());
        EXPECT_EQ(overlay()->imageSelection().pixelSize(), QSize(512, 236));
        EXPECT_EQ(canvas->previousImage().bitmap(), snapshot); // copy takes no snapshot
        canvas->doPaste();
        const QImage after = canvas->currentImage().bitmap();
        ASSERT_EQ(after.size(), photo.size());
        // Well inside the ellipse the piece is opaque and lands back on the pixels it came from.
        const QPointF centre = canvas->scaleSelectionFrame().center();
        EXPECT_LE(worstInside(photo, after, centre, 100), 3) << "angle " << angle;
        // Far outside it nothing changed at all.
        EXPECT_EQ(after.pixel(5, 5), photo.pixel(5, 5));
        EXPECT_EQ(canvas->previousImage().bitmap(), photo);
    }
}

TEST_F(DrawViewTest, PieceIsClippedToTheShapeAndSoftenedAtItsEdge) {
    QImage white(400, 400, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    canvas->setCurrentImage(Image(white));
    canvas->doCopy();
    const QImage piece = overlay()->imageSelection().bitmap();
    ASSERT_EQ(piece.size(), QSize(88, 132));
    EXPECT_EQ(qAlpha(piece.pixel(44, 66)), 255);  // centre: kept
    EXPECT_EQ(qAlpha(piece.pixel(0, 0)), 0);      // corner: outside the ellipse
    // Towards the bottom of the outline the mask fades the piece out.
    const int nearEdge = qAlpha(piece.pixel(44, 127));
    EXPECT_GT(nearEdge, 0);
    EXPECT_LT(nearEdge, 255);
    EXPECT_LT(qAlpha(piece.pixel(44, 130)), 40);
    // A rectangle, copied after that, is softened by its own mask: its corners stay.
    canvas->changeSelectionShape(RectangleShape);
    canvas->doCopy();
    EXPECT_EQ(qAlpha(overlay()->imageSelection().bitmap().pixel(12, 16)), 255);
}

TEST_F(DrawViewTest, WithoutAMaskThePieceIsStillClippedToItsShape) {
    QImage white(400, 400, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    canvas->setCurrentImage(Image(white));
    overlay()->setSelectionShape(std::make_unique<MasklessEllipse>());
    canvas->doCopy();
    const QImage piece = overlay()->imageSelection().bitmap();
    ASSERT_FALSE(piece.isNull());
    EXPECT_EQ(qAlpha(piece.pixel(44, 66)), 255);
    EXPECT_EQ(qAlpha(piece.pixel(44, 127)), 255); // not softened
    EXPECT_EQ(qAlpha(piece.pixel(0, 0)), 0);      // but clipped
}

TEST_F(DrawViewTest, PasteAfterEnlargingStretchesThePiece) {
    // A red disc of radius 20 photo pixels under the selection's centre, on blue.
    QImage photo(400, 400, QImage::Format_ARGB32_Premultiplied);
    photo.fill(Qt::blue);
    {
        QPainter p(&photo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawEllipse(QPointF(200, 200), 20, 20);
    }
    canvas->setCurrentImage(Image(photo));
    canvas->doCopy();
    overlay()->setBoundsIfValid({22 * 2 + 88 * 2, 66 * 2 + 132 * 2}); // the region twice as large
    QImage blue(400, 400, QImage::Format_ARGB32_Premultiplied);
    blue.fill(Qt::blue);
    canvas->setCurrentImage(Image(blue));
    canvas->doPaste();
    const QImage after = canvas->currentImage().bitmap();
    EXPECT_EQ(QColor(after.pixel(200 + 30, 200)), QColor(Qt::red)); // inside the doubled disc
    EXPECT_EQ(QColor(after.pixel(200 + 50, 200)), QColor(Qt::blue));
}

TEST_F(DrawViewTest, SwapThenUndoRestoresPhotoAndEarlierPiece) {
    const QImage photo = grinsley::testing::gradientPhoto({400, 400});
    const QImage first = copyThenSwap(photo);
    // The photo now shows the first piece on the right; the piece is what was there.
    EXPECT_NE(canvas->currentImage().bitmap(), photo);
    EXPECT_LE(channelDistance(canvas->currentImage().bitmap().pixel(280, 200), photo.pixel(120, 200)), 3);
    EXPECT_LE(channelDistance(overlay()->imageSelection().bitmap().pixel(44, 66), photo.pixel(280, 200)), 3);
    EXPECT_EQ(canvas->previousSelectedImage().bitmap(), first);
    canvas->doUndo();
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    EXPECT_EQ(overlay()->imageSelection().bitmap(), first);
    EXPECT_TRUE(canvas->previousImage().isNull());
    EXPECT_TRUE(canvas->previousSelectedImage().isNull());
    canvas->doUndo(); // nothing left to undo: nothing happens
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
}

// An edit after a Swap is a step of its own: Undo takes it back first, then the Swap (the photo and the
// earlier piece together, as the one Undo always did); Redo does both again.
TEST_F(DrawViewTest, EditsAfterASwapAreStepsOfTheirOwn) {
    struct Case {
        const char* name;
        void (*then)(DrawView*);
    };
    const Case cases[] = {
        {"nothing", [](DrawView*) {}},
        {"Copy", [](DrawView* c) { c->doCopy(); }},
        {"Clear", [](DrawView* c) { c->doClear(); }},
        {"Flip", [](DrawView* c) { c->flipHorizontally(); }},
        {"Paste", [](DrawView* c) { c->doPaste(); }},
    };
    const QImage photo = grinsley::testing::gradientPhoto({400, 400});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage first = copyThenSwap(photo);
        const QImage swapped = canvas->currentImage().bitmap();
        const QImage underneath = overlay()->imageSelection().bitmap();
        overlay()->setCenter({200, 150});
        c.then(canvas);
        const QImage photoAfter = canvas->currentImage().bitmap(), pieceAfter = overlay()->imageSelection().bitmap();
        const bool isStep = c.then != cases[0].then;
        if (isStep) {
            canvas->doUndo();
            EXPECT_EQ(canvas->currentImage().bitmap(), swapped);
            EXPECT_EQ(overlay()->imageSelection().bitmap(), underneath);
        }
        canvas->doUndo();
        EXPECT_EQ(canvas->currentImage().bitmap(), photo);
        EXPECT_EQ(overlay()->imageSelection().bitmap(), first);
        EXPECT_EQ(overlay()->center(), QPointF(280, 200)) << "where the Swap was made";
        while (canvas->canRedo())
            canvas->doRedo();
        EXPECT_EQ(canvas->currentImage().bitmap(), photoAfter);
        EXPECT_EQ(overlay()->imageSelection().bitmap(), pieceAfter);
        EXPECT_EQ(overlay()->center(), isStep ? QPointF(200, 150) : QPointF(280, 200));
        canvas->setPreviousImage(Image());
        EXPECT_FALSE(canvas->canUndo());
    }
}

// Every kind of edit, with a turned and resized selection, undone to the exact pixels, piece and selection as
// the edit found them and redone to those it left; the blended result of a paste is the step's. Then the same
// edits worked out on a worker: until one lands the canvas shows what was there and the selection moves on
// freely, the next command waits for it, and each lands as it would have at once.
TEST_F(DrawViewTest, AHistoryOfMixedEditsUndoneAndRedoneExactly) {
    std::vector<QImage> inline_;
    for (const bool onWorker : {false, true}) {
    SCOPED_TRACE(onWorker ? "on a worker" : "at once");
    if (onWorker) {
        canvas = makeCanvas();
        canvas->setDrawingOnWorkerFrom(0);
    }
    struct State {
        QImage photo, piece;
        QPointF centre;
        float angle;
        QSizeF size;
    };
    const auto now = [&] {
        return State{canvas->currentImage().bitmap(), overlay()->imageSelection().bitmap(), overlay()->center(),
                     overlay()->rotationAngle(), overlay()->unzoomedBoundsSize()};
    };
    struct Edit {
        const char* name;
        QPointF centre; // the selection is moved and turned there first
        float angle;
        std::function<void()> act;
    };
    const QImage photo = grinsley::testing::gradientPhoto({800, 800});
    canvas->setCurrentImage(Image(photo));
    overlay()->setBoundsIfValid({150, 230});
    const std::vector<Edit> edits = {
        {"Copy", {120, 200}, 0.4f, [&] { canvas->doCopy(); }},
        {"Paste", {260, 140}, -0.7f, [&] { canvas->doPaste(); }},
        {"Swap", {200, 300}, 1.1f, [&] { canvas->doSwap(); }},
        {"Flip", {210, 300}, 1.1f, [&] { canvas->flipHorizontally(); }},
        {"swapRegions", {210, 300}, 1.1f, [&] { canvas->swapRegions({{200, 200}, {90, 140}, 0.3f}, {{600, 500}, {120, 100}, -0.2f}); }},
        {"Blended paste", {300, 250}, 0.0f, [&] {
             canvas->setBlendsIn(true);
             canvas->doPaste();
             ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas->isDrawing() && !canvas->isBlending(); }, 10000));
             QCoreApplication::processEvents();
             canvas->setBlendsIn(false);
         }},
        {"fitted result", {300, 250}, 0.0f, [&] {
             QImage result = canvas->currentImage().bitmap();
             QPainter(&result).fillRect(QRect(700, 20, 30, 50), Qt::green);
             ASSERT_TRUE(canvas->applyEditedPhoto(result, canvas->currentImage().bitmap().cacheKey()));
         }},
        {"Paste, then Undo and Redo at once", {330, 330}, 0.8f, [&] { canvas->doPaste(); canvas->doUndo(); canvas->doRedo(); }},
        {"Clear", {150, 100}, -0.3f, [&] { canvas->doClear(); }},
        {"Copy again", {160, 180}, 0.5f, [&] { canvas->doCopy(); }},
        {"Crop's blank photo", {100, 100}, 0.2f, [&] { canvas->doCrop(); canvas->doUndo(); canvas->doRedo(); }},
    };
    std::vector<State> before, after;
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.name);
        overlay()->setCenter(edit.centre);
        overlay()->setRotationAngle(edit.angle);
        before.push_back(now());
        edit.act();
        if (canvas->isDrawing()) {
            EXPECT_EQ(now().photo, before.back().photo);
            EXPECT_EQ(now().piece, before.back().piece);
            overlay()->setCenter({50, 60}); // dragged on: the step is where the edit was asked for
            ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas->isDrawing(); }, 10000));
            overlay()->setCenter(edit.centre);
        }
        after.push_back(now());
        ASSERT_FALSE(after.back().photo == before.back().photo && after.back().piece == before.back().piece) << "the edit changed nothing";
    }
    ASSERT_EQ(canvas->history().undoCount(), int(edits.size()) + 1) << "Crop is two steps: its Copy and the blank photo";
    canvas->doUndo(); // the Crop's blank photo: the cropped piece stays
    EXPECT_EQ(canvas->currentImage().bitmap(), before.back().photo);
    EXPECT_NE(overlay()->imageSelection().bitmap(), before.back().piece);
    const auto expectState = [&](const State& want) {
        const State got = now();
        EXPECT_EQ(got.photo, want.photo);
        EXPECT_EQ(got.piece, want.piece);
        EXPECT_NEAR(got.centre.x(), want.centre.x(), 1e-3);
        EXPECT_NEAR(got.centre.y(), want.centre.y(), 1e-3);
        EXPECT_FLOAT_EQ(got.angle, want.angle);
        EXPECT_EQ(got.size, want.size);
    };
    canvas->doUndo(); // the Crop's Copy
    expectState(before.back());
    for (std::size_t i = edits.size() - 1; i-- > 0;) {
        SCOPED_TRACE(std::string("undoing ") + edits[i].name);
        canvas->doUndo();
        expectState(before[i]);
    }
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    EXPECT_FALSE(canvas->canUndo());
    for (std::size_t i = 0; i < edits.size(); ++i) {
        SCOPED_TRACE(std::string("redoing ") + edits[i].name);
        canvas->doRedo();
        if (i == edits.size() - 1)
            canvas->doRedo(); // the Crop's second step
        expectState(after[i]);
    }
    EXPECT_FALSE(canvas->canRedo());
    canvas->doCopy();
    canvas->flipHorizontally(); // waits for the Copy
    std::vector<QImage> photos{overlay()->imageSelection().bitmap()};
    for (const State& state : after)
        photos.push_back(state.photo);
    if (!onWorker)
        inline_ = photos;
    else
        EXPECT_EQ(photos, inline_);
    }
}

// A step keeps only the pixels it changed: nothing for a paste beside the photo, however large the photo.
TEST_F(DrawViewTest, APasteBesideThePhotoKeepsNoPixels) {
    const QImage photo = grinsley::testing::gradientPhoto({800, 400}); // drawn from y 100 to 300
    canvas->setCurrentImage(Image(photo));
    overlay()->setCenter({200, 200});
    canvas->doCopy();
    const qsizetype afterCopy = canvas->history().bytes();
    overlay()->setCenter({200, 0});
    overlay()->setBoundsIfValid({44 + 40, 132 + 40});
    canvas->doPaste();
    EXPECT_TRUE(canvas->canUndo());
    EXPECT_EQ(canvas->history().bytes(), afterCopy);
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
}

TEST_F(DrawViewTest, PasteThenUndoKeepsTheCurrentPiece) {
    const QImage photo = grinsley::testing::gradientPhoto({400, 400});
    canvas->setCurrentImage(Image(photo));
    canvas->doCopy();
    overlay()->setCenter({100, 100});
    canvas->doPaste();
    const QImage piece = overlay()->imageSelection().bitmap();
    canvas->doUndo();
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    EXPECT_EQ(overlay()->imageSelection().bitmap(), piece);
}

TEST_F(DrawViewTest, CropLeavesOnlyThePieceOverABlankPhoto) {
    const QImage photo = grinsley::testing::gradientPhoto({400, 400});
    canvas->setCurrentImage(Image(photo));
    canvas->doCrop();
    const QImage blank = canvas->currentImage().bitmap();
    ASSERT_EQ(blank.size(), photo.size());
    EXPECT_EQ(qAlpha(blank.pixel(200, 200)), 0); // a phone's crop is transparent
    EXPECT_EQ(qAlpha(blank.pixel(0, 399)), 0);
    ASSERT_TRUE(canvas->hasSelectedImage());
    const QImage piece = overlay()->imageSelection().bitmap();
    canvas->doUndo();
    EXPECT_EQ(canvas->currentImage().bitmap(), photo);
    EXPECT_EQ(overlay()->imageSelection().bitmap(), piece); // the cropped piece stays

    platform::Device::setIdiom(platform::Idiom::Tablet);
    canvas->doCrop();
    EXPECT_EQ(canvas->currentImage().bitmap().pixel(200, 200), qRgba(0, 0, 0, 255));
}

TEST_F(DrawViewTest, EditsWithoutWhatTheyNeedChangeNothing) {
    canvas->doCopy();
    canvas->doPaste();
    canvas->doSwap();
    canvas->doCrop();
    canvas->doUndo();
    EXPECT_TRUE(canvas->currentImage().isNull());
    EXPECT_FALSE(canvas->hasSelectedImage());
    EXPECT_FALSE(overlay()->isFlashing());
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({100, 100})));
    canvas->doPaste(); // no piece
    EXPECT_TRUE(canvas->previousImage().isNull());
    canvas->doCopy();
    canvas->doClear();
    EXPECT_FALSE(canvas->hasSelectedImage());
    EXPECT_TRUE(overlay()->isFlashing());
}

TEST_F(DrawViewTest, CentreIsKeptOnTheCanvas) {
    overlay()->setCenterWithBoundsCheck({-50, 700});
    EXPECT_EQ(overlay()->center(), QPointF(0, 400));
    overlay()->setCenterWithBoundsCheck({390, 390});
    canvas->setSize({300, 500}); // the device turned
    canvas->updateView(0, 0);
    EXPECT_EQ(overlay()->center(), QPointF(300, 390));
}

TEST_F(DrawViewTest, RestartRestoresPhotoPieceAndGeometry) {
    const QImage photo = grinsley::testing::gradientPhoto({600, 300});
    canvas->setCurrentImage(Image(photo));
    overlay()->setBoundsIfValid({180, 300});
    overlay()->setCenter({150, 220});
    overlay()->setRotationAngle(0.75f);
    canvas->doCopy();
    const QImage piece = overlay()->imageSelection().bitmap();
    canvas->saveApplicationState();
    // The user's work is kept with the program's data, not in the cache.
    for (const char* key : {"currentImage", "imageSelection"}) {
        const QString saved = platform::UserDefaults::standard().stringForKey(key);
        EXPECT_TRUE(QFile::exists(saved)) << key;
        EXPECT_TRUE(saved.startsWith(platform::Directories::applicationData() + "/Editing/")) << key;
    }

    platform::UserDefaults::resetStandard(); // as a new process would
    DrawView* restored = makeCanvas();
    restored->restoreApplicationState();
    EXPECT_EQ(restored->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), photo.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(restored->selectionView()->imageSelection().bitmap(), piece);
    EXPECT_FLOAT_EQ(restored->selectionView()->rotationAngle(), 0.75f);
    EXPECT_EQ(restored->selectionView()->center(), QPointF(150, 220));
    EXPECT_EQ(restored->selectionView()->bounds().size(), QSizeF(180, 300));
    EXPECT_TRUE(restored->previousImage().isNull()); // nothing to undo after a restart
}

TEST_F(DrawViewTest, SavedPieceWithoutGeometryKeepsTheOverlaysOwn) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({400, 400})));
    canvas->doCopy();
    canvas->saveApplicationState();
    auto& defaults = platform::UserDefaults::standard();
    for (const char* key : {"selectionViewCenterX", "selectionViewCenterY", "selectionViewWidth", "selectionViewHeight",
                            "selectionPhotoCenterX", "selectionPhotoCenterY"})
        defaults.setFloat(0, key);
    DrawView* restored = makeCanvas();
    restored->selectionView()->setCenter({123, 321});
    restored->restoreApplicationState();
    EXPECT_TRUE(restored->hasSelectedImage());
    EXPECT_EQ(restored->selectionView()->center(), QPointF(123, 321));
    EXPECT_EQ(restored->selectionView()->bounds().size(), QSizeF(132, 264));
}

// The saved overlay comes back only with its piece; a centre saved off the canvas comes back on it.
TEST_F(DrawViewTest, RestoringTheOverlaysGeometry) {
    auto& defaults = platform::UserDefaults::standard();
    const auto storeGeometry = [&] {
        defaults.setFloat(0.5f, EditingStateWriter::rotationAngleKey);
        defaults.setFloat(900, EditingStateWriter::centerXKey);
        defaults.setFloat(-40, EditingStateWriter::centerYKey);
        defaults.setFloat(150, EditingStateWriter::widthKey);
        defaults.setFloat(300, EditingStateWriter::heightKey);
    };
    canvas->doCopy(); // no photo: no piece, nothing saved but the geometry below
    canvas->saveApplicationState();
    storeGeometry();
    DrawView* withoutPiece = makeCanvas();
    withoutPiece->selectionView()->setCenter({123, 321});
    withoutPiece->restoreApplicationState();
    EXPECT_FALSE(withoutPiece->hasSelectedImage());
    EXPECT_EQ(withoutPiece->selectionView()->rotationAngle(), 0.0f) << "no piece: no turn";
    EXPECT_EQ(withoutPiece->selectionView()->center(), QPointF(123, 321)) << "no piece: the overlay's own place";
    EXPECT_EQ(withoutPiece->selectionView()->bounds().size(), QSizeF(132, 264));

    QImage piece(40, 40, QImage::Format_ARGB32_Premultiplied);
    piece.fill(Qt::red);
    overlay()->setImageSelection(Image(piece));
    canvas->saveApplicationState();
    storeGeometry();
    defaults.setFloat(0, EditingStateWriter::photoCenterXKey); // no photo: the canvas centre is what counts
    defaults.setFloat(0, EditingStateWriter::photoCenterYKey);
    DrawView* withPiece = makeCanvas();
    withPiece->restoreApplicationState();
    ASSERT_TRUE(withPiece->hasSelectedImage());
    EXPECT_FLOAT_EQ(withPiece->selectionView()->rotationAngle(), 0.5f);
    EXPECT_EQ(withPiece->selectionView()->center(), QPointF(400, 0)) << "pulled onto the canvas";
    EXPECT_EQ(withPiece->selectionView()->bounds().size(), QSizeF(150, 300));
}

// The photo is drawn fitted and centred: a wide photo leaves bands above and below it.
TEST_F(DrawViewTest, ThePhotoIsDrawnAtItsOffset) {
    QImage photo(200, 100, QImage::Format_RGB32);
    photo.fill(Qt::red);
    for (int y = 50; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            photo.setPixelColor(x, y, Qt::blue);
    canvas->setCurrentImage(Image(photo));
    ASSERT_EQ(canvas->imageOffset(), QPointF(0, 100));
    QImage drawn(400, 400, QImage::Format_RGB32);
    drawn.fill(Qt::magenta);
    QPainter painter(&drawn);
    canvas->paint(&painter, nullptr, nullptr);
    painter.end();
    EXPECT_EQ(drawn.pixelColor(200, 90), QColor(Qt::magenta)) << "above the photo";
    EXPECT_EQ(drawn.pixelColor(200, 110), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(200, 290), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(200, 310), QColor(Qt::magenta)) << "below the photo";
}

TEST_F(DrawViewTest, BrokenSavedStateIsTreatedAsAbsent) {
    auto& defaults = platform::UserDefaults::standard();
    const QString junk = platform::Directories::caches() + "/junk.png";
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    defaults.setObject(junk, "currentImage");
    defaults.setObject(junk, "imageSelection");
    canvas->restoreApplicationState();
    EXPECT_TRUE(canvas->currentImage().isNull());
    EXPECT_FALSE(canvas->hasSelectedImage());

    // A good piece with geometry that is not a finite number: the piece comes back, the junk does not.
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({400, 400})));
    canvas->doCopy();
    canvas->saveApplicationState();
    defaults.setObject("nan", "rotationAngle");
    defaults.setObject("inf", "selectionViewCenterX");
    defaults.setObject("banana", "selectionViewWidth");
    defaults.setObject(1e300, "selectionViewHeight");
    DrawView* restored = makeCanvas();
    restored->restoreApplicationState();
    EXPECT_TRUE(restored->hasSelectedImage());
    EXPECT_EQ(restored->selectionView()->rotationAngle(), 0.0f);
    EXPECT_TRUE(std::isfinite(restored->selectionView()->center().x()));
    EXPECT_EQ(restored->selectionView()->bounds().size(), QSizeF(132, 264));
}

TEST_F(DrawViewTest, AFailedSaveLeavesTheLastSavedState) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({200, 200})));
    canvas->saveApplicationState();
    auto& defaults = platform::UserDefaults::standard();
    const QString saved = defaults.stringForKey("currentImage");
    ASSERT_FALSE(saved.isEmpty());
    // A file where the editing folder must be makes the write fail (permissions would not stop root).
    const QString folder = EditingStateWriter::folder();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({50, 50})));
    canvas->saveApplicationState();
    EXPECT_EQ(defaults.stringForKey("currentImage"), saved);
}

TEST(PieceOperations, MaskOpacityIsOneMinusTheSample) {
    QImage piece(2, 1, QImage::Format_ARGB32_Premultiplied);
    piece.fill(qRgba(200, 100, 50, 255));
    QImage mask(2, 1, QImage::Format_Grayscale8);
    mask.setPixel(0, 0, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    QImage wide(4, 1, QImage::Format_Grayscale8); // masks are stretched to the piece
    wide.fill(Qt::black);
    const QImage out = pieces::applyMask(piece, mask);
    EXPECT_EQ(out.pixel(0, 0), qRgba(200, 100, 50, 255));
    EXPECT_EQ(qAlpha(out.pixel(1, 0)), 0);
    EXPECT_EQ(pieces::applyMask(piece, wide).pixel(1, 0), qRgba(200, 100, 50, 255));
    EXPECT_EQ(pieces::applyMask(piece, QImage()), piece);
    // Stretched between sample centres, across and down: black to white over four pixels.
    for (const bool across : {true, false}) {
        QImage ramp(across ? QSize(2, 1) : QSize(1, 2), QImage::Format_Grayscale8);
        ramp.setPixel(0, 0, qRgb(0, 0, 0));
        ramp.setPixel(across ? QPoint(1, 0) : QPoint(0, 1), qRgb(255, 255, 255));
        QImage long_(across ? QSize(4, 1) : QSize(1, 4), QImage::Format_ARGB32_Premultiplied);
        long_.fill(Qt::white);
        const QImage faded = pieces::applyMask(long_, ramp);
        const std::array opacities{255, 191, 64, 0};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(qAlpha(faded.pixel(across ? QPoint(i, 0) : QPoint(0, i))), opacities[std::size_t(i)]) << i;
    }
}

// Compare, held after a hard-edged paste on a photo larger than the canvas, draws the photo as it was, at the
// canvas's own scale and zoomed in at a scale that puts the edges of the change between screen pixels.
TEST_F(DrawViewTest, ComparingDrawsThePhotoAsItWas) {
    canvas->setCurrentImage(Image(grinsley::testing::gradientPhoto({1700, 1300})));
    canvas->setEdgeSoftness(0);
    canvas->changeSelectionShape(RectangleShape);
    overlay()->setCenter({100, 150});
    canvas->doCopy();
    overlay()->setCenter({260, 230});
    const auto drawn = [&](qreal zoom) {
        QImage screen((canvas->bounds().size() * zoom).toSize(), QImage::Format_RGB32);
        screen.fill(Qt::black);
        QPainter painter(&screen);
        painter.scale(zoom, zoom);
        canvas->paint(&painter, nullptr, nullptr);
        return screen;
    };
    const QImage before[] = {drawn(1), drawn(2.7)};
    canvas->doPaste();
    canvas->setComparing(true);
    for (int i : {0, 1}) {
        const QImage held = drawn(i ? 2.7 : 1);
        int worst = 0;
        for (int y = 0; y < held.height(); ++y)
            for (int x = 0; x < held.width(); ++x)
                worst = std::max(worst, channelDistance(held.pixel(x, y), before[i].pixel(x, y)));
        EXPECT_LE(worst, 2) << "zoom " << (i ? 2.7 : 1);
    }
}

// A canvas with a photo, a piece from one face over the other, for people to look at.
TEST_F(DrawViewTest, RendersTheCanvas) {
    const Image photo = platform::Bundle::imageNamed("Sample1", "jpg");
    ASSERT_FALSE(photo.isNull());
    canvas->setCurrentImage(Image(photo.bitmap()));
    overlay()->setCenter({123, 183});
    canvas->doCopy();
    overlay()->setCenter({280, 190});
    overlay()->setRotationAngle(0.2f);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !overlay()->isFlashing(); }, 3000));
    const QString path = grinsley::testing::renderToPng(&scene, QRectF(0, 0, 400, 400), "canvas-with-piece");
    EXPECT_FALSE(QImage(path).isNull());
}
