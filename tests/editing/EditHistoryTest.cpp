#include <QImage>

#include <gtest/gtest.h>

#include "editing/EditHistory.h"

using namespace grinsley;

namespace {

// A step whose photo part is a square of `side` pixels (4 bytes each, before and after).
EditStep stepOf(int side, int tag) {
    EditStep step;
    step.region = QRect(0, 0, side, side);
    step.before = QImage(side, side, QImage::Format_ARGB32);
    step.after = QImage(side, side, QImage::Format_ARGB32);
    step.versionAfter = tag;
    return step;
}

} // namespace

TEST(EditHistoryTest, TheBoundsDropTheOldestStepsAndANewStepDropsRedo) {
    const qsizetype square = 2 * 10 * 10 * 4; // one step of side 10
    EditHistory byBytes(3 * square, 100);
    for (int tag = 1; tag <= 5; ++tag)
        byBytes.push(stepOf(10, tag));
    EXPECT_EQ(byBytes.undoCount(), 3);
    EXPECT_EQ(byBytes.bytes(), 3 * square);
    EXPECT_EQ(byBytes.undoable(2)->versionAfter, 3) << "the oldest went first";
    byBytes.push(stepOf(100, 6)); // larger than the bound alone: kept, everything older goes
    EXPECT_EQ(byBytes.undoCount(), 1);
    EXPECT_EQ(byBytes.undoable()->versionAfter, 6);

    EditHistory byCount(qsizetype(1) << 30, 4);
    for (int tag = 1; tag <= 6; ++tag)
        byCount.push(stepOf(2, tag));
    EXPECT_EQ(byCount.undoCount(), 4);
    EXPECT_EQ(byCount.undo()->versionAfter, 6);
    EXPECT_EQ(byCount.undo()->versionAfter, 5);
    EXPECT_EQ(byCount.redoCount(), 2);
    EXPECT_EQ(byCount.redo()->versionAfter, 5);
    byCount.push(stepOf(2, 7));
    EXPECT_FALSE(byCount.canRedo());
    EXPECT_EQ(byCount.undoCount(), 4);
    EXPECT_EQ(byCount.bytes(), 4 * 2 * 2 * 2 * 4);
    EXPECT_EQ(byCount.undo()->versionAfter, 7);
    EXPECT_EQ(byCount.undo()->versionAfter, 5) << "the step undone before the new one is gone";
}

TEST(EditHistoryTest, TheChangedRegionIsTheSmallestRectangleOfDifferingPixels) {
    QImage a(40, 30, QImage::Format_ARGB32);
    a.fill(Qt::white);
    struct Case {
        std::vector<QPoint> changed;
        QRect within, expected;
    };
    const Case cases[] = {
        {{}, a.rect(), {}},
        {{{0, 0}}, a.rect(), {0, 0, 1, 1}},
        {{{39, 29}}, a.rect(), {39, 29, 1, 1}},
        {{{5, 20}, {30, 3}}, a.rect(), QRect(QPoint(5, 3), QPoint(30, 20))},
        {{{5, 20}, {30, 3}}, QRect(0, 0, 20, 30), {5, 20, 1, 1}}, // only inside the hint
    };
    for (const Case& c : cases) {
        QImage b = a;
        for (QPoint p : c.changed)
            b.setPixel(p, qRgb(0, 0, 0));
        EXPECT_EQ(changedRegion(a, b, c.within), c.expected);
    }
    // A step made of it puts either side back over the other exactly.
    QImage b = a;
    b.setPixel(7, 9, qRgb(1, 2, 3));
    b.setPixel(12, 4, qRgb(4, 5, 6));
    EditStep step;
    recordPhotoChange(step, a, b);
    EXPECT_EQ(step.region, QRect(QPoint(7, 4), QPoint(12, 9)));
    EXPECT_EQ(step.photoAt(b, false), a);
    EXPECT_EQ(step.photoAt(a, true), b);
}
