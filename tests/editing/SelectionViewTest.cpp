#include <cmath>

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include "editing/PopupMenuSupport.h"
#include "editing/SelectionRectangle.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/MainThread.h"
#include "support/IsolatedTest.h"
#include "support/Render.h"
#include "support/TouchScene.h"

using namespace grinsley;
using namespace grinsley::selection;
using grinsley::platform::EditAction;
using grinsley::platform::EditMenu;
using grinsley::platform::MainThread;

namespace {

constexpr float quarterTurn = 1.5707964f;

struct FakeSupport : PopupMenuSupport {
    bool copyAllowed = true, pasteAllowed = false, deleteAllowed = true;
    int copies = 0, pastes = 0, deletes = 0;
    void deleteButtonTouched() override { ++deletes; }
    bool canDelete() const override { return deleteAllowed; }
    void pasteButtonTouched() override { ++pastes; }
    bool canPaste() const override { return pasteAllowed; }
    void copyButtonTouched() override { ++copies; }
    bool canCopy() const override { return copyAllowed; }
};

// The overlay on an 800 x 800 canvas, centred at (400, 400), driven by real touch events.
class SelectionViewTest : public grinsley::testing::IsolatedTest {
protected:
    void SetUp() override {
        IsolatedTest::SetUp();
        touch = std::make_unique<grinsley::testing::TouchScene>();
        overlay = new SelectionView(QRectF(0, 0, 132, 264), touch->canvas());
        overlay->setCenter({400, 400});
        overlay->setPopupMenuSupport(&support);
    }
    void TearDown() override {
        EditMenu::shared().setMenuVisible(false);
        touch.reset();
        IsolatedTest::TearDown();
    }

    // A point given in overlay coordinates, where it is on the canvas now.
    QPointF at(QPointF overlayPoint) const { return overlay->mapToParent(overlayPoint); }

    void drag(QPointF from, QPointF to, int steps = 10) {
        touch->press(0, from);
        for (int i = 1; i <= steps; ++i)
            touch->move(0, from + (to - from) * (qreal(i) / steps));
        touch->release(0, to);
    }

    std::unique_ptr<grinsley::testing::TouchScene> touch;
    SelectionView* overlay = nullptr; // owned by the canvas
    FakeSupport support;
};

} // namespace

TEST_F(SelectionViewTest, StartsAsAnEllipseWithTheGivenFrame) {
    EXPECT_EQ(overlay->bounds(), QRectF(0, 0, 132, 264));
    EXPECT_EQ(overlay->frame(), QRectF(334, 268, 132, 264));
    EXPECT_EQ(overlay->rotationAngle(), 0.f);
    EXPECT_EQ(overlay->selectionRegionRect(), QRectF(22, 66, 88, 132));
    EXPECT_FALSE(overlay->getPathForMaskFile().isEmpty());
    EXPECT_FALSE(overlay->isHandlingTouchEvent());
    for (const HandleInfo& info : handles)
        EXPECT_FALSE(overlay->handleView(info.handle).image.isNull()) << info.icon;
    EXPECT_EQ(overlay->handleView(Handle::CenterMove).size, QSizeF(22, 22));
    EXPECT_EQ(overlay->handleView(Handle::UpperMove).opacity, 0.7);
}

TEST_F(SelectionViewTest, DragAwayFromTheHandlesMovesAndNotifies) {
    int notifications = 0;
    QObject::connect(overlay, &SelectionView::centerWithBoundsCheckChanged, [&] { ++notifications; });
    const QPointF start = at({60, 100});
    touch->press(0, start);
    EXPECT_EQ(overlay->touchAction(), TouchMove);
    touch->move(0, start + QPointF(30, 20));
    EXPECT_EQ(overlay->center(), QPointF(430, 420));
    touch->move(0, start + QPointF(-15, 5));
    EXPECT_EQ(overlay->center(), QPointF(385, 405));
    touch->release(0, start + QPointF(-15, 5));
    EXPECT_EQ(overlay->touchAction(), TouchNone);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(overlay->bounds().size(), QSizeF(132, 264));
}

