#include <cmath>

#include <gtest/gtest.h>

#include <QLineF>
#include <QPainter>
#include <QTransform>

#include "faces/FaceFinder.h"
#include "support/FaceSet.h"
#include "support/TestPhotos.h"

using namespace grinsley;
using namespace grinsley::testing;

namespace {

// The astronaut's face as measured by eye on the photograph: the eyes' centres and the middle of the mouth.
const QPointF leftEye(203.8, 101.3);
const QPointF rightEye(246.3, 103.0);
const QPointF mouth(223.8, 145.0);
QPointF faceCentre() { return ((leftEye + rightEye) / 2 + mouth) / 2; }
double eyeLine() { return std::atan2(rightEye.y() - leftEye.y(), rightEye.x() - leftEye.x()); }
double degrees(double radians) { return radians * 180 / M_PI; }

// Whether a point lies inside the face's oval.
bool insideOval(const faces::Face& face, QPointF p) {
    const QPointF local = QTransform().rotateRadians(-face.angle).map(p - face.centre);
    const double a = face.size.width() / 2, b = face.size.height() / 2;
    return (local.x() * local.x()) / (a * a) + (local.y() * local.y()) / (b * b) <= 1.0;
}

QImage turned(const QImage& photo, double degreesClockwise, QPointF about) {
    QImage out(photo.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(128, 128, 128));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(about);
    p.rotate(degreesClockwise);
    p.translate(-about);
    p.drawImage(0, 0, photo);
    return out;
}

} // namespace

// The one face of the astronaut photograph, where it is: the oval holds the eyes and the mouth, its centre is
// the face's, its width a face's for those eyes, and it is turned like the eye line.
TEST(FaceFinderTest, OneFaceWhereItIs) {
    const faces::FaceSearch search = faces::findFaces(samplePhotograph(QStringLiteral("astronaut.png")));
    EXPECT_TRUE(search.error.isEmpty());
    ASSERT_EQ(search.faces.size(), 1u);
    const faces::Face& face = search.faces[0];
    EXPECT_LT(QLineF(face.centre, faceCentre()).length(), 5.0);
    for (QPointF p : {leftEye, rightEye, mouth})
        EXPECT_TRUE(insideOval(face, p)) << p.x() << "," << p.y();
    const double eyes = QLineF(leftEye, rightEye).length();
    EXPECT_GT(face.size.width(), 1.6 * eyes);
    EXPECT_LT(face.size.width(), 2.4 * eyes);
    EXPECT_GT(face.size.height(), face.size.width()); // an upright oval
    EXPECT_NEAR(degrees(face.angle), degrees(eyeLine()), 3.0);
}

// Two faces come back left to right, each where it is (the right one mirrored, smaller and darker).
TEST(FaceFinderTest, TwoFacesLeftToRight) {
    const faces::FaceSearch search = faces::findFaces(twoFacePhoto());
    ASSERT_EQ(search.faces.size(), 2u);
    EXPECT_LT(QLineF(search.faces[0].centre, inLeftCopy(faceCentre())).length(), 6.0);
    EXPECT_LT(QLineF(search.faces[1].centre, inRightCopy(faceCentre())).length(), 6.0);
    EXPECT_LT(search.faces[1].size.width(), search.faces[0].size.width());
}

// A head turned in the picture plane gives a turned oval, centred on the turned face.
TEST(FaceFinderTest, ATurnedFaceGivesATurnedOval) {
    const QImage astronaut = samplePhotograph(QStringLiteral("astronaut.png"));
    for (double turn : {-20.0, -10.0, 10.0}) {
        SCOPED_TRACE(turn);
        const QPointF about(225, 120);
        const faces::FaceSearch search = faces::findFaces(turned(astronaut, turn, about));
        ASSERT_EQ(search.faces.size(), 1u);
        const QPointF centre = QTransform().translate(about.x(), about.y()).rotate(turn).translate(-about.x(), -about.y()).map(faceCentre());
        EXPECT_LT(QLineF(search.faces[0].centre, centre).length(), 8.0);
        EXPECT_NEAR(degrees(search.faces[0].angle), degrees(eyeLine()) + turn, 4.0);
    }
}

TEST(FaceFinderTest, NoFaceInPhotosWithoutPeople) {
    for (const char* name : {"coffee.png", "chelsea.png"})
        EXPECT_TRUE(faces::findFaces(samplePhotograph(QString::fromLatin1(name))).faces.empty()) << name;
    QImage grey(800, 600, QImage::Format_ARGB32_Premultiplied);
    grey.fill(QColor(120, 120, 120));
    EXPECT_TRUE(faces::findFaces(grey).faces.empty());
    EXPECT_TRUE(faces::findFaces(QImage()).faces.empty());
}

