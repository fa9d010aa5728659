#include <gtest/gtest.h>

#include "editing/SelectionGeometry.h"

using namespace grinsley::selection;

TEST(SelectionGeometry, RegionAndHandlesFollowTheBounds) {
    EXPECT_EQ(selectionRegionRect({132, 264}), QRectF(22, 66, 88, 132));
    EXPECT_EQ(selectionRegionRect({70, 158}), QRectF(22, 66, 26, 26));
    EXPECT_EQ(selectionRegionRect({264, 422.4}).size(), QSizeF(220, 290.4));
    const QSizeF b(132, 264);
    EXPECT_EQ(handleCenter(Handle::UpperLeftRotation, b), QPointF(22, 66));
    EXPECT_EQ(handleCenter(Handle::LowerRightRotation, b), QPointF(110, 198));
    EXPECT_EQ(handleCenter(Handle::RightResize, b), QPointF(110, 132));
    EXPECT_EQ(handleCenter(Handle::UpperMove, b), QPointF(66, 22));
    EXPECT_EQ(handleCenter(Handle::LowerMove, b), QPointF(66, 242));
    EXPECT_EQ(handleFrame(Handle::CenterMove, b), QRectF(55, 121, 22, 22));
    EXPECT_EQ(handleFrame(Handle::TopResize, b), QRectF(44, 44, 44, 44));
}

struct HitCase {
    const char* name;
    QPointF point;
    TouchAction expected;
};
// Tests are listed by the case's name, not its bytes.
void PrintTo(const HitCase& c, std::ostream* os) { *os << c.name; }

class HitOrder : public ::testing::TestWithParam<HitCase> {};

// At the minimum size the handles overlap: the hit order decides.
TEST_P(HitOrder, FirstHandleInOrderWins) {
    EXPECT_EQ(hitTest(GetParam().point, {70, 158}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(MinimumSize, HitOrder,
                         ::testing::Values(
                             // centre move (24..46, 68..90) beats the top resize and both upper corners
                             HitCase{"centreMoveOverTopAndCorners", {40, 72}, TouchMove},
                             // upper move (13..57, 0..44)
                             HitCase{"upperMove", {20, 10}, TouchMove},
                             // top resize (13..57, 44..88) beats the upper-left corner (0..44, 44..88)
                             HitCase{"topOverUpperLeft", {14, 50}, TouchResizeTop},
                             // bottom resize (13..57, 70..114) beats the left resize (0..44, 57..101)
                             HitCase{"bottomOverLeft", {14, 100}, TouchResizeBottom},
                             // left resize beats the upper-left corner below the top resize
                             HitCase{"leftBelowTop", {5, 60}, TouchResizeLeft},
                             HitCase{"right", {65, 60}, TouchResizeRight},
                             HitCase{"upperLeft", {5, 50}, TouchRotateUpperLeft},
                             HitCase{"upperRight", {65, 50}, TouchRotateUpperRight},
                             HitCase{"lowerLeft", {5, 110}, TouchRotateLowerLeft},
                             HitCase{"lowerRight", {65, 110}, TouchRotateLowerRight},
                             // on the shared edge of two frames the lower one owns it
                             HitCase{"sharedEdgeGoesToLower", {14, 44}, TouchResizeTop},
                             // outside every handle: a move
                             HitCase{"elsewhereMoves", {2, 150}, TouchMove}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionGeometry, NoHandleMeansMoveAtTheInitialSize) {
    EXPECT_EQ(hitTest({60, 100}, {132, 264}), TouchMove);
    EXPECT_EQ(hitTest({110, 198}, {132, 264}), TouchRotateLowerRight);
}

TEST(SelectionGeometry, FingerOnAHandleCentreAddsNoRotation) {
    const QSizeF b(132, 264);
    EXPECT_FLOAT_EQ(rotationStep(TouchRotateUpperLeft, handleCenter(Handle::UpperLeftRotation, b), b), 0);
    EXPECT_FLOAT_EQ(rotationStep(TouchRotateUpperRight, handleCenter(Handle::UpperRightRotation, b), b), 0);
    EXPECT_FLOAT_EQ(rotationStep(TouchRotateLowerLeft, handleCenter(Handle::LowerLeftRotation, b), b), 0);
    EXPECT_FLOAT_EQ(rotationStep(TouchRotateLowerRight, handleCenter(Handle::LowerRightRotation, b), b), 0);
    // Moving the lower-right handle straight right by the lever length turns the overlay back by 45 degrees.
    EXPECT_NEAR(rotationStep(TouchRotateLowerRight, {110 + 66, 198}, b), -M_PI / 4, 1e-6);
    EXPECT_EQ(rotationStep(TouchMove, {0, 0}, b), 0);
}