struct EdgeCase {
    const char* name;
    Handle handle;
    QPointF drag;       // in canvas coordinates
    QSizeF size;        // expected bounds afterwards
    QPointF centre;     // expected centre afterwards
};
// Tests are listed by the case's name, not its bytes.
void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class ResizeEdge : public SelectionViewTest, public ::testing::WithParamInterface<EdgeCase> {};

// Each edge follows the finger and the opposite edge stays where it was.
TEST_P(ResizeEdge, OppositeEdgeStaysFixed) {
    const EdgeCase& c = GetParam();
    const QPointF from = at(handleCenter(c.handle, overlay->bounds().size()));
    drag(from, from + c.drag);
    EXPECT_EQ(overlay->bounds().size(), c.size) << c.name;
    EXPECT_NEAR(overlay->center().x(), c.centre.x(), 1e-4) << c.name;
    EXPECT_NEAR(overlay->center().y(), c.centre.y(), 1e-4) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Unrotated, ResizeEdge,
    ::testing::Values(EdgeCase{"right", Handle::RightResize, {20, 0}, {152, 264}, {410, 400}},
                      EdgeCase{"left", Handle::LeftResize, {-30, 0}, {162, 264}, {385, 400}},
                      EdgeCase{"top", Handle::TopResize, {0, -40}, {132, 304}, {400, 380}},
                      EdgeCase{"bottom", Handle::BottomResize, {0, 50}, {132, 314}, {400, 425}},
                      EdgeCase{"shrink right", Handle::RightResize, {-40, 0}, {92, 264}, {380, 400}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST_F(SelectionViewTest, RotatedQuarterTurnTopEdgeGrowsTowardsTheRight) {
    overlay->setRotationAngle(quarterTurn);
    // The overlay's top now faces the canvas's right, its bottom edge the left.
    const QRectF frame = overlay->frame();
    EXPECT_NEAR(frame.width(), 264, 1e-3);
    EXPECT_NEAR(frame.height(), 132, 1e-3);
    const qreal bottomEdgeX = overlay->center().x() - 132; // H/2 to the left
    const QPointF top = at(handleCenter(Handle::TopResize, {132, 264}));
    EXPECT_NEAR(top.x(), 400 + 66, 1e-3);
    drag(top, top + QPointF(30, 0));
    EXPECT_NEAR(overlay->bounds().height(), 294, 0.01);
    EXPECT_NEAR(overlay->center().x() - overlay->bounds().height() / 2, bottomEdgeX, 0.01);
    EXPECT_NEAR(overlay->center().y(), 400, 0.01);
}

TEST_F(SelectionViewTest, ResizeStopsAtTheMinimumAndRecovers) {
    const QPointF from = at(handleCenter(Handle::RightResize, {132, 264}));
    touch->press(0, from);
    for (int dx = -10; dx >= -100; dx -= 10)
        touch->move(0, from + QPointF(dx, 0));
    // 132 shrinks in steps of 10 down to 72; 62 and below are ignored, the edge stays.
    EXPECT_EQ(overlay->bounds().width(), 72);
    const qreal leftEdge = overlay->center().x() - 36;
    EXPECT_NEAR(leftEdge, 400 - 66, 1e-4);
    // Back to the right: the edge picks the finger up again where the finger reaches it.
    touch->move(0, from + QPointF(-40, 0));
    EXPECT_EQ(overlay->bounds().width(), 92);
    EXPECT_NEAR(overlay->center().x() - 46, leftEdge, 1e-4);
    touch->release(0, from + QPointF(-40, 0));
}

TEST_F(SelectionViewTest, HeightBelowItsMinimumIsIgnoredToo) {
    const QPointF from = at(handleCenter(Handle::BottomResize, {132, 264}));
    drag(from, from + QPointF(0, -120), 12);
    EXPECT_EQ(overlay->bounds().height(), 164); // 264 - 100; 154 would be under 158
}

TEST_F(SelectionViewTest, FullTurnFromTheLowerRightCornerAccumulates) {
    // Carry the finger around the centre along the circle the handle lies on.
    const QPointF centre = overlay->center();
    const QPointF handle = at(handleCenter(Handle::LowerRightRotation, {132, 264}));
    const QPointF arm = handle - centre;
    touch->press(0, handle);
    ASSERT_EQ(overlay->touchAction(), TouchRotateLowerRight);
    constexpr int steps = 72;
    for (int i = 1; i <= steps; ++i) {
        const qreal a = 2 * M_PI * i / steps;
        const QPointF turned(arm.x() * std::cos(a) - arm.y() * std::sin(a), arm.x() * std::sin(a) + arm.y() * std::cos(a));
        touch->move(0, centre + turned);
    }
    touch->release(0, centre + arm);
    EXPECT_NEAR(overlay->rotationAngle(), 2 * M_PI, 0.1);
    EXPECT_EQ(overlay->center(), centre); // rotation never moves the overlay
}

TEST_F(SelectionViewTest, HandlesOverlappingAtTheMinimumSizeGoByHitOrder) {
    overlay->setBoundsIfValid({10, 10});
    ASSERT_EQ(overlay->bounds().size(), QSizeF(70, 158));
    for (auto [point, action] : {std::pair{QPointF(40, 72), TouchMove}, {QPointF(14, 50), TouchResizeTop},
                                 {QPointF(5, 60), TouchResizeLeft}, {QPointF(65, 110), TouchRotateLowerRight}}) {
        touch->press(0, at(point));
        EXPECT_EQ(overlay->touchAction(), action) << point.x() << "," << point.y();
        touch->release(0, at(point));
    }
}

TEST_F(SelectionViewTest, SecondFingerStopsTheDragAndIsNotTaken) {
    const QPointF start = at({60, 100});
    touch->press(0, start);
    touch->move(0, start + QPointF(10, 0));
    ASSERT_EQ(overlay->center(), QPointF(410, 400));
    touch->pressSecond(at({70, 160}));
    EXPECT_EQ(overlay->touchAction(), TouchNone);
    touch->moveBoth(start + QPointF(40, 0), at({70, 160}) + QPointF(-20, 0));
    EXPECT_EQ(overlay->center(), QPointF(410, 400));
    EXPECT_EQ(MainThread::pendingPerformRequests(overlay), 0);
    touch->releaseBoth(start + QPointF(40, 0), at({70, 160}));
}

TEST_F(SelectionViewTest, MenuOnlyAfterAStillHold) {
    // A quick tap arms the timer and disarms it again.
    touch->press(0, at({60, 100}));
    EXPECT_EQ(MainThread::pendingPerformRequests(overlay), 1);
    touch->release(0, at({60, 100}));
    EXPECT_EQ(MainThread::pendingPerformRequests(overlay), 0);
    // A move disarms it as well.
    touch->press(0, at({60, 100}));
    touch->move(0, at({60, 100}) + QPointF(3, 0));
    EXPECT_EQ(MainThread::pendingPerformRequests(overlay), 0);
    touch->release(0, at({60, 100}));
    EXPECT_FALSE(EditMenu::shared().isMenuVisible());

    // Holding still shows Copy, Paste and Delete, enabled as the editor says.
    touch->press(0, at({60, 100}));
    EXPECT_TRUE(QTest::qWaitFor([] { return EditMenu::shared().isMenuVisible(); }, 3000));
    EXPECT_TRUE(EditMenu::shared().action(EditAction::Copy)->isEnabled());
    EXPECT_FALSE(EditMenu::shared().action(EditAction::Paste)->isEnabled());
    EXPECT_TRUE(EditMenu::shared().action(EditAction::Delete)->isEnabled());
    EXPECT_TRUE(overlay->isFirstResponder());
    touch->release(0, at({60, 100}));
    EditMenu::shared().action(EditAction::Copy)->trigger();
    EXPECT_EQ(support.copies, 1);
    // An item the editor disallows does nothing even if triggered.
    EditMenu::shared().action(EditAction::Paste)->trigger();
    EXPECT_EQ(support.pastes, 0);
}

TEST_F(SelectionViewTest, EditCommandsFollowTheEditor) {
    support.copyAllowed = false;
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Copy));
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Paste));
    EXPECT_TRUE(overlay->canPerformAction(EditAction::Delete));
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Cut));
    EXPECT_FALSE(overlay->canPerformAction(EditAction::SelectAll));
    support.pasteAllowed = true;
    EXPECT_TRUE(overlay->canPerformAction(EditAction::Paste));
    overlay->performAction(EditAction::Delete);
    overlay->performAction(EditAction::Paste);
    EXPECT_EQ(support.deletes, 1);
    EXPECT_EQ(support.pastes, 1);
    overlay->setPopupMenuSupport(nullptr);
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Delete));
    overlay->performAction(EditAction::Delete); // nobody to tell: nothing happens
}

