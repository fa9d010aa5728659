#include "FaceFitting.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <tuple>

#include <QLineF>
#include <QTransform>

#include <opencv2/imgproc.hpp>

#include "faces/ColourMatch.h"

namespace grinsley::faces {

namespace {

// A face's width, from one end of the jaw to the other: the measure of every margin below.
double faceWidth(const Face& face) { return QLineF(face.landmarks[0], face.landmarks[16]).length(); }

cv::Point2f local(QPointF p, const QRect& area) { return {float(p.x() - area.x()), float(p.y() - area.y())}; }

// The photo's pixels in `area` as 8-bit BGR.
cv::Mat bgrOf(const QImage& photo, const QRect& area) {
    const QImage part = photo.copy(area).convertToFormat(QImage::Format_RGB32);
    const cv::Mat bgra(part.height(), part.width(), CV_8UC4, const_cast<uchar*>(part.constBits()), size_t(part.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    return bgr;
}

// The rectangle around a face that a fitting reads or writes: its landmarks with a margin, inside the photo.
QRect areaAround(const Face& face, const QSize& photo) {
    const double margin = 0.15 * faceWidth(face) + 2;
    return landmarkBounds(face).adjusted(-margin, -margin, margin, margin).toAlignedRect() & QRect(QPoint(0, 0), photo);
}

// The triangles of a Delaunay triangulation of the target's landmarks, as indices into them: the same
// triangles over the source's landmarks say where each part of the face comes from.
std::vector<std::array<int, 3>> triangles(const std::vector<cv::Point2f>& points, const cv::Size& size) {
    cv::Subdiv2D subdivision(cv::Rect(-1, -1, size.width + 2, size.height + 2));
    for (const cv::Point2f& p : points)
        subdivision.insert(cv::Point2f(std::clamp(p.x, -0.5f, size.width + 0.5f), std::clamp(p.y, -0.5f, size.height + 0.5f)));
    std::vector<cv::Vec6f> list;
    subdivision.getTriangleList(list);
    const auto indexOf = [&points, &size](float x, float y) {
        int best = -1;
        float bestDistance = 1.0f;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const cv::Point2f p(std::clamp(points[i].x, -0.5f, size.width + 0.5f), std::clamp(points[i].y, -0.5f, size.height + 0.5f));
            const float d = std::hypot(p.x - x, p.y - y);
            if (d < bestDistance)
                best = int(i), bestDistance = d;
        }
        return best;
    };
    std::vector<std::array<int, 3>> out;
    for (const cv::Vec6f& t : list) {
        const std::array<int, 3> tri{indexOf(t[0], t[1]), indexOf(t[2], t[3]), indexOf(t[4], t[5])};
        if (tri[0] >= 0 && tri[1] >= 0 && tri[2] >= 0)
            out.push_back(tri);
    }
    return out;
}

// For every pixel of the target's area, where in the source's area it comes from (-1: nowhere).
void warpMaps(const std::vector<cv::Point2f>& target, const std::vector<cv::Point2f>& source, const cv::Size& size,
              cv::Mat& mapX, cv::Mat& mapY) {
    mapX = cv::Mat(size, CV_32F, cv::Scalar(-1));
    mapY = cv::Mat(size, CV_32F, cv::Scalar(-1));
    cv::Mat inside(size, CV_8U);
    for (const std::array<int, 3>& t : triangles(target, size)) {
        const cv::Point2f to[3] = {target[std::size_t(t[0])], target[std::size_t(t[1])], target[std::size_t(t[2])]};
        const cv::Point2f from[3] = {source[std::size_t(t[0])], source[std::size_t(t[1])], source[std::size_t(t[2])]};
        const cv::Mat affine = cv::getAffineTransform(to, from);
        const cv::Rect box = cv::boundingRect(std::vector<cv::Point2f>(to, to + 3)) & cv::Rect(0, 0, size.width, size.height);
        if (box.empty())
            continue;
        inside(box).setTo(0);
        const cv::Point corners[3] = {cv::Point(cvRound(to[0].x), cvRound(to[0].y)), cv::Point(cvRound(to[1].x), cvRound(to[1].y)),
                                      cv::Point(cvRound(to[2].x), cvRound(to[2].y))};
        cv::fillConvexPoly(inside, corners, 3, cv::Scalar(255));
        const double* a = affine.ptr<double>(0);
        const double* b = affine.ptr<double>(1);
        for (int y = box.y; y < box.y + box.height; ++y) {
            const uchar* in = inside.ptr<uchar>(y);
            float* mx = mapX.ptr<float>(y);
            float* my = mapY.ptr<float>(y);
            for (int x = box.x; x < box.x + box.width; ++x) {
                if (!in[x])
                    continue;
                mx[x] = float(a[0] * x + a[1] * y + a[2]);
                my[x] = float(b[0] * x + b[1] * y + b[2]);
            }
        }
    }
}

// The mask inside the jaw and brows: the outline shrunk by a twelfth of the face's width, then feathered so
// that it fades to nothing about where the outline was, on the face's own skin.
cv::Mat featheredMask(const Face& face, const QRect& area) {
    cv::Mat mask(area.height(), area.width(), CV_8U, cv::Scalar(0));
    std::vector<cv::Point> outline;
    for (QPointF p : faceOutline(face))
        outline.emplace_back(cvRound(p.x() - area.x()), cvRound(p.y() - area.y()));
    cv::fillConvexPoly(mask, outline, cv::Scalar(255));
    const double width = faceWidth(face);
    const int shrink = std::max(1, int(std::lround(width / 12)));
    cv::erode(mask, mask, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * shrink + 1, 2 * shrink + 1)));
    const double sigma = std::max(0.8, width / 36);
    cv::GaussianBlur(mask, mask, cv::Size(0, 0), sigma);
    return mask;
}

// Light that changes across a face (a lamp to one side, a shadow) is matched too: the fitted face is scaled by
// the ratio of the target's blurred tone to its own, so that at the mask's edge it has the tone of the skin it
// fades into. Where the fitted face does not reach, the target stands in, so the blur sees no foreign pixels.
void correctLight(cv::Mat& fitted, const cv::Mat& target, const cv::Mat& reached, double sigma) {
    cv::Mat own = target.clone();
    fitted.copyTo(own, reached);
    cv::Mat ownBlur, targetBlur;
    own.convertTo(ownBlur, CV_32FC3);
    target.convertTo(targetBlur, CV_32FC3);
    cv::GaussianBlur(ownBlur, ownBlur, cv::Size(0, 0), sigma);
    cv::GaussianBlur(targetBlur, targetBlur, cv::Size(0, 0), sigma);
    cv::Mat ratio = targetBlur / cv::max(ownBlur, 1.0);
    cv::Mat corrected;
    fitted.convertTo(corrected, CV_32FC3);
    corrected = corrected.mul(cv::min(ratio, 4.0));
    corrected.convertTo(fitted, CV_8UC3);
}

// Fits `source` onto `target`, reading the target's pixels from `photo` and blending the result into `into` (the
// same size, 32-bit RGB), only inside the target's area.
void fitInto(QImage& into, const QImage& photo, const Face& target, const QImage& from, const Face& source, QRect& changed) {
    const QRect area = areaAround(target, photo.size());
    const QRect sourceArea = areaAround(source, from.size());
    if (area.isEmpty() || sourceArea.isEmpty())
        return;
    std::vector<cv::Point2f> to, at;
    for (std::size_t i = 0; i < Face::landmarkCount; ++i) {
        to.push_back(local(target.landmarks[i], area));
        at.push_back(local(source.landmarks[i], sourceArea));
    }
    cv::Mat mapX, mapY;
    warpMaps(to, at, cv::Size(area.width(), area.height()), mapX, mapY);
    const cv::Mat here = bgrOf(photo, area);
    cv::Mat warped;
    cv::remap(bgrOf(from, sourceArea), warped, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REFLECT_101);

    const cv::Mat alpha = featheredMask(target, area);
    // The colours are compared where the mask is whole and the warp reached.
    cv::Mat core = (alpha > 200) & (mapX >= 0);
    matchColour(warped, core, here, core);
    correctLight(warped, here, (alpha > 0) & (mapX >= 0), faceWidth(target) / 12);

    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(into.scanLine(area.y() + y)) + area.x();
        const uchar* a = alpha.ptr<uchar>(y);
        const float* reached = mapX.ptr<float>(y);
        const cv::Vec3b* w = warped.ptr<cv::Vec3b>(y);
        for (int x = 0; x < area.width(); ++x) {
            if (!a[x] || reached[x] < 0)
                continue;
            const int k = a[x];
            const QRgb p = line[x];
            line[x] = qRgb((qRed(p) * (255 - k) + w[x][2] * k + 127) / 255, (qGreen(p) * (255 - k) + w[x][1] * k + 127) / 255,
                           (qBlue(p) * (255 - k) + w[x][0] * k + 127) / 255);
        }
    }
    changed |= area;
}