// A large photo is searched at a reduced size; the answer is in the photo's own pixels.
TEST(FaceFinderTest, ALargePhotoAnswersInItsOwnPixels) {
    const QImage big = samplePhotograph(QStringLiteral("astronaut.png")).scaled(1536, 1536, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const faces::FaceSearch search = faces::findFaces(big);
    ASSERT_EQ(search.faces.size(), 1u);
    EXPECT_LT(QLineF(search.faces[0].centre, faceCentre() * 3).length(), 12.0);
}

// Without the landmark model faces are still found (by the cascades, without landmarks) and the search says
// which package is missing; without any model it says why nothing was found.
TEST(FaceFinderTest, MissingModelsSayWhy) {
    const QImage astronaut = samplePhotograph(QStringLiteral("astronaut.png"));
    qputenv("GRINSLEY_FACE_LANDMARKS", "/nonexistent/landmarks.dat");
    const faces::FaceSearch older = faces::findFaces(astronaut);
    qputenv("GRINSLEY_FACE_MODELS", "/nonexistent/models");
    const faces::FaceSearch none = faces::findFaces(astronaut);
    qunsetenv("GRINSLEY_FACE_MODELS");
    qunsetenv("GRINSLEY_FACE_LANDMARKS");
    ASSERT_EQ(older.faces.size(), 1u);
    EXPECT_FALSE(older.faces[0].hasLandmarks());
    EXPECT_TRUE(older.error.isEmpty());
    EXPECT_TRUE(older.notice.contains(QStringLiteral("libdlib-data"))) << older.notice.toStdString();
    EXPECT_TRUE(none.faces.empty());
    EXPECT_TRUE(none.error.contains(QStringLiteral("/nonexistent/models"))) << none.error.toStdString();
}
// The bundled sample photo, which a new user tries first, has its two drawn faces found.
TEST(FaceFinderTest, TheSamplesTwoFaces) {
    const faces::FaceSearch search = faces::findFaces(QImage(QStringLiteral(":/images/Sample1.jpg")));
    ASSERT_EQ(search.faces.size(), 2u);
    EXPECT_LT(search.faces[0].centre.x(), search.faces[1].centre.x());
}

// Which two faces Swap Faces takes: the chosen one with the largest other it does not overlap; without a
// choice, the two largest apart; never a face with itself or with one it overlaps.
TEST(FaceFinderTest, TheFacesASwapTakes) {
    const auto face = [](double x, double y, double side, double angle = 0) {
        return faces::faceFromBox(QRectF(x - side / 2, y - side / 2, side, side), angle);
    };
    using Pair = std::optional<std::pair<std::size_t, std::size_t>>;
    const std::vector<faces::Face> row = {face(100, 100, 40), face(300, 100, 80), face(500, 100, 60), face(700, 100, 20)};
    EXPECT_EQ(faces::swapPair(row, -1), Pair(std::pair(1, 2))) << "the two largest";
    EXPECT_EQ(faces::swapPair(row, 3), Pair(std::pair(3, 1))) << "the chosen face and the largest other";
    EXPECT_EQ(faces::swapPair(row, 1), Pair(std::pair(1, 2)));
    EXPECT_EQ(faces::swapPair(row, 9), Pair(std::pair(1, 2))) << "no such face: as without a choice";

    // A face found twice (nested boxes) and a face beside them: the nested pair is never taken.
    const std::vector<faces::Face> nested = {face(200, 200, 120), face(205, 195, 90), face(600, 200, 50)};
    EXPECT_TRUE(faces::regionsOverlap(nested[0], nested[1]));
    EXPECT_EQ(faces::swapPair(nested, -1), Pair(std::pair(0, 2)));
    EXPECT_EQ(faces::swapPair(nested, 1), Pair(std::pair(1, 2)));
    // Turned boxes that touch only when turned overlap; apart they do not.
    EXPECT_FALSE(faces::regionsOverlap(face(100, 100, 100), face(195, 100, 100)));
    EXPECT_TRUE(faces::regionsOverlap(face(100, 100, 100, 0.7), face(195, 100, 100, 0.7)));
    EXPECT_FALSE(faces::swapPair({face(100, 100, 100), face(120, 110, 100)}, -1)) << "only overlapping faces";
    EXPECT_FALSE(faces::swapPair({face(100, 100, 100)}, 0));
    EXPECT_FALSE(faces::swapPair({}, -1));
}

// The hand-marked set of real photographs: most faces found, almost nothing else, nothing at all in the
// photos without people, and faces turned 30 degrees in the picture found.
TEST(FaceFinderTest, RealPhotographsOfPeople) {
    FaceScore total;
    for (const FacePhoto& photo : loadFaceSet()) {
        std::vector<QRectF> boxes;
        for (const faces::Face& face : faces::findFaces(photo.photo).faces)
            boxes.push_back(face.box);
        add(total, scoreFaceBoxes(photo, boxes));
    }
    ASSERT_GE(total.marked, 50);
    EXPECT_GE(total.recall(), 0.90) << "missed: " << total.misses.join(QStringLiteral("; ")).toStdString();
    EXPECT_GE(total.precision(), 0.95) << "not faces: " << total.falses.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(total.falseFacesWithoutPeople, 0);
    EXPECT_GE(total.hitsTurned30, total.markedTurned30 - 1) << "of " << total.markedTurned30 << " turned 30 degrees";
    std::printf("missed: %s\nnot faces: %s\n", qPrintable(total.misses.join(QStringLiteral("; "))), qPrintable(total.falses.join(QStringLiteral("; "))));
    std::printf("recall %.2f (%d of %d), precision %.2f (%d found); turned 30 degrees: %d of %d\n", total.recall(),
                total.hits, total.marked, total.precision(), total.found, total.hitsTurned30, total.markedTurned30);
}