TEST_F(SelectionViewTest, FlipLimitsTheLargerSideToTheWidth) {
    overlay->flipImage(false); // no piece: nothing
    EXPECT_TRUE(overlay->imageSelection().isNull());

    QImage wide(600, 300, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::blue);
    overlay->setImageSelection(platform::Image(wide));
    overlay->flipImage(true);
    EXPECT_EQ(overlay->imageSelection().pixelSize(), QSize(132, 66));

    QImage tall(100, 300, QImage::Format_ARGB32_Premultiplied);
    tall.fill(Qt::blue);
    overlay->setImageSelection(platform::Image(tall));
    overlay->flipImage(false);
    EXPECT_EQ(overlay->imageSelection().pixelSize(), QSize(44, 132));

    // A small piece keeps its size and is mirrored left to right or top to bottom.
    QImage small(100, 80, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::white);
    small.setPixelColor(0, 0, Qt::red);
    overlay->setImageSelection(platform::Image(small));
    overlay->flipImage(false);
    EXPECT_EQ(overlay->imageSelection().pixelSize(), QSize(100, 80));
    EXPECT_EQ(overlay->imageSelection().bitmap().pixelColor(99, 0), QColor(Qt::red));
    overlay->flipImage(true);
    EXPECT_EQ(overlay->imageSelection().bitmap().pixelColor(99, 79), QColor(Qt::red));
}