// The fits of `fits` (target, source photo, source face) laid into a copy of `photo`, each reading the photo as it
// was; the copy is made 32-bit RGB once and given back in the photo's own format.
QImage fitAll(const QImage& photo, std::initializer_list<std::tuple<const Face&, const QImage&, const Face&>> fits,
              QRect* changed) {
    QRect area;
    QImage out = photo;
    if (!photo.isNull()) {
        out = photo.convertToFormat(QImage::Format_RGB32);
        for (const auto& [target, from, source] : fits)
            if (target.hasLandmarks() && source.hasLandmarks() && !from.isNull())
                fitInto(out, photo, target, from, source, area);
        out = area.isEmpty() ? photo : out.convertToFormat(photo.format());
    }
    if (changed)
        *changed = area;
    return out;
}

} // namespace

QImage fittingMask(const Face& face, const QRect& area) {
    QImage out(area.size(), QImage::Format_Grayscale8);
    if (!face.hasLandmarks() || area.isEmpty())
        return out;
    const cv::Mat mask = featheredMask(face, area);
    for (int y = 0; y < area.height(); ++y)
        std::copy_n(mask.ptr<uchar>(y), area.width(), out.scanLine(y));
    return out;
}

QImage fitFace(const QImage& photo, const Face& target, const QImage& from, const Face& source, QRect* changed) {
    return fitAll(photo, {{target, from, source}}, changed);
}

QImage swapFaces(const QImage& photo, const Face& a, const Face& b, QRect* changed) {
    if (!a.hasLandmarks() || !b.hasLandmarks()) // both or neither
        return fitAll(photo, {}, changed);
    return fitAll(photo, {{a, photo, b}, {b, photo, a}}, changed);
}

bool posesDiffer(const Face& a, const Face& b) {
    if (!a.hasLandmarks() || !b.hasLandmarks())
        return false;
    // Where the nose tip lies between the ends of the jaw, along the eye line: a half when the face looks
    // straight on, less or more as it turns to one side.
    const auto turn = [](const Face& f) {
        const QPointF along = QPointF(std::cos(f.angle), std::sin(f.angle));
        const auto at = [&](std::size_t i) { return QPointF::dotProduct(f.landmarks[i], along); };
        const double width = at(16) - at(0);
        return width > 0 ? (at(30) - at(0)) / width : 0.5;
    };
    return std::abs(turn(a) - turn(b)) > 0.2;
}

} // namespace grinsley::faces
