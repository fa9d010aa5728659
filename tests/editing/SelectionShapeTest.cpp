#include <cmath>

#include <QFile>
#include <QPainterPath>

#include <gtest/gtest.h>

#include "editing/SelectionEllipse.h"
#include "editing/SelectionRectangle.h"

using namespace grinsley;

TEST(SelectionShape, SquareGivesCircleOrSquare) {
    const QRectF square(10, 20, 100, 100);
    QPainterPath circle;
    SelectionEllipse().addShapeToPath(circle, square);
    EXPECT_EQ(circle.boundingRect(), square);
    // Every point of the outline lies on the circle of radius 50 about (60, 70).
    for (const QPolygonF& polygon : circle.toSubpathPolygons()) {
        for (const QPointF& p : polygon)
            EXPECT_NEAR(std::hypot(p.x() - 60, p.y() - 70), 50, 0.6);
    }
    QPainterPath box;
    SelectionRectangle().addShapeToPath(box, square);
    EXPECT_EQ(box.boundingRect(), square);
    EXPECT_TRUE(box.contains(QPointF(11, 21)));  // corners are inside the rectangle
    EXPECT_FALSE(circle.contains(QPointF(11, 21))); // but outside the circle
}

TEST(SelectionShape, EachCallAddsItsOwnClosedOutline) {
    for (const SelectionShape* shape :
         std::initializer_list<const SelectionShape*>{new SelectionEllipse, new SelectionRectangle}) {
        QPainterPath path;
        shape->addShapeToPath(path, QRectF(0, 0, 10, 10));
        shape->addShapeToContext(path, QRectF(20, 0, 10, 10));
        const auto polygons = path.toSubpathPolygons();
        ASSERT_EQ(polygons.size(), 2);
        for (const QPolygonF& polygon : polygons)
            EXPECT_TRUE(polygon.isClosed());
        delete shape;
    }
}

TEST(SelectionShape, MasksAreTheBundlesOwn) {
    const QString ellipse = SelectionEllipse().getPathForMaskFile();
    const QString rectangle = SelectionRectangle().getPathForMaskFile();
    EXPECT_TRUE(ellipse.endsWith("EllipseMask.png"));
    EXPECT_TRUE(rectangle.endsWith("RectangleMask.png"));
    EXPECT_TRUE(QFile::exists(ellipse));
    EXPECT_TRUE(QFile::exists(rectangle));
}