// A width or height step moves the centre by the change along the overlay's own turned axis, and a step to
// the minimum or below is refused whole.
TEST_F(SelectionViewTest, WidthAndHeightStepsAlongTheTurnedAxes) {
    const float angle = 0.3f;
    const QPointF widthAxis(std::cos(angle), std::sin(angle));
    const QPointF heightAxis(-std::sin(angle), std::cos(angle));
    struct Step {
        bool width;
        qreal size;
        bool taken;
    };
    for (const Step step : {Step{true, 200, true}, Step{true, 70, false}, Step{true, 71, true}, Step{false, 300, true},
                            Step{false, 158, false}, Step{false, 159, true}}) {
        SCOPED_TRACE(std::string(step.width ? "width " : "height ") + std::to_string(int(step.size)));
        overlay->setBoundsIfValid({132, 264});
        overlay->setRotationAngle(angle);
        overlay->setCenter({400, 400});
        const qreal d = 5;
        if (step.width)
            overlay->changeWidth(step.size, d);
        else
            overlay->changeHeight(step.size, d);
        const QSizeF expectedSize = !step.taken ? QSizeF(132, 264) : step.width ? QSizeF(step.size, 264) : QSizeF(132, step.size);
        EXPECT_EQ(overlay->bounds().size(), expectedSize);
        const QPointF expectedCentre = QPointF(400, 400) + (step.taken ? (step.width ? widthAxis : heightAxis) * d : QPointF());
        EXPECT_NEAR(overlay->center().x(), expectedCentre.x(), 1e-3);
        EXPECT_NEAR(overlay->center().y(), expectedCentre.y(), 1e-3);
    }
}

// The flip shrinks a piece whose larger side is wider than the overlay is now to that width, and no further.
TEST_F(SelectionViewTest, TheFlipsLimitIsTheOverlaysWidth) {
    overlay->setBoundsIfValid({200, 300});
    const std::pair<QSize, QSize> cases[] = {
        {{400, 400}, {200, 200}}, {{200, 120}, {200, 120}}, {{201, 100}, {200, 100}}, {{150, 450}, {67, 200}},
    };
    for (const auto& [size, flipped] : cases) {
        QImage piece(size, QImage::Format_ARGB32_Premultiplied);
        piece.fill(Qt::green);
        overlay->setImageSelection(platform::Image(piece));
        overlay->flipImage(false);
        EXPECT_EQ(overlay->imageSelection().pixelSize(), flipped) << size.width() << "x" << size.height();
    }
}

