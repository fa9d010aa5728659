#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include <QLineF>

#include "faces/FaceFinder.h"
#include "faces/FaceFitting.h"
#include "support/FaceSet.h"

using namespace grinsley;
using namespace grinsley::testing;

namespace {

QPointF meanOf(const std::vector<QPointF>& l, std::size_t from, std::size_t to) {
    QPointF sum;
    for (std::size_t i = from; i <= to; ++i)
        sum += l[i];
    return sum / double(to - from + 1);
}

struct Lab {
    double l = 0, a = 0, b = 0;
};
// The mean colour (CIE Lab, D65) of the pixels of `area` where `take` says so.
template <typename Take>
Lab meanLab(const QImage& photo, const QRect& area, Take take) {
    Lab sum;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!take(x, y))
                continue;
            const QColor c = QColor(photo.pixel(x, y));
            const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            const double r = linear(c.redF()), g = linear(c.greenF()), b = linear(c.blueF());
            const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
            const double fx = f((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047), fy = f(0.2126 * r + 0.7152 * g + 0.0722 * b),
                         fz = f((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
            sum.l += 116 * fy - 16, sum.a += 500 * (fx - fy), sum.b += 200 * (fy - fz);
            ++n;
        }
    n = std::max(n, 1);
    return {sum.l / n, sum.a / n, sum.b / n};
}
double distance(const Lab& p, const Lab& q) { return std::hypot(p.l - q.l, p.a - q.a, p.b - q.b); }

// The 90th percentile, interpolated between the nearest ranks (as numerical libraries compute it by default).
double percentile90(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double rank = 0.9 * double(v.size() - 1);
    const std::size_t below = std::size_t(rank);
    const double above = below + 1 < v.size() ? v[below + 1] : v[below];
    return v[below] + (rank - double(below)) * (above - v[below]);
}

} // namespace

// Faces of real photographs fitted onto each other, within a photo (its two largest faces) and across photos:
// found again on the result, the eyes and mouth sit where the target's were (the features follow the target,
// not the source); the mask stays inside the target's jaw and brows; and its edge shows no step of tone
// larger than the photo shows between the target's two cheeks.
TEST(FaceFittingTest, FittedFacesSitOnTheTargetWithoutASeam) {
    std::vector<std::pair<QImage, faces::Face>> found;
    for (const FacePhoto& photo : loadFaceSet()) {
        if (photo.turn != 0 || photo.faces.empty())
            continue;
        for (const faces::Face& face : faces::findFaces(photo.photo).faces)
            if (face.hasLandmarks() && QLineF(face.landmarks[0], face.landmarks[16]).length() > 60)
                found.emplace_back(photo.photo, face);
    }
    ASSERT_GE(found.size(), 12u);
    std::vector<double> eyeErrors, mouthErrors;
    int steps = 0, fits = 0, lost = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto& [photo, target] = found[i];
        const auto& [from, source] = found[(i + 5) % found.size()];
        QRect changed;
        const QImage result = faces::fitFace(photo, target, from, source, &changed);
        ASSERT_FALSE(changed.isEmpty());
        ++fits;
        const std::vector<faces::Face> again = faces::findFaces(result).faces;
        const int match = faces::faceAt(again, target.centre);
        if (match < 0) {
            ++lost;
            continue;
        }
        const std::vector<QPointF>& want = target.landmarks;
        const std::vector<QPointF>& got = again[std::size_t(match)].landmarks;
        const double eyes = QLineF(meanOf(want, 36, 41), meanOf(want, 42, 47)).length();
        for (std::size_t from : {36, 42})
            eyeErrors.push_back(QLineF(meanOf(want, from, from + 5), meanOf(got, from, from + 5)).length() / eyes);
        mouthErrors.push_back(QLineF(meanOf(want, 48, 59), meanOf(got, 48, 59)).length() / eyes);

        // The mask: nowhere outside the jaw and brows.
        const QImage mask = faces::fittingMask(target, changed);
        const QPolygonF outline = faces::faceOutline(target);
        int covered = 0, outside = 0;
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                if (mask.constScanLine(y)[x] > 127) {
                    ++covered;
                    outside += !outline.containsPoint(QPointF(changed.x() + x + 0.5, changed.y() + y + 0.5), Qt::OddEvenFill);
                }
        EXPECT_LE(outside, covered / 10) << "fit " << i;

        // The tone just inside the mask's edge against just outside it, on the result; the target's cheeks.
        const auto alpha = [&](int x, int y) { return int(mask.constScanLine(y - changed.y())[x - changed.x()]); };
        const Lab inside = meanLab(result, changed, [&](int x, int y) { return alpha(x, y) >= 200 && alpha(x, y) < 250; });
        const Lab outsideRing = meanLab(result, changed, [&](int x, int y) {
            return alpha(x, y) > 0 && alpha(x, y) <= 40 && outline.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::OddEvenFill);
        });
        const double radius = 0.15 * eyes;
        const auto near = [&](QPointF centre) { return [centre, radius](int x, int y) { return QLineF(centre, QPointF(x, y)).length() < radius; }; };
        const QPointF leftCheek = (want[2] + want[31] + want[40]) / 3, rightCheek = (want[14] + want[35] + want[47]) / 3;
        const QRect all = photo.rect();
        const double cheeks = distance(meanLab(photo, all, near(leftCheek)), meanLab(photo, all, near(rightCheek)));
        // The same two rings on the photo as it was are two nearby patches of its skin too.
        const double rings = distance(meanLab(photo, changed, [&](int x, int y) { return alpha(x, y) >= 200 && alpha(x, y) < 250; }),
                                      meanLab(photo, changed, [&](int x, int y) {
                                          return alpha(x, y) > 0 && alpha(x, y) <= 40 && outline.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::OddEvenFill);
                                      }));
        // Within a unit of colour difference, below what the eye tells apart.
        steps += distance(inside, outsideRing) <= std::max(cheeks, rings) + 1.0;
    }
    std::printf("%d fits, %d not found again: eyes %.3f, mouth %.3f eye distances (90th percentile); no tone step on %d\n",
                fits, lost, percentile90(eyeErrors), percentile90(mouthErrors), steps);
    EXPECT_LE(lost, fits / 10);
    EXPECT_LE(percentile90(eyeErrors), 0.10);
    EXPECT_LE(percentile90(mouthErrors), 0.15);
    EXPECT_GE(steps, (fits - lost) * 9 / 10);
}

// Poses: the same face turned far to one side differs; two faces looking straight on do not.
TEST(FaceFittingTest, PosesThatDiffer) {
    faces::Face straight, turned;
    straight.landmarks.assign(68, QPointF());
    straight.landmarks[0] = QPointF(0, 0), straight.landmarks[16] = QPointF(100, 0), straight.landmarks[30] = QPointF(50, 30);
    turned = straight;
    turned.landmarks[30] = QPointF(80, 30);
    EXPECT_FALSE(faces::posesDiffer(straight, straight));
    EXPECT_TRUE(faces::posesDiffer(straight, turned));
    EXPECT_FALSE(faces::posesDiffer(straight, faces::Face{})) << "without landmarks nothing is judged";
}