// The piece shows at its opacity over what is under it; the outline is white dashes with black in the gaps.
TEST_F(SelectionViewTest, ThePieceAndTheDashedOutlineAsDrawn) {
    overlay->assignSelectionShape(1);
    overlay->setBoundsIfValid({300, 400}); // room on the top edge between the corner's and the middle's handles
    QImage white(50, 50, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    overlay->setImageSelection(platform::Image(white));
    const QRectF region = overlay->selectionRegionRect();
    const qreal scale = 4;
    QImage drawn((overlay->bounds().size() * scale).toSize(), QImage::Format_RGB32);
    drawn.fill(QColor(128, 0, 0));
    QPainter painter(&drawn);
    painter.scale(scale, scale);
    overlay->paint(&painter, nullptr, nullptr);
    painter.end();

    const QPoint inside = (QPointF(region.x() + region.width() * 0.3, region.y() + region.height() * 0.35) * scale).toPoint();
    const QColor piece = drawn.pixelColor(inside);
    EXPECT_NEAR(piece.red(), 128 + (255 - 128) * SelectionView::pieceOpacity, 2);
    EXPECT_NEAR(piece.green(), 255 * SelectionView::pieceOpacity, 2);

    // Along the top edge, away from the handles: only white and black, and plenty of each.
    int whites = 0, blacks = 0, others = 0;
    const int row = int(region.top() * scale);
    for (int x = int((region.left() + 25) * scale); x < int((region.center().x() - 25) * scale); ++x) {
        const QColor c = drawn.pixelColor(x, row);
        if (c == QColor(Qt::white))
            ++whites;
        else if (c == QColor(Qt::black))
            ++blacks;
        else
            ++others;
    }
    EXPECT_GT(whites, 20);
    EXPECT_GT(blacks, 20);
    EXPECT_LT(others, (whites + blacks) / 4) << "only the dashes' ends are blended";
}

TEST_F(SelectionViewTest, ShapeSwitchAndFlash) {
    overlay->assignSelectionShape(1);
    EXPECT_NE(dynamic_cast<SelectionRectangle*>(overlay->selectionShape()), nullptr);
    EXPECT_TRUE(overlay->getPathForMaskFile().endsWith("RectangleMask.png"));
    overlay->assignSelectionShape(7);
    EXPECT_EQ(dynamic_cast<SelectionRectangle*>(overlay->selectionShape()), nullptr);

    overlay->runAnimation();
    EXPECT_TRUE(overlay->isFlashing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !overlay->isFlashing(); }, 3000));
    EXPECT_EQ(overlay->flashOpacity(), 0.0);
}

TEST_F(SelectionViewTest, SetBoundsIfValidRaisesToTheMinimum) {
    EXPECT_FALSE(overlay->setBoundsIfValid({60, 300}));
    EXPECT_EQ(overlay->bounds().size(), QSizeF(70, 300));
    EXPECT_FALSE(overlay->setBoundsIfValid({200, 100}));
    EXPECT_EQ(overlay->bounds().size(), QSizeF(200, 158));
    EXPECT_TRUE(overlay->setBoundsIfValid({70, 158}));
    EXPECT_EQ(overlay->center(), QPointF(400, 400)); // bounds changes keep the centre
}

// Leaves a picture of the overlay over the sample photo in the build folder, to be looked at.
TEST_F(SelectionViewTest, RendersOverAPhoto) {
    const platform::Image photo = platform::Bundle::imageNamed("Sample1", "jpg");
    ASSERT_FALSE(photo.isNull());
    auto* photoItem = touch->scene()->addPixmap(
        QPixmap::fromImage(photo.bitmap().scaled(800, 600, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    photoItem->setZValue(-1);
    photoItem->setPos(0, 100);
    // A piece taken from the left face, shown over the right one, a little turned.
    overlay->setImageSelection(platform::Image(photo.bitmap().copy(260, 290, 220, 260)));
    overlay->setCenter({560, 430});
    overlay->setBoundsIfValid({150, 290});
    overlay->setRotationAngle(0.25f);
    const QString path = grinsley::testing::renderToPng(touch->scene(), QRectF(380, 220, 360, 420), "selection-overlay");
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(720, 840));
}
